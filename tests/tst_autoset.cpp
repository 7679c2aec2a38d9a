// The automatic line-settings detection through the real window and port,
// against the simulated radio or a bare pty whose far end the test plays.
// Timer2 is stopped and each tick made once the trial's frame has been
// answered or left unanswered, so 21 trials take no 31.5 s. A Linux pty
// keeps only the odd-parity bit: there a radio at even parity answers its
// rate's no-parity trial (trialOf() knows what the pty in use keeps).

#include "app/autosetform.h"
#include "app/mainform.h"
#include "app/simulator.h"
#include "link/frame.h"
#include "radio/dk618page.h"
#include "findchild.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace qm;

namespace {
const QString kStatus = QStringLiteral("通讯端口状态：COM1");
const QString kFailed = QStringLiteral("设置串口失败！请检查通讯口或终端设备！");
const int kRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200};
const auto spin = [] { QCoreApplication::processEvents(); };

// The trial at which a radio at rate index r and parity p (0 none, 1 even,
// 2 odd) is found, given the parity bits a pty keeps.
int trialOf(int r, int p)
{
    PtyPair probe;
    termios t{};
    ::tcgetattr(probe.masterFd(), &t);
    t.c_cflag |= PARENB | PARODD;
    ::tcsetattr(probe.masterFd(), TCSANOW, &t);
    ::tcgetattr(probe.masterFd(), &t);
    return r + ((t.c_cflag & PARENB) ? 7 * p : (t.c_cflag & PARODD) && p == 2 ? 14 : 0);
}

QByteArray frame(quint8 command, const char *data) { return BuildFrame(command, QByteArray::fromHex(data)); }
QByteArray identification(const char *bytes4and5) { return frame(0x99, bytes4and5); }
} // namespace

class TestAutoSet : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void searchAgainstTheRadio_data();
    void searchAgainstTheRadio();
    void repliesAndLeftoverBytes_data();
    void repliesAndLeftoverBytes();
    void windowStartedFromTheSettingsDialog();
    void cancelEndsTheSearch_data();
    void cancelEndsTheSearch();
    void portThatFailsToOpen_data();
    void portThatFailsToOpen();
    void searchEndsWithTheProgramOrPort_data();
    void searchEndsWithTheProgramOrPort();
    void noParityLeavesNoOddBit();

private:
    // The window, COM1 on the test's pty or, with simArgs, on qmsim.
    void start(const QStringList &simArgs = {});
    void pressAutoButton();
    // Waits until the radio has answered the last frame (and the answer is
    // in) or logged why not, then ticks.
    void tick();
    QStringList simLog() const;
    QString panel(int i) const { return child<QLabel>(*window_, QStringLiteral("StatusPanel%1").arg(i))->text(); }
    QString label(const char *name) const { return child<QLabel>(*form_, QLatin1String(name))->text(); }
    QString memo() const { return child<QPlainTextEdit>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }
    QTimer *timer() const { return child<QTimer>(*form_, QStringLiteral("Timer2")); }
    bool waitForBytes(qsizetype n) { return QTest::qWaitFor([&] { return window_->link().state().RxWritePos >= n; }, 5000); }

    QTemporaryDir dir_;
    std::unique_ptr<Simulator> sim_;
    PtyPair pty_;
    TestPrompts prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    TAutoSet_Form *form_ = nullptr;
    int framesSeen_ = 0;
};

void TestAutoSet::cleanup()
{
    window_.reset();
    sim_.reset();
    errors_.reset(); // before the next one takes the report
    pty_.drain();
    prompts_.messages.clear();
    framesSeen_ = 0;
}

void TestAutoSet::start(const QStringList &simArgs)
{
    QString device = pty_.slavePath();
    if (!simArgs.isEmpty()) {
        QFile::remove(dir_.filePath(QStringLiteral("log")));
        sim_ = std::make_unique<Simulator>();
        sim_->setProgram(QStringLiteral(QMSIM_PATH));
        QVERIFY(sim_->start(QStringLiteral("dk618"), QStringList{"--log", dir_.filePath("log"), "--delay-ms", "1"} + simArgs));
        device = sim_->linkPath();
    }
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = &prompts_;
    options.portMap.insert(QStringLiteral("COM1"), device);
    window_ = std::make_unique<TMainForm>(options);
    child<QTimer>(*window_, QStringLiteral("Timer3"))->stop(); // the read is ticked here
    window_->show();
    form_ = child<TAutoSet_Form>(*window_, QStringLiteral("AutoSet_Form"));
}

void TestAutoSet::pressAutoButton()
{
    QTest::mouseClick(child<QToolButton>(*window_, QStringLiteral("ToolButton6")), Qt::LeftButton);
    QVERIFY(form_->isVisible() && timer()->isActive());
    QCOMPARE(timer()->interval(), 1500);
    timer()->stop();
}

QStringList TestAutoSet::simLog() const
{
    QFile f(dir_.filePath(QStringLiteral("log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
}

void TestAutoSet::tick()
{
    QString outcome;
    QVERIFY(QTest::qWaitFor([&] {
        const QStringList lines = simLog();
        for (int i = 0, rx = 0; i + 1 < lines.size(); ++i)
            if (lines[i].startsWith(QLatin1String("rx ")) && ++rx == framesSeen_ + 1)
                outcome = lines[i + 1];
        return !outcome.isEmpty();
    }, 5000));
    ++framesSeen_;
    if (outcome.startsWith(QLatin1String("tx ")))
        QVERIFY(waitForBytes(QByteArray::fromHex(outcome.mid(3).toLatin1()).size()));
    form_->Timer2Timer();
}

void TestAutoSet::searchAgainstTheRadio_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("foundAt"); // -1: never
    QTest::addColumn<QString>("readBack");
    QTest::newRow("300 N, at the first tick") << QStringList{"--rate", "300"} << trialOf(0, 0) << "300 无校验";
    QTest::newRow("19200 O, at the 21st trial") << QStringList{"--parity", "odd"} << trialOf(6, 2) << "19200 奇校验";
    QTest::newRow("2400 E (on a pty at 2400 N)") << QStringList{"--rate", "2400", "--parity", "even"} << trialOf(3, 1) << "2400 偶校验";
    QTest::newRow("silent radio") << QStringList{"--silent-on", "0x99"} << -1 << "";
    QTest::newRow("answers with a bad check") << QStringList{"--rate", "1200", "--bad-check-on", "0x99"} << -1 << "";
}

void TestAutoSet::searchAgainstTheRadio()
{
    QFETCH(QStringList, simArgs);
    QFETCH(int, foundAt);
    QFETCH(QString, readBack);
    start(simArgs);
    pressAutoButton();
    QCOMPARE(memo(), QStringLiteral("设置串口..."));
    QCOMPARE(panel(2), QStringLiteral("正在设置串口，请稍候..."));
    QCOMPARE(label("Auto_Check"), QStringLiteral(",N,8,1"));
    for (int trial = 0; trial <= 20; ++trial) {
        const QString line = QStringLiteral("%1,8,1").arg(QLatin1Char("NEO"[trial / 7]));
        QCOMPARE(panel(1), kStatus + QStringLiteral(",%1,").arg(kRates[trial % 7]) + line);
        QCOMPARE(label("Auto_Bps"), QStringLiteral("%1bps").arg(kRates[trial % 7]));
        if (trial > 0)
            QCOMPARE(label("Auto_Check"), QLatin1Char(',') + line + QLatin1Char(','));
        tick();
        QCOMPARE(form_->isVisible(), trial != foundAt && trial < 20);
        if (trial == foundAt)
            break;
    }
    QVERIFY(!timer()->isActive());
    if (foundAt < 0) {
        QVERIFY(memo().endsWith(QStringLiteral("\n设置失败！")));
        QCOMPARE(panel(2), kFailed);
        QCOMPARE(panel(1), kStatus + QStringLiteral(",19200,O,8,1"));
        QCOMPARE(window_->link().port().parity(), QSerialPort::OddParity);
        QTest::qWait(100); // 21 requests and nothing after the last
        QCOMPARE(simLog().filter(QStringLiteral("rx ")), QStringList(21, QStringLiteral("rx 96 05 80 99 00 00 8A")));
    } else {
        // Read as by the read button, at the settings found.
        QCOMPARE(panel(2), QStringLiteral("正在读取数据，请稍候..."));
        for (int i = 0; i < 10 && window_->link().state().RadioReadActive; ++i) {
            (void)QTest::qWaitFor([this] { return window_->link().state().ReplyReady; }, 5000);
            window_->Timer3Timer();
        }
        const Dk618Page *page = window_->dk618Page();
        QCOMPARE(panel(2), QStringLiteral("读取成功！"));
        QCOMPARE(page->Dk618_Baudrate->currentText() + ' ' + page->Dk618_Checkmode->currentText(), readBack);
        QCOMPARE(page->TxFreq[9]->text(), QStringLiteral("4332250"));
        QCOMPARE(window_->link().port().rate(), kRates[foundAt % 7]);
    }
    QVERIFY(errors_->errors.isEmpty() && prompts_.messages.isEmpty());
}

void TestAutoSet::repliesAndLeftoverBytes_data()
{
    QTest::addColumn<QString>("before"); // the command sent before the search
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("counts");
    QByteArray spoilt = frame(0x99, "00014B44");
    spoilt.back() = char(spoilt.back() ^ 1);
    QTest::newRow("identification reply") << "" << identification("0000") << frame(0x99, "00014B44") << true;
    QTest::newRow("any command code") << "N1" << identification("002c") << frame(0x63, "0001") << true;
    QTest::newRow("bad check byte") << "O1" << identification("0296") << spoilt << false;
    QTest::newRow("frame broken off") << "N1" << identification("002c") << QByteArray::fromHex("96208099") << false;
}

void TestAutoSet::repliesAndLeftoverBytes()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(bool, counts);
    start();
    window_->dk618Page()->Dk618_Address->setText(QStringLiteral("300"));
    if (!before.isEmpty()) {
        prompts_.confirmations.enqueue(true);
        child<QAction>(*window_, before)->trigger();
        QVERIFY(!pty_.readWhile(before == QLatin1String("O1") ? 10 : 8, 3000, spin).isEmpty());
    }
    pressAutoButton();
    // Bytes 4 and 5 are what the previous command left in TxBuffer.
    QCOMPARE(pty_.readWhile(7, 3000, spin), request);
    pty_.write(reply);
    QVERIFY(waitForBytes(reply.size()));
    form_->Timer2Timer();
    if (!counts) {
        QCOMPARE(pty_.readWhile(7, 3000, spin), request);
        // What came before does not swallow a good reply to this trial.
        const QByteArray good = frame(0x72, "0001");
        pty_.write(good);
        QVERIFY(waitForBytes(good.size()));
        form_->Timer2Timer();
    }
    QVERIFY(!form_->isVisible());
    QCOMPARE(panel(1), kStatus + (counts ? QStringLiteral(",300,N,8,1") : QStringLiteral(",600,N,8,1")));
    // The read goes out at once, to the emptied address field.
    QCOMPARE(pty_.readWhile(7, 3000, spin), identification("0000"));
}

void TestAutoSet::windowStartedFromTheSettingsDialog()
{
    start();
    auto *settings = child<QDialog>(*window_, QStringLiteral("Set_Form"));
    QTimer::singleShot(0, window_.get(), [&] {
        QCOMPARE(settings->size(), QSize(320, 183));
        child<QComboBox>(*settings, QStringLiteral("Comrate"))->setCurrentIndex(4);
        child<QComboBox>(*settings, QStringLiteral("Checkmode"))->setCurrentIndex(2);
        QTest::mouseClick(child<QPushButton>(*settings, QStringLiteral("Set_ComAuto")), Qt::LeftButton);
    });
    window_->SetSysConfigClick();
    // 300 N whatever the lists held.
    QVERIFY(!settings->isVisible() && form_->isVisible());
    QCOMPARE(label("Auto_Port") + label("Auto_Check") + label("Auto_Bps"), QStringLiteral("COM1,N,8,1300bps"));
    QCOMPARE(pty_.readWhile(7, 3000, spin), identification("0000"));
    QCOMPARE(form_->size(), QSize(329, 92));
    QVERIFY(form_->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form_->cursor().shape(), Qt::WaitCursor);
    QCOMPARE(QApplication::activeModalWidget(), form_);
    QVERIFY((form_->geometry().center() - window_->frameGeometry().center()).manhattanLength() <= 2);
    // A close request does not end the search (the user cancels it).
    QVERIFY(!form_->close());
    QVERIFY(form_->isVisible() && timer()->isActive());
}

void TestAutoSet::cancelEndsTheSearch_data()
{
    QTest::addColumn<bool>("byKey"); // Escape, or the window's 取消
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("trial");
    QTest::newRow("Escape at the first trial") << true << 0 << "正在尝试 300,N（第 1/21 项）";
    QTest::newRow("button at the twelfth") << false << 11 << "正在尝试 4800,E（第 12/21 项）";
    QTest::newRow("Escape at the last") << true << 20 << "正在尝试 19200,O（第 21/21 项）";
}

// The search ends at once: nothing more goes out, the line chosen before it
// is back in force, and the next read goes out at once.
void TestAutoSet::cancelEndsTheSearch()
{
    QFETCH(bool, byKey);
    QFETCH(int, ticks);
    QFETCH(QString, trial);
    start();
    auto *settings = child<QDialog>(*window_, QStringLiteral("Set_Form"));
    QTimer::singleShot(0, window_.get(), [&] {
        child<QComboBox>(*settings, QStringLiteral("Comrate"))->setCurrentIndex(4);
        child<QComboBox>(*settings, QStringLiteral("Checkmode"))->setCurrentIndex(2);
        QTest::mouseClick(child<QPushButton>(*settings, QStringLiteral("Set_ComAuto")), Qt::LeftButton);
    });
    window_->SetSysConfigClick();
    QVERIFY(form_->isVisible());
    timer()->stop();
    for (int i = 0; i < ticks; ++i)
        form_->Timer2Timer();
    QCOMPARE(label("Auto_Trial"), trial);
    // Half a frame in the ring, the recogniser inside it.
    const QByteArray half = QByteArray::fromHex("962080");
    window_->link().receiveBytes(reinterpret_cast<const quint8 *>(half.constData()), half.size());
    QVERIFY(window_->link().state().RxState != 0);
    // The trials' frames, the last one still on its way.
    QCOMPARE(pty_.readWhile(7 * (ticks + 2), 300, spin).size(), 7 * (ticks + 1));

    if (byKey)
        QTest::keyClick(form_, Qt::Key_Escape);
    else
        QTest::mouseClick(child<QPushButton>(*form_, QStringLiteral("Auto_Cancel")), Qt::LeftButton);
    QVERIFY(!form_->isVisible());
    QVERIFY(!timer()->isActive());
    QVERIFY(memo().endsWith(QStringLiteral("\n已取消")));
    QCOMPARE(panel(2), QStringLiteral("已取消"));
    QCOMPARE(panel(1), QStringLiteral("通讯端口状态：COM1,4800,O,8,1"));
    QCOMPARE(window_->link().port().rate(), 4800);
    QCOMPARE(window_->link().port().parity(), QSerialPort::OddParity);
    const ProtocolState &s = window_->link().state();
    QVERIFY(!s.AutoSetReply && !s.ReplyReady);
    QCOMPARE(s.RxState, 0);
    form_->Timer2Timer(); // a tick that was on its way
    QCOMPARE(pty_.readWhile(1, 300, spin), QByteArray());

    window_->DataTransClick();
    child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->click();
    QCOMPARE(pty_.readWhile(7, 3000, spin), identification("0000"));
    QVERIFY(s.RadioReadActive);
    QVERIFY(errors_->errors.isEmpty());
}

void TestAutoSet::portThatFailsToOpen_data()
{
    // An open from the settings dialog failed first; at the click the port
    // is still missing or back.
    QTest::addColumn<bool>("failedBefore");
    QTest::addColumn<bool>("portBack");
    QTest::newRow("missing") << false << false;
    QTest::newRow("still missing after a failure") << true << false;
    QTest::newRow("back after a failure") << true << true;
}

void TestAutoSet::portThatFailsToOpen()
{
    QFETCH(bool, failedBefore);
    QFETCH(bool, portBack);
    start();
    SerialPort &port = window_->link().port();
    port.setPortMap({{QStringLiteral("COM1"), QStringLiteral("/nonexistent-qmset-test/tty0")}});
    if (failedBefore) {
        QTimer::singleShot(0, window_.get(), [this] {
            QTest::mouseClick(child<QPushButton>(*window_, QStringLiteral("Set_ComOK")), Qt::LeftButton);
        });
        window_->SetSysConfigClick();
        QVERIFY(window_->link().line().PortBusy);
    }
    if (portBack)
        port.setPortMap({{QStringLiteral("COM1"), pty_.slavePath()}});
    const QString panel2 = panel(2);
    QTest::mouseClick(child<QToolButton>(*window_, QStringLiteral("ToolButton6")), Qt::LeftButton);
    QCOMPARE(form_->isVisible(), portBack);
    QCOMPARE(memo().contains(QStringLiteral("设置串口...")), portBack);
    QCOMPARE(FirstLines(prompts_.messages), QStringList(failedBefore + !portBack, QStringLiteral("通讯口被占用！")));
    QCOMPARE(panel(2) == panel2, !portBack);
    QCOMPARE(pty_.readWhile(7, 500, spin), portBack ? identification("0000") : QByteArray());
}

void TestAutoSet::searchEndsWithTheProgramOrPort_data()
{
    QTest::addColumn<int>("end"); // 0 window closed, 1 window destroyed, 2 device gone
    QTest::newRow("main window closed") << 0;
    QTest::newRow("main window destroyed") << 1;
    QTest::newRow("device gone: the write is refused") << 2;
}

void TestAutoSet::searchEndsWithTheProgramOrPort()
{
    QFETCH(int, end);
    start();
    // The real 1.5 s timer runs here: two trials, then the end.
    QTest::mouseClick(child<QToolButton>(*window_, QStringLiteral("ToolButton6")), Qt::LeftButton);
    QCOMPARE(pty_.readWhile(14, 4000, spin).size(), 14);
    if (end == 0)
        window_->close();
    else if (end == 1)
        window_.reset();
    else
        window_->link().port().close();
    QCOMPARE(pty_.readWhile(1, 2000, spin), QByteArray()); // a tick's time
    if (end == 1)
        return;
    QTRY_VERIFY_WITH_TIMEOUT(!form_->isVisible() && !timer()->isActive(), 5000);
    // A refused write is reported once and ends the search as failed.
    QCOMPARE(errors_->errors.size(), end == 2 ? 1 : 0);
    QCOMPARE(memo().endsWith(QStringLiteral("\n设置失败！")), end == 2);
    QCOMPARE(panel(2) == kFailed, end == 2);
}

void TestAutoSet::noParityLeavesNoOddBit()
{
    // After a failed search (odd parity), a page that sets no parity must
    // not leave the odd bit, which a pty keeps and a peer takes for odd.
    start();
    window_->link().line().ParityIndex = 2;
    window_->link().ApplyLineSettings();
    child<QAction>(*window_, QStringLiteral("MLB4800"))->trigger();
    termios t{};
    QCOMPARE(::tcgetattr(pty_.masterFd(), &t), 0);
    QCOMPARE(t.c_cflag & (PARENB | PARODD), tcflag_t(0));
}

QTEST_MAIN(TestAutoSet)
#include "tst_autoset.moc"
