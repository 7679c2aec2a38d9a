#pragma once
// Storing the subscriber-unit page in the parameter file (section
// File_MLR4800) and loading it back. The section stands beside the data
// radio's in the same file; each is written without touching the other.

#include <QString>

namespace qm {

class FieldAccess;
class Prompts;
class Report;

class SubscriberFile {
public:
    SubscriberFile(FieldAccess &fields, Report &report, Prompts &prompts);

    // True when the file was stored or loaded (not cancelled).
    bool Mlr4800_SaveFileClick();
    // chosen receives the file chosen, empty when cancelled.
    bool Mlr4800_ReadFileClick(QString *chosen = nullptr);

    // Writes the seven keys in one atomic save; throws Error naming the file.
    void Store(const QString &path);
    // Reads the seven keys in order, each with its default, setting each
    // field as soon as its key is read; a number that is no integer throws
    // and the later fields keep what they held. False when the file holds
    // no key of the section: every field took its default.
    bool Load(const QString &path);

private:
    FieldAccess &f_;
    Report &report_;
    Prompts &prompts_;
};

} // namespace qm
