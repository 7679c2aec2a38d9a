#pragma once
// The command line's records in the register of units: which register
// (--db where a command takes it, else QMSET_DB, else the data folder's
// SQLite file) and a record of an exchange of a session. A record that
// cannot be kept is one line on stderr and never changes the command's
// outcome.

#include "cli/session.h"
#include "common/unitrecord.h"

#include <QString>

namespace qm {
class MemoryFields;
}

namespace qm::cli {

class Progress;

// The record of an exchange of session: its port, family, model text,
// the address and every field of fields (when given), the result and,
// when it failed, why.
UnitRecord SessionRecord(UnitSession &session, const QString &action, UnitSession::Result result,
                         const MemoryFields *fields);
// Adds record to the register named by db (see above).
void KeepRecord(const QString &db, UnitRecord record, Progress &progress);

} // namespace qm::cli
