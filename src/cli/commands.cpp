#include "cli/commands.h"

#include "cli/inputfile.h"
#include "cli/interrupts.h"
#include "cli/progress.h"
#include "cli/records.h"
#include "common/errors.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "headless/families.h"
#include "link/linesettings.h"
#include "link/portlist.h"
#include "testpage/testrecord.h"

#include <QFileInfo>
#include <QJsonArray>

namespace qm::cli {

namespace {

QString lineText(UnitSession &session)
{
    return QStringLiteral("%1,%2").arg(RateOfIndex(session.rateIndex())).arg(ParityLetter(session.parityIndex()));
}

// The section as the page stores it, as text for stdout.
QString sectionText(const Family &family, const MemoryFields &fields)
{
    IniDocument doc = IniDocument::fromBytes(QString(), {});
    StoreFields(family.table(), fields, doc);
    return DecodeGbk(doc.bytes()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void printDifferences(const QList<FieldDifference> &differences, const QString &nameA, const QString &nameB)
{
    for (const FieldDifference &d : differences)
        Out(QStringLiteral("%1 (%2): %3 %4, %5 %6\n").arg(d.key, d.caption, nameA, d.a, nameB, d.b));
}

} // namespace

QString ResultOfExit(int code)
{
    switch (code) {
    case ExitOk: return QStringLiteral("ok");
    case ExitUsage: return QStringLiteral("usage");
    case ExitNoAnswer: return QStringLiteral("no answer");
    case ExitPort: return QStringLiteral("port error");
    case ExitInput: return QStringLiteral("bad input");
    case ExitDiffers: return QStringLiteral("verify failed");
    case ExitUnitsFailed: return QStringLiteral("units failed");
    case ExitReport: return QStringLiteral("report not written");
    default: return QStringLiteral("interrupted");
    }
}

int Fail(Context &c, int code, const QString &reason)
{
    c.progress.note(reason);
    c.record.error = reason;
    return code;
}

bool OpenPort(UnitSession &session, const Options &o, QString *error)
{
    const Family &f = session.family();
    return session.open(o.port, o.rateIndex >= 0 ? o.rateIndex : f.rateIndex, o.parityIndex >= 0 ? o.parityIndex : f.parityIndex, error);
}

void NoteUnit(UnitSession &session, RunRecord &record, bool lineKnown)
{
    QJsonObject &m = record.members;
    m.insert(QStringLiteral("family"), session.family().name);
    m.insert(QStringLiteral("port"), session.port());
    if (lineKnown) {
        m.insert(QStringLiteral("rate"), int(RateOfIndex(session.rateIndex())));
        m.insert(QStringLiteral("parity"), QString(ParityLetter(session.parityIndex())));
    }
    // The central and subscriber units report no model text.
    if (!session.modelText().isEmpty())
        m.insert(QStringLiteral("model"), DecodeGbk(session.modelText()));
}

QJsonArray DifferencesJson(const FieldTable &table, const QList<FieldDifference> &differences)
{
    QJsonArray out;
    for (const FieldDifference &d : differences) {
        const FieldSpec *fieldSpec = table.find(d.name);
        out.append(QJsonObject{{QStringLiteral("key"), d.key},
                               {QStringLiteral("caption"), d.caption},
                               {QStringLiteral("file"), fieldSpec ? FieldJson(*fieldSpec, d.a) : QJsonValue(d.a)},
                               {QStringLiteral("unit"), fieldSpec ? FieldJson(*fieldSpec, d.b) : QJsonValue(d.b)}});
    }
    return out;
}

QJsonValue FieldJson(const FieldSpec &fieldSpec, const QString &value)
{
    if (HoldsNumber(fieldSpec))
        if (const std::optional<qint32> n = TryStrToInt(value))
            return *n;
    return value;
}

QJsonObject FieldsJson(const Family &family, const MemoryFields &fields, unsigned scope)
{
    QJsonObject out;
    for (const FieldSpec &fieldSpec : family.table().fields)
        if (InScope(fieldSpec, scope))
            out.insert(fieldSpec.keyText(), FieldJson(fieldSpec, FieldValue(fieldSpec, fields)));
    return out;
}

int ExitOfFailure(Context &c, UnitSession &session, UnitSession::Result result)
{
    NoteUnit(session, c.record);
    const QString reason = QStringLiteral("%1: %2").arg(ResultText(result), session.detail());
    switch (result) {
    case UnitSession::Result::Ok: return ExitOk;
    case UnitSession::Result::NoAnswer: return Fail(c, ExitNoAnswer, reason);
    case UnitSession::Result::Refused: return Fail(c, ExitInput, reason);
    case UnitSession::Result::PortLost: return Fail(c, ExitPort, reason);
    case UnitSession::Result::Interrupted: return Fail(c, c.interrupts.exitCode(), reason);
    }
    return Fail(c, ExitUsage, reason);
}

int Ports(const Options &o, Context &c)
{
    QJsonArray list;
    for (const PortDescription &port : SystemPortLister().ports()) {
        if (!o.json) {
            Out(PortItemText(port) + QLatin1Char('\n'));
            continue;
        }
        QJsonObject item{{QStringLiteral("path"), port.location},
                         {QStringLiteral("description"), port.description},
                         {QStringLiteral("manufacturer"), port.manufacturer},
                         {QStringLiteral("serial"), port.serialNumber}};
        const auto hex = [](std::optional<quint16> id) {
            return id ? QJsonValue(QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0'))) : QJsonValue(QJsonValue::Null);
        };
        item.insert(QStringLiteral("vendor"), hex(port.vendorId));
        item.insert(QStringLiteral("product"), hex(port.productId));
        list.append(item);
    }
    c.record.members.insert(QStringLiteral("ports"), list);
    return ExitOk;
}

bool LoadWriteInput(const Family &family, const Options &o, MemoryFields &fields, Progress &progress, QString *error)
{
    if (!LoadInput(family, o.in, {InputUse::Write, o.allowDefaults, o.settings}, fields, progress, error))
        return false;
    if (const QString problem = CheckWritable(family.table(), fields); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    // The radio takes the written line at once: the port follows it, so a
    // verify can read it back.
    if (fields.has(QStringLiteral("Modify_Sync")))
        fields.setChecked(QStringLiteral("Modify_Sync"), true);
    return true;
}

int TestReport(const Options &o, Context &c)
{
    const TestRecordTable table = FormatTestRecords(o.in);
    if (!table.error.isEmpty())
        return Fail(c, ExitInput, table.error);
    Out(table.text);
    return ExitOk;
}

int Read(const Options &o, Context &c)
{
    const Family &family = *o.family;
    MemoryFields fields(family.table());
    // Fields the unit does not report (the subscriber unit's base station)
    // keep what the file holds.
    QString error;
    if (!o.out.isEmpty() && QFileInfo::exists(o.out) && !LoadInput(family, o.out, {InputUse::Keep}, fields, c.progress, &error)
        && !error.contains(QStringLiteral("no section")))
        return Fail(c, ExitInput, error);
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, &error))
        return Fail(c, ExitPort, error);
    const UnitSession::Result result = session.read(fields);
    KeepRecord(o.db, SessionRecord(session, action::Read, result, &fields), c.progress);
    if (result != UnitSession::Result::Ok)
        return ExitOfFailure(c, session, result);
    NoteUnit(session, c.record);
    if (!o.out.isEmpty()) {
        try {
            StoreFieldsToFile(family.table(), fields, o.out);
        } catch (const Error &e) {
            return Fail(c, ExitInput, e.message());
        }
        c.progress.note(QStringLiteral("stored in %1").arg(o.out));
    }
    if (o.json)
        c.record.members.insert(QStringLiteral("fields"), FieldsJson(family, fields, ReturnedFields));
    else if (o.out.isEmpty())
        Out(sectionText(family, fields));
    return ExitOk;
}

int Write(const Options &o, Context &c)
{
    const Family &family = *o.family;
    const FieldTable &table = family.table();
    MemoryFields fields(table);
    QString error;
    if (!LoadWriteInput(family, o, fields, c.progress, &error))
        return Fail(c, ExitInput, error);
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, &error))
        return Fail(c, ExitPort, error);
    QList<FieldDifference> differences;
    const int code = [&] {
        UnitSession::Result result = session.write(fields);
        if (result != UnitSession::Result::Ok)
            return ExitOfFailure(c, session, result);
        NoteUnit(session, c.record);
        c.record.members.insert(QStringLiteral("fields"), FieldsJson(family, fields, SentFields));
        const QString done = QStringLiteral("%1 written on %2 at %3").arg(family.title, session.port(), lineText(session));
        // A Ctrl+C during the write let it finish; nothing more runs.
        if (c.interrupts.count() > 0) {
            c.record.result = o.verify ? QStringLiteral("written, not verified") : QStringLiteral("written");
            c.record.error = QStringLiteral("interrupted");
            if (!o.json)
                Out(QStringLiteral("%1 (interrupted): %2\n").arg(c.record.result, done));
            return c.interrupts.exitCode();
        }
        if (!o.verify) {
            if (!o.json)
                Out(QStringLiteral("ok: %1\n").arg(done));
            return int(ExitOk);
        }
        MemoryFields back(table);
        result = session.read(back, false, BackupSource::Verify);
        if (result != UnitSession::Result::Ok) {
            const int failed = ExitOfFailure(c, session, result);
            c.record.result = QStringLiteral("written, not verified");
            if (!o.json)
                Out(QStringLiteral("written, not verified (%1): %2\n").arg(ResultText(result), done));
            return failed;
        }
        NoteUnit(session, c.record);
        differences = Differences(table, fields, back, SentFields | ReturnedFields);
        c.record.members.insert(QStringLiteral("differences"), DifferencesJson(table, differences));
        const int verified = differences.isEmpty() ? ExitOk : ExitDiffers;
        if (!o.json) {
            printDifferences(differences, QStringLiteral("file"), QStringLiteral("unit"));
            Out(QStringLiteral("%1: %2 and read back\n").arg(ResultOfExit(verified), done));
        }
        return verified;
    }();
    // The record holds what went to the unit once the write began.
    UnitRecord record = CommandRecord(session, action::Write, c.record.result.isEmpty() ? ResultOfExit(code) : c.record.result,
                                      c.record.error, session.writeBegan() ? &fields : nullptr);
    record.differences = differences;
    KeepRecord(o.db, record, c.progress);
    return code;
}

int Verify(const Options &o, Context &c)
{
    const Family &family = *o.family;
    const FieldTable &table = family.table();
    MemoryFields file(table);
    QString error;
    QSet<QString> present;
    if (!LoadInput(family, o.in, {InputUse::Compare}, file, c.progress, &error, &present))
        return Fail(c, ExitInput, error);
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, &error))
        return Fail(c, ExitPort, error);
    MemoryFields unit(table);
    const UnitSession::Result result = session.read(unit, false, BackupSource::Compare);
    if (result != UnitSession::Result::Ok) {
        const int code = ExitOfFailure(c, session, result);
        KeepRecord(o.db, CommandRecord(session, action::Verify, ResultOfExit(code), c.record.error, nullptr), c.progress);
        return code;
    }
    NoteUnit(session, c.record);
    QList<FieldDifference> differences = Differences(table, file, unit, StoredFields | ReturnedFields);
    differences.removeIf([&present](const FieldDifference &d) { return !present.contains(d.name); });
    c.record.members.insert(QStringLiteral("differences"), DifferencesJson(table, differences));
    const int code = differences.isEmpty() ? ExitOk : ExitDiffers;
    UnitRecord record = CommandRecord(session, action::Verify, ResultOfExit(code), QString(), &unit);
    record.differences = differences;
    KeepRecord(o.db, record, c.progress);
    if (!o.json) {
        printDifferences(differences, QStringLiteral("file"), QStringLiteral("unit"));
        Out(QStringLiteral("%1: %2 differing field(s)\n").arg(ResultOfExit(code)).arg(differences.size()));
    }
    return code;
}

const FieldSpec &AddressField(const FieldTable &table)
{
    for (const FieldSpec &fieldSpec : table.fields)
        if (fieldSpec.name.endsWith(QLatin1String("_Address")))
            return fieldSpec;
    // Every family's table has one.
    return table.fields.constFirst();
}

} // namespace qm::cli
