// Faults on the line, end to end: the real window and ComPort1 against the
// simulated units on pseudo terminals. The unit killed in the middle of an
// exchange, random noise in and around its answers, the port closed under
// the automatic reading, and a flood of answers. Exchange timers are ticked
// by the test where it needs determinism; the flood and the automatic
// reading run on the window's own timers.
#include "common/fieldaccess.h"
#include "app/mainform.h"
#include "app/monitormemo.h"
#include "app/setform.h"
#include "app/simulator.h"
#include "link/exchange.h"
#include "link/receiver.h"
#include "testpage/testexchange.h"
#include "findchild.h"
#include "testprompts.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>

using namespace qm;

namespace {

enum PageFamily { Radio, Central, Subscriber };

struct FamilyInfo {
    const char *name; // qmsim's family
    const char *write;
    const char *read;
    QStringList fields; // what a read fills
};

const FamilyInfo &Info(PageFamily family)
{
    static const FamilyInfo infos[] = {
        {"dk618", "Dk618_Write_Data", "Dk618_Read_Data", [] {
             QStringList f;
             for (int i = 0; i < 10; ++i)
                 f << QStringLiteral("TxFreq%1").arg(i) << QStringLiteral("RxFreq%1").arg(i);
             return f << "Dk618_Address" << "Dk618_CurrentChannel" << "Ptttime" << "Dk618_Baudrate" << "Dk618_Checkmode"
                      << "TransparentMode" << "Select_ANI_Valid" << "AirRate9600" << "AType" << "TransMode" << "Chan_spa1" << "Fq800";
         }()},
        {"mlb4800", "Mlb4800_WriteData", "Mlb4800_ReadData", [] {
             QStringList f;
             for (int i = 10; i < 30; ++i)
                 f << QStringLiteral("TxFreq%1").arg(i) << QStringLiteral("RxFreq%1").arg(i);
             return f << "Mlb4800_Address" << "Mlb4800_CurrentChannel" << "Mlb4800_Airrate" << "Mlb_TransParent" << "ComTrans";
         }()},
        {"mlr4800", "Mlr4800_WriteData", "Mlr4800_ReadData",
         {"TxFreq30", "RxFreq30", "Mlr4800_Address", "Mlr4800ComRate", "Mlr4800_Airrate", "Meter_Category"}},
    };
    return infos[family];
}

qint64 ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true; // freed memory is held back on purpose
#else
constexpr bool kSanitized = false;
#endif

} // namespace

class TestLinkFaults : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void unitKilledMidExchange_data();
    void unitKilledMidExchange();
    void headerByteAfterEveryAnswer_data();
    void headerByteAfterEveryAnswer();
    void noiseNeverPassesForValues_data();
    void noiseNeverPassesForValues();
    void portClosedUnderAutomaticReading();
    void replyFloodStaysBounded();

private:
    // The window on COM1 = a fresh simulated unit of the family, its
    // exchange timers stopped, the family's page chosen.
    void openWindow(PageFamily family, const QStringList &simArgs = {});
    // Starts another unit of the family and points COM1 at it.
    Simulator *startUnit(PageFamily family, const QStringList &simArgs);
    // What a user does to reopen: the settings dialog, showing the current
    // settings, and its OK button.
    void reopenThroughSettings();
    // Valid values in every field a write sends.
    void fillWritableFields();
    void click(const char *button) { child<QPushButton>(*window_, QLatin1String(button))->click(); }
    void tick(PageFamily family);
    // Ticks until the family's exchange ends. A request gets a moment to be
    // answered (the unit answers within milliseconds); one left unanswered
    // is ticked on to its time-out without waiting.
    void runExchange(PageFamily family, int limit = 300);
    bool running(PageFamily family);
    QMap<QString, QString> values(PageFamily family);
    // Answers the unit sent (log lines "tx"), as they were before noise.
    QSet<QByteArray> answersSent(const QString &log) const;
    QString panel(int i) const { return child<QLabel>(*window_, QStringLiteral("StatusPanel%1").arg(i))->text(); }
    QString memo() const { return child<MonitorMemo>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }
    ProtocolState &state() { return window_->link().state(); }

    QTemporaryDir dir_;
    std::vector<std::unique_ptr<Simulator>> sims_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
};

void TestLinkFaults::cleanup()
{
    window_.reset();
    sims_.clear();
    errors_.reset();
}

Simulator *TestLinkFaults::startUnit(PageFamily family, const QStringList &simArgs)
{
    auto sim = std::make_unique<Simulator>();
    sim->setProgram(QStringLiteral(QMSIM_PATH));
    if (!sim->start(QLatin1String(Info(family).name), QStringList{"--delay-ms", "1"} + simArgs)) {
        qWarning("%s", qPrintable(sim->errorString()));
        return nullptr;
    }
    if (window_) {
        QHash<QString, QString> map = window_->link().port().portMap();
        map.insert(QStringLiteral("COM1"), sim->linkPath());
        window_->link().port().setPortMap(map);
    }
    sims_.push_back(std::move(sim));
    return sims_.back().get();
}

void TestLinkFaults::openWindow(PageFamily family, const QStringList &simArgs)
{
    Simulator *sim = startUnit(family, simArgs);
    QVERIFY(sim);
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap.insert(QStringLiteral("COM1"), sim->linkPath());
    window_ = std::make_unique<TMainForm>(options);
    for (const char *timer : {"Timer1", "Timer2", "Timer3"})
        child<QTimer>(*window_, QLatin1String(timer))->stop();
    window_->show(); // the line settings of start-up: 19200 bit/s, no parity
    switch (family) {
    case Radio: window_->DataTransClick(); break;
    case Central: window_->MLB4800Click(); break;
    case Subscriber: window_->MLR4800Click(); break;
    }
    QVERIFY(window_->link().port().isOpen());
}

void TestLinkFaults::reopenThroughSettings()
{
    auto *settings = child<TSet_Form>(*window_, QStringLiteral("Set_Form"));
    settings->selectCurrent(window_->link().line());
    child<QPushButton>(*settings, QStringLiteral("Set_ComOK"))->click();
}

void TestLinkFaults::fillWritableFields()
{
    FieldAccess &f = window_->fields();
    for (int i = 0; i < 31; ++i) {
        f.setText(QStringLiteral("TxFreq%1").arg(i), QString::number(4300000 + 250 * i));
        f.setText(QStringLiteral("RxFreq%1").arg(i), QString::number(4400000 + 500 * i));
    }
    f.setText(QStringLiteral("Dk618_Address"), QStringLiteral("300"));
    f.setText(QStringLiteral("Dk618_CurrentChannel"), QStringLiteral("4"));
    f.setText(QStringLiteral("Ptttime"), QStringLiteral("60"));
    f.setText(QStringLiteral("Mlb4800_Address"), QStringLiteral("12"));
    f.setText(QStringLiteral("Mlb4800_CurrentChannel"), QStringLiteral("5"));
    f.setItemIndex(QStringLiteral("Mlb4800_Airrate"), 2);
    f.setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("1234"));
}

void TestLinkFaults::tick(PageFamily family)
{
    Guard([this, family] {
        switch (family) {
        case Radio: window_->Timer3Timer(); break;
        case Central: window_->Timer1Timer(); break;
        case Subscriber: window_->Timer2Timer(); break;
        }
    });
}

bool TestLinkFaults::running(PageFamily family)
{
    const ExchangeOwner owner = RunningExchange(state());
    return owner == (family == Radio ? ExchangeOwner::Radio : family == Central ? ExchangeOwner::Central : ExchangeOwner::Subscriber);
}

void TestLinkFaults::runExchange(PageFamily family, int limit)
{
    bool requestOut = true;
    for (int i = 0; i < limit && running(family); ++i) {
        if (requestOut && QTest::qWaitFor([this] { return state().ReplyReady; }, 500))
            QTest::qWait(15); // bytes right behind the answer land before the tick, as between 100 ms ticks
        else
            QCoreApplication::processEvents();
        requestOut = state().ReplyReady;
        tick(family);
    }
    QVERIFY2(!running(family), "the exchange neither ended nor timed out");
}

QMap<QString, QString> TestLinkFaults::values(PageFamily family)
{
    QMap<QString, QString> shot;
    for (const QString &name : Info(family).fields) {
        auto *button = qobject_cast<QAbstractButton *>(window_->findChild<QWidget *>(name));
        shot.insert(name, button ? (button->isChecked() ? QStringLiteral("on") : QStringLiteral("off")) : window_->fields().text(name));
    }
    return shot;
}

QSet<QByteArray> TestLinkFaults::answersSent(const QString &log) const
{
    QSet<QByteArray> answers;
    QFile f(log);
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("tx "))
                answers.insert(QByteArray::fromHex(line.mid(3)));
    return answers;
}

// The unit dies while a reply waits to be handled: the loss is reported
// once, the exchange ends as failed at once, nothing is sent on the closed
// port, and after a reopen through the settings dialog the same exchange
// succeeds with a new unit.
void TestLinkFaults::unitKilledMidExchange_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("killAtStep");
    QTest::newRow("data-radio write") << int(Radio) << true << 2;
    QTest::newRow("data-radio read") << int(Radio) << false << 3;
    QTest::newRow("central write") << int(Central) << true << 1;
    QTest::newRow("central read") << int(Central) << false << 2;
    QTest::newRow("subscriber write") << int(Subscriber) << true << 2;
    QTest::newRow("subscriber read") << int(Subscriber) << false << 1;
}

void TestLinkFaults::unitKilledMidExchange()
{
    QFETCH(int, family);
    QFETCH(bool, write);
    QFETCH(int, killAtStep);
    const PageFamily fam = PageFamily(family);
    const FamilyInfo &info = Info(fam);
    openWindow(fam);
    fillWritableFields();
    QSignalSpy lost(&window_->link(), &Link::portLost);

    click(write ? info.write : info.read);
    for (int i = 0; i < 20 && state().ExchangeStep < killAtStep; ++i) {
        QVERIFY(QTest::qWaitFor([this] { return state().ReplyReady; }, 2000));
        tick(fam);
    }
    QCOMPARE(state().ExchangeStep, killAtStep);
    QVERIFY(running(fam));
    // The answer to this step is in; the unit dies before the tick takes it.
    QVERIFY(QTest::qWaitFor([this] { return state().ReplyReady; }, 2000));
    ::kill(pid_t(sims_.back()->processId()), SIGKILL);
    QTRY_COMPARE(lost.count(), 1);
    for (int i = 0; i < 40; ++i)
        tick(fam);
    QTest::qWait(50);

    QCOMPARE(lost.count(), 1);
    QVERIFY(!window_->link().port().isOpen());
    QVERIFY(!running(fam));
    QCOMPARE(memo().count(QStringLiteral("通讯口已断开")), 1);
    QVERIFY(panel(1).startsWith(QStringLiteral("通讯口已断开")));
    const QString failed = write ? text::WriteFailed : text::ReadFailed;
    QCOMPARE(panel(2), failed);
    QVERIFY(memo().endsWith(failed));
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QVERIFY(prompts_->messages.isEmpty());
    QVERIFY(child<QPushButton>(*window_, QStringLiteral("Dk618_Write_Data"))->isEnabled());
    QVERIFY(child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->isEnabled());

    QVERIFY(startUnit(fam, {}));
    reopenThroughSettings();
    QVERIFY(window_->link().port().isOpen());
    QVERIFY(prompts_->messages.isEmpty());
    click(write ? info.write : info.read);
    runExchange(fam);
    QCOMPARE(panel(2), write ? text::WriteOk : text::ReadOk);
    QVERIFY(errors_->errors.isEmpty());
}

// A stray header byte right after each answer must not swallow the next
// answer's header as its length: every exchange starts each request with
// a fresh recogniser.
void TestLinkFaults::headerByteAfterEveryAnswer_data()
{
    QTest::addColumn<int>("family");
    QTest::newRow("data radio") << int(Radio);
    QTest::newRow("central unit") << int(Central);
    QTest::newRow("subscriber unit") << int(Subscriber);
}

void TestLinkFaults::headerByteAfterEveryAnswer()
{
    QFETCH(int, family);
    const PageFamily fam = PageFamily(family);
    openWindow(fam, {"--noise-after", "96"});
    fillWritableFields();
    click(Info(fam).write);
    runExchange(fam);
    QCOMPARE(panel(2), text::WriteOk);
    const QMap<QString, QString> written = values(fam);
    click(Info(fam).read);
    runExchange(fam);
    QCOMPARE(panel(2), text::ReadOk);
    QCOMPARE(values(fam), written);
    QVERIFY(errors_->errors.isEmpty());
}

// Random bytes before, inside and after a share of the answers. Each
// exchange ends, by success or by its time-out; a read that reports
// success shows exactly what a clean read shows, unless a frame the unit
// never sent got past the check byte (a one-in-256 chance per spoilt
// frame), which is counted and must stay rare.
void TestLinkFaults::noiseNeverPassesForValues_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("seed");
    QTest::newRow("data radio") << int(Radio) << 618;
    QTest::newRow("central unit") << int(Central) << 4800;
    QTest::newRow("subscriber unit") << int(Subscriber) << 1200;
}

void TestLinkFaults::noiseNeverPassesForValues()
{
    QFETCH(int, family);
    QFETCH(int, seed);
    const PageFamily fam = PageFamily(family);
    const FamilyInfo &info = Info(fam);
    // What a clean unit reads as at first, and once the test's values are
    // written into it.
    openWindow(fam);
    click(info.read);
    runExchange(fam);
    QCOMPARE(panel(2), text::ReadOk);
    const QMap<QString, QString> fresh = values(fam);
    fillWritableFields();
    click(info.write);
    runExchange(fam);
    click(info.read);
    runExchange(fam);
    QCOMPARE(panel(2), text::ReadOk);
    const QMap<QString, QString> written = values(fam);
    QVERIFY(written != fresh);

    const QString log = dir_.filePath(QStringLiteral("noise-%1.log").arg(seed));
    QVERIFY(startUnit(fam, {"--noise", "25", "--noise-seed", QString::number(seed), "--log", log}));
    reopenThroughSettings();
    QList<QByteArray> accepted;
    connect(&window_->link(), &Link::frameReceived, this, [&] { accepted << ReplyBytes(state()); });
    int right = 0, failed = 0, forged = 0;
    // A read: its outcome, and the values checked unless noise forged a
    // frame that passed the check byte.
    const auto read = [&](const QMap<QString, QString> &expected) -> bool {
        for (const QString &name : info.fields)
            if (qobject_cast<QLineEdit *>(window_->findChild<QWidget *>(name)))
                window_->fields().setText(name, QStringLiteral("77")); // something a read must overwrite
        accepted.clear();
        click(info.read);
        runExchange(fam);
        const QString outcome = panel(2);
        if (outcome != text::ReadOk) {
            [&] { QVERIFY2(outcome == text::ReadFailed, qPrintable(outcome)); }();
            ++failed;
            return false;
        }
        const QSet<QByteArray> sent = answersSent(log);
        if (!std::all_of(accepted.cbegin(), accepted.cend(), [&](const QByteArray &f) { return sent.contains(f); })) {
            ++forged;
            return false;
        }
        ++right;
        [&] { QCOMPARE(values(fam), expected); }();
        return !QTest::currentTestFailed();
    };

    for (int round = 0; round < 16; ++round)
        read(fresh);
    QVERIFY(!QTest::currentTestFailed());
    // Writes end one way or the other; once one has got through, the unit
    // holds every value (a failed one wrote the same values, in part). A
    // write has five answers to lose, so this unit spoils fewer of them.
    QVERIFY(startUnit(fam, {"--noise", "10", "--noise-seed", QString::number(seed + 1), "--log", log}));
    reopenThroughSettings();
    int writes = 0;
    for (int round = 0; round < 8; ++round) {
        fillWritableFields();
        click(info.write);
        runExchange(fam);
        QVERIFY2(panel(2) == text::WriteOk || panel(2) == text::WriteFailed, qPrintable(panel(2)));
        writes += panel(2) == text::WriteOk;
    }
    bool readBack = false;
    for (int round = 0; round < 12 && !readBack && writes > 0; ++round)
        readBack = read(written);
    QVERIFY(!QTest::currentTestFailed());
    qInfo("reads: %d right, %d failed, %d with a frame forged by noise; writes: %d of 8 got through", right, failed, forged, writes);
    QVERIFY(right > 0 && failed > 0);
    QVERIFY(writes > 0 && readBack);
    QVERIFY(forged <= 2);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

// The settings dialog closes the port under the automatic reading and the
// new port will not open: the cycle stops with one line, nothing is sent
// or reported on later ticks, and once the port opens again the reading
// can be switched on and goes on.
void TestLinkFaults::portClosedUnderAutomaticReading()
{
    const QString log = dir_.filePath(QStringLiteral("auto.log"));
    openWindow(Radio, {"--log", log, "--steady"});
    child<QTimer>(*window_, QStringLiteral("Timer3"))->start();
    auto *timer4 = child<QTimer>(*window_, QStringLiteral("Timer4"));
    const auto readings = [&log] {
        QFile f(log);
        qsizetype n = 0;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n'))
                n += line.startsWith("tx ") && line.contains(" 80 DA ");
        return n;
    };
    click("AutoRead");
    QVERIFY(timer4->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(readings() >= 1, 5000);
    QTRY_COMPARE(window_->fields().text(QStringLiteral("Volt")), QStringLiteral("12.0"));

    const QString device = window_->link().port().deviceFor(QStringLiteral("COM1"));
    QHash<QString, QString> map = window_->link().port().portMap();
    map.insert(QStringLiteral("COM1"), dir_.filePath(QStringLiteral("no-such-port")));
    window_->link().port().setPortMap(map);
    reopenThroughSettings();
    QCOMPARE(FirstLines(prompts_->messages), QStringList{QStringLiteral("通讯口被占用！")});
    QVERIFY(!timer4->isActive());
    QVERIFY(!state().MeasurePending);
    QTest::qWait(1000); // three cycles' worth of ticks
    QCOMPARE(memo().count(text::AutoReadStopped), 1);
    QCOMPARE(window_->fields().text(QStringLiteral("AutoRead")), text::AutoReadOff);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    click("AutoRead"); // does nothing on a closed port
    QVERIFY(!timer4->isActive());

    map.insert(QStringLiteral("COM1"), device);
    window_->link().port().setPortMap(map);
    reopenThroughSettings();
    QVERIFY(window_->link().port().isOpen());
    const qsizetype before = readings();
    click("AutoRead");
    QVERIFY(timer4->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(readings() > before, 5000);
    QVERIFY(errors_->errors.isEmpty());
}

// A megabyte of answers and noise, all of it echoed into the monitor: every
// answer is recognised, the monitor stays within its 300 rows and resident
// memory does not grow with the traffic. The flood is paced at 4 Mbit/s
// here; QMSET_FLOOD_RATE=19200 gives the real line's pace (about 9 minutes).
void TestLinkFaults::replyFloodStaysBounded()
{
    const QString log = dir_.filePath(QStringLiteral("flood.log"));
    const QByteArray rate = qgetenv("QMSET_FLOOD_RATE").isEmpty() ? QByteArray("4000000") : qgetenv("QMSET_FLOOD_RATE");
    openWindow(Radio, {"--flood", "1000000", "--flood-rate", QString::fromLatin1(rate), "--log", log});
    for (const char *timer : {"Timer1", "Timer2", "Timer3"})
        child<QTimer>(*window_, QLatin1String(timer))->start();
    window_->Watch_OpenClick();
    state().MonitorOn = true;
    qint64 frames = 0;
    connect(&window_->link(), &Link::frameReceived, this, [&frames] { ++frames; });
    auto *memoWidget = child<MonitorMemo>(*window_, QStringLiteral("Watch_Window"));

    click("Dk618_Read_Data");
    QVERIFY(QTest::qWaitFor([&frames] { return frames >= 5000; }, 60000));
    const qint64 rssWarm = ResidentKiB();
    const auto floodDone = [&log] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("-- flood done");
    };
    int maxRows = 0;
    const qint64 deadline = 60000 + 600 * 1000000LL / qMax(1, rate.toInt());
    QElapsedTimer clock;
    clock.start();
    while (!floodDone() && clock.elapsed() < deadline) {
        QTest::qWait(50);
        maxRows = qMax(maxRows, memoWidget->rowCount());
    }
    QVERIFY(floodDone());
    // Until the last byte is in: no new frame for half a second.
    for (qint64 last = -1; last != frames;) {
        last = frames;
        QTest::qWait(500);
    }
    const qint64 rssEnd = ResidentKiB();

    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    const qsizetype at = text.indexOf("bytes, ");
    const qint64 whole = text.mid(at + 7).split(' ').front().toLongLong();
    QVERIFY(whole > 50000);
    // A noise byte that is a header may take a few answers with it.
    QVERIFY2(frames >= whole * 95 / 100 && frames <= whole + 10, qPrintable(QStringLiteral("%1 of %2").arg(frames).arg(whole)));
    QVERIFY2(maxRows <= MonitorMemo::kMaxRows + 10, qPrintable(QString::number(maxRows)));
    QVERIFY(memoWidget->document()->blockCount() <= MonitorMemo::kMaxRows + 10);
    QVERIFY(window_->link().port().isOpen());
    QVERIFY(!running(Radio));
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    qInfo("%lld answers, resident memory %lld KiB after 5000, %lld KiB at the end", frames, rssWarm, rssEnd);
    if (kSanitized)
        QSKIP("resident memory is not a measure under AddressSanitizer");
    QVERIFY2(rssEnd - rssWarm < 20 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(rssEnd - rssWarm)));
}

QTEST_MAIN(TestLinkFaults)
#include "tst_linkfaults.moc"
