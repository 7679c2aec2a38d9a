// qmset batch: programs one unit after another on one port. It waits for a
// unit to answer, writes the file, reads it back, appends a line to the
// report, and waits for the unit to go before the next one.
#include "cli/commands.h"
#include "cli/interrupts.h"
#include "cli/progress.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "headless/families.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <unistd.h>

namespace qm::cli {

namespace {

// A unit is asked about once a second; one that misses this many answers
// in a row has been taken off the cable.
constexpr int kAskEveryMs = 1000;
constexpr int kMissesForGone = 2;

QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// The report: UTF-8 with a byte-order mark, so spreadsheet programs read
// the Chinese texts; appended to and on disk after every unit.
class ReportFile {
public:
    bool open(const QString &path, QString *error)
    {
        file_.setFileName(path);
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
            *error = QStringLiteral("cannot open the report %1: %2").arg(path, file_.errorString());
            return false;
        }
        if (file_.size() == 0)
            return append({QStringLiteral("time"), QStringLiteral("port"), QStringLiteral("family"), QStringLiteral("model"),
                           QStringLiteral("address"), QStringLiteral("result"), QStringLiteral("differences"),
                           QStringLiteral("duration_ms")},
                          error, QByteArrayLiteral("\xEF\xBB\xBF"));
        return true;
    }
    bool append(const QStringList &fields, QString *error, const QByteArray &prefix = {})
    {
        QStringList quoted;
        for (const QString &f : fields)
            quoted << csvField(f);
        const QByteArray line = prefix + quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
        if (file_.write(line) != line.size() || !file_.flush() || ::fsync(file_.handle()) != 0) {
            *error = QStringLiteral("cannot write the report %1: %2").arg(file_.fileName(), file_.errorString());
            return false;
        }
        return true;
    }

private:
    QFile file_;
};

// Sleeps ms in the event loop; a Ctrl+C ends the sleep.
void pause(Interrupts &interrupts, int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(&interrupts, &Interrupts::raised, &loop, &QEventLoop::quit);
    loop.exec();
}

// Asks once a second until a unit answers (present) or has missed
// kMissesForGone answers in a row (!present). False on Ctrl+C or when the
// port is gone.
bool waitForUnit(UnitSession &session, Interrupts &interrupts, bool present)
{
    int misses = 0;
    while (interrupts.count() == 0 && session.link().port().isOpen()) {
        QElapsedTimer clock;
        clock.start();
        const bool answered = session.probe();
        if (present && answered)
            return true;
        misses = answered ? 0 : misses + 1;
        if (!present && misses >= kMissesForGone)
            return true;
        pause(interrupts, kAskEveryMs - int(clock.elapsed()));
    }
    return false;
}

// The unit's address as the fields hold it (each family has one field
// "..._Address").
QString addressOf(const FieldTable &table, const MemoryFields &fields)
{
    for (const FieldSpec &fieldSpec : table.fields)
        if (fieldSpec.name.endsWith(QLatin1String("_Address")))
            return fields.text(fieldSpec.name);
    return {};
}

} // namespace

int Batch(const Options &o, Context &c)
{
    const Family &family = *o.family;
    const FieldTable &table = family.table();
    MemoryFields file(table);
    if (!LoadWriteInput(family, o.in, file, c.progress))
        return ExitInput;
    ReportFile report;
    QString error;
    if (!report.open(o.report, &error)) {
        c.progress.note(error);
        return ExitInput;
    }
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, c.progress))
        return ExitPort;
    const qint32 rateIndex = session.rateIndex();
    const qint32 parityIndex = session.parityIndex();

    int units = 0;
    for (;;) {
        c.progress.step(QStringLiteral("batch: %1 unit(s) done, waiting for the next one on %2").arg(units).arg(session.port()));
        if (!waitForUnit(session, c.interrupts, true))
            break;
        QElapsedTimer clock;
        clock.start();
        const QString time = [] {
            QDateTime now = QDateTime::currentDateTime();
            now.setOffsetFromUtc(now.offsetFromUtc());
            return now.toString(Qt::ISODate);
        }();
        MemoryFields written = file;
        MemoryFields back(table);
        UnitSession::Result result = session.write(written);
        QString outcome;
        QStringList differing;
        QString address = addressOf(table, written);
        if (result == UnitSession::Result::Ok && c.interrupts.count() < 2)
            result = session.read(back);
        switch (result) {
        case UnitSession::Result::Ok: {
            address = addressOf(table, back);
            for (const FieldDifference &d : Differences(table, written, back, SentFields | ReturnedFields))
                differing << QStringLiteral("%1: %2 -> %3").arg(d.key, d.a, d.b);
            outcome = differing.isEmpty() ? QStringLiteral("ok") : QStringLiteral("verify failed");
            break;
        }
        case UnitSession::Result::NoAnswer:
            outcome = QStringLiteral("no answer");
            differing << session.detail();
            break;
        default:
            outcome = QStringLiteral("error");
            differing << session.detail();
            break;
        }
        ++units;
        if (!report.append({time, session.port(), family.name, DecodeGbk(session.modelText()), address, outcome,
                            differing.join(QStringLiteral("; ")), QString::number(clock.elapsed())},
                           &error)) {
            c.progress.note(error);
            return ExitInput;
        }
        c.progress.note(QStringLiteral("unit %1: %2%3 (%4 ms)")
                            .arg(units)
                            .arg(outcome, differing.isEmpty() ? QString() : QStringLiteral(": ") + differing.join(QStringLiteral("; ")))
                            .arg(clock.elapsed()));
        if (result == UnitSession::Result::PortLost)
            return ExitPort;
        if (c.interrupts.count() > 0)
            break;
        // The next unit listens at the line the batch started with.
        session.setLine(rateIndex, parityIndex);
        c.progress.step(QStringLiteral("batch: %1 unit(s) done, take the unit off the cable").arg(units));
        if (!waitForUnit(session, c.interrupts, false))
            break;
    }
    c.progress.finish();
    if (!session.link().port().isOpen() && c.interrupts.count() == 0)
        return ExitPort;
    return c.interrupts.count() >= 2 ? ExitInterrupted : ExitOk;
}

} // namespace qm::cli
