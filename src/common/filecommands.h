#pragma once
// The store and load buttons of every page's parameter file share one
// course: a progress line, the file dialog, "用户取消" when it is cancelled,
// the work itself, and the outcome. An Error thrown by the work ends the
// command there: no outcome line, the progress text stays in the panel.
// True when the work was done (not cancelled).

#include <QString>
#include <functional>

namespace qm {

class Prompts;
class Report;

using FileWork = std::function<void(const QString &path)>;

bool StoreParameterFile(Report &report, Prompts &prompts, const FileWork &store);
bool LoadParameterFile(Report &report, Prompts &prompts, const FileWork &load);

} // namespace qm
