#pragma once
// The subcommands of "qmset SUBCOMMAND ...": their options, exit codes and
// the pieces they share. Each command returns its exit code.

#include "cli/history.h"
#include "cli/session.h"
#include "common/fieldsetting.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace qm {
class MemoryFields;
struct FieldDifference;
struct FieldSpec;
struct FieldTable;
} // namespace qm

namespace qm::cli {

class Progress;

enum Exit : int {
    ExitOk = 0,
    ExitUsage = 1,       // wrong usage; also: stdout could not be written
    ExitNoAnswer = 2,    // the unit did not answer (the request is named)
    ExitPort = 3,        // the port could not be opened or went away
    ExitInput = 4,       // a bad input file or field (key and value named)
    ExitDiffers = 5,     // verify found differences (each one listed)
    ExitUnitsFailed = 6, // batch: a unit of the run was not programmed and verified
    ExitReport = 7,      // batch: the report could not be written
    // A signal ended the run: 128 + its number (Interrupts::exitCode).
    ExitInterrupted = 130,
    ExitTerminated = 143,
};

struct Options {
    const Family *family = nullptr;
    QString port{};
    qint32 rateIndex = -1;   // -1: the family's usual line
    qint32 parityIndex = -1;
    QString in{}, out{}, report{};
    bool json = false;
    bool verify = false;
    bool allowDefaults = false;
    bool confirm = false;
    QString db{}; // --db; empty: QMSET_DB or the data folder's register
    FieldSettings settings{}; // --set, in their order
    // batch: the table of units, and the address series (first -1: none)
    QString units{};
    qint64 addressFrom = -1;
    qint64 addressStep = 1;
    HistoryOptions history{};
};

// What a run tells a script with --json: Run prints it as one object at
// the end, on every exit path. A command fills in what it learnt (the
// unit's members, fields, differences) and, when it fails, why.
struct RunRecord {
    QJsonObject members;
    QString result; // empty: the word of the exit code (ResultOfExit)
    QString error;  // the reason of a failure, as stderr gave it
};

// What a command needs besides its options.
struct Context {
    Progress &progress;
    Interrupts &interrupts;
    RunRecord &record;
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

// The result word of an exit code: "ok", "usage", "no answer", "port
// error", "bad input", "verify failed", "units failed", "report not
// written", "interrupted".
QString ResultOfExit(int code);
// Ends a command: the reason on stderr and in the record; returns code.
int Fail(Context &c, int code, const QString &reason);
// What a write sends: the file's section loaded and checked (see
// LoadInput), every value through the write's checks, and the port
// following a data radio's new line (so a read-back finds it). False with
// the reason in *error.
bool LoadWriteInput(const Family &family, const Options &o, MemoryFields &fields, Progress &progress, QString *error);
// Opens the port at the line of the options (or the family's usual one);
// false with the reason in *error.
bool OpenPort(UnitSession &session, const Options &o, QString *error);
// The unit's members for --json as far as they are known: family, port,
// line, model text (null before a unit answered).
void NoteUnit(UnitSession &session, RunRecord &record, bool lineKnown = true);
// The fields of a set, by key, for --json; only those in scope. Fields
// that hold a whole number are JSON numbers.
QJsonObject FieldsJson(const Family &family, const MemoryFields &fields, unsigned scope);
// A field's value for --json: a number where the field holds one.
QJsonValue FieldJson(const FieldSpec &fieldSpec, const QString &value);
// Differences between a file and a unit for --json: key, caption, file,
// unit.
QJsonArray DifferencesJson(const FieldTable &table, const QList<FieldDifference> &differences);
// The exit code of a failed exchange, its reason on stderr and in the
// record.
int ExitOfFailure(Context &c, UnitSession &session, UnitSession::Result result);
// The field of a family that holds the unit's address.
const FieldSpec &AddressField(const FieldTable &table);

} // namespace qm::cli
