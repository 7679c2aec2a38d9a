#pragma once
// The subcommands of "qmset SUBCOMMAND ...": their options, exit codes and
// the pieces they share. Each command returns its exit code.

#include "cli/history.h"
#include "cli/session.h"

#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace qm {
class MemoryFields;
}

namespace qm::cli {

class Progress;

enum Exit : int {
    ExitOk = 0,
    ExitUsage = 1,       // wrong usage
    ExitNoAnswer = 2,    // the unit did not answer (the request is named)
    ExitPort = 3,        // the port could not be opened or went away
    ExitInput = 4,       // a bad input file or field (key and value named)
    ExitDiffers = 5,     // verify found differences (each one listed)
    ExitInterrupted = 130,
};

struct Options {
    const Family *family = nullptr;
    QString port{};
    qint32 rateIndex = -1;   // -1: the family's usual line
    qint32 parityIndex = -1;
    QString in{}, out{}, report{};
    bool json = false;
    bool verify = false;
    HistoryOptions history{};
};

// What a command needs besides its options.
struct Context {
    Progress &progress;
    Interrupts &interrupts;
};

int Ports(const Options &o, Context &c);
int Read(const Options &o, Context &c);
int Write(const Options &o, Context &c);
int Verify(const Options &o, Context &c);
int Detect(const Options &o, Context &c);
int Batch(const Options &o, Context &c);
int TestReport(const Options &o, Context &c);
int History(const Options &o, Context &c);

// ---- Shared pieces ----

// Loads the family's section of path into fields as the page loads it:
// through the INI layer's refusals, defaults for missing keys (named on
// stderr). A missing file, a file without any key of the section, or a
// value that is no number is refused with "KEY=VALUE: reason" in *error.
bool LoadInput(const Family &family, const QString &path, MemoryFields &fields, Progress &progress, QString *error);
// What a write sends: the file's section loaded as above, every value through
// the write's checks, and the port following a data radio's new line (so a
// read-back finds it). False with the reason printed.
bool LoadWriteInput(const Family &family, const QString &path, MemoryFields &fields, Progress &progress);
// Opens the port at the line of the options (or the family's usual one);
// false with the reason printed.
bool OpenPort(UnitSession &session, const Options &o, Progress &progress);
// The unit's summary for --json: family, port, line, model text, result.
QJsonObject UnitJson(UnitSession &session, const QString &result);
// The fields of a set, by key, for --json; only those in scope.
QJsonObject FieldsJson(const Family &family, const MemoryFields &fields, unsigned scope);
// One JSON object on a line of stdout.
void PrintJson(const QJsonObject &object);
// The exit code of a failed exchange, its reason printed to stderr.
int ExitOfFailure(UnitSession &session, UnitSession::Result result, Progress &progress);

} // namespace qm::cli
