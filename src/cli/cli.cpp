#include "cli/cli.h"

#include "cli/commands.h"
#include "cli/history.h"
#include "cli/interrupts.h"
#include "cli/progress.h"
#include "common/backupstore.h"
#include "common/errors.h"
#include "common/version.h"
#include "headless/families.h"
#include "register/registertarget.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QSet>

#include <cstring>

namespace qm::cli {

namespace {

// What a subcommand takes.
enum Takes : unsigned {
    TakesFamily = 1,
    NeedsFamily = 2,
    TakesPort = 4,
    TakesLine = 8,
    NeedsIn = 16,
    TakesOut = 32,
    TakesJson = 64,
    TakesVerify = 128,
    NeedsReport = 256,
    TakesDefaults = 512,
    TakesConfirm = 1024,
    TakesHistory = 2048,
    TakesDb = 4096,
    TakesSet = 8192,
    TakesSeries = 16384, // batch: --units, --address-from, --address-step
};

struct Subcommand {
    const char *name;
    const char *synopsis;
    const char *summary;
    unsigned takes;
    int (*run)(const Options &, Context &);
};

// Adding a subcommand is one row here and its function.
const Subcommand kSubcommands[] = {
    {"ports", "qmset ports [--json]", "List the serial devices with description and USB ids.", TakesJson, Ports},
    {"read", "qmset read --family F --port DEVICE [--rate R] [--parity N|E|O] [--out FILE.ini] [--db URL] [--json]",
     "Read a unit; print its parameter section, or store it in FILE.ini (other sections are kept).",
     NeedsFamily | TakesPort | TakesLine | TakesOut | TakesDb | TakesJson, Read},
    {"write",
     "qmset write --family F --port DEVICE [--rate R] [--parity P] --in FILE.ini [--set KEY=VALUE]... [--allow-defaults] "
     "[--verify] [--db URL] [--json]",
     "Write the file's section, with the values of --set over it, into a unit: every key there, every value checked "
     "as a click on the page checks it; --verify reads it back.",
     NeedsFamily | TakesPort | TakesLine | NeedsIn | TakesSet | TakesDefaults | TakesVerify | TakesDb | TakesJson, Write},
    {"verify", "qmset verify --family F --port DEVICE [--rate R] [--parity P] --in FILE.ini [--db URL] [--json]",
     "Read a unit and compare it with the keys of the file; nothing is written.",
     NeedsFamily | TakesPort | TakesLine | NeedsIn | TakesDb | TakesJson, Verify},
    {"detect", "qmset detect --port DEVICE [--family F] [--json]",
     "Find the unit's rate and parity: the family's usual line first, then the 21 settings.",
     TakesFamily | TakesPort | TakesJson, Detect},
    {"batch",
     "qmset batch --family F --port DEVICE [--rate R] [--parity P] --in FILE.ini [--set KEY=VALUE]... [--allow-defaults] "
     "[--units TABLE.csv] [--address-from N [--address-step S]] --report REPORT.csv [--confirm] [--db URL] [--json]",
     "Program one unit after another: write, read back, one report line and one record per unit; each unit takes "
     "the next row of TABLE.csv and the next free address of the series N, N+S, ... from the register. Ctrl+C "
     "stops after the unit in hand.",
     NeedsFamily | TakesPort | TakesLine | NeedsIn | TakesSet | TakesDefaults | TakesSeries | NeedsReport | TakesConfirm
         | TakesDb | TakesJson,
     Batch},
    {"test-report", "qmset test-report --in FILE",
     "Print the calibration records that the test page stored in FILE (.ini or .csv) as a table.",
     NeedsIn, TestReport},
    {"history", "qmset history [--family F] [--address N] [--model TEXT] [--since DATE] [--until DATE] [--db URL] [--json | --csv]",
     "List the register's records of units, newest first; --address N alone gives that unit's whole history.",
     TakesJson | TakesHistory, History},
};

const Subcommand *findSubcommand(const char *name)
{
    for (const Subcommand &s : kSubcommands)
        if (std::strcmp(s.name, name) == 0)
            return &s;
    return nullptr;
}

QString overallHelp()
{
    QString text = QStringLiteral(
        "Usage: qmset [--port COMn=DEVICE]... [--simulate] [--sim-arg ARG]...\n"
        "       qmset SUBCOMMAND [OPTIONS]\n\n"
        "Reads, edits, stores and writes the parameters of DK618 data radios and QM-4700\n"
        "series units over RS-232. Without a subcommand the window starts (it needs a\n"
        "display); the subcommands run without one.\n\n"
        "Window options:\n"
        "  --port COMn=DEVICE  Open DEVICE (a path, rfc2217:// or socket://HOST:PORT)\n"
        "                      when COMn is chosen (COM1..COM4).\n"
        "  --simulate          One simulated unit (qmsim) per family.\n"
        "  --sim-arg ARG       Pass ARG on to the simulated data radio.\n\n"
        "Subcommands:\n");
    for (const Subcommand &s : kSubcommands)
        text += QStringLiteral("  %1\n      %2\n").arg(QLatin1String(s.synopsis), QLatin1String(s.summary));
    text += QStringLiteral(
        "\nF is dk618, mlb4800 or mlr4800. DEVICE is a device path, COM1..COM4, or a\n"
        "device server's port: rfc2217://HOST:PORT (the rate and parity are set through\n"
        "it) or socket://HOST:PORT (raw bytes at the server's own line). The rate\n"
        "and parity default to the family's usual line: 19200 N for dk618 and mlb4800,\n"
        "1200 E for mlr4800. Progress goes to stderr, results to stdout.\n\n"
        "Exit codes: 0 done, 1 wrong usage or stdout not written, 2 the unit did not\n"
        "answer, 3 port error (batch: or no address from the register's server), 4 bad\n"
        "input file or field, 5 verify found differences,\n"
        "6 batch: a unit failed, 7 batch: the report not written, 130 interrupted\n"
        "(Ctrl+C), 143 terminated (SIGTERM).\n"
        "\"qmset SUBCOMMAND --help\" or \"qmset help SUBCOMMAND\" shows one subcommand.\n");
    return text;
}

// Parses a subcommand's options; false with the message in *error (or an
// empty message after --help was printed).
bool parseOptions(const Subcommand &sub, const QStringList &arguments, Options *o, QString *error)
{
    QCommandLineParser p;
    p.setApplicationDescription(QLatin1String(sub.summary));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption family(QStringLiteral("family"), QStringLiteral("Unit family: dk618, mlb4800 or mlr4800."), QStringLiteral("F"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Device path, COM1..COM4, rfc2217://HOST:PORT or socket://HOST:PORT."), QStringLiteral("DEVICE"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Line rate: 300 .. 19200 (default: the family's)."), QStringLiteral("R"));
    const QCommandLineOption parity(QStringLiteral("parity"), QStringLiteral("Parity: N, E or O (default: the family's)."), QStringLiteral("P"));
    const QCommandLineOption in(QStringLiteral("in"), QStringLiteral("Parameter file to write or compare."), QStringLiteral("FILE.ini"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Parameter file to store the unit in."), QStringLiteral("FILE.ini"));
    const QCommandLineOption report(QStringLiteral("report"), QStringLiteral("CSV report, appended to."), QStringLiteral("REPORT.csv"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("One JSON object on stdout (batch: one per unit, then one for the run)."));
    const QCommandLineOption verify(QStringLiteral("verify"), QStringLiteral("Read the unit back and compare every field written."));
    const QCommandLineOption defaults(QStringLiteral("allow-defaults"),
                                      QStringLiteral("Keys missing from the file take their defaults; keys the section does not have are passed over."));
    const QCommandLineOption confirm(QStringLiteral("confirm"), QStringLiteral("Wait for Enter before each unit instead of asking the line."));
    const QCommandLineOption set(QStringLiteral("set"),
                                 QStringLiteral("Put VALUE in the field KEY over the file's (KEY as in the family's section, or the "
                                                "name of a field without a key, e.g. Ptttime); checked as a file's value. Repeatable."),
                                 QStringLiteral("KEY=VALUE"));
    const QCommandLineOption units(QStringLiteral("units"),
                                   QStringLiteral("One row per unit, in order: a header of keys, then each unit's values (UTF-8 or "
                                                  "GBK); a row is used up by a unit whose write began. The batch ends after the last."),
                                   QStringLiteral("TABLE.csv"));
    const QCommandLineOption addressFrom(QStringLiteral("address-from"),
                                         QStringLiteral("Give each unit the next free address of the series N, N+S, ... from the register."),
                                         QStringLiteral("N"));
    const QCommandLineOption addressStep(QStringLiteral("address-step"), QStringLiteral("The step of the address series (default 1)."),
                                         QStringLiteral("S"));
    p.addOption(help);
    const unsigned t = sub.takes;
    if (t & (TakesFamily | NeedsFamily))
        p.addOption(family);
    if (t & TakesPort)
        p.addOption(port);
    if (t & TakesLine)
        p.addOptions({rate, parity});
    if (t & NeedsIn)
        p.addOption(in);
    if (t & TakesSet)
        p.addOption(set);
    if (t & TakesDefaults)
        p.addOption(defaults);
    if (t & TakesSeries)
        p.addOptions({units, addressFrom, addressStep});
    if (t & TakesOut)
        p.addOption(out);
    if (t & NeedsReport)
        p.addOption(report);
    if (t & TakesConfirm)
        p.addOption(confirm);
    if (t & TakesJson)
        p.addOption(json);
    if (t & TakesVerify)
        p.addOption(verify);
    if (t & TakesDb)
        p.addOption(DbOption());
    if (t & TakesHistory)
        AddHistoryOptions(p);
    if (!p.parse(arguments)) {
        *error = p.errorText();
        return false;
    }
    if (p.isSet(help)) {
        Out(QStringLiteral("Usage: %1\n\n").arg(QLatin1String(sub.synopsis)) + p.helpText().section(QLatin1Char('\n'), 1));
        error->clear();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().constFirst());
        return false;
    }
    // Only options the subcommand took may be asked for.
    const auto value = [&](bool taken, const QCommandLineOption &option) { return taken ? p.value(option) : QString(); };
    const auto need = [&](bool needed, const QCommandLineOption &option) {
        if (needed && p.value(option).isEmpty()) {
            *error = QStringLiteral("--%1 is required").arg(option.names().constLast());
            return false;
        }
        return true;
    };
    if (!need(t & NeedsFamily, family) || !need(t & TakesPort, port) || !need(t & NeedsIn, in) || !need(t & NeedsReport, report))
        return false;
    o->port = value(t & TakesPort, port);
    o->in = value(t & NeedsIn, in);
    o->out = value(t & TakesOut, out);
    o->report = value(t & NeedsReport, report);
    if ((t & (TakesFamily | NeedsFamily)) && p.isSet(family)) {
        o->family = FindFamily(p.value(family));
        if (!o->family) {
            *error = QStringLiteral("--family: one of %1, not '%2'").arg(FamilyNames().join(QStringLiteral(", ")), p.value(family));
            return false;
        }
    }
    if ((t & TakesLine) && p.isSet(rate)) {
        o->rateIndex = RateIndexOfText(p.value(rate));
        if (o->rateIndex < 0) {
            *error = QStringLiteral("--rate: one of 300 600 1200 2400 4800 9600 19200, not '%1'").arg(p.value(rate));
            return false;
        }
    }
    if ((t & TakesLine) && p.isSet(parity)) {
        o->parityIndex = ParityIndexOfText(p.value(parity));
        if (o->parityIndex < 0) {
            *error = QStringLiteral("--parity: N, E or O, not '%1'").arg(p.value(parity));
            return false;
        }
    }
    if ((t & TakesHistory) && !TakeHistoryOptions(p, &o->history, error))
        return false;
    if ((t & TakesDb) && !TakeDbOption(p, &o->db, error))
        return false;
    // A command that keeps records must know where, before it starts.
    if (RegisterTarget target; (t & TakesDb) && !RegisterTarget::choose(o->db, &target, error))
        return false;
    if (t & TakesSet) {
        QSet<QString> keys;
        for (const QString &text : p.values(set)) {
            FieldSetting setting;
            if (!ParseSetting(text, &setting)) {
                *error = QStringLiteral("--set: KEY=VALUE, not '%1'").arg(text);
                return false;
            }
            if (keys.contains(setting.key)) {
                *error = QStringLiteral("--set: %1 given twice").arg(setting.key);
                return false;
            }
            keys.insert(setting.key);
            o->settings << setting;
        }
    }
    if (t & TakesSeries) {
        o->units = p.value(units);
        const auto number = [&](const QCommandLineOption &option, qint64 least, qint64 *out) {
            bool ok = false;
            *out = p.value(option).toLongLong(&ok);
            if (ok && *out >= least && *out <= 65535)
                return true;
            *error = QStringLiteral("--%1: a whole number from %2 to 65535, not '%3'").arg(option.names().constFirst()).arg(least).arg(p.value(option));
            return false;
        };
        if (p.isSet(addressFrom) && !number(addressFrom, 0, &o->addressFrom))
            return false;
        if (p.isSet(addressStep) && !(p.isSet(addressFrom) ? number(addressStep, 1, &o->addressStep) : false)) {
            if (error->isEmpty())
                *error = QStringLiteral("--address-step goes with --address-from");
            return false;
        }
    }
    o->json = (t & TakesJson) && p.isSet(json);
    o->verify = (t & TakesVerify) && p.isSet(verify);
    o->allowDefaults = (t & TakesDefaults) && p.isSet(defaults);
    o->confirm = (t & TakesConfirm) && p.isSet(confirm);
    return true;
}

QString commandNames()
{
    QStringList names;
    for (const Subcommand &s : kSubcommands)
        names << QLatin1String(s.name);
    return names.join(QStringLiteral(", ")) + QStringLiteral(", help");
}

// The one JSON object of a run: what the command learnt, its result and,
// after a failure, why. Members a unit command names are there from the
// start, null until known.
void printRecord(const Subcommand &sub, const RunRecord &record, int code)
{
    QJsonObject object{{QStringLiteral("schema"), 1}, {QStringLiteral("command"), QLatin1String(sub.name)}};
    if (sub.takes & (TakesFamily | NeedsFamily | TakesPort))
        for (const char *name : {"family", "port", "rate", "parity"})
            object.insert(QLatin1String(name), QJsonValue::Null);
    // A batch tells each unit's model text in the unit's own object.
    if ((sub.takes & (TakesFamily | NeedsFamily)) && !(sub.takes & NeedsReport))
        object.insert(QStringLiteral("model"), QJsonValue::Null);
    // A batch's run says "units" on every exit path, usage mistakes too:
    // its units' objects say "unit".
    if (sub.takes & NeedsReport)
        for (const char *name : {"units", "failed"})
            object.insert(QLatin1String(name), 0);
    for (auto it = record.members.begin(); it != record.members.end(); ++it)
        object.insert(it.key(), it.value());
    object.insert(QStringLiteral("result"), record.result.isEmpty() ? ResultOfExit(code) : record.result);
    if (!record.error.isEmpty())
        object.insert(QStringLiteral("error"), record.error);
    OutJson(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Everything written to stdout reached it, or the run fails as cat does.
int finished(int code)
{
    QString reason;
    if (FinishOutput(&reason))
        return code;
    Err(QStringLiteral("qmset: write error: %1\n").arg(reason));
    return ExitUsage;
}

} // namespace

bool Handles(int argc, char **argv)
{
    if (argc < 2)
        return false;
    // A first word that is no option is a command, known or not: a
    // misspelt one is told so, and does not start the window.
    if (argv[1][0] != '-')
        return true;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--version"))
            return true;
    return false;
}

int Run(int argc, char **argv)
{
    GuardStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qmset"));
    QCoreApplication::setApplicationVersion(kApplicationVersion);
    // An error that ends a handler has no message box here.
    SetErrorSink([](const QString &message) { Err(message + QLatin1Char('\n')); });

    QStringList arguments = QCoreApplication::arguments();
    // "qmset help CMD" is "qmset CMD --help"; "qmset help" the overview.
    if (arguments.value(1) == QLatin1String("help")) {
        if (arguments.size() == 2) {
            Out(overallHelp());
            return finished(ExitOk);
        }
        arguments = QStringList{arguments[0], arguments[2], QStringLiteral("--help")};
    }
    const QString first = arguments.value(1);
    const Subcommand *sub = findSubcommand(first.toLocal8Bit().constData());
    if (!sub) {
        if (!first.startsWith(QLatin1Char('-'))) {
            Err(QStringLiteral("qmset: unknown command '%1' (commands: %2)\n").arg(first, commandNames()));
            return ExitUsage;
        }
        if (arguments.contains(QLatin1String("--version")))
            Out(QStringLiteral("qmset %1\n").arg(kApplicationVersion));
        else
            Out(overallHelp());
        return finished(ExitOk);
    }
    Options options;
    RunRecord record;
    QString error;
    // The subcommand's name stands where QCommandLineParser expects the
    // program's.
    if (!parseOptions(*sub, arguments.mid(1), &options, &error)) {
        if (error.isEmpty())
            return finished(ExitOk);
        Err(QStringLiteral("qmset %1: %2\nUsage: %3\n").arg(QLatin1String(sub->name), error, QLatin1String(sub->synopsis)));
        if ((sub->takes & TakesJson) && arguments.contains(QLatin1String("--json"))) {
            record.error = error;
            printRecord(*sub, record, ExitUsage);
        }
        return finished(ExitUsage);
    }
    // Commands that talk to a unit keep its backups; the old ones go first,
    // as at the window's start.
    if (options.family)
        PruneBackups(BackupFolder(), QDate::currentDate());
    if (options.family)
        record.members.insert(QStringLiteral("family"), options.family->name);
    if (!options.port.isEmpty())
        record.members.insert(QStringLiteral("port"), options.port);
    Progress progress;
    Interrupts interrupts;
    Context context{progress, interrupts, record};
    const int code = sub->run(options, context);
    progress.finish();
    if (options.json)
        printRecord(*sub, record, code);
    return finished(code);
}

} // namespace qm::cli
