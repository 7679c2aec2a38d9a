// qmset batch: programs one unit after another on one port. It waits for a
// unit, writes the file, reads it back, appends a line to the report, and
// waits for the next unit: one that says it is another, or any unit once
// the last one has been away.
#include "cli/batchreport.h"
#include "cli/commands.h"
#include "cli/interrupts.h"
#include "cli/progress.h"
#include "common/errors.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "headless/families.h"
#include "link/linesettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace qm::cli {

namespace {

// A unit is asked about once a second; one that misses this many answers
// in a row has been taken off the cable.
constexpr int kAskEveryMs = 1000;
constexpr int kMissesForGone = 3;

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

// The unit's address as the fields hold it (each family has one field
// "..._Address").
QString addressOf(const FieldTable &table, const MemoryFields &fields)
{
    for (const FieldSpec &fieldSpec : table.fields)
        if (fieldSpec.name.endsWith(QLatin1String("_Address")))
            return fields.text(fieldSpec.name);
    return {};
}

QString isoNow()
{
    QDateTime now = QDateTime::currentDateTime();
    now.setOffsetFromUtc(now.offsetFromUtc());
    return now.toString(Qt::ISODate);
}

// One unit of the run, as its report row and its --json object tell it.
struct UnitOutcome {
    int number = 0;
    QString time;
    QByteArray model;
    std::optional<quint16> address; // as read back; none when no read got it
    QString result;                 // ok, verify failed, no answer, port error, interrupted, error
    QList<FieldDifference> differences;
    QString reason; // why it failed
    qint64 durationMs = 0;
    bool ok() const { return result == QLatin1String("ok"); }
    UnitIdentity identity() const { return {model, address}; }
};

class BatchRun {
public:
    BatchRun(const Options &o, Context &c, UnitSession &session)
        : o_(o)
        , c_(c)
        , session_(session)
        , table_(session.family().table())
    {
    }

    // Waits for the next unit; false when the batch is to end (a signal,
    // stdin closed under --confirm, the port gone).
    bool waitForUnit(const std::optional<UnitIdentity> &inHand, int done)
    {
        return o_.confirm ? waitForEnter(done) : waitForAnswer(inHand, done);
    }

    // Writes values into the unit on the line and reads it back. A first
    // Ctrl+C lets both run to their end.
    UnitOutcome program(int number, const MemoryFields &values)
    {
        UnitOutcome u;
        u.number = number;
        u.time = isoNow();
        QElapsedTimer clock;
        clock.start();
        MemoryFields written = values;
        MemoryFields back(table_);
        UnitSession::Result result = session_.write(written);
        u.model = session_.modelText();
        bool readBack = false;
        if (result == UnitSession::Result::Ok && c_.interrupts.count() < 2) {
            result = session_.read(back, true);
            readBack = true;
            if (!session_.modelText().isEmpty())
                u.model = session_.modelText();
        }
        const bool addressRead = readBack
            && (result == UnitSession::Result::Ok
                || (result == UnitSession::Result::NoAnswer && session_.failedStep() > session_.family().addressReadStep));
        if (addressRead)
            if (const std::optional<qint32> a = TryStrToInt(addressOf(table_, back)))
                u.address = quint16(*a);
        switch (result) {
        case UnitSession::Result::Ok:
            u.differences = Differences(table_, written, back, SentFields | ReturnedFields);
            u.result = u.differences.isEmpty() ? QStringLiteral("ok") : QStringLiteral("verify failed");
            break;
        case UnitSession::Result::NoAnswer: u.result = QStringLiteral("no answer"); break;
        case UnitSession::Result::PortLost: u.result = QStringLiteral("port error"); break;
        case UnitSession::Result::Interrupted: u.result = QStringLiteral("interrupted"); break;
        case UnitSession::Result::Refused: u.result = QStringLiteral("error"); break;
        }
        if (result != UnitSession::Result::Ok)
            u.reason = (readBack ? QStringLiteral("read-back: ") : QString()) + session_.detail();
        u.durationMs = clock.elapsed();
        // Enter pressed while the unit was programmed does not start the
        // next one.
        if (o_.confirm)
            drainInput();
        return u;
    }

    QString differencesText(const UnitOutcome &u) const
    {
        QStringList parts;
        for (const FieldDifference &d : u.differences)
            parts << QStringLiteral("%1: %2 -> %3").arg(d.key, d.a, d.b);
        if (!u.reason.isEmpty())
            parts << u.reason;
        return parts.join(QStringLiteral("; "));
    }

    QStringList row(const UnitOutcome &u) const
    {
        return {u.time, session_.port(), session_.family().name, DecodeGbk(u.model),
                u.address ? QString::number(*u.address) : QString(), u.result, differencesText(u), QString::number(u.durationMs)};
    }

    QJsonObject json(const UnitOutcome &u) const
    {
        QJsonObject object{{QStringLiteral("schema"), 1},
                           {QStringLiteral("command"), QStringLiteral("batch")},
                           {QStringLiteral("unit"), u.number},
                           {QStringLiteral("time"), u.time},
                           {QStringLiteral("port"), session_.port()},
                           {QStringLiteral("family"), session_.family().name},
                           {QStringLiteral("model"), u.model.isEmpty() ? QJsonValue() : QJsonValue(DecodeGbk(u.model))},
                           {QStringLiteral("address"), u.address ? QJsonValue(int(*u.address)) : QJsonValue()},
                           {QStringLiteral("result"), u.result},
                           {QStringLiteral("differences"), DifferencesJson(table_, u.differences)},
                           {QStringLiteral("duration_ms"), u.durationMs}};
        if (!u.reason.isEmpty())
            object.insert(QStringLiteral("error"), u.reason);
        return object;
    }

    // The unit's line on stderr; a failed unit's names why.
    QString noteText(const UnitOutcome &u) const
    {
        QString who = u.model.isEmpty() ? session_.family().title : DecodeGbk(u.model);
        if (u.address)
            who += QStringLiteral(" at address %1").arg(*u.address);
        if (u.ok())
            return QStringLiteral("unit %1: ok, %2 (%3 ms)").arg(u.number).arg(who).arg(u.durationMs);
        return QStringLiteral("unit %1 FAILED: %2: %3 (%4, %5 ms)").arg(u.number).arg(u.result, differencesText(u), who).arg(u.durationMs);
    }

private:
    // Shows text as the step under way, once until it changes.
    void say(const QString &text)
    {
        if (text != shown_)
            c_.progress.step(text);
        shown_ = text;
    }

    bool waitForAnswer(const std::optional<UnitIdentity> &inHand, int done)
    {
        // The first unit, or one after a unit that told nothing of itself
        // and is gone: whatever answers is new.
        bool gone = !inHand.has_value();
        int misses = 0;
        const QString head = QStringLiteral("batch: %1 unit(s) done").arg(done);
        say(gone ? QStringLiteral("%1, waiting for the next one on %2").arg(head, session_.port())
                 : QStringLiteral("%1, take the unit off the cable").arg(head));
        while (c_.interrupts.count() == 0 && session_.link().port().isOpen()) {
            QElapsedTimer clock;
            clock.start();
            // While the line is empty an answer is all it takes; after a
            // unit, who answers.
            const std::optional<UnitIdentity> answer = gone ? (session_.probe() ? std::optional(UnitIdentity{}) : std::nullopt)
                                                            : session_.identify();
            if (!answer) {
                if (++misses >= kMissesForGone && !gone) {
                    gone = true;
                    say(QStringLiteral("%1, waiting for the next one on %2").arg(head, session_.port()));
                }
            } else {
                misses = 0;
                // Another unit says so by its identity; the one in hand
                // answering again is still on the cable.
                const bool other = inHand && inHand->known() && answer->known() && *answer != *inHand;
                if (gone || other)
                    return true;
                QString who = answer->model.isEmpty() ? session_.family().title : DecodeGbk(answer->model);
                if (answer->address)
                    who += QStringLiteral(" at address %1").arg(*answer->address);
                say(QStringLiteral("%1; %2 still connected: take it off the cable").arg(head, who));
            }
            pause(c_.interrupts, kAskEveryMs - int(clock.elapsed()));
        }
        return false;
    }

    bool waitForEnter(int done)
    {
        for (;;) {
            say(QStringLiteral("batch: %1 unit(s) done; connect the next unit and press Enter (Ctrl+C ends)").arg(done));
            const int line = awaitLine();
            if (line <= 0)
                return false;
            if (session_.probe())
                return true;
            shown_.clear();
            c_.progress.note(QStringLiteral("no unit answers on %1").arg(session_.port()));
        }
    }

    // Waits for a line on stdin: 1 when one came, 0 at its end, -1 on a
    // signal or a lost port.
    int awaitLine()
    {
        for (;;) {
            if (const qsizetype at = input_.indexOf('\n'); at >= 0) {
                input_.remove(0, at + 1);
                return 1;
            }
            if (inputEnded_)
                return 0;
            QEventLoop loop;
            QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
            QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
            QObject::connect(&c_.interrupts, &Interrupts::raised, &loop, &QEventLoop::quit);
            QObject::connect(&session_.link(), &Link::portLost, &loop, &QEventLoop::quit);
            if (c_.interrupts.count() > 0 || !session_.link().port().isOpen())
                return -1;
            loop.exec();
            if (c_.interrupts.count() > 0 || !session_.link().port().isOpen())
                return -1;
            readInput();
        }
    }

    // Takes what stdin holds now, without waiting.
    void readInput()
    {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        while (!inputEnded_ && ::poll(&p, 1, 0) > 0) {
            char bytes[256];
            const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                inputEnded_ = true;
                break;
            }
            input_.append(bytes, n);
        }
    }

    void drainInput()
    {
        readInput();
        input_.clear();
    }

    const Options &o_;
    Context &c_;
    UnitSession &session_;
    const FieldTable &table_;
    QString shown_;
    QByteArray input_;
    bool inputEnded_ = false;
};

} // namespace

int Batch(const Options &o, Context &c)
{
    const Family &family = *o.family;
    const FieldTable &table = family.table();
    MemoryFields file(table);
    QString error;
    if (!LoadWriteInput(family, o, file, c.progress, &error))
        return Fail(c, ExitInput, error);
    BatchReport report;
    if (!report.open(o.report, &error))
        return Fail(c, ExitReport, error);
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, &error))
        return Fail(c, ExitPort, error);
    NoteUnit(session, c.record);
    c.record.members.insert(QStringLiteral("report"), o.report);
    const qint32 rateIndex = session.rateIndex();
    const qint32 parityIndex = session.parityIndex();
    BatchRun run(o, c, session);
    // What each unit is given: the file's values, the same for all.
    const auto valuesFor = [&file](int) -> const MemoryFields & { return file; };

    int units = 0, failed = 0;
    std::optional<UnitIdentity> inHand;
    const auto count = [&] {
        c.record.members.insert(QStringLiteral("units"), units);
        c.record.members.insert(QStringLiteral("failed"), failed);
    };
    count();
    while (run.waitForUnit(inHand, units)) {
        const UnitOutcome unit = run.program(units + 1, valuesFor(units + 1));
        ++units;
        if (!unit.ok())
            ++failed;
        count();
        // The outcome is told before the report is written, so that a
        // report that fails loses nothing of it.
        c.progress.note(run.noteText(unit));
        if (o.json)
            OutJson(QJsonDocument(run.json(unit)).toJson(QJsonDocument::Compact));
        if (!report.append(run.row(unit), &error))
            return Fail(c, ExitReport,
                        QStringLiteral("report not written (%1: %2); %3")
                            .arg(report.path(), error,
                                 unit.ok() ? QStringLiteral("the unit was programmed and verified")
                                           : QStringLiteral("the unit: %1").arg(unit.result)));
        if (unit.result == QLatin1String("port error"))
            return Fail(c, ExitPort, unit.reason);
        if (c.interrupts.count() > 0)
            break;
        inHand = unit.identity();
        // The next unit listens at the line the batch started with.
        session.setLine(rateIndex, parityIndex);
    }
    c.progress.finish();
    if (!session.link().port().isOpen() && c.interrupts.count() == 0)
        return Fail(c, ExitPort, QStringLiteral("port %1 lost").arg(session.port()));
    // A second signal cut the unit in hand short; SIGTERM ends like
    // Ctrl+C after the unit in hand, with its own exit code.
    if (c.interrupts.count() >= 2 || (c.interrupts.count() > 0 && c.interrupts.exitCode() != ExitInterrupted))
        return Fail(c, c.interrupts.exitCode(),
                    QStringLiteral("batch: %1 unit(s) done, %2 failed; ended by a signal").arg(units).arg(failed));
    if (failed > 0)
        return Fail(c, ExitUnitsFailed, QStringLiteral("batch: %1 of %2 units failed; see %3").arg(failed).arg(units).arg(o.report));
    c.progress.note(QStringLiteral("batch: %1 unit(s) programmed and verified").arg(units));
    return ExitOk;
}

} // namespace qm::cli
