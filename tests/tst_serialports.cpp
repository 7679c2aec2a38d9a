// Real serial devices, end to end with the real window and qmsim on pseudo
// terminals: the device choice of the settings dialog, COM1 on the only USB
// adapter at start-up, open failures explained, and a unit that hangs up in
// the middle of a read and comes back on the same path.
#include "app/mainform.h"
#include "app/monitormemo.h"
#include "app/setform.h"
#include "app/simulator.h"
#include "link/exchange.h"
#include "link/portdiagnosis.h"
#include "link/portlist.h"
#include "testpage/testexchange.h"
#include "ptypair.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>

#include "findchild.h"
#include "testprompts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qm;

Q_DECLARE_METATYPE(qm::PortDescription)

namespace {

class FakeLister : public PortLister {
public:
    QList<PortDescription> list;
    // As the system's, pseudo terminals are never listed, unless a test
    // lets a simulated unit pass for an adapter.
    bool ptysToo = false;
    QList<PortDescription> ports() const override { return list; }
    bool canList(const QString &device) const override { return ptysToo || !IsPseudoTerminal(device); }
};

PortDescription Usb(const QString &location, quint16 vid, quint16 pid, const QString &serial,
                    const QString &description = QStringLiteral("FT232R USB UART"), const QString &maker = QStringLiteral("FTDI"))
{
    PortDescription p;
    p.location = location;
    p.description = description;
    p.manufacturer = maker;
    p.vendorId = vid;
    p.productId = pid;
    p.serialNumber = serial;
    return p;
}

PortDescription Plain(const QString &location)
{
    PortDescription p;
    p.location = location;
    p.description = QStringLiteral("16550A");
    return p;
}

enum PageFamily { Radio, Central, Subscriber };

} // namespace

class TestSerialPorts : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void returnedPortFound_data();
    void returnedPortFound();
    void keeperNeverTakesAnotherAdapterAlike_data();
    void keeperNeverTakesAnotherAdapterAlike();
    void deviceChoiceListsAndTypes();
    void startUpTakesTheOnlyUsbAdapter_data();
    void startUpTakesTheOnlyUsbAdapter();
    void openFailureExplained_data();
    void openFailureExplained();
    void unplugAndComeBack_data();
    void unplugAndComeBack();

private:
    void makeWindow(const QHash<QString, QString> &map);
    Simulator *startUnit(const char *family, const QStringList &args);
    TSet_Form *settings() { return child<TSet_Form>(*window_, QStringLiteral("Set_Form")); }
    QString panel(int i) const { return child<QLabel>(*window_, QStringLiteral("StatusPanel%1").arg(i))->text(); }
    QString memo() const { return child<MonitorMemo>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }
    void tick(PageFamily family);
    bool running(PageFamily family);

    FakeLister lister_;
    QTemporaryDir dir_;
    std::vector<std::unique_ptr<Simulator>> sims_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
};

void TestSerialPorts::cleanup()
{
    window_.reset();
    sims_.clear();
    errors_.reset();
    lister_.list.clear();
    lister_.ptysToo = false;
}

void TestSerialPorts::makeWindow(const QHash<QString, QString> &map)
{
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap = map;
    options.portLister = &lister_;
    window_ = std::make_unique<TMainForm>(options);
    for (const char *timer : {"Timer1", "Timer2", "Timer3"})
        child<QTimer>(*window_, QLatin1String(timer))->stop();
    window_->show();
}

Simulator *TestSerialPorts::startUnit(const char *family, const QStringList &args)
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

void TestSerialPorts::tick(PageFamily family)
{
    Guard([this, family] {
        switch (family) {
        case Radio: window_->Timer3Timer(); break;
        case Central: window_->Timer1Timer(); break;
        case Subscriber: window_->Timer2Timer(); break;
        }
    });
}

bool TestSerialPorts::running(PageFamily family)
{
    const ExchangeOwner owner = RunningExchange(window_->link().state());
    return owner == (family == Radio ? ExchangeOwner::Radio : family == Central ? ExchangeOwner::Central : ExchangeOwner::Subscriber);
}

// Where a lost device is looked for: its path, else a USB adapter by its
// serial number, else by its ids when only one such adapter is present and
// was present while it was open.
void TestSerialPorts::returnedPortFound_data()
{
    QTest::addColumn<PortDescription>("lost");
    QTest::addColumn<QList<PortDescription>>("listed");
    QTest::addColumn<bool>("pathExists");
    QTest::addColumn<bool>("ambiguous");
    QTest::addColumn<QString>("found");
    const PortDescription ftdi = Usb("/dev/ttyUSB0", 0x0403, 0x6001, "A10KZP3M");
    const PortDescription bare = Usb("/dev/ttyUSB0", 0x1a86, 0x7523, {});
    const PortDescription otherBare = Usb("/dev/ttyUSB3", 0x1a86, 0x7523, {});
    using List = QList<PortDescription>;
    QTest::newRow("uart back on its path") << Plain("/dev/ttyS1") << List{} << true << false << "/dev/ttyS1";
    QTest::newRow("uart still away") << Plain("/dev/ttyS1") << List{Plain("/dev/ttyS2")} << false << false << "";
    QTest::newRow("adapter on its old name") << ftdi << List{ftdi} << true << false << "/dev/ttyUSB0";
    QTest::newRow("adapter's path back, not listed yet") << ftdi << List{} << true << false << "";
    QTest::newRow("adapter under a new name")
        << ftdi << List{Usb("/dev/ttyUSB0", 0x0403, 0x6001, "OTHER1"), Usb("/dev/ttyUSB1", 0x0403, 0x6001, "A10KZP3M")}
        << true << false << "/dev/ttyUSB1";
    QTest::newRow("another adapter of the same kind") << ftdi << List{Usb("/dev/ttyUSB1", 0x0403, 0x6001, "OTHER1")} << false << false << "";
    QTest::newRow("no serial, the only one alike") << bare << List{ftdi, otherBare} << false << false << "/dev/ttyUSB3";
    QTest::newRow("no serial, two alike") << bare << List{Usb("/dev/ttyUSB2", 0x1a86, 0x7523, {}), otherBare} << false << false << "";
    QTest::newRow("no serial, another alike was there") << bare << List{otherBare} << false << true << "";
    QTest::newRow("no serial, another alike was there, back on its path") << bare << List{bare, otherBare} << true << true
                                                                          << "/dev/ttyUSB0";
    QTest::newRow("no serial, its path taken by another kind") << bare << List{Usb("/dev/ttyUSB0", 0x0403, 0x6001, {})} << true << true
                                                               << "";
}

void TestSerialPorts::returnedPortFound()
{
    QFETCH(PortDescription, lost);
    QFETCH(QList<PortDescription>, listed);
    QFETCH(bool, pathExists);
    QFETCH(bool, ambiguous);
    QFETCH(QString, found);
    QCOMPARE(FindReturnedPort(lost, listed, pathExists, ambiguous), found);
}

// Two adapters alike without serial numbers, one to each unit: when the one
// in use is pulled, the other is never opened in its place (the next click
// would go to another unit); the one in use is taken again once it is back
// on its path and listed with its ids. With only one such adapter, one that
// comes back under a new name is still taken.
void TestSerialPorts::keeperNeverTakesAnotherAdapterAlike_data()
{
    QTest::addColumn<bool>("otherAtOpen");
    QTest::addColumn<bool>("otherAtLoss");
    QTest::newRow("both plugged in at the open") << true << true;
    QTest::newRow("the other plugged in later") << false << true;
    QTest::newRow("only one: back under a new name") << false << false;
}

void TestSerialPorts::keeperNeverTakesAnotherAdapterAlike()
{
    QFETCH(bool, otherAtOpen);
    QFETCH(bool, otherAtLoss);
    Simulator *unit = startUnit("dk618", {"--hangup-on", "99", "--hangup-pause", "600"});
    Simulator *other = startUnit("dk618", {});
    QVERIFY(unit && other);
    const PortDescription mine = Usb(unit->linkPath(), 0x1a86, 0x7523, {}, QStringLiteral("USB Serial"), QStringLiteral("QinHeng"));
    const PortDescription alike = Usb(other->linkPath(), 0x1a86, 0x7523, {}, QStringLiteral("USB Serial"), QStringLiteral("QinHeng"));
    lister_.ptysToo = true;
    lister_.list = otherAtOpen ? QList{mine, alike} : QList{mine};
    makeWindow({{QStringLiteral("COM1"), unit->linkPath()}});
    window_->DataTransClick();
    SerialPort &port = window_->link().port();
    QVERIFY(port.isOpen());
    if (otherAtLoss)
        lister_.list = {mine, alike};
    // The adapter in use goes from the list as it goes from the system.
    QSignalSpy lost(&window_->link(), &Link::portLost);
    connect(&window_->link(), &Link::portLost, this, [this, alike, otherAtLoss] { lister_.list = otherAtLoss ? QList{alike} : QList<PortDescription>{}; });
    child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QVERIFY(!port.isOpen());

    if (!otherAtLoss) {
        // The same adapter, renamed by the kernel: the only one of its kind.
        QTest::qWait(300);
        lister_.list = {alike};
        QTRY_VERIFY_WITH_TIMEOUT(port.isOpen(), 5000);
        QCOMPARE(port.deviceFor(QStringLiteral("COM1")), other->linkPath());
        return;
    }
    // Its path is back after 600 ms, but not listed yet: nothing is opened,
    // the other adapter least of all.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(unit->linkPath()), 5000);
    QTest::qWait(2500);
    QVERIFY(!port.isOpen());
    QCOMPARE(port.deviceFor(QStringLiteral("COM1")), unit->linkPath());
    QCOMPARE(memo().count(QStringLiteral("通讯口已恢复")), 0);
    lister_.list = {alike, mine};
    QTRY_VERIFY_WITH_TIMEOUT(port.isOpen(), 5000);
    QCOMPARE(port.deviceFor(QStringLiteral("COM1")), unit->linkPath());
    QCOMPARE(memo().count(QStringLiteral("通讯口已恢复：COM1 = ") + unit->linkPath()), 1);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

// The choice lists what the lister reports, without pseudo terminals, and
// again on every showing; a path typed into it reaches the unit.
void TestSerialPorts::deviceChoiceListsAndTypes()
{
    Simulator *sim = startUnit("dk618", {});
    QVERIFY(sim);
    lister_.list = {Plain("/dev/ttyS0"), Usb("/dev/ttyUSB0", 0x0403, 0x6001, "A10KZP3M"),
                    Usb("/dev/ttyACM0", 0x2341, 0x0043, {}, "Arduino Uno", "Arduino (www.arduino.cc)"), Plain("/dev/pts/3")};
    const QString missing = dir_.filePath(QStringLiteral("ttyUSB9"));
    makeWindow({{QStringLiteral("COM1"), missing}});
    TSet_Form *form = settings();
    auto *device = child<QComboBox>(*form, QStringLiteral("Set_Device"));
    const auto items = [device] {
        QStringList list;
        for (int i = 0; i < device->count(); ++i)
            list << device->itemText(i);
        return list;
    };
    bool listed = false;
    QTimer::singleShot(0, form, [&] {
        listed = true;
        QCOMPARE(items(), (QStringList{"/dev/ttyS0 — 16550A", "/dev/ttyUSB0 — FT232R USB UART (0403:6001) FTDI #A10KZP3M",
                                       "/dev/ttyACM0 — Arduino Uno (2341:0043) Arduino (www.arduino.cc)"}));
        QCOMPARE(device->currentText(), missing); // what COM1 opens now
        form->reject();
    });
    window_->SetSysConfigClick();
    QVERIFY(listed);

    lister_.list.removeFirst();
    lister_.list.append(Usb("/dev/ttyUSB1", 0x067b, 0x2303, {}, "USB-Serial Controller", "Prolific"));
    bool checked = false;
    QTimer::singleShot(0, form, [&] {
        QCOMPARE(items().size(), 3);
        QCOMPARE(items().last(), QStringLiteral("/dev/ttyUSB1 — USB-Serial Controller (067b:2303) Prolific"));
        // Typed, not picked: the key filter of the three lists lets it pass.
        device->lineEdit()->selectAll();
        QTest::keyClicks(device->lineEdit(), sim->linkPath());
        checked = true;
        child<QPushButton>(*form, QStringLiteral("Set_ComOK"))->click();
    });
    window_->SetSysConfigClick();
    QVERIFY(checked);
    QVERIFY(window_->link().port().isOpen());
    QCOMPARE(window_->link().port().deviceFor(QStringLiteral("COM1")), sim->linkPath());
    QCOMPARE(FirstLines(prompts_->messages), QStringList{QStringLiteral("通讯口被占用！请更改通讯端口！")}); // at start-up only
    QCOMPARE(child<QLabel>(*window_, QStringLiteral("StatusPanel1"))->toolTip(), QStringLiteral("COM1：") + sim->linkPath());

    child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->click();
    for (int i = 0; i < 200 && running(Radio); ++i) {
        (void)QTest::qWaitFor([this] { return window_->link().state().ReplyReady; }, 200);
        tick(Radio);
    }
    QCOMPARE(panel(2), text::ReadOk);
    QVERIFY(errors_->errors.isEmpty());
}

// Without a device named for COM1, and /dev/ttyS0 not present, COM1 takes
// the only USB adapter, with one memo line.
void TestSerialPorts::startUpTakesTheOnlyUsbAdapter_data()
{
    QTest::addColumn<QList<PortDescription>>("listed");
    QTest::addColumn<bool>("named");
    QTest::addColumn<QString>("com1");
    const PortDescription ftdi = Usb("/dev/ttyUSB0", 0x0403, 0x6001, "A10KZP3M");
    QTest::newRow("one adapter") << QList<PortDescription>{ftdi, Plain("/dev/ttyS4")} << false << "/dev/ttyUSB0";
    QTest::newRow("two adapters") << QList<PortDescription>{ftdi, Usb("/dev/ttyUSB1", 0x067b, 0x2303, {})} << false << "/dev/ttyS0";
    QTest::newRow("ttyS0 is there") << QList<PortDescription>{Plain("/dev/ttyS0"), ftdi} << false << "/dev/ttyS0";
    QTest::newRow("COM1 named") << QList<PortDescription>{ftdi} << true << "/dev/ttyS1";
}

void TestSerialPorts::startUpTakesTheOnlyUsbAdapter()
{
    QFETCH(QList<PortDescription>, listed);
    QFETCH(bool, named);
    QFETCH(QString, com1);
    lister_.list = listed;
    QHash<QString, QString> map;
    if (named)
        map.insert(QStringLiteral("COM1"), QStringLiteral("/dev/ttyS1"));
    makeWindow(map);
    QCOMPARE(window_->link().port().deviceFor(QStringLiteral("COM1")), com1);
    const QString line = QStringLiteral("COM1 没有 /dev/ttyS0，已改用唯一的 USB 串口转换器：/dev/ttyUSB0 — FT232R USB UART (0403:6001) FTDI #A10KZP3M");
    QCOMPARE(memo().count(QStringLiteral("USB 串口转换器")), com1 == QLatin1String("/dev/ttyUSB0") ? 1 : 0);
    if (com1 == QLatin1String("/dev/ttyUSB0"))
        QVERIFY(memo().contains(line));
}

// Each failure made for real. The box stays as it always was; the memo
// line says what happened and what to do.
void TestSerialPorts::openFailureExplained_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("not a serial device") << "file";
    QTest::newRow("held by another program") << "held";
    QTest::newRow("permission denied") << "permission";
}

void TestSerialPorts::openFailureExplained()
{
    QFETCH(QString, kind);
    PtyPair home, pty; // the window's port at start, the one that fails
    QVERIFY(home.isOpen() && pty.isOpen());
    QString device = pty.slavePath();
    QStringList expected;
    QProcess holder;
    if (kind == QLatin1String("missing")) {
        device = dir_.filePath(QStringLiteral("ttyUSB7"));
        expected = {QStringLiteral("COM1：找不到设备 ") + device, QStringLiteral("请检查串口线或 USB 转换器是否插好")};
    } else if (kind == QLatin1String("file")) {
        device = dir_.filePath(QStringLiteral("plain-file"));
        QFile f(device);
        QVERIFY(f.open(QIODevice::WriteOnly));
        expected = {QStringLiteral("COM1：无法打开 ") + device + QStringLiteral("：")};
    } else if (kind == QLatin1String("held")) {
        // A second qmset holds the port with QSerialPort's own lock.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        holder.setProcessEnvironment(env);
        holder.start(QStringLiteral(QMSET_PATH), {QStringLiteral("--port"), QStringLiteral("COM1=") + device});
        QVERIFY(holder.waitForStarted());
        const QString pid = QString::number(holder.processId());
        const auto locked = [&pid] {
            for (const QFileInfo &f : QDir(QStringLiteral("/var/lock")).entryInfoList({QStringLiteral("LCK..*")}, QDir::Files)) {
                QFile lock(f.filePath());
                if (lock.open(QIODevice::ReadOnly) && lock.readLine().trimmed() == pid.toLatin1())
                    return true;
            }
            return false;
        };
        if (!QTest::qWaitFor(locked, 10000)) {
            holder.kill();
            holder.waitForFinished();
            QSKIP("QSerialPort left no lock file in /var/lock (no writable lock folder?)");
        }
        expected = {QStringLiteral("COM1：%1 正被其他程序占用：qmset（进程 %2）").arg(device, pid)};
    } else {
        // The test user may open everything; a child of its own becomes
        // nobody and tries a node of the dialout group.
        const group *dialout = ::getgrnam("dialout");
        const passwd *nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || !dialout || !nobody)
            QSKIP("needs root (to become nobody), a user nobody and a dialout group");
        const uid_t uid = nobody->pw_uid;
        const gid_t gid = nobody->pw_gid;
        QVERIFY(::chown(QFile::encodeName(device).constData(), 0, dialout->gr_gid) == 0);
        QVERIFY(::chmod(QFile::encodeName(device).constData(), 0660) == 0);
        int out[2];
        QVERIFY(::pipe(out) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(out[0]);
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(3);
            const QByteArray path = QFile::encodeName(device);
            const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const QByteArray line = fd >= 0 ? QByteArray("opened") : DescribeOpenFailure(device, QString::fromLocal8Bit(std::strerror(errno))).toUtf8();
            [[maybe_unused]] const auto n = ::write(out[1], line.constData(), size_t(line.size()));
            ::_exit(0);
        }
        ::close(out[1]);
        QByteArray said;
        char buffer[512];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, n);
        ::close(out[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the child could not become nobody");
        QCOMPARE(QString::fromUtf8(said), QStringLiteral("无权打开 %1（属于 dialout 组）：请执行 sudo usermod -aG dialout nobody，然后注销并重新登录").arg(device));
        return;
    }

    makeWindow({{QStringLiteral("COM1"), home.slavePath()}});
    QVERIFY(window_->link().port().isOpen());
    auto *choice = child<QComboBox>(*settings(), QStringLiteral("Set_Device"));
    settings()->selectCurrent(window_->link().line());
    choice->setEditText(device);
    child<QPushButton>(*settings(), QStringLiteral("Set_ComOK"))->click();
    holder.kill();
    holder.waitForFinished();
    QVERIFY(!window_->link().port().isOpen());
    QCOMPARE(panel(1), QStringLiteral("通讯口被占用！"));
    const QString line = memo().section(QLatin1Char('\n'), -1);
    // The box keeps its words and says why, as the monitor does.
    QCOMPARE(prompts_->messages, QStringList{QStringLiteral("通讯口被占用！\n") + line});
    for (const QString &part : expected)
        QVERIFY2(line.contains(part), qPrintable(line));
    QVERIFY(errors_->errors.isEmpty());
}

// The unit hangs up in the middle of each family's read: the read ends at
// once with one message; the unit comes back on the same path after a
// pause, the port reopens by itself at the same rate and parity, nothing
// is sent until the user reads again, and that read succeeds. Automatic
// reading that was on resumes.
void TestSerialPorts::unplugAndComeBack_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("hangupOn");
    QTest::newRow("data-radio read") << int(Radio) << "67";
    QTest::newRow("central read") << int(Central) << "67";
    QTest::newRow("subscriber read") << int(Subscriber) << "67";
    QTest::newRow("automatic reading") << -1 << "D9";
}

void TestSerialPorts::unplugAndComeBack()
{
    QFETCH(int, family);
    QFETCH(QString, hangupOn);
    const bool automatic = family < 0;
    const PageFamily fam = automatic ? Radio : PageFamily(family);
    static const char *const names[] = {"dk618", "mlb4800", "mlr4800"};
    static const char *const reads[] = {"Dk618_Read_Data", "Mlb4800_ReadData", "Mlr4800_ReadData"};
    const QString log = dir_.filePath(QStringLiteral("hangup-%1.log").arg(QTest::currentDataTag()));
    Simulator *sim = startUnit(names[fam], {"--hangup-on", hangupOn, "--hangup-pause", "800", "--log", log, "--steady"});
    QVERIFY(sim);
    makeWindow({{QStringLiteral("COM1"), sim->linkPath()}});
    switch (fam) {
    case Radio: window_->DataTransClick(); break;
    case Central: window_->MLB4800Click(); break;
    case Subscriber: window_->MLR4800Click(); break;
    }
    SerialPort &port = window_->link().port();
    QVERIFY(port.isOpen());
    const qint32 rate = port.rate();
    const QSerialPort::Parity parity = port.parity();
    QSignalSpy lost(&window_->link(), &Link::portLost);
    auto *timer4 = child<QTimer>(*window_, QStringLiteral("Timer4"));
    const auto sentAfterComeback = [&log] {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray text = f.readAll();
        const qsizetype back = text.indexOf("-- back");
        return back < 0 ? -1 : int(text.mid(back).count("\nrx "));
    };

    if (automatic) {
        child<QTimer>(*window_, QStringLiteral("Timer3"))->start();
        child<QPushButton>(*window_, QStringLiteral("AutoRead"))->click();
        QVERIFY(timer4->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
        QVERIFY(!timer4->isActive());
        QCOMPARE(memo().count(text::AutoReadStopped), 1);
    } else {
        child<QPushButton>(*window_, QLatin1String(reads[fam]))->click();
        for (int i = 0; i < 50 && lost.isEmpty(); ++i) {
            (void)QTest::qWaitFor([&] { return window_->link().state().ReplyReady || !lost.isEmpty(); }, 2000);
            if (lost.isEmpty())
                tick(fam);
        }
        QCOMPARE(lost.count(), 1);
        // At once: no tick has run since the loss.
        QVERIFY(!running(fam));
        QCOMPARE(panel(2), text::ReadFailed);
    }
    QVERIFY(!port.isOpen());
    QCOMPARE(memo().count(QStringLiteral("通讯口已断开")), 1);
    QVERIFY(panel(1).startsWith(QStringLiteral("通讯口已断开，等待设备重新接入：COM1")));

    QTRY_VERIFY_WITH_TIMEOUT(port.isOpen(), 8000);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(memo().count(QStringLiteral("通讯口已恢复：COM1 = ") + sim->linkPath()), 1);
    QCOMPARE(port.rate(), rate);
    QCOMPARE(port.parity(), parity);
    QCOMPARE(panel(1), window_->link().portStatusText());
    QVERIFY(prompts_->messages.isEmpty());
    if (automatic) {
        QVERIFY(timer4->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(sentAfterComeback() >= 2, 5000);
        QVERIFY(errors_->errors.isEmpty());
        return;
    }
    QTest::qWait(300);
    QCOMPARE(sentAfterComeback(), 0); // no exchange started by itself
    QVERIFY(!running(fam));
    child<QPushButton>(*window_, QLatin1String(reads[fam]))->click();
    for (int i = 0; i < 200 && running(fam); ++i) {
        (void)QTest::qWaitFor([this] { return window_->link().state().ReplyReady; }, 200);
        tick(fam);
    }
    QCOMPARE(panel(2), text::ReadOk);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

QTEST_MAIN(TestSerialPorts)
#include "tst_serialports.moc"
