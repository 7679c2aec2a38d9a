// Serial ports of a device server, end to end: the real window and the
// command line against a real ser2net started here on a free port of
// 127.0.0.1, in front of qmsim's pseudo terminal. ser2net puts the line
// settings that come through RFC 2217 on the pty, and qmsim answers only
// frames that arrive at its own line, so a read that succeeds proves that
// the line got there. Exchange timers are ticked by the test.
#include "app/autosetform.h"
#include "app/mainform.h"
#include "app/monitormemo.h"
#include "app/setform.h"
#include "app/simulator.h"
#include "common/fieldaccess.h"
#include "link/exchange.h"
#include "radio/dk618page.h"
#include "findchild.h"
#include "ptypair.h"
#include "ser2netserver.h"
#include "testprompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace qm;

namespace {

enum PageFamily { Radio, Central, Subscriber };
const char *const kFamilies[] = {"dk618", "mlb4800", "mlr4800"};
const char *const kWrites[] = {"Dk618_Write_Data", "Mlb4800_WriteData", "Mlr4800_WriteData"};
const char *const kReads[] = {"Dk618_Read_Data", "Mlb4800_ReadData", "Mlr4800_ReadData"};
const char *const kAddresses[] = {"Dk618_Address", "Mlb4800_Address", "Mlr4800_Address"};
// The channels of each page: data radio 0..9, central unit 10..29,
// subscriber unit 30.
const int kFirstChannel[] = {0, 10, 30};
const int kChannels[] = {10, 20, 1};

QStringList Lines(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
}

// Whether a pty keeps anything of odd parity (a Linux pty keeps the odd
// bit alone): then qmsim tells odd parity from none.
bool PtyTellsOdd()
{
    PtyPair probe;
    termios t{};
    ::tcgetattr(probe.masterFd(), &t);
    t.c_cflag |= PARENB | PARODD;
    ::tcsetattr(probe.masterFd(), TCSANOW, &t);
    ::tcgetattr(probe.masterFd(), &t);
    return t.c_cflag & PARODD;
}

} // namespace

class TestNetworkPorts : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void exchangesThroughRfc2217_data();
    void exchangesThroughRfc2217();
    void serverKilledDuringReadAndBack();
    void lineOfTheServer_data();
    void lineOfTheServer();
    void detectionThroughRfc2217();
    void openFailuresSayWhy_data();
    void openFailuresSayWhy();

private:
    Simulator *startUnit(const char *family, const QStringList &args);
    void makeWindow(const QString &com1);
    void choose(PageFamily family);
    void tick(PageFamily family);
    bool running(PageFamily family);
    void runExchange(PageFamily family);
    int runQmset(const QStringList &args, QByteArray *out, QByteArray *err);
    QString panel(int i) const { return child<QLabel>(*window_, QStringLiteral("StatusPanel%1").arg(i))->text(); }
    QString memo() const { return child<MonitorMemo>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }
    ProtocolState &state() { return window_->link().state(); }

    QTemporaryDir dir_;
    std::vector<std::unique_ptr<Simulator>> sims_;
    Ser2NetServer server_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
};

void TestNetworkPorts::cleanup()
{
    window_.reset();
    server_.stop();
    sims_.clear();
    errors_.reset();
}

Simulator *TestNetworkPorts::startUnit(const char *family, const QStringList &args)
{
    auto sim = std::make_unique<Simulator>();
    sim->setProgram(QStringLiteral(QMSIM_PATH));
    if (!sim->start(QLatin1String(family), QStringList{"--delay-ms", "1"} + args)) {
        qWarning("%s", qPrintable(sim->errorString()));
        return nullptr;
    }
    sims_.push_back(std::move(sim));
    return sims_.back().get();
}

void TestNetworkPorts::makeWindow(const QString &com1)
{
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap.insert(QStringLiteral("COM1"), com1);
    window_ = std::make_unique<TMainForm>(options);
    for (const char *timer : {"Timer1", "Timer2", "Timer3"})
        child<QTimer>(*window_, QLatin1String(timer))->stop();
    window_->show();
}

void TestNetworkPorts::choose(PageFamily family)
{
    switch (family) {
    case Radio: window_->DataTransClick(); break;
    case Central: window_->MLB4800Click(); break;
    case Subscriber: window_->MLR4800Click(); break;
    }
}

void TestNetworkPorts::tick(PageFamily family)
{
    Guard([this, family] {
        switch (family) {
        case Radio: window_->Timer3Timer(); break;
        case Central: window_->Timer1Timer(); break;
        case Subscriber: window_->Timer2Timer(); break;
        }
    });
}

bool TestNetworkPorts::running(PageFamily family)
{
    const ExchangeOwner owner = RunningExchange(state());
    return owner == (family == Radio ? ExchangeOwner::Radio : family == Central ? ExchangeOwner::Central : ExchangeOwner::Subscriber);
}

void TestNetworkPorts::runExchange(PageFamily family)
{
    for (int i = 0; i < 300 && running(family); ++i) {
        (void)QTest::qWaitFor([this] { return state().ReplyReady; }, 300);
        tick(family);
    }
    QVERIFY2(!running(family), "the exchange neither ended nor timed out");
}

int TestNetworkPorts::runQmset(const QStringList &args, QByteArray *out, QByteArray *err)
{
    QProcess p;
    p.start(QStringLiteral(QMSET_PATH), args);
    if (!p.waitForFinished(60000))
        return -1;
    *out = p.readAllStandardOutput();
    *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Each family written and read back through rfc2217://, every frame
// understood by the unit: the data radio with an address whose bytes are
// 0xFF (doubled on the wire both ways, each frame's check intact), and
// with a write that moves the radio's line and the port's with it.
void TestNetworkPorts::exchangesThroughRfc2217_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("moveLine");
    QTest::newRow("data radio, address 65535: 0xFF both ways") << int(Radio) << "65535" << false;
    QTest::newRow("data radio, the write moves the line to 9600 odd") << int(Radio) << "300" << true;
    QTest::newRow("central unit") << int(Central) << "12" << false;
    QTest::newRow("subscriber unit at 1200 even") << int(Subscriber) << "1234" << false;
}

void TestNetworkPorts::exchangesThroughRfc2217()
{
    QFETCH(int, family);
    QFETCH(QString, address);
    QFETCH(bool, moveLine);
    const PageFamily fam = PageFamily(family);
    const QString log = dir_.filePath(QStringLiteral("unit-%1.log").arg(QTest::currentDataTag()).replace(' ', '-'));
    Simulator *sim = startUnit(kFamilies[fam], {"--log", log});
    QVERIFY(sim);
    QVERIFY2(server_.start({{.device = sim->linkPath()}}), qPrintable(server_.errorString()));
    makeWindow(server_.url());
    choose(fam);
    SerialPort &port = window_->link().port();
    QVERIFY(port.isOpen() && port.isNetwork() && port.setsLine());
    QCOMPARE(child<QLabel>(*window_, QStringLiteral("StatusPanel1"))->toolTip(), QStringLiteral("COM1：") + server_.url());

    FieldAccess &f = window_->fields();
    QStringList written;
    for (int i = kFirstChannel[fam]; i < kFirstChannel[fam] + kChannels[fam]; ++i) {
        f.setText(QStringLiteral("TxFreq%1").arg(i), QString::number(4300000 + 250 * i));
        f.setText(QStringLiteral("RxFreq%1").arg(i), QString::number(4400000 + 500 * i));
        written << QStringLiteral("TxFreq%1").arg(i) << QStringLiteral("RxFreq%1").arg(i);
    }
    f.setText(QLatin1String(kAddresses[fam]), address);
    written << QLatin1String(kAddresses[fam]);
    if (moveLine) {
        Dk618Page *page = window_->dk618Page();
        page->Dk618_Baudrate->setCurrentIndex(5);
        page->Dk618_Checkmode->setCurrentIndex(2);
        page->Modify_Sync->setChecked(true);
    }
    QMap<QString, QString> before;
    for (const QString &name : written)
        before.insert(name, f.text(name));

    child<QPushButton>(*window_, QLatin1String(kWrites[fam]))->click();
    runExchange(fam);
    QCOMPARE(panel(2), text::WriteOk);
    if (moveLine) {
        QCOMPARE(port.rate(), 9600);
        QCOMPARE(port.parity(), QSerialPort::OddParity);
    }
    for (const QString &name : written)
        f.setText(name, QStringLiteral("0"));
    child<QPushButton>(*window_, QLatin1String(kReads[fam]))->click();
    runExchange(fam);
    QCOMPARE(panel(2), text::ReadOk);
    for (const QString &name : written)
        QCOMPARE(f.text(name), before.value(name));

    const QStringList lines = Lines(log);
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^-- "))), QStringList()); // none at a wrong line
    if (address == QLatin1String("65535")) {
        // The address went out as FF FF, once each, and came back in every
        // answer as its low byte.
        QVERIFY(!lines.filter(QRegularExpression(QStringLiteral("^rx 96 07 80 65 .*FF FF [0-9A-F]{2}$"))).isEmpty());
        QVERIFY(lines.filter(QStringLiteral("tx ")).filter(QStringLiteral(" FF ")).size() >= 5);
    }
    QVERIFY(!memo().contains(QStringLiteral("网络串口"))); // the server took every setting
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QVERIFY(prompts_->messages.isEmpty());
}

// ser2net dies in the middle of a read: the read ends at once with one
// message, as for a pulled cable; while it is away nothing more is said;
// when it is back the window reconnects by itself, with the same memo
// line as for an adapter, and the next read succeeds.
void TestNetworkPorts::serverKilledDuringReadAndBack()
{
    Simulator *sim = startUnit("dk618", {"--steady"});
    QVERIFY(sim);
    QVERIFY2(server_.start({{.device = sim->linkPath()}}), qPrintable(server_.errorString()));
    makeWindow(server_.url());
    choose(Radio);
    SerialPort &port = window_->link().port();
    QVERIFY(port.isOpen());
    QSignalSpy lost(&window_->link(), &Link::portLost);

    child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->click();
    for (int i = 0; i < 20 && state().ExchangeStep < 2; ++i) {
        QVERIFY(QTest::qWaitFor([this] { return state().ReplyReady; }, 2000));
        tick(Radio);
    }
    QVERIFY(running(Radio));
    server_.kill();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
    QVERIFY(!running(Radio)); // no tick since the loss
    QCOMPARE(panel(2), text::ReadFailed);
    QCOMPARE(memo().count(QStringLiteral("通讯口已断开")), 1);
    QVERIFY(memo().contains(QStringLiteral("通讯口已断开：COM1（网络串口 127.0.0.1:%1：设备服务器关闭了连接）").arg(server_.tcpPort())));
    QCOMPARE(panel(1), QStringLiteral("通讯口已断开，等待设备重新接入：COM1"));

    QTest::qWait(2500); // attempts that find nobody are silent
    QVERIFY(!port.isOpen());
    QCOMPARE(memo().count(QStringLiteral("通讯口")), 1);
    QVERIFY(prompts_->messages.isEmpty() && errors_->errors.isEmpty());

    QVERIFY2(server_.restart(), qPrintable(server_.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(port.isOpen(), 5000);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(memo().count(QStringLiteral("通讯口已恢复：COM1 = %1，19200,N,8,1").arg(server_.url())), 1);
    QCOMPARE(panel(1), window_->link().portStatusText());
    QVERIFY(!running(Radio)); // nothing started again by itself
    child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->click();
    runExchange(Radio);
    QCOMPARE(panel(2), text::ReadOk);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

// socket:// carries the bytes only, and a telnet server without line
// control keeps its own settings: the unit is read at the line the server
// is set to, whatever the tool's settings say, and the monitor says so
// once. Detection cannot work there and is refused, in the window and on
// the command line.
void TestNetworkPorts::lineOfTheServer_data()
{
    QTest::addColumn<bool>("telnet");
    QTest::addColumn<QString>("notice"); // %1: the server's port
    QTest::newRow("socket://") << false
                               << "网络串口 127.0.0.1:%1 只转发原始数据（socket://）：速率和校验不能由本程序设置，以设备服务器的设置为准";
    QTest::newRow("telnet without line control") << true
                                                 << "网络串口 127.0.0.1:%1 不接受 RFC 2217 的串口设置：速率和校验由设备服务器自己的设置决定";
}

void TestNetworkPorts::lineOfTheServer()
{
    QFETCH(bool, telnet);
    QFETCH(QString, notice);
    Simulator *sim = startUnit("dk618", {"--rate", "9600", "--parity", "odd"});
    QVERIFY(sim);
    QVERIFY2(server_.start({{.telnet = telnet, .device = sim->linkPath(), .line = "9600o81", .lineControl = false}}),
             qPrintable(server_.errorString()));
    PtyPair home;
    makeWindow(home.slavePath());
    choose(Radio);
    // Typed into the settings dialog's device choice.
    auto *form = child<TSet_Form>(*window_, QStringLiteral("Set_Form"));
    QTimer::singleShot(0, form, [&] {
        auto *device = child<QComboBox>(*form, QStringLiteral("Set_Device"));
        device->lineEdit()->selectAll();
        QTest::keyClicks(device->lineEdit(), server_.url());
        child<QPushButton>(*form, QStringLiteral("Set_ComOK"))->click();
    });
    window_->SetSysConfigClick();
    SerialPort &port = window_->link().port();
    QVERIFY(port.isOpen() && !port.setsLine());
    QCOMPARE(port.rate(), 19200); // the tool's own setting, which goes nowhere
    QCOMPARE(child<QLabel>(*window_, QStringLiteral("StatusPanel1"))->toolTip(), QStringLiteral("COM1：") + server_.url());
    notice = notice.arg(server_.tcpPort());
    for (int read = 0; read < 2; ++read) {
        child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->click();
        runExchange(Radio);
        QCOMPARE(panel(2), text::ReadOk);
    }
    QCOMPARE(window_->dk618Page()->Dk618_Baudrate->currentText(), QStringLiteral("9600"));
    QCOMPARE(window_->dk618Page()->Dk618_Checkmode->currentText(), QStringLiteral("奇校验"));
    QCOMPARE(memo().count(notice), 1);

    QTest::mouseClick(child<QToolButton>(*window_, QStringLiteral("ToolButton6")), Qt::LeftButton);
    QVERIFY(!child<TAutoSet_Form>(*window_, QStringLiteral("AutoSet_Form"))->isVisible());
    const QString refused = QStringLiteral("无法自动检测：%1 的速率和校验由设备服务器决定，请在服务器上设置，或改用 rfc2217://").arg(server_.url());
    QVERIFY(memo().endsWith(refused));
    QCOMPARE(panel(2), refused);
    QCOMPARE(memo().count(notice), 1);
    QVERIFY(prompts_->messages.isEmpty() && errors_->errors.isEmpty());

    window_.reset(); // the server takes one client at a time
    QByteArray out, err;
    QCOMPARE(runQmset({"detect", "--port", server_.url()}, &out, &err), 1);
    QCOMPARE(out, QByteArray());
    QVERIFY2(err.contains("is the device server's own and cannot be set"), err.constData());
}

// The window's detection through rfc2217:// finds a unit at 9600 odd: the
// server's line changes at every trial (the unit logs each trial's frame
// at that trial's rate), the answer comes at 9600 odd, and the read that
// follows succeeds there. qmset detect finds it too.
void TestNetworkPorts::detectionThroughRfc2217()
{
    const QString log = dir_.filePath(QStringLiteral("detect.log"));
    Simulator *sim = startUnit("dk618", {"--rate", "9600", "--parity", "odd", "--log", log});
    QVERIFY(sim);
    QVERIFY2(server_.start({{.device = sim->linkPath()}}), qPrintable(server_.errorString()));
    makeWindow(server_.url());
    auto *form = child<TAutoSet_Form>(*window_, QStringLiteral("AutoSet_Form"));
    auto *timer = child<QTimer>(*form, QStringLiteral("Timer2"));
    QTest::mouseClick(child<QToolButton>(*window_, QStringLiteral("ToolButton6")), Qt::LeftButton);
    QVERIFY(form->isVisible() && timer->isActive());
    timer->stop();
    const int foundAt = PtyTellsOdd() ? 5 + 14 : 5;
    const int rates[] = {300, 600, 1200, 2400, 4800, 9600, 19200};
    for (int trial = 0; trial <= foundAt; ++trial) {
        // The unit's word on this trial's frame: its answer, or why not.
        QString outcome;
        QVERIFY(QTest::qWaitFor([&] {
            const QStringList lines = Lines(log);
            for (int i = 0, rx = 0; i + 1 < lines.size(); ++i)
                if (lines[i].startsWith(QLatin1String("rx ")) && rx++ == trial)
                    outcome = lines[i + 1];
            return !outcome.isEmpty();
        }, 5000));
        if (trial < foundAt) {
            QVERIFY2(outcome.startsWith(QStringLiteral("-- line is %1,").arg(rates[trial % 7])), qPrintable(outcome));
        } else {
            QVERIFY2(outcome.startsWith(QLatin1String("tx ")), qPrintable(outcome));
            QVERIFY(QTest::qWaitFor([this] { return state().AutoSetReply; }, 3000));
        }
        form->Timer2Timer();
        QCOMPARE(form->isVisible(), trial < foundAt);
    }
    QCOMPARE(panel(1), QStringLiteral("通讯端口状态：COM1,9600,%1,8,1").arg(foundAt > 6 ? 'O' : 'N'));
    runExchange(Radio);
    QCOMPARE(panel(2), text::ReadOk);
    QCOMPARE(window_->dk618Page()->Dk618_Baudrate->currentText(), QStringLiteral("9600"));
    QCOMPARE(window_->dk618Page()->Dk618_Checkmode->currentText(), QStringLiteral("奇校验"));
    QVERIFY(prompts_->messages.isEmpty() && errors_->errors.isEmpty());

    window_.reset();
    QByteArray out, err;
    QCOMPARE(runQmset({"detect", "--port", server_.url()}, &out, &err), 0);
    QVERIFY2(out.startsWith(foundAt > 6 ? "9600 O " : "9600 N "), out.constData());
}

// Each way an open can fail, made for real and typed into the settings
// dialog: the box stays the port's usual one, the memo line says what
// happened, and the port stays closed.
void TestNetworkPorts::openFailuresSayWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why"); // a pattern for what follows "COM1："
    QTest::newRow("nothing listens") << "refused" << "网络串口 127\\.0\\.0\\.1:\\d+ 无法连接：连接被拒绝（该端口上没有设备服务器在等待连接）";
    QTest::newRow("the server cannot open its device") << "missing device"
                                                       << "网络串口 127\\.0\\.0\\.1:\\d+ 无法连接：设备服务器关闭了连接（Device open failure.*）";
    QTest::newRow("no telnet behind the port") << "silent" << "网络串口 127\\.0\\.0\\.1:\\d+ 无法连接：3 秒内没有 RFC 2217 应答（只转发原始数据的端口请用 socket://）";
    QTest::newRow("host unknown") << "rfc2217://nosuch.invalid:4001" << "网络串口 nosuch\\.invalid:4001 无法连接：找不到主机 nosuch\\.invalid";
    QTest::newRow("no port in the address") << "rfc2217://127.0.0.1" << "网络串口地址无效：rfc2217://127\\.0\\.0\\.1（应为 rfc2217://主机:端口 或 socket://主机:端口）";
}

void TestNetworkPorts::openFailuresSayWhy()
{
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QString url = kind;
    QTcpServer silent;
    if (kind == QLatin1String("refused") || kind == QLatin1String("silent")) {
        // A port that listened a moment ago, or one that takes connections
        // and never says a word.
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort());
        if (kind == QLatin1String("refused"))
            silent.close();
    } else if (kind == QLatin1String("missing device")) {
        QVERIFY2(server_.start({{.device = dir_.filePath(QStringLiteral("ttyUSB9"))}}), qPrintable(server_.errorString()));
        url = server_.url();
    }
    PtyPair home;
    makeWindow(home.slavePath());
    auto *form = child<TSet_Form>(*window_, QStringLiteral("Set_Form"));
    QTimer::singleShot(0, form, [&] {
        auto *device = child<QComboBox>(*form, QStringLiteral("Set_Device"));
        device->lineEdit()->selectAll();
        QTest::keyClicks(device->lineEdit(), url);
        child<QPushButton>(*form, QStringLiteral("Set_ComOK"))->click();
    });
    window_->SetSysConfigClick();
    QVERIFY(!window_->link().port().isOpen());
    const QString last = memo().section(QLatin1Char('\n'), -1);
    QVERIFY2(QRegularExpression(QStringLiteral("^COM1：") + why + QLatin1Char('$')).match(last).hasMatch(), qPrintable(last));
    // The box keeps its text and adds the monitor's reason.
    QCOMPARE(prompts_->messages, QStringList{QStringLiteral("通讯口被占用！\n") + last});
    QVERIFY(errors_->errors.isEmpty());
}

QTEST_MAIN(TestNetworkPorts)
#include "tst_networkports.moc"
