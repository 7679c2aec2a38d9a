#pragma once
// The store and load buttons of every page's parameter file share one
// course: a progress line, the file dialog, "用户取消" when it is cancelled,
// a memo line naming the file, the work itself, and the outcome. An Error
// thrown by the work ends the command there: no outcome line, the progress
// text stays in the panel. True when the work was done (not cancelled).

#include <QString>
#include <functional>

namespace qm {

class Prompts;
class Report;
struct FieldTable;

using FileWork = std::function<void(const QString &path)>;
// A load: false when the file holds no parameters of the family, so that
// every field took its default.
using LoadWork = std::function<bool(const QString &path)>;

bool StoreParameterFile(Report &report, Prompts &prompts, const FileWork &store);
// table names the family in the message of a file without its section.
// chosen, when given, receives the file chosen (empty when cancelled) before
// the work runs.
bool LoadParameterFile(Report &report, Prompts &prompts, const FieldTable &table, const LoadWork &load,
                       QString *chosen = nullptr);

} // namespace qm
