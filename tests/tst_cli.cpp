// The command line as a script runs it: qmset as a process without a
// display, against simulated units (qmsim), for each subcommand and exit
// code, what it prints on every exit path, and how it ends on a signal.
#include "app/mainform.h"
#include "common/backupstore.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "radio/radiofile.h"
#include "units/subscriberfile.h"
#include "clitools.h"
#include "testprompts.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace qm;
using namespace clitools;

class TestCli : public QObject {
    Q_OBJECT
private slots:
    // The backups of the reads qmset makes go to a folder of this test's
    // own: other tests count theirs in the shared one.
    void initTestCase() { qputenv("XDG_DATA_HOME", data_.path().toLocal8Bit()); }
    void exitCodes_data();
    void exitCodes();
    void outputErrorsExitOne_data();
    void outputErrorsExitOne();
    void interruptedWriteSaysSo_data();
    void interruptedWriteSaysSo();
    void windowFileWrittenAndReadBack_data();
    void windowFileWrittenAndReadBack();

private:
    QTemporaryDir data_;
};

void TestCli::exitCodes_data()
{
    QTest::addColumn<QString>("family");       // of the simulated unit; empty: none
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<bool>("holdPort");        // another program has the port open
    QTest::addColumn<QByteArray>("file");      // {in}
    QTest::addColumn<QStringList>("args");     // {port}, {in} replaced
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");         // in stdout or stderr, parts split by "|"

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
    QTest::newRow("UTF-8 file, a key missing, defaults allowed")
        << mlr << none << false << DecodeGbk(section(mlr, {{"Mlr4800_Address", "7"}})).remove(QStringLiteral("设备空中速率=9600A\r\n")).toUtf8()
        << cmd("write --family mlr4800 --port {port} --in {in} --verify --allow-defaults") << 0 << "defaults taken: 设备空中速率";
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

    // A list, check-box or radio-pair value that is none of the texts the
    // field stores is refused before anything is sent, on write, verify
    // and batch alike (loading would have taken it as some item).
    const auto offList = [&](const char *name, const QString &family, const QString &key, const QString &value, const QString &command,
                             const QString &list) {
        QTest::newRow(name) << family << none << false << section(family, {}, {{key, value}})
                            << cmd(command.arg(family)) << 4 << QStringLiteral("%1=%2: not one of %3").arg(key, value, list);
    };
    const QString write = QStringLiteral("write --family %1 --port {port} --in {in} --verify");
    offList("dk618 parity off the list", dk, "设备校验方式", "none", write, "无校验, 偶校验, 奇校验");
    offList("dk618 rate off the list", dk, "设备通讯速率", "1234", write, "300, 600, 1200, 2400, 4800, 9600, 19200");
    offList("dk618 air rate off the list", dk, "无线速率", "12345", write, "9600, 19200");
    offList("dk618 relay mode, verify", dk, "中转方式", "yes", "verify --family %1 --port {port} --in {in}", "有效, 无效");
    offList("mlb4800 link, batch", mlb, "传输方式", "bogus", "batch --family %1 --port {port} --in {in} --report {in}.csv", "有线, 无线");
    offList("mlb4800 transparency", mlb, "纯透明", "yes", write, "有效, 无效");
    offList("mlr4800 rate off the list", mlr, "设备通讯速率", "1234", write, "1200, 2400, 4800, 9600, 19200");

    // A misspelt key (traditional 頻) leaves its key missing: refused with
    // both named, unless defaults are allowed; verify compares the keys
    // the file has.
    const QByteArray misspelt = renameKey(dkFile, QStringLiteral("信道0发射频率"), QStringLiteral("信道0发射頻率"));
    QTest::newRow("misspelt key") << dk << none << false << misspelt << cmd("write --family dk618 --port {port} --in {in}") << 4
                                  << "keys missing from [File_DK618]: 信道0发射频率|does not have: 信道0发射頻率";
    QTest::newRow("misspelt key, batch") << dk << none << false << misspelt
                                         << cmd("batch --family dk618 --port {port} --in {in} --report {in}.csv") << 4 << "信道0发射頻率";
    QTest::newRow("misspelt key, defaults allowed") << dk << none << false << misspelt
                                                    << cmd("write --family dk618 --port {port} --in {in} --allow-defaults") << 0
                                                    << "passed over: 信道0发射頻率|ok: DK618 written";
    QTest::newRow("verify, a key left out") << mlr << none << false
                                            << renameKey(section(mlr, {{"TxFreq30", "4330000"}, {"RxFreq30", "4380250"}}), QStringLiteral("上行接收频率"), QString())
                                            << cmd("verify --family mlr4800 --port {port} --in {in}") << 0 << "not compared: 上行接收频率|ok: 0 differing";

    // --set puts a value over the file's, checked as the file's would be:
    // by its key, or by the name of a field without one.
    QTest::newRow("write --set, read back") << dk << none << false << dkFile
                                            << cmd("write --family dk618 --port {port} --in {in} --set 设备地址=55 --set Ptttime=30 --verify --json")
                                            << 0 << "\"设备地址\":55|\"Ptttime\":30|\"differences\":[]";
    QTest::newRow("write --set of a key the file lacks") << dk << none << false << renameKey(dkFile, QStringLiteral("设备地址"), QString())
                                                         << cmd("write --family dk618 --port {port} --in {in} --set 设备地址=9 --verify")
                                                         << 0 << "ok: DK618 written";
    QTest::newRow("write --set off its list") << dk << none << false << dkFile
                                              << cmd("write --family dk618 --port {port} --in {in} --set 无线速率=12345") << 4
                                              << "无线速率=12345: not one of 9600, 19200";
    QTest::newRow("write --set, no such key") << dk << none << false << dkFile
                                              << cmd("write --family dk618 --port {port} --in {in} --set 设备地址x=5 --set AType=C") << 4
                                              << "设备地址x: not a key of [File_DK618]|AType=C: not one of A, B";
    QTest::newRow("write --set of a field a write does not send")
        << dk << none << false << dkFile << cmd("write --family dk618 --port {port} --in {in} --set Fq800=1") << 4
        << "Fq800=1: a write does not send this field";
    QTest::newRow("--set without a value") << dk << none << false << dkFile
                                           << cmd("write --family dk618 --port {port} --in {in} --set 设备地址") << 1 << "--set: KEY=VALUE";
    QTest::newRow("--db of no kind") << dk << none << false << dkFile << cmd("verify --family dk618 --port {port} --in {in} --db x://y")
                                     << 1 << "--db: unknown database kind";

    // Usage mistakes are the command line's, never the window's.
    QTest::newRow("misspelt command") << "" << none << false << QByteArray() << cmd("reed --family dk618") << 1
                                      << "unknown command 'reed' (commands: ports, read";
    QTest::newRow("help on a command") << "" << none << false << QByteArray() << cmd("help write") << 0 << "Usage: qmset write";

    // With --json one object on every exit path.
    QTest::newRow("json: usage") << "" << none << false << QByteArray() << cmd("read --port /nonexistent/tty --json") << 1
                                 << "\"result\":\"usage\"|--family is required";
    QTest::newRow("json: missing port") << "" << none << false << QByteArray() << cmd("read --family dk618 --port /nonexistent/tty --json")
                                        << 3 << "\"result\":\"port error\"|\"family\":\"dk618\"";
    QTest::newRow("json: bad input") << dk << none << false << QByteArray(dkFile).replace("=4400000", "=44x0000")
                                     << cmd("write --family dk618 --port {port} --in {in} --json") << 4 << "\"result\":\"bad input\"";
    QTest::newRow("json: nothing detected") << dk << cmd("--silent-on 99") << false << QByteArray() << cmd("detect --port {port} --json")
                                            << 2 << "\"rate\":null|\"parity\":null|\"result\":\"no answer\"";
    QTest::newRow("json: numbers") << mlb << none << false << QByteArray() << cmd("read --family mlb4800 --port {port} --json") << 0
                                   << "\"设备地址\":1|\"设备空中速率\":\"9600A\"";
    QTest::newRow("json: ports") << "" << none << false << QByteArray() << cmd("ports --json") << 0 << "\"ports\":[";
    // A model text with an escape sequence is shown, not obeyed.
    QTest::newRow("control characters in the model") << dk << QStringList{"--model", "DK618\x1b[31m"} << false << QByteArray()
                                                     << cmd("detect --port {port}") << 0 << "DK618\\x1B[31m";
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
    for (const QString &part : said.split(QLatin1Char('|')))
        QVERIFY2((r.out + r.err).contains(part), qPrintable(part + QStringLiteral(" not in:\n") + r.out + r.err));
    // Nothing a unit sends reaches the terminal raw.
    QVERIFY(std::none_of(r.out.begin(), r.out.end(), [](QChar c) { return c.unicode() < 0x20 && c != QLatin1Char('\n'); }));
    if (code == 2 || code == 3)
        QVERIFY(!r.out.contains(QStringLiteral("[File_")));
    // One path, one reason.
    if (code == 3)
        QCOMPARE(r.err.count(args.at(args.indexOf(QStringLiteral("--port")) + 1)), 1);
    // Refused input: nothing sent, no report begun.
    if (code == 4) {
        QVERIFY2(!r.err.contains(QStringLiteral(" write: 0x")), qPrintable(r.err));
        QVERIFY(!QFile::exists(in + QStringLiteral(".csv")));
    }
    if (args.contains(QStringLiteral("--json"))) {
        const QList<QJsonObject> objects = jsonLines(r.out);
        QCOMPARE(objects.size(), 1);
        QCOMPARE(objects[0].value(QStringLiteral("schema")).toInt(), 1);
        QVERIFY(objects[0].value(QStringLiteral("result")).isString());
        QCOMPARE(objects[0].contains(QStringLiteral("error")), code != 0);
    }
}

void TestCli::outputErrorsExitOne_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("stdoutTo"); // "full": /dev/full; "closed"
    QTest::newRow("read > /dev/full") << "read --family mlb4800 --port {port}" << "full";
    QTest::newRow("read --json > /dev/full") << "read --family mlb4800 --port {port} --json" << "full";
    QTest::newRow("verify >&-") << "verify --family mlb4800 --port {port} --in {in}" << "closed";
}

// Results that cannot be written are no success: exit 1 and one line on
// stderr, as cat does.
void TestCli::outputErrorsExitOne()
{
    QFETCH(QString, args);
    QFETCH(QString, stdoutTo);
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("unit"));
    const QString in = dir.filePath(QStringLiteral("in.ini"));
    writeFile(in, section(QStringLiteral("mlb4800"), {}));
    Sim sim;
    QVERIFY(sim.start(QStringLiteral("mlb4800"), port, {}));
    const QStringList list = args.replace(QStringLiteral("{port}"), port).replace(QStringLiteral("{in}"), in).split(QLatin1Char(' '));
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    if (stdoutTo == QLatin1String("full")) {
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(QMSET_PATH), list);
    } else {
        p.start(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$@\" >&-"), QStringLiteral(QMSET_PATH)} + list);
    }
    const Run r = finish(p, 60000);
    QVERIFY2(r.code == 1, qPrintable(QStringLiteral("exit %1\n%2").arg(r.code).arg(r.err)));
    QVERIFY2(r.err.endsWith(QStringLiteral("读取成功！\nqmset: write error: ") + QString::fromLocal8Bit(std::strerror(stdoutTo == QLatin1String("full") ? ENOSPC : EBADF)) + '\n'),
             qPrintable(r.err));
}

void TestCli::interruptedWriteSaysSo_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    QTest::newRow("Ctrl+C") << int(SIGINT) << QStringList{"--verify"} << 130 << "written, not verified (interrupted): DK618 written on";
    QTest::newRow("Ctrl+C, json") << int(SIGINT) << QStringList{"--verify", "--json"} << 130 << "\"result\":\"written, not verified\"";
    QTest::newRow("SIGTERM") << int(SIGTERM) << QStringList{"--verify"} << 143 << "written, not verified (interrupted)";
    QTest::newRow("Ctrl+C, no verify") << int(SIGINT) << QStringList{} << 130 << "written (interrupted): DK618 written on";
}

// A signal during "write --verify": the write goes on to its end, the
// read-back does not run, and the output says exactly that.
void TestCli::interruptedWriteSaysSo()
{
    QFETCH(int, signal);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("unit"));
    const QString in = dir.filePath(QStringLiteral("in.ini"));
    writeFile(in, section(QStringLiteral("dk618"), {{"Dk618_Address", "300"}}));
    Sim sim;
    QVERIFY(sim.start(QStringLiteral("dk618"), port, {QStringLiteral("--delay-ms"), QStringLiteral("150")}));
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(QStringLiteral(QMSET_PATH), QStringList{"write", "--family", "dk618", "--port", port, "--in", in} + extra);
    QVERIFY(p.waitForStarted());
    p.setReadChannel(QProcess::StandardError);
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    while (!err.contains("0x61 channel table write") && clock.elapsed() < 20000 && p.state() == QProcess::Running) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    QVERIFY2(err.contains("0x61 channel table write"), err.constData());
    QVERIFY(p.state() == QProcess::Running && p.processId() > 0);
    ::kill(pid_t(p.processId()), signal);
    Run r = finish(p, 30000);
    r.err.prepend(QString::fromLocal8Bit(err));
    QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1\n%2%3").arg(r.code).arg(r.out, r.err)));
    QVERIFY2(r.out.contains(said), qPrintable(r.out));
    QVERIFY(r.err.contains(QStringLiteral("写录成功！")));
    QVERIFY2(!r.err.contains(QStringLiteral("dk618 read:")), qPrintable(r.err));
    QVERIFY(!r.out.contains(QStringLiteral("ok:")) && !r.out.contains(QStringLiteral("\"result\":\"ok\"")));
    if (extra.contains(QStringLiteral("--json"))) {
        const QList<QJsonObject> objects = jsonLines(r.out);
        QCOMPARE(objects.size(), 1);
        QVERIFY(!objects[0].contains(QStringLiteral("differences")));
    }
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
                         QStringLiteral("--in"), stored, QStringLiteral("--verify")});
    QVERIFY2(w.code == 0, qPrintable(w.err));
    const Run r = qmset(QStringList{QStringLiteral("read"), QStringLiteral("--family"), family, QStringLiteral("--port"), port,
                                    QStringLiteral("--out"), back} + line);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const Run v = qmset(QStringList{QStringLiteral("verify"), QStringLiteral("--family"), family, QStringLiteral("--port"), port,
                                    QStringLiteral("--in"), stored} + line);
    QVERIFY2(v.code == 0, qPrintable(v.err));
    QVERIFY(!QFile::exists(old));
    // Each read left its backup, named after what read the unit; each
    // command pruned the oldest beyond the newest 20.
    const QList<BackupEntry> kept = ListBackups(backups.path());
    QCOMPARE(kept.size(), 21);
    QCOMPARE(kept[0].family, family);
    QVERIFY(kept[2].time > yearAgo.addDays(365));
    QCOMPARE((QList<BackupSource>{kept[0].source, kept[1].source, kept[2].source}),
             (QList<BackupSource>{BackupSource::Compare, BackupSource::Read, BackupSource::Verify}));
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

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
