// qmset batch: programs one unit after another on one port. It waits for a
// unit, gives it its values (the file's, its row of the table of units, the
// next address of the series), writes them, reads the unit back, keeps its
// record, appends a line to the report, and waits for the next unit: one
// that says it is another, or any unit once the last one has been away.
#include "cli/batchreport.h"
#include "cli/batchvalues.h"
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

// Sleeps ms in the event loop; a Ctrl+C ends the sleep, and one that came
// before it (while the line was asked) skips it.
void pause(Interrupts &interrupts, int ms)
{
    if (ms <= 0 || interrupts.count() > 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(&interrupts, &Interrupts::raised, &loop, &QEventLoop::quit);
    loop.exec();
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
    qint64 durationMs = 0; // answer seen to report line written
    qint64 registerMs = 0; // of that, the register's part
    std::optional<qint32> given; // the address the series gave it
    QString addressState;        // what became of it: used, spoilt, given back
    int row = 0;                 // its row of the table of units; 0: none
    bool rowUsed = false;
    QString kept;                // where its record went: register, spool, lost
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
        MemoryFields written = values;
        MemoryFields back(table_);
        UnitSession::Result result = session_.write(written);
        u.model = session_.modelText();
        bool readBack = false;
        if (result == UnitSession::Result::Ok && c_.interrupts.count() < 2) {
            result = session_.read(back, true, BackupSource::Verify);
            readBack = true;
            if (!session_.modelText().isEmpty())
                u.model = session_.modelText();
        }
        const bool addressRead = readBack
            && (result == UnitSession::Result::Ok
                || (result == UnitSession::Result::NoAnswer && session_.failedStep() > session_.family().addressReadStep));
        if (addressRead)
            if (const std::optional<qint32> a = TryStrToInt(back.text(AddressField(table_).name)))
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
        // Enter pressed while the unit was programmed does not start the
        // next one.
        if (o_.confirm)
            drainInput();
        return u;
    }

    // Why a unit failed, and what became of its address and its row.
    static QString notesText(const UnitOutcome &u)
    {
        QStringList parts;
        if (!u.reason.isEmpty())
            parts << u.reason;
        if (u.given && u.addressState == QLatin1String("spoilt"))
            parts << QStringLiteral("address %1 spoilt (the write began): not given out again").arg(*u.given);
        else if (u.given && u.addressState == QLatin1String("given back"))
            parts << QStringLiteral("nothing was sent: address %1 given back").arg(*u.given);
        if (u.row > 0 && !u.ok())
            parts << (u.rowUsed ? QStringLiteral("row %1 used up").arg(u.row) : QStringLiteral("row %1 left for the next unit").arg(u.row));
        return parts.join(QStringLiteral("; "));
    }

    static QString differencesText(const UnitOutcome &u)
    {
        QStringList parts;
        for (const FieldDifference &d : u.differences)
            parts << QStringLiteral("%1: %2 -> %3").arg(d.key, d.a, d.b);
        if (const QString notes = notesText(u); !notes.isEmpty())
            parts << notes;
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
                           {QStringLiteral("duration_ms"), u.durationMs},
                           {QStringLiteral("register_ms"), u.registerMs}};
        if (!u.reason.isEmpty())
            object.insert(QStringLiteral("error"), u.reason);
        if (u.row > 0) {
            object.insert(QStringLiteral("row"), u.row);
            object.insert(QStringLiteral("row_used"), u.rowUsed);
        }
        if (u.given) {
            object.insert(QStringLiteral("given_address"), *u.given);
            object.insert(QStringLiteral("address_state"), u.addressState);
        }
        object.insert(QStringLiteral("record"), u.kept);
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

namespace {

QString keptText(UnitRegister::Kept kept)
{
    switch (kept) {
    case UnitRegister::Kept::InRegister: return QStringLiteral("register");
    case UnitRegister::Kept::InSpool: return QStringLiteral("spool");
    case UnitRegister::Kept::Lost: return QStringLiteral("lost");
    }
    return {};
}

} // namespace

int Batch(const Options &o, Context &c)
{
    const Family &family = *o.family;
    const FieldTable &table = family.table();
    const bool series = o.addressFrom >= 0;
    int units = 0, failed = 0;
    QJsonArray spoilt;
    // The run's object says "units" on every exit path: the units' own
    // objects say "unit".
    const auto count = [&] {
        c.record.members.insert(QStringLiteral("units"), units);
        c.record.members.insert(QStringLiteral("failed"), failed);
        if (series)
            c.record.members.insert(QStringLiteral("spoilt"), spoilt);
    };
    count();
    c.record.members.insert(QStringLiteral("report"), o.report);
    BatchValues values(family);
    QString error;
    int code = ExitOk;
    if (!values.load(o, c.progress, &error, &code))
        return Fail(c, code, error);
    RunRegister reg;
    if (!reg.choose(o.db, &error))
        return Fail(c, ExitUsage, error);
    const auto registerAway = [&](const QString &why) {
        c.record.result = QStringLiteral("register not reached");
        return Fail(c, ExitPort, why);
    };
    // Addresses come from the register: without it the batch cannot start.
    if (series && !reg.reg().open(&error))
        return registerAway(QStringLiteral("batch: the register cannot hand out addresses: %1").arg(error));
    BatchReport report;
    if (!report.open(o.report, &error))
        return Fail(c, ExitReport, error);
    UnitSession session(family, c.progress, c.interrupts);
    if (!OpenPort(session, o, &error))
        return Fail(c, ExitPort, error);
    NoteUnit(session, c.record);
    const qint32 rateIndex = session.rateIndex();
    const qint32 parityIndex = session.parityIndex();
    const qint32 lastAddress = qint32(AddressField(table).maximum);
    BatchRun run(o, c, session);

    std::optional<UnitIdentity> inHand;
    for (;;) {
        if (values.hasTable() && !values.row()) {
            c.progress.note(QStringLiteral("batch: all %1 row(s) of %2 are used up").arg(values.rowCount()).arg(o.units));
            break;
        }
        if (!run.waitForUnit(inHand, units))
            break;
        QElapsedTimer clock, registerClock;
        clock.start();
        const QString time = isoNow();
        qint64 registerNs = 0;
        std::optional<AddressGrant> grant;
        if (series) {
            bool usedUp = false;
            registerClock.start();
            grant = reg.reg().takeAddress(family.name, qint32(o.addressFrom), qint32(o.addressStep), lastAddress, &error, &usedUp);
            registerNs += registerClock.nsecsElapsed();
            if (!grant && usedUp) {
                c.progress.note(QStringLiteral("batch: %1; the unit on the line was not programmed").arg(error));
                break;
            }
            if (!grant)
                return registerAway(QStringLiteral("batch: no address for the next unit: %1; the unit on the line was not "
                                                   "programmed, %2 unit(s) done")
                                        .arg(error)
                                        .arg(units));
        }
        MemoryFields unitValues(table);
        if (!values.forUnit(grant ? std::optional(grant->address) : std::nullopt, &unitValues, &error)) {
            QString ignored;
            if (grant)
                reg.reg().release(*grant, &ignored);
            return Fail(c, ExitInput, error);
        }
        UnitOutcome unit = run.program(units + 1, unitValues);
        unit.time = time;
        ++units;
        if (!unit.ok())
            ++failed;
        // A unit that was sent nothing leaves its row and its address to
        // the next; once the write began, both are its own.
        const bool began = session.writeBegan();
        if (const UnitsRow *row = values.row()) {
            unit.row = row->number;
            unit.rowUsed = began;
            if (began)
                values.useRow();
        }
        registerClock.start();
        if (grant) {
            unit.given = grant->address;
            unit.addressState = !began ? QStringLiteral("given back") : unit.ok() ? QStringLiteral("used") : QStringLiteral("spoilt");
            QString why;
            const bool stated = began ? reg.reg().settle(*grant, unit.ok(), &why) : reg.reg().release(*grant, &why);
            if (!why.isEmpty())
                c.progress.note(QStringLiteral("register: %1").arg(why));
            if (!stated && !began)
                unit.addressState = QStringLiteral("taken");
            if (unit.addressState == QLatin1String("spoilt"))
                spoilt.append(grant->address);
        }
        UnitRecord record = CommandRecord(session, action::Batch, unit.result, BatchRun::notesText(unit), began ? &unitValues : nullptr);
        record.differences = unit.differences;
        unit.kept = keptText(reg.keep(record, c.progress));
        unit.registerMs = (registerNs + registerClock.nsecsElapsed()) / 1000000;
        unit.durationMs = clock.elapsed();
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
    if (!spoilt.isEmpty()) {
        QStringList list;
        for (const QJsonValue &a : spoilt)
            list << QString::number(a.toInt());
        c.progress.note(QStringLiteral("batch: address(es) spoilt, not given out again: %1").arg(list.join(QStringLiteral(", "))));
    }
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
