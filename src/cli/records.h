#pragma once
// The command line's records in the register of units: which register
// (--db where a command takes it, else QMSET_DB, else the data folder's
// SQLite file) and the record of a command's exchange with a unit. A
// record that cannot be kept is one line on stderr and never changes the
// command's outcome; one that waits in the spool for a server says so.

#include "cli/session.h"
#include "common/unitrecord.h"
#include "register/unitregister.h"

#include <QString>
#include <memory>

namespace qm {
class MemoryFields;
}

namespace qm::cli {

class Progress;

// The record of the last exchange of session: its port, family, model
// text, the command's action and result word, why it failed (detail), the
// backup the exchange left, and every field of values with the address
// among them (no values: none were written or read).
UnitRecord CommandRecord(UnitSession &session, const QString &action, const QString &result, const QString &detail,
                         const MemoryFields *values);
// The same for an exchange's own result: values only when it succeeded.
UnitRecord SessionRecord(UnitSession &session, const QString &action, UnitSession::Result result,
                         const MemoryFields *fields);

// The register of one command's run, opened once: a batch adds a record
// per unit and takes its addresses there.
class RunRegister {
public:
    // The register named by db (see above); false with the reason for a
    // malformed name.
    bool choose(const QString &db, QString *error);
    UnitRegister &reg() { return *reg_; }
    // Adds record; one that only reached the spool, or was lost, is said
    // on stderr.
    UnitRegister::Kept keep(UnitRecord record, Progress &progress);

private:
    std::unique_ptr<UnitRegister> reg_;
};

// Adds record to the register named by db, as RunRegister does.
void KeepRecord(const QString &db, UnitRecord record, Progress &progress);

} // namespace qm::cli
