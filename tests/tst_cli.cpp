// The command line as a script runs it: qmset as a process without a
// display, against simulated units (qmsim, or models answering on a pseudo
// terminal of the test's own), for each subcommand and exit code.
#include "app/mainform.h"
#include "common/backupstore.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "radio/dk618fields.h"
#include "radio/radiofile.h"
#include "units/mlb4800fields.h"
#include "units/mlr4800fields.h"
#include "units/subscriberfile.h"
#include "dk618model.h"
#include "simlink.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace qm;

namespace {
using Values = QList<QPair<QString, QString>>;

const FieldTable &tableOf(const QString &family)
{
    return family == QLatin1String("dk618") ? Dk618Fields() : family == QLatin1String("mlb4800") ? Mlb4800Fields() : Mlr4800Fields();
}

// A parameter section with the page's initial values and those given
// (checked buttons named with the value "1").
QByteArray section(const QString &family, const Values &values)
{
    MemoryFields f(tableOf(family));
    if (family == QLatin1String("mlb4800"))
        f.setText(QStringLiteral("Mlb4800_Airrate"), QStringLiteral("19200A"));
    for (const auto &[name, value] : values) {
        if (value == QLatin1String("1"))
            f.setChecked(name, true);
        else
            f.setText(name, value);
    }
    IniDocument doc = IniDocument::fromBytes(QString(), {});
    StoreFields(tableOf(family), f, doc);
    return doc.bytes();
}

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    return env;
}

struct Run {
    int code = -1;
    QString out, err;
};

Run qmset(const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(QStringLiteral(QMSET_PATH), args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// qmsim serving path until destroyed.
class Sim {
public:
    bool start(const QString &family, const QString &path, const QStringList &extra)
    {
        p_.start(QStringLiteral(QMSIM_PATH), QStringList{QStringLiteral("--family"), family, QStringLiteral("--link"), path} + extra);
        return p_.waitForReadyRead(5000) && p_.readAllStandardOutput().startsWith("qmsim: ready");
    }
    ~Sim()
    {
        p_.terminate();
        if (!p_.waitForFinished(3000))
            p_.kill();
        p_.waitForFinished();
    }

private:
    QProcess p_;
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void exitCodes_data();
    void exitCodes();
    void windowFileWrittenAndReadBack_data();
    void windowFileWrittenAndReadBack();
    void batchOverThreeUnitsThenCtrlC();
};

void TestCli::exitCodes_data()
{
    QTest::addColumn<QString>("family");       // of the simulated unit; empty: none
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<bool>("holdPort");        // another program has the port open
    QTest::addColumn<QByteArray>("file");      // {in}
    QTest::addColumn<QStringList>("args");     // {port}, {in} replaced
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");         // in stdout or stderr

    const QStringList none;
    const QString dk = QStringLiteral("dk618"), mlb = QStringLiteral("mlb4800"), mlr = QStringLiteral("mlr4800");
    const auto cmd = [](const QString &line) { return line.split(QLatin1Char(' ')); };
    const QByteArray dkFile = section(dk, {{"Dk618_Address", "300"}, {"TxFreq3", "4400000"}});

    QTest::newRow("help") << "" << none << false << QByteArray() << cmd("--help") << 0 << "Exit codes: 0 done";
    QTest::newRow("version") << "" << none << false << QByteArray() << cmd("--version") << 0 << "qmset 1.54";
    QTest::newRow("window without a display") << "" << none << false << QByteArray() << QStringList() << 1 << "no display";
    QTest::newRow("ports") << "" << none << false << QByteArray() << cmd("ports") << 0 << "";
    QTest::newRow("usage") << dk << none << false << QByteArray() << cmd("read --port {port}") << 1 << "--family is required";
    QTest::newRow("bad rate") << dk << none << false << QByteArray() << cmd("read --family dk618 --port {port} --rate 38400") << 1 << "--rate";
    QTest::newRow("read") << mlb << none << false << QByteArray() << cmd("read --family mlb4800 --port {port}") << 0
                          << "[File_MLB4800]";
    QTest::newRow("dk618 silent on 0x6B") << dk << cmd("--silent-on 6B") << false << QByteArray()
                                          << cmd("read --family dk618 --port {port}") << 2 << "no answer to 0x6B current channel";
    QTest::newRow("mlb4800 silent on 0x71") << mlb << cmd("--silent-on 71") << false << section(mlb, {})
                                            << cmd("write --family mlb4800 --port {port} --in {in}") << 2 << "no answer to 0x71";
    QTest::newRow("mlr4800 silent on 0x67") << mlr << cmd("--silent-on 67") << false << QByteArray()
                                            << cmd("read --family mlr4800 --port {port} --json") << 2 << "\"result\":\"no answer\"";
    QTest::newRow("missing port") << "" << none << false << QByteArray() << cmd("read --family dk618 --port /nonexistent/tty")
                                  << 3 << "cannot open /nonexistent/tty";
    QTest::newRow("busy port") << dk << none << true << QByteArray() << cmd("read --family dk618 --port {port}") << 3 << "cannot open";
    QTest::newRow("bad number") << dk << none << false << QByteArray(dkFile).replace("=4400000", "=44x0000")
                                << cmd("write --family dk618 --port {port} --in {in}") << 4 << "3发射频率=44x0000";
    QTest::newRow("no section") << dk << none << false << section(mlr, {}) << cmd("write --family dk618 --port {port} --in {in}")
                                << 4 << "no section [File_DK618]";
    QTest::newRow("value the page refuses") << mlb << none << false << section(mlb, {{"Mlb4800_Address", "300"}})
                                            << cmd("write --family mlb4800 --port {port} --in {in}") << 4 << "设备地址=300";
    QTest::newRow("UTF-8 file, a key missing") << mlr << none << false
                                               << DecodeGbk(section(mlr, {{"Mlr4800_Address", "7"}})).remove(QStringLiteral("设备空中速率=9600A\r\n")).toUtf8()
                                               << cmd("write --family mlr4800 --port {port} --in {in} --verify") << 0 << "设备空中速率";
    QTest::newRow("write, address not kept") << dk << cmd("--ignore-write 65") << false << dkFile
                                             << cmd("write --family dk618 --port {port} --in {in} --verify") << 5
                                             << "设备地址 (设备地址): file 300, unit 1";
    QTest::newRow("verify") << mlr << none << false << section(mlr, {{"TxFreq30", "4330000"}, {"RxFreq30", "4380250"}})
                            << cmd("verify --family mlr4800 --port {port} --in {in}") << 5 << "file 4380250, unit 4380000";
    const QByteArray record = "[Test_Record_20261208T101500]\r\nTime=2026-12-08T10:15:00+00:00\r\nModel=DK618-450\r\nAddress=1\r\n"
                              "VR1=128\r\nPowerLevel=3\r\nVoltage=12.0\r\nCalibrations=0xF1\r\n";
    QTest::newRow("test-report") << "" << none << false << record << cmd("test-report --in {in}") << 0 << "DK618-450";
    QTest::newRow("test-report, no records") << "" << none << false << section(dk, {}) << cmd("test-report --in {in}") << 4 << "";
    QTest::newRow("detect odd parity") << dk << cmd("--rate 2400 --parity odd") << false << QByteArray()
                                       << cmd("detect --port {port}") << 0 << "2400 O DK618-450";
}

void TestCli::exitCodes()
{
    QFETCH(QString, family);
    QFETCH(QStringList, simArgs);
    QFETCH(bool, holdPort);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("unit"));
    const QString in = dir.filePath(QStringLiteral("in.ini"));
    Sim sim;
    if (!family.isEmpty())
        QVERIFY(sim.start(family, port, simArgs));
    QSerialPort holder(port);
    if (holdPort)
        QVERIFY(holder.open(QIODevice::ReadWrite));
    if (!file.isEmpty())
        writeFile(in, file);
    args.replaceInStrings(QStringLiteral("{port}"), port).replaceInStrings(QStringLiteral("{in}"), in);
    const Run r = qmset(args);
    QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1\n%2%3").arg(r.code).arg(r.out, r.err)));
    QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
    if (code == 2 || code == 3)
        QVERIFY(!r.out.contains(QStringLiteral("[File_")));
}

void TestCli::windowFileWrittenAndReadBack_data()
{
    QTest::addColumn<QString>("family");
    QTest::newRow("dk618") << "dk618";
    QTest::newRow("mlb4800") << "mlb4800";
    QTest::newRow("mlr4800") << "mlr4800";
}

// A file stored by the window goes into the unit and comes back with the
// same values (the central unit, which has no file in the window, from one
// stored through its table).
void TestCli::windowFileWrittenAndReadBack()
{
    QFETCH(QString, family);
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("unit"));
    const QString stored = dir.filePath(QStringLiteral("stored.ini"));
    const QString back = dir.filePath(QStringLiteral("back.ini"));
    const FieldTable &table = tableOf(family);
    QStringList line;
    {
        TestPrompts prompts;
        MainFormOptions options;
        options.prompts = &prompts;
        options.portMap.insert(QStringLiteral("COM1"), dir.filePath(QStringLiteral("no-such-port")));
        TMainForm window(options);
        FieldAccess &f = window.fields();
        if (family == QLatin1String("dk618")) {
            for (int i = 0; i < 10; ++i)
                f.setText(QStringLiteral("TxFreq%1").arg(i), QString::number(4500000 + 2500 * i));
            f.setText(QStringLiteral("RxFreq9"), QStringLiteral("4600250"));
            f.setText(QStringLiteral("Dk618_CurrentChannel"), QStringLiteral("4"));
            f.setText(QStringLiteral("Dk618_Address"), QStringLiteral("1234"));
            f.setChecked(QStringLiteral("ProtocolMode"), true);
            f.setChecked(QStringLiteral("Select_ANI_Valid"), true);
            f.setItemIndex(QStringLiteral("Dk618_Baudrate"), 5);
            f.setItemIndex(QStringLiteral("Dk618_Checkmode"), 2);
            f.setChecked(QStringLiteral("AirRate9600"), true);
            RadioFile(f, window, prompts).Store(stored);
            // The radio listens at the rate and parity just written.
            line = QStringList{QStringLiteral("--rate"), QStringLiteral("9600"), QStringLiteral("--parity"), QStringLiteral("O")};
        } else if (family == QLatin1String("mlr4800")) {
            f.setText(QStringLiteral("TxFreq30"), QStringLiteral("4330250"));
            f.setText(QStringLiteral("RxFreq30"), QStringLiteral("4380500"));
            f.setText(QStringLiteral("TxFreq31"), QStringLiteral("4100000"));
            f.setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("40000"));
            f.setText(QStringLiteral("Mlr4800ComRate"), QStringLiteral("4800"));
            f.setText(QStringLiteral("Mlr4800_Airrate"), QStringLiteral("19200A"));
            SubscriberFile(f, window, prompts).Store(stored);
            line = QStringList{QStringLiteral("--rate"), QStringLiteral("4800")};
        } else {
            MemoryFields m(table);
            for (int i = 0; i < 40; ++i)
                m.setText(table.fields.at(i).name, QString::number(4000000 + 250 * i));
            m.setText(QStringLiteral("Mlb4800_CurrentChannel"), QStringLiteral("9"));
            m.setText(QStringLiteral("Mlb4800_Address"), QStringLiteral("200"));
            m.setChecked(QStringLiteral("ComTrans"), true);
            m.setText(QStringLiteral("Mlb4800_Airrate"), QStringLiteral("9600B"));
            m.setChecked(QStringLiteral("Mlb_TransParent"), true);
            StoreFieldsToFile(table, m, stored);
        }
    }
    // The command line's backups go to a data folder of this test: of 21
    // backups a year and a day old the oldest is removed when a command
    // talks to a unit (the newest 20 of a family stay), a read leaves
    // exactly one new one.
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    const QDir backups(dir.filePath(QStringLiteral("data/qmset/backups")));
    QVERIFY(backups.mkpath(QStringLiteral(".")));
    const QDateTime yearAgo = QDateTime::currentDateTime().addDays(-366);
    QString old;
    for (int i = 0; i < 21; ++i) {
        old = backups.filePath(BackupFileName(yearAgo.addSecs(-i), family, QString(), QStringLiteral("1")));
        writeFile(old, "");
        QFile f(old);
        QVERIFY(f.open(QIODevice::Append) && f.setFileTime(yearAgo, QFileDevice::FileModificationTime));
    }
    Sim sim;
    QVERIFY(sim.start(family, port, {}));
    const Run w = qmset({QStringLiteral("write"), QStringLiteral("--family"), family, QStringLiteral("--port"), port,
                         QStringLiteral("--in"), stored});
    QVERIFY2(w.code == 0, qPrintable(w.err));
    const Run r = qmset(QStringList{QStringLiteral("read"), QStringLiteral("--family"), family, QStringLiteral("--port"), port,
                                    QStringLiteral("--out"), back} + line);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(!QFile::exists(old));
    const QList<BackupEntry> kept = ListBackups(backups.path());
    QCOMPARE(kept.size(), 21);
    QCOMPARE(kept[0].family, family);
    QVERIFY(kept[0].time > yearAgo.addDays(365));
    MemoryFields a(table), b(table);
    LoadFieldsFromFile(table, a, stored);
    LoadFieldsFromFile(table, b, back);
    const QList<FieldDifference> differences = Differences(table, a, b, StoredFields | ReturnedFields);
    QStringList listed;
    for (const FieldDifference &d : differences)
        listed << d.key + QLatin1Char(' ') + d.a + QLatin1Char('/') + d.b;
    QVERIFY2(differences.isEmpty(), qPrintable(listed.join(QLatin1Char('\n'))));
    QCOMPARE(Snapshot(table, b).value(QStringLiteral("Mlr4800_Address")), Snapshot(table, a).value(QStringLiteral("Mlr4800_Address")));
}

// Three data radios one after another on one pseudo terminal, each taken
// off (silent) once its report line is in; Ctrl+C while the third is still
// on the cable ends the batch cleanly.
void TestCli::batchOverThreeUnitsThenCtrlC()
{
    QTemporaryDir dir;
    PtyPair pty;
    QVERIFY(pty.isOpen());
    const QString in = dir.filePath(QStringLiteral("in.ini"));
    const QString report = dir.filePath(QStringLiteral("report.csv"));
    writeFile(in, section(QStringLiteral("dk618"), {{"Dk618_Address", "77"}, {"TxFreq0", "4330000"}}));
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(QStringLiteral(QMSET_PATH), {QStringLiteral("batch"), QStringLiteral("--family"), QStringLiteral("dk618"),
                                         QStringLiteral("--port"), pty.slavePath(), QStringLiteral("--in"), in,
                                         QStringLiteral("--report"), report});
    QVERIFY(p.waitForStarted());
    const auto reportLines = [&] {
        QFile f(report);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
    };
    std::unique_ptr<qmsim::Dk618Model> unit;
    qmsim::FrameReader reader;
    int units = 0;
    QElapsedTimer clock, silent, all;
    all.start();
    silent.start();
    bool interrupted = false;
    while (p.state() != QProcess::NotRunning && all.elapsed() < 60000) {
        p.waitForFinished(5);
        const QByteArray bytes = pty.read(4096, 5);
        for (const QByteArray &frame : reader.feed(bytes))
            if (unit)
                if (const auto reply = unit->answer(frame))
                    pty.write(*reply);
        const int done = int(reportLines()) - 1; // the header line first
        if (unit && done == units) {
            if (units == 3 && !interrupted && clock.elapsed() > 500) {
                ::kill(pid_t(p.processId()), SIGINT);
                interrupted = true;
            }
            if (units < 3) {
                unit.reset(); // taken off the cable
                silent.start();
            }
        } else if (!unit && units < 3 && silent.elapsed() > 2500) {
            unit = std::make_unique<qmsim::Dk618Model>(QByteArray("DK618-45") + char('0' + units));
            ++units;
            clock.start();
        }
    }
    QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QFile f(report);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.startsWith("\xEF\xBB\xBFtime,port,family,model,address,result,differences,duration_ms\r\n"));
    const QList<QByteArray> lines = text.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    for (int i = 1; i <= 3; ++i) {
        const QList<QByteArray> cells = lines[i].trimmed().split(',');
        QCOMPARE(cells.size(), 8);
        QCOMPARE(cells[2], QByteArray("dk618"));
        QCOMPARE(cells[3], QByteArray("DK618-45") + char('0' + i - 1));
        QCOMPARE(cells[4], QByteArray("77"));
        QCOMPARE(cells[5], QByteArray("ok"));
        QVERIFY(QDateTime::fromString(QString::fromLatin1(cells[0]), Qt::ISODate).isValid());
    }
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
