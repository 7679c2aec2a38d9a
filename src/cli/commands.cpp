#include "cli/commands.h"

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
#include <QJsonDocument>

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

QJsonArray differencesJson(const QList<FieldDifference> &differences, const QString &nameA, const QString &nameB)
{
    QJsonArray out;
    for (const FieldDifference &d : differences)
        out.append(QJsonObject{{QStringLiteral("key"), d.key}, {QStringLiteral("caption"), d.caption}, {nameA, d.a}, {nameB, d.b}});
    return out;
}

} // namespace

bool LoadInput(const Family &family, const QString &path, MemoryFields &fields, Progress &progress, QString *error)
{
    const FieldTable &table = family.table();
    if (!QFileInfo::exists(path)) {
        *error = QStringLiteral("%1: no such file").arg(path);
        return false;
    }
    try {
        const IniDocument doc = IniDocument::loadParameters(path, false);
        // A line break can stand in no value: it marks a key that is not there.
        const QByteArray absent = "\n";
        QStringList missing;
        for (const FieldSpec &fieldSpec : table.fields)
            if (fieldSpec.stored() && doc.value(table.section, fieldSpec.key, absent) == absent)
                missing << fieldSpec.keyText();
        if (missing.size() == std::count_if(table.fields.begin(), table.fields.end(), [](const FieldSpec &s) { return s.stored(); })) {
            *error = QStringLiteral("%1: no section [%2] with its keys").arg(path, QString::fromLatin1(table.section));
            return false;
        }
        const FieldSpec *failed = nullptr;
        try {
            LoadFields(table, fields, doc, &failed);
        } catch (const Error &e) {
            if (!failed)
                throw;
            *error = QStringLiteral("%1=%2: %3").arg(failed->keyText(), DecodeGbk(doc.value(table.section, failed->key, failed->defaultValue)), e.message());
            return false;
        }
        if (!missing.isEmpty())
            progress.note(QStringLiteral("%1: keys missing, their defaults taken: %2").arg(path, missing.join(QLatin1Char(' '))));
    } catch (const Error &e) {
        *error = e.message();
        return false;
    }
    return true;
}

bool OpenPort(UnitSession &session, const Options &o, Progress &progress)
{
    const Family &f = session.family();
    QString error;
    if (session.open(o.port, o.rateIndex >= 0 ? o.rateIndex : f.rateIndex, o.parityIndex >= 0 ? o.parityIndex : f.parityIndex, &error))
        return true;
    progress.note(error);
    return false;
}

QJsonObject UnitJson(UnitSession &session, const QString &result)
{
    return {{QStringLiteral("family"), session.family().name},
            {QStringLiteral("port"), session.port()},
            {QStringLiteral("rate"), int(RateOfIndex(session.rateIndex()))},
            {QStringLiteral("parity"), QString(ParityLetter(session.parityIndex()))},
            {QStringLiteral("model"), DecodeGbk(session.modelText())},
            {QStringLiteral("result"), result}};
}

QJsonObject FieldsJson(const Family &family, const MemoryFields &fields, unsigned scope)
{
    QJsonObject out;
    for (const FieldSpec &fieldSpec : family.table().fields)
        if (InScope(fieldSpec, scope))
            out.insert(fieldSpec.keyText(), FieldValue(fieldSpec, fields));
    return out;
}

void PrintJson(const QJsonObject &object)
{
    Out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

int ExitOfFailure(UnitSession &session, UnitSession::Result result, Progress &progress)
{
    progress.note(QStringLiteral("%1: %2").arg(ResultText(result), session.detail()));
    switch (result) {
    case UnitSession::Result::Ok: return ExitOk;
    case UnitSession::Result::NoAnswer: return ExitNoAnswer;
    case UnitSession::Result::Refused: return ExitInput;
    case UnitSession::Result::PortLost: return ExitPort;
    case UnitSession::Result::Interrupted: return ExitInterrupted;
    }
    return ExitUsage;
}

int Ports(const Options &, Context &)
{
    for (const PortDescription &port : SystemPortLister().ports())
        Out(PortItemText(port) + QLatin1Char('\n'));
    return ExitOk;
}

bool LoadWriteInput(const Family &family, const QString &path, MemoryFields &fields, Progress &progress)
{
    QString error;
    if (!LoadInput(family, path, fields, progress, &error)) {
        progress.note(error);
        return false;
    }
    if (const QString problem = CheckWritable(family.table(), fields); !problem.isEmpty()) {
        progress.note(problem);
        return false;
    }
    // The radio takes the written line at once: the port follows it, so a
    // verify can read it back.
    if (fields.has(QStringLiteral("Modify_Sync")))
        fields.setChecked(QStringLiteral("Modify_Sync"), true);
    return true;
}

int TestReport(const Options &o, Context &)
{
    const TestRecordTable table = FormatTestRecords(o.in);
    if (!table.error.isEmpty()) {
        Err(table.error + QLatin1Char('\n'));
        return ExitInput;
    }
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
    if (!o.out.isEmpty() && QFileInfo::exists(o.out) && !LoadInput(family, o.out, fields, c.progress, &error)
        && !error.contains(QStringLiteral("no section"))) {
        c.progress.note(error);
        return ExitInput;
    }
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, c.progress))
        return ExitPort;
    const UnitSession::Result result = session.read(fields);
    KeepRecord(QString(), SessionRecord(session, action::Read, result, &fields), c.progress);
    if (result != UnitSession::Result::Ok) {
        if (o.json)
            PrintJson(UnitJson(session, ResultText(result)));
        return ExitOfFailure(session, result, c.progress);
    }
    if (!o.out.isEmpty()) {
        try {
            StoreFieldsToFile(family.table(), fields, o.out);
        } catch (const Error &e) {
            c.progress.note(e.message());
            return ExitInput;
        }
        c.progress.note(QStringLiteral("stored in %1").arg(o.out));
    }
    if (o.json) {
        QJsonObject unit = UnitJson(session, QStringLiteral("ok"));
        unit.insert(QStringLiteral("fields"), FieldsJson(family, fields, ReturnedFields));
        PrintJson(unit);
    } else if (o.out.isEmpty()) {
        Out(sectionText(family, fields));
    }
    return ExitOk;
}

int Write(const Options &o, Context &c)
{
    const Family &family = *o.family;
    const FieldTable &table = family.table();
    MemoryFields fields(table);
    if (!LoadWriteInput(family, o.in, fields, c.progress))
        return ExitInput;
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, c.progress))
        return ExitPort;
    UnitSession::Result result = session.write(fields);
    QJsonObject unit;
    if (result != UnitSession::Result::Ok) {
        if (o.json)
            PrintJson(UnitJson(session, ResultText(result)));
        return ExitOfFailure(session, result, c.progress);
    }
    int code = c.interrupts.count() > 0 ? ExitInterrupted : ExitOk;
    QList<FieldDifference> differences;
    if (o.verify && code == ExitOk) {
        MemoryFields back(table);
        result = session.read(back);
        if (result != UnitSession::Result::Ok) {
            if (o.json)
                PrintJson(UnitJson(session, QStringLiteral("verify: ") + ResultText(result)));
            return ExitOfFailure(session, result, c.progress);
        }
        differences = Differences(table, fields, back, SentFields | ReturnedFields);
        if (!differences.isEmpty())
            code = ExitDiffers;
    }
    const QString outcome = code == ExitDiffers ? QStringLiteral("verify failed") : QStringLiteral("ok");
    if (o.json) {
        unit = UnitJson(session, outcome);
        unit.insert(QStringLiteral("fields"), FieldsJson(family, fields, SentFields));
        if (o.verify)
            unit.insert(QStringLiteral("differences"), differencesJson(differences, QStringLiteral("file"), QStringLiteral("unit")));
        PrintJson(unit);
    } else {
        printDifferences(differences, QStringLiteral("file"), QStringLiteral("unit"));
        Out(QStringLiteral("%1: %2 written%3 on %4 at %5\n")
                .arg(outcome, family.title, o.verify ? QStringLiteral(" and read back") : QString(), session.port(), lineText(session)));
    }
    return code;
}

int Verify(const Options &o, Context &c)
{
    const Family &family = *o.family;
    const FieldTable &table = family.table();
    MemoryFields file(table);
    QString error;
    if (!LoadInput(family, o.in, file, c.progress, &error)) {
        c.progress.note(error);
        return ExitInput;
    }
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, c.progress))
        return ExitPort;
    MemoryFields unit(table);
    const UnitSession::Result result = session.read(unit);
    if (result != UnitSession::Result::Ok) {
        if (o.json)
            PrintJson(UnitJson(session, ResultText(result)));
        return ExitOfFailure(session, result, c.progress);
    }
    const QList<FieldDifference> differences = Differences(table, file, unit, StoredFields | ReturnedFields);
    const QString outcome = differences.isEmpty() ? QStringLiteral("ok") : QStringLiteral("verify failed");
    if (o.json) {
        QJsonObject json = UnitJson(session, outcome);
        json.insert(QStringLiteral("differences"), differencesJson(differences, QStringLiteral("file"), QStringLiteral("unit")));
        PrintJson(json);
    } else {
        printDifferences(differences, QStringLiteral("file"), QStringLiteral("unit"));
        Out(QStringLiteral("%1: %2 differing field(s)\n").arg(outcome).arg(differences.size()));
    }
    return differences.isEmpty() ? ExitOk : ExitDiffers;
}

} // namespace qm::cli
