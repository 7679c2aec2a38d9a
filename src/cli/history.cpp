#include "cli/history.h"

#include "cli/commands.h"
#include "cli/progress.h"
#include "headless/families.h"
#include "register/recordcodec.h"
#include "register/recordspool.h"
#include "register/recordtable.h"
#include "register/unitregister.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace qm::cli {

namespace {

const QCommandLineOption kFamily(QStringLiteral("family"), QStringLiteral("Only this family: dk618, mlb4800 or mlr4800."), QStringLiteral("F"));
const QCommandLineOption kAddress(QStringLiteral("address"), QStringLiteral("Only the unit of this address: its whole history."), QStringLiteral("N"));
const QCommandLineOption kModel(QStringLiteral("model"), QStringLiteral("Only models whose text begins with TEXT."), QStringLiteral("TEXT"));
const QCommandLineOption kSince(QStringLiteral("since"), QStringLiteral("From this date (YYYY-MM-DD) or time (YYYY-MM-DDTHH:MM) on."), QStringLiteral("DATE"));
const QCommandLineOption kUntil(QStringLiteral("until"), QStringLiteral("Up to this date (the whole day) or time."), QStringLiteral("DATE"));
const QCommandLineOption kCsv(QStringLiteral("csv"), QStringLiteral("CSV (UTF-8 with a byte-order mark) on stdout."));

// Columns of the text table, widths by their longest cell.
void printTable(const QList<UnitRecord> &records)
{
    QList<QStringList> rows{{QStringLiteral("time"), QStringLiteral("station"), QStringLiteral("operator"),
                             QStringLiteral("port"), QStringLiteral("family"), QStringLiteral("model"),
                             QStringLiteral("address"), QStringLiteral("action"), QStringLiteral("result")}};
    for (const UnitRecord &r : records)
        rows.append({LocalTimeText(r), r.station, r.operatorName, r.port, r.family, r.model, r.address, r.action,
                     r.detail.isEmpty() ? r.result : QStringLiteral("%1 (%2)").arg(r.result, r.detail)});
    QList<qsizetype> widths(rows[0].size(), 0);
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QString text;
    for (qsizetype n = 0; n < rows.size(); ++n) {
        QString line;
        for (qsizetype i = 0; i < rows[n].size(); ++i)
            line += i + 1 < rows[n].size() ? rows[n][i].leftJustified(widths[i] + 2) : rows[n][i];
        text += line + QLatin1Char('\n');
        if (n == 0)
            continue;
        const UnitRecord &r = records[n - 1];
        for (const FieldDifference &d : r.differences)
            text += QStringLiteral("    %1: %2 -> %3\n").arg(d.key, d.a, d.b);
        if (!r.backupFile.isEmpty())
            text += QStringLiteral("    backup: %1\n").arg(r.backupFile);
    }
    Out(text);
}

void tellWaiting(UnitRegister &reg, Progress &progress)
{
    QString error;
    const QList<std::pair<QString, int>> waiting = reg.spool().waitingByTarget(&error);
    if (!error.isEmpty()) {
        progress.note(error);
        return;
    }
    bool told = false;
    for (const auto &[target, count] : waiting) {
        progress.note(QStringLiteral("%1 record(s) wait in the local spool %2 for %3").arg(count).arg(reg.spool().path(), target));
        told = told || target == reg.target().display();
    }
    if (reg.target().isServer() && !told)
        progress.note(QStringLiteral("no records wait in the local spool for %1").arg(reg.target().display()));
}

} // namespace

void AddHistoryOptions(QCommandLineParser &parser)
{
    parser.addOptions({kFamily, kAddress, kModel, kSince, kUntil, DbOption(), kCsv});
}

const QCommandLineOption &DbOption()
{
    static const QCommandLineOption option(
        QStringLiteral("db"),
        QStringLiteral("The register: postgresql://USER@HOST[:PORT]/DB or a SQLite file (default: QMSET_DB, else "
                       "register.sqlite in the data folder)."),
        QStringLiteral("URL"));
    return option;
}

bool TakeDbOption(const QCommandLineParser &parser, QString *db, QString *error)
{
    *db = parser.value(DbOption());
    RegisterTarget target;
    if (parser.isSet(DbOption()) && !RegisterTarget::parse(*db, &target, error)) {
        *error = QStringLiteral("--db: %1").arg(*error);
        return false;
    }
    return true;
}

bool TakeHistoryOptions(const QCommandLineParser &p, HistoryOptions *o, QString *error)
{
    if (p.isSet(kFamily)) {
        const Family *family = FindFamily(p.value(kFamily));
        if (!family) {
            *error = QStringLiteral("--family: one of %1, not '%2'").arg(FamilyNames().join(QStringLiteral(", ")), p.value(kFamily));
            return false;
        }
        o->family = family->name;
    }
    if (p.isSet(kAddress)) {
        bool ok = false;
        o->address = p.value(kAddress).toLongLong(&ok);
        if (!ok || o->address < 0) {
            *error = QStringLiteral("--address: a whole number from 0, not '%1'").arg(p.value(kAddress));
            return false;
        }
    }
    o->model = p.value(kModel);
    for (const auto &[option, upper, bound] : {std::tuple{&kSince, false, &o->since}, std::tuple{&kUntil, true, &o->until}}) {
        if (p.isSet(*option) && !ParseTimeBound(p.value(*option), upper, bound)) {
            *error = QStringLiteral("--%1: a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS], not '%2'")
                         .arg(option->names().constFirst(), p.value(*option));
            return false;
        }
    }
    if (!TakeDbOption(p, &o->db, error))
        return false;
    o->csv = p.isSet(kCsv);
    return true;
}

int History(const Options &o, Context &c)
{
    const HistoryOptions &h = o.history;
    if (h.csv && o.json)
        return Fail(c, ExitUsage, QStringLiteral("qmset history: --json or --csv, not both"));
    RegisterTarget target;
    QString error;
    if (!RegisterTarget::choose(h.db, &target, &error))
        return Fail(c, ExitUsage, QStringLiteral("qmset history: %1").arg(error));
    UnitRegister reg(target);
    c.record.members.insert(QStringLiteral("register"), target.display());
    const auto noteWaiting = [&] { c.record.members.insert(QStringLiteral("waiting"), reg.waiting()); };
    // What waits for this server goes first, so the list is whole.
    if (target.isServer() && reg.drain(&error) < 0) {
        tellWaiting(reg, c.progress);
        noteWaiting();
        return Fail(c, ExitPort, QStringLiteral("register not reached: %1").arg(error));
    }
    RecordFilter filter;
    filter.family = h.family;
    filter.model = h.model;
    filter.address = h.address;
    filter.since = h.since;
    filter.until = h.until;
    QList<UnitRecord> records;
    if (!reg.find(filter, &records, &error)) {
        tellWaiting(reg, c.progress);
        noteWaiting();
        return Fail(c, ExitPort, QStringLiteral("register not read: %1").arg(error));
    }
    if (o.json) {
        // One object for the run: the records, newest first.
        QJsonArray list;
        for (const UnitRecord &r : records)
            list.append(RecordJson(r));
        c.record.members.insert(QStringLiteral("records"), list);
        noteWaiting();
    } else if (h.csv) {
        // The bytes as they are: a QString would drop the byte-order mark.
        OutBytes(RecordsCsv(records));
    } else if (!records.isEmpty()) {
        printTable(records);
    }
    c.progress.note(QStringLiteral("%1 record(s) in %2").arg(records.size()).arg(target.display()));
    tellWaiting(reg, c.progress);
    return ExitOk;
}

} // namespace qm::cli
