// The real qmsim on a pseudo terminal, talked to through a plain QSerialPort
// as the tool would, and started through qm::Simulator as --simulate does.

#include "app/simulator.h"
#include "link/frame.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray kIdentify = QByteArray::fromHex("96058099000" "18B");

QByteArray reply(quint8 command, const QByteArray &payload)
{
    return qm::BuildFrame(command, QByteArray::fromHex("0001") + payload);
}

// Sends req and gathers what comes back until want bytes are in or the time
// is up. want 0: listen for the whole time (to prove silence).
QByteArray exchange(QSerialPort &port, const QByteArray &req, int want, int timeoutMs = 2000)
{
    port.write(req);
    port.waitForBytesWritten(1000);
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && (want == 0 || got.size() < want)) {
        if (port.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            got += port.readAll();
    }
    return got;
}

bool openPort(QSerialPort &port, const QString &path, qint32 rate, QSerialPort::Parity parity)
{
    port.setPortName(path);
    port.setBaudRate(rate);
    port.setParity(parity);
    port.setDataBits(QSerialPort::Data8);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}

// Linux ptys clear the parity-enable bit whatever the tool sets and keep
// only the odd bit, so there the simulated unit tells odd apart but not
// even from none.
bool ptyKeepsParity()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return false;
    bool kept = false;
    if (::grantpt(master) == 0 && ::unlockpt(master) == 0) {
        const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        termios t{};
        if (slave >= 0 && ::tcgetattr(slave, &t) == 0) {
            t.c_cflag |= PARENB;
            kept = ::tcsetattr(slave, TCSANOW, &t) == 0 && ::tcgetattr(slave, &t) == 0 && (t.c_cflag & PARENB);
        }
        if (slave >= 0)
            ::close(slave);
    }
    ::close(master);
    return kept;
}

QStringList logLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TstQmsim : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void identifiesAndLogsInOrder();
    void silentAtOtherLineSettings_data();
    void silentAtOtherLineSettings();
    void silentOnCommand();
    void badCheckOnCommand();
    void bareAndNoisyReplies();
    void modeWriteMovesTheLine();
    void pacedAnswersTakeTheLineTime_data();
    void pacedAnswersTakeTheLineTime();
    void survivesPortReopen();

    void linkPathHandling();
    void simulatorReportsFailure();

private:
    bool startSim(const QStringList &extra = {});

    std::unique_ptr<qm::Simulator> sim_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString log_;
};

void TstQmsim::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    log_ = dir_->filePath(QStringLiteral("frames.log"));
    sim_ = std::make_unique<qm::Simulator>();
    sim_->setProgram(QStringLiteral(QMSIM_PATH));
}

void TstQmsim::cleanup()
{
    sim_.reset();
    dir_.reset();
}

bool TstQmsim::startSim(const QStringList &extra)
{
    const bool ok = sim_->start(QStringLiteral("dk618"), QStringList{QStringLiteral("--log"), log_} + extra);
    if (!ok)
        qWarning("%s", qPrintable(sim_->errorString()));
    return ok;
}

void TstQmsim::identifiesAndLogsInOrder()
{
    QVERIFY(startSim({QStringLiteral("--model"), QStringLiteral("DK618-TEST")}));
    QVERIFY(QFileInfo(sim_->linkPath()).isSymLink());
    QSerialPort port;
    QVERIFY2(openPort(port, sim_->linkPath(), 19200, QSerialPort::NoParity), qPrintable(port.errorString()));

    const QByteArray want = reply(0x99, "DK618-TEST");
    QCOMPARE(exchange(port, kIdentify, int(want.size())), want);
    const QByteArray table = exchange(port, qm::BuildFrame(0x63, QByteArray::fromHex("0001")), 47);
    QCOMPARE(table.size(), 47);

    const QStringList expected{QStringLiteral("rx 96 05 80 99 00 01 8B"),
                               QStringLiteral("tx ") + QString::fromLatin1(want.toHex(' ').toUpper()),
                               QStringLiteral("rx ") + QString::fromLatin1(qm::BuildFrame(0x63, QByteArray::fromHex("0001")).toHex(' ').toUpper()),
                               QStringLiteral("tx ") + QString::fromLatin1(table.toHex(' ').toUpper())};
    QTRY_COMPARE_WITH_TIMEOUT(logLines(log_), expected, 2000);
}

void TstQmsim::silentAtOtherLineSettings_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::newRow("9600 N") << 9600 << QSerialPort::NoParity;
    QTest::newRow("4800 N") << 4800 << QSerialPort::NoParity;
    QTest::newRow("19200 E") << 19200 << QSerialPort::EvenParity;
    QTest::newRow("19200 O") << 19200 << QSerialPort::OddParity;
}

void TstQmsim::silentAtOtherLineSettings()
{
    QFETCH(int, rate);
    QFETCH(QSerialPort::Parity, parity);
    // A Linux pty keeps only the odd-parity bit: odd is still told apart,
    // even looks like none there.
    if (parity == QSerialPort::EvenParity && !ptyKeepsParity())
        QSKIP("this system's ptys keep only the odd-parity bit: even parity looks like none");
    QVERIFY(startSim());
    QSerialPort port;
    QVERIFY2(openPort(port, sim_->linkPath(), rate, parity), qPrintable(port.errorString()));
    QCOMPARE(exchange(port, kIdentify, 0, 300), QByteArray());
    // It heard the frame and logged why it did not answer.
    QTRY_COMPARE_WITH_TIMEOUT(logLines(log_).size(), 2, 2000);
    QCOMPARE(logLines(log_).at(0), QStringLiteral("rx 96 05 80 99 00 01 8B"));
    QVERIFY(logLines(log_).at(1).endsWith(QStringLiteral("unit listens at 19200,N: ignored")));

    // Right settings: it answers. (Reopened: Qt's "no parity" leaves an odd
    // bit set on the open tty, which the tool's own port clears.)
    port.close();
    QVERIFY(openPort(port, sim_->linkPath(), 19200, QSerialPort::NoParity));
    QCOMPARE(exchange(port, kIdentify, 16), reply(0x99, "DK618-450"));
}

void TstQmsim::silentOnCommand()
{
    QVERIFY(startSim({QStringLiteral("--silent-on"), QStringLiteral("0x6B")}));
    QSerialPort port;
    QVERIFY(openPort(port, sim_->linkPath(), 19200, QSerialPort::NoParity));
    QCOMPARE(exchange(port, qm::BuildFrame(0x6B, QByteArray::fromHex("0001")), 0, 300), QByteArray());
    QCOMPARE(exchange(port, kIdentify, 16), reply(0x99, "DK618-450"));
}

void TstQmsim::badCheckOnCommand()
{
    QVERIFY(startSim({QStringLiteral("--bad-check-on"), QStringLiteral("0x99")}));
    QSerialPort port;
    QVERIFY(openPort(port, sim_->linkPath(), 19200, QSerialPort::NoParity));
    const QByteArray good = reply(0x99, "DK618-450");
    const QByteArray got = exchange(port, kIdentify, int(good.size()));
    QCOMPARE(got.size(), good.size());
    QCOMPARE(got.chopped(1), good.chopped(1));
    QVERIFY(qm::FrameCheck(reinterpret_cast<const quint8 *>(got.constData()), int(got.size()) - 1) != 0);
    // Other commands keep their good check.
    QCOMPARE(exchange(port, qm::BuildFrame(0x67, QByteArray::fromHex("0001")), 9), reply(0x67, QByteArray::fromHex("0001")));
}

void TstQmsim::bareAndNoisyReplies()
{
    QVERIFY(startSim({QStringLiteral("--bare-replies"), QStringLiteral("--noise-after"), QStringLiteral("96")}));
    QSerialPort port;
    QVERIFY(openPort(port, sim_->linkPath(), 19200, QSerialPort::NoParity));
    // The command and address bytes alone, then the noise; writes still
    // reach the unit, which answers from the address just written.
    QCOMPARE(exchange(port, kIdentify, 8), reply(0x99, {}) + '\x96');
    const QByteArray ack = qm::BuildFrame(0x65, QByteArray::fromHex("002C")) + '\x96';
    QCOMPARE(exchange(port, qm::BuildFrame(0x65, QByteArray::fromHex("012C012C")), int(ack.size())), ack);
}

void TstQmsim::modeWriteMovesTheLine()
{
    QVERIFY(startSim());
    QSerialPort port;
    QVERIFY(openPort(port, sim_->linkPath(), 19200, QSerialPort::NoParity));
    // 9600 (0x20), even (0x3C), the rest as before.
    const QByteArray modes = QByteArray::fromHex("203CAC324000" "3C");
    const QByteArray ack = reply(0x70, {});
    QCOMPARE(exchange(port, qm::BuildFrame(0x70, QByteArray::fromHex("0001") + modes), int(ack.size())), ack);

    QCOMPARE(exchange(port, kIdentify, 0, 300), QByteArray());
    port.setBaudRate(9600);
    if (ptyKeepsParity())
        QCOMPARE(exchange(port, kIdentify, 0, 300), QByteArray());
    port.setParity(QSerialPort::EvenParity);
    QCOMPARE(exchange(port, kIdentify, 16), reply(0x99, "DK618-450"));
    QCOMPARE(exchange(port, qm::BuildFrame(0x72, QByteArray::fromHex("0001")), 14), reply(0x72, modes));
}

void TstQmsim::pacedAnswersTakeTheLineTime_data()
{
    QTest::addColumn<QString>("parity");
    QTest::addColumn<int>("bitsPerByte");
    QTest::addColumn<int>("requests"); // written at once
    QTest::newRow("1200 even") << QStringLiteral("even") << 11 << 1;
    QTest::newRow("1200 none") << QStringLiteral("none") << 10 << 1;
    QTest::newRow("two requests at once") << QStringLiteral("even") << 11 << 2;
}

void TstQmsim::pacedAnswersTakeTheLineTime()
{
    QFETCH(QString, parity);
    QFETCH(int, bitsPerByte);
    QFETCH(int, requests);
    QVERIFY(startSim({"--pace", "--delay-ms", "0", "--rate", "1200", "--parity", parity}));
    QSerialPort port;
    QVERIFY(openPort(port, sim_->linkPath(), 1200, parity == QLatin1String("even") ? QSerialPort::EvenParity : QSerialPort::NoParity));
    const QByteArray answer = reply(0x99, "DK618-450");
    const qsizetype total = answer.size() * requests;
    const double byteMs = bitsPerByte * 1000.0 / 1200;

    QElapsedTimer clock;
    clock.start();
    port.write(kIdentify.repeated(requests));
    port.waitForBytesWritten(1000);
    QByteArray got;
    double firstMs = -1, lastMs = -1;
    while (got.size() < total && clock.elapsed() < 10000) {
        if (!port.waitForReadyRead(100))
            continue;
        got += port.readAll();
        if (firstMs < 0)
            firstMs = double(clock.nsecsElapsed()) / 1e6;
        lastMs = double(clock.nsecsElapsed()) / 1e6;
    }
    QCOMPARE(got, answer.repeated(requests));
    // Nothing comes before a line would have carried it: the first byte after
    // the request and itself, the last after the requests heard in turn and
    // the answers sent one after the other; the bytes come one by one, not
    // in one burst at the end.
    const double slack = 2;
    QVERIFY2(firstMs >= (kIdentify.size() + 1) * byteMs - slack, qPrintable(QString::number(firstMs)));
    QVERIFY2(lastMs >= (kIdentify.size() + total) * byteMs - slack, qPrintable(QString::number(lastMs)));
    QVERIFY2(lastMs - firstMs >= (total - 1) * byteMs * 0.5, qPrintable(QString::number(lastMs - firstMs)));
}

void TstQmsim::survivesPortReopen()
{
    QVERIFY(startSim());
    for (int round = 0; round < 3; ++round) {
        QSerialPort port;
        QVERIFY2(openPort(port, sim_->linkPath(), 19200, QSerialPort::NoParity), qPrintable(port.errorString()));
        QCOMPARE(exchange(port, kIdentify, 16), reply(0x99, "DK618-450"));
        port.close();
    }
    QVERIFY(sim_->isRunning());
}

void TstQmsim::linkPathHandling()
{
    const QString link = dir_->filePath(QStringLiteral("ttyTest"));
    const auto run = [&](QProcess &p) {
        p.setProgram(QStringLiteral(QMSIM_PATH));
        p.setArguments({QStringLiteral("--family"), QStringLiteral("dk618"), QStringLiteral("--link"), link});
        p.start();
        return p.waitForStarted(5000);
    };

    // A regular file at the path is left alone and qmsim refuses to start.
    {
        QFile f(link);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    {
        QProcess p;
        QVERIFY(run(p));
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        QFile f(link);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep"));
    }

    // A stale symlink is replaced; SIGTERM removes the link again.
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/tty"), link));
    QProcess p;
    QVERIFY(run(p));
    QByteArray out;
    QDeadlineTimer deadline(5000);
    while (!out.contains('\n') && p.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
        out += p.readAllStandardOutput();
    QCOMPARE(out, "qmsim: ready " + QFile::encodeName(link) + '\n');
    QVERIFY(QFileInfo(link).symLinkTarget().startsWith(QLatin1String("/dev/pts/")));
    p.terminate();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void TstQmsim::simulatorReportsFailure()
{
    qm::Simulator missing;
    missing.setProgram(dir_->filePath(QStringLiteral("no-such-qmsim")));
    QVERIFY(!missing.start(QStringLiteral("dk618")));
    QVERIFY(!missing.errorString().isEmpty());
    QVERIFY(missing.linkPath().isEmpty());

    // qmsim starts but refuses the family: an error, not a hang.
    QVERIFY(!sim_->start(QStringLiteral("nosuchfamily")));
    QVERIFY(sim_->errorString().contains(QLatin1String("ended")));
    QVERIFY(!sim_->isRunning());

    // Stopping takes the link down with the child.
    QVERIFY(startSim());
    const QString link = sim_->linkPath();
    QVERIFY(QFileInfo(link).isSymLink());
    sim_->stop();
    QVERIFY(!sim_->isRunning());
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TstQmsim)
#include "tst_qmsim.moc"
