// qmset batch as a production line runs it: units put on and taken off a
// pseudo terminal of the test's own by a driver that answers for them
// (simulated radios and central units), a unit that goes silent, Ctrl+C in
// the middle of a write, a report on a full disk, a model text made to
// break the report, and Enter before each unit.
#include "common/inifile.h"
#include "register/unitregister.h"
#include "cabledriver.h"
#include "clitools.h"
#include "scratchdisk.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace clitools;
using namespace qm;

Q_DECLARE_METATYPE(QList<CableUnit>)

namespace {

CableUnit unit(const char *leave, const QByteArray &model = "DK618-450", quint8 silentOn = 0)
{
    return MakeUnit(leave, model, silentOn);
}

const QByteArray kHeader = "\xEF\xBB\xBFtime,port,family,model,address,result,differences,duration_ms\r\n";

// Runs qmset batch on the pty with args while a driver puts the units on
// and takes them off.
Run driveBatch(PtyPair &pty, const QString &family, const QList<CableUnit> &units, const QStringList &args,
               const QString &report, bool ctrlCInWrite = false)
{
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(QStringLiteral(QMSET_PATH), QStringList{"batch", "--family", family, "--port", pty.slavePath(), "--report", report} + args);
    if (!p.waitForStarted())
        return {};
    // A row names the port; rows of earlier runs do not count.
    CableDriver driver(pty, p, family, units, args.contains(QStringLiteral("--confirm")), ctrlCInWrite,
                       ReportRows(report, pty.slavePath()));
    driver.run(120000);
    return finish(p, 20000);
}

// The model, address and result of each row of a report, as Python's csv
// module reads it; the header and the column count checked.
QStringList reportRows(const QString &report, const QString &family)
{
    const QStringList read = pythonCsvRows(report);
    if (read.isEmpty() || read.first() != QStringLiteral("time|port|family|model|address|result|differences|duration_ms"))
        return {QStringLiteral("no report: ") + read.value(0)};
    QStringList got;
    for (const QString &line : read.mid(1)) {
        const QStringList cells = line.split(QLatin1Char('|'));
        if (cells.size() != 8 || !QDateTime::fromString(cells[0], Qt::ISODate).isValid() || cells[2] != family)
            return {QStringLiteral("bad row: ") + line};
        got << QStringList{cells[3], cells[4], cells[5]}.join(QLatin1Char('|'));
    }
    return got;
}

} // namespace

class TestCliBatch : public QObject {
    Q_OBJECT
private slots:
    // The backups of the reads qmset makes go to a folder of this test's
    // own: other tests count theirs in the shared one.
    void initTestCase() { qputenv("XDG_DATA_HOME", data_.path().toLocal8Bit()); }
    void batchRuns_data();
    void batchRuns();
    void perUnitValues_data();
    void perUnitValues();
    void inputRefusedBeforeAnyUnit_data();
    void inputRefusedBeforeAnyUnit();

private:
    QTemporaryDir data_;
};

void TestCliBatch::batchRuns_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QList<CableUnit>>("units");
    QTest::addColumn<QStringList>("extra");      // more options of the batch
    QTest::addColumn<bool>("ctrlCInWrite");     // Ctrl+C at the first unit's 0x61
    QTest::addColumn<bool>("fullDisk");         // the report on a full disk, not ending in a line break
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("rows");      // model|address|result, as Python's csv reads the report
    QTest::addColumn<QString>("said");          // on stderr, parts split by "|"

    const QString dk = QStringLiteral("dk618"), mlb = QStringLiteral("mlb4800");
    const QString ok = QStringLiteral("DK618-450|77|ok");
    QTest::newRow("three units, Ctrl+C with the last on the cable")
        << dk << QList<CableUnit>{unit("off", "DK618-450"), unit("off", "DK618-451"), unit("stay", "DK618-452")} << QStringList()
        << false << false << 0 << QStringList{"DK618-450|77|ok", "DK618-451|77|ok", "DK618-452|77|ok"}
        << "batch: 3 unit(s) programmed and verified";
    QTest::newRow("Ctrl+C during a write: the unit is finished and logged")
        << dk << QList<CableUnit>{unit("off")} << QStringList() << true << false << 0 << QStringList{ok} << "unit 1: ok, DK618-450 at address 77";
    QTest::newRow("a good and a silent unit")
        << mlb << QList<CableUnit>{unit("off"), unit("off", {}, 0x71)} << QStringList() << false << false << 6
        << QStringList{"|77|ok", "||no answer"} << "unit 2 FAILED: no answer: no answer to 0x71|batch: 1 of 2 units failed; see ";
    QTest::newRow("a unit that misses two probes is still connected")
        << dk << QList<CableUnit>{unit("flicker")} << QStringList() << false << false << 0 << QStringList{ok}
        << "DK618-450 at address 77 still connected";
    QTest::newRow("a unit swapped in within a second")
        << dk << QList<CableUnit>{unit("swap"), unit("stay")} << QStringList() << false << false << 0 << QStringList{ok, ok} << "unit 2: ok";
    QTest::newRow("a model text with a formula and a CR")
        << dk << QList<CableUnit>{unit("stay", "=1+2\rX")} << QStringList{"--json"} << false << false << 0
        << QStringList{"'=1+2\\rX|77|ok"} << "=1+2\\x0DX";
    QTest::newRow("the report on a full disk")
        << dk << QList<CableUnit>{unit("stay")} << QStringList() << false << true << 7 << QStringList()
        << "unit 1: ok|" + QString::fromLocal8Bit(std::strerror(ENOSPC)) + "); the unit was programmed and verified";
    QTest::newRow("Enter before each unit")
        << dk << QList<CableUnit>{unit("stay"), unit("stay", "DK618-451")} << QStringList{"--confirm"} << false << false << 0
        << QStringList{ok, "DK618-451|77|ok"} << "press Enter";
}

void TestCliBatch::batchRuns()
{
    QFETCH(QString, family);
    QFETCH(QList<CableUnit>, units);
    QFETCH(QStringList, extra);
    QFETCH(bool, ctrlCInWrite);
    QFETCH(bool, fullDisk);
    QFETCH(int, code);
    QFETCH(QStringList, rows);
    QFETCH(QString, said);
    QTemporaryDir dir;
    PtyPair pty;
    QVERIFY(pty.isOpen());
    const QString in = dir.filePath(QStringLiteral("in.ini"));
    writeFile(in, section(family, {{family == QLatin1String("dk618") ? "Dk618_Address" : "Mlb4800_Address", "77"}}));
    std::unique_ptr<SmallDisk> disk;
    QString report = dir.filePath(QStringLiteral("report.csv"));
    QByteArray before;
    if (fullDisk) {
        disk = std::make_unique<SmallDisk>(dir.filePath(QStringLiteral("disk")));
        if (!disk->mounted)
            QSKIP(qPrintable("a small tmpfs cannot be mounted here: " + disk->error));
        report = disk->filePath(QStringLiteral("report.csv"));
        // A report of an earlier run whose last row was cut off, a few
        // bytes short of a page: the next row must start a page of its own.
        before = kHeader + "2026-12-09T10:00:00+08:00,/dev/ttyUSB0,dk618,DK618-450,77,ok,";
        before += QByteArray(4090 - before.size() - 4, 'x') + ",812";
        writeFile(report, before);
        QVERIFY(disk->fill());
    }
    const auto runBatch = [&](Run *r) {
        *r = driveBatch(pty, family, units, QStringList{"--in", in} + extra, report, ctrlCInWrite);
    };
    Run r;
    runBatch(&r);
    QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1\n%2").arg(r.code).arg(r.err)));

    if (fullDisk) {
        for (const QString &part : said.split(QLatin1Char('|')))
            QVERIFY2(r.err.contains(part), qPrintable(part + QStringLiteral(" not in:\n") + r.err));
        said = QStringLiteral("unit 1: ok");
        // Nothing of the row stays; with room again, the next run's row
        // starts on a line of its own and the earlier row is whole.
        QCOMPARE(readFile(report), before);
        QVERIFY(QFile::remove(disk->filePath(QStringLiteral("filler"))));
        runBatch(&r);
        QCOMPARE(r.code, 0);
        rows = QStringList{"DK618-450|77|ok", "DK618-450|77|ok"};
    }
    const QByteArray text = readFile(report);
    QVERIFY(text.startsWith(kHeader));
    QVERIFY(text.endsWith("\r\n"));
    QCOMPARE(reportRows(report, family), rows);
    for (const QString &part : said.split(QLatin1Char('|')))
        QVERIFY2(r.err.contains(part), qPrintable(part + QStringLiteral(" not in:\n") + r.err));
    QVERIFY(!r.err.contains(QLatin1Char('\r')));

    if (extra.contains(QStringLiteral("--json"))) {
        // One object per unit, as its report line, then one for the run.
        const QList<QJsonObject> objects = jsonLines(r.out);
        QCOMPARE(objects.size(), rows.size() + 1);
        for (const QJsonObject &o : objects)
            QCOMPARE(o.value(QStringLiteral("schema")).toInt(), 1);
        QCOMPARE(objects[0].value(QStringLiteral("model")).toString(), QString::fromLatin1(units[0].model));
        QCOMPARE(objects[0].value(QStringLiteral("address")).toInt(), 77);
        QCOMPARE(objects.last().value(QStringLiteral("units")).toInt(), int(rows.size()));
        QCOMPARE(objects.last().value(QStringLiteral("result")).toString(), QStringLiteral("ok"));
        // Each object says which it is: a unit's, or the run's.
        for (const QJsonObject &o : objects.mid(0, rows.size()))
            QVERIFY(o.contains(QStringLiteral("unit")) && !o.contains(QStringLiteral("units")));
        QVERIFY(!objects.last().contains(QStringLiteral("unit")));
    }
}

void TestCliBatch::perUnitValues_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QList<CableUnit>>("units");
    QTest::addColumn<QByteArray>("table");   // {units}: the table of units
    QTest::addColumn<QStringList>("extra");  // {units}, {db} replaced
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("rows");   // model|address|result of the report
    QTest::addColumn<QString>("said");       // on stderr, parts split by "|"
    QTest::addColumn<QStringList>("records"); // address|result|信道0发射频率 of the register's records, oldest first
    QTest::addColumn<QStringList>("states");  // ADDRESS=what became of it ("" never handed out)

    const QString dk = QStringLiteral("dk618");
    const QList<CableUnit> three{unit("next"), unit("next"), unit("next")};
    const auto args = [](const char *line) { return QString::fromUtf8(line).split(QLatin1Char(' ')); };
    QTest::newRow("--set over the file, for every unit")
        << dk << QList<CableUnit>{unit("stay"), unit("stay", "DK618-451")} << QByteArray()
        << args("--set 设备地址=55 --set Ptttime=30 --db {db}") << 0 << QStringList{"DK618-450|55|ok", "DK618-451|55|ok"}
        << "unit 2: ok, DK618-451 at address 55" << QStringList{"55|ok|4330000", "55|ok|4330000"} << QStringList();
    QTest::newRow("a GBK table, a row per unit; the batch ends after the last")
        << dk << three << EncodeGbk(QStringLiteral("设备地址,信道0发射频率\r\n1001,4330250\r\n\r\n1002,4330500\r\n"))
        << args("--units {units} --db {db}") << 0 << QStringList{"DK618-450|1001|ok", "DK618-450|1002|ok"}
        << "all 2 row(s) of" << QStringList{"1001|ok|4330250", "1002|ok|4330500"} << QStringList();
    // The second unit answers who it is, then nothing: its write sent
    // nothing but the identification, so its row and address go to the
    // next, whose write begins and fails.
    QTest::newRow("a unit sent nothing leaves its row and address; one whose write began takes them")
        << dk << QList<CableUnit>{unit("next"), MakeUnit("off", "DK618-450", 0, 0x67), unit("off", "DK618-450", 0x65)}
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("信道0发射频率\r\n4330250\r\n4330500\r\n").toUtf8()
        << args("--units {units} --address-from 1001 --db {db}") << 6
        << QStringList{"DK618-450|1001|ok", "||no answer", "DK618-450||no answer"}
        << "nothing was sent: address 1002 given back; row 2 left for the next unit|address 1002 spoilt (the write began): "
           "not given out again; row 2 used up|all 2 row(s)|spoilt, not given out again: 1002|batch: 2 of 3 units failed"
        << QStringList{"1001|ok|4330250", "|no answer|", "1002|no answer|4330500"} << QStringList{"1001=used", "1002=spoilt", "1003="};
    QTest::newRow("a central unit's addresses by a step")
        << QStringLiteral("mlb4800") << QList<CableUnit>{unit("next"), unit("next")} << QByteArray()
        << args("--address-from 200 --address-step 5 --db {db} --json") << 0 << QStringList{"|200|ok", "|205|ok"}
        << "batch: 2 unit(s) programmed and verified" << QStringList{"200|ok|", "205|ok|"}
        << QStringList{"200=used", "205=used", "210="};
}

// What each unit is given: --set, its row of a table of units, the next
// address of a series from the register; and what becomes of a row and an
// address when a unit fails before or after its write began.
void TestCliBatch::perUnitValues()
{
    QFETCH(QString, family);
    QFETCH(QList<CableUnit>, units);
    QFETCH(QByteArray, table);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QStringList, rows);
    QFETCH(QString, said);
    QFETCH(QStringList, records);
    QFETCH(QStringList, states);
    QTemporaryDir dir;
    PtyPair pty;
    QVERIFY(pty.isOpen());
    const QString in = dir.filePath(QStringLiteral("in.ini"));
    const bool radio = family == QLatin1String("dk618");
    writeFile(in, radio ? section(family, {{"Dk618_Address", "77"}, {"TxFreq0", "4330000"}}) : section(family, {{"Mlb4800_Address", "77"}}));
    const QString units_ = dir.filePath(QStringLiteral("units.csv"));
    if (!table.isEmpty())
        writeFile(units_, table);
    const QString db = dir.filePath(QStringLiteral("register.sqlite"));
    extra.replaceInStrings(QStringLiteral("{units}"), units_).replaceInStrings(QStringLiteral("{db}"), db);
    const QString report = dir.filePath(QStringLiteral("report.csv"));
    const Run r = driveBatch(pty, family, units, QStringList{"--in", in} + extra, report);
    QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1\n%2").arg(r.code).arg(r.err)));
    QCOMPARE(reportRows(report, family), rows);
    for (const QString &part : said.split(QLatin1Char('|')))
        QVERIFY2(r.err.contains(part), qPrintable(part + QStringLiteral(" not in:\n") + r.err));

    // One record per unit, with what went to it once its write began.
    RegisterTarget target;
    target.path = db;
    UnitRegister reg(target, dir.filePath(QStringLiteral("spool.sqlite")));
    QList<UnitRecord> found;
    QString error;
    QVERIFY2(reg.find({}, &found, &error), qPrintable(error));
    QStringList got;
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        QCOMPARE(it->action, action::Batch);
        got << QStringList{it->address, it->result, it->value(QStringLiteral("信道0发射频率"))}.join(QLatin1Char('|'));
    }
    QCOMPARE(got, records);
    for (const QString &state : states) {
        const QStringList parts = state.split(QLatin1Char('='));
        QCOMPARE(reg.addressState(family, parts[0].toInt(), &error), parts[1]);
    }
    if (extra.contains(QStringLiteral("--json"))) {
        const QList<QJsonObject> objects = jsonLines(r.out);
        QCOMPARE(objects.size(), rows.size() + 1);
        QCOMPARE(objects[1].value(QStringLiteral("given_address")).toInt(), 205);
        QCOMPARE(objects[1].value(QStringLiteral("address_state")).toString(), QStringLiteral("used"));
        QCOMPARE(objects[1].value(QStringLiteral("record")).toString(), QStringLiteral("register"));
        QCOMPARE(objects.last().value(QStringLiteral("spoilt")).toArray().size(), 0);
    }
}

void TestCliBatch::inputRefusedBeforeAnyUnit_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QByteArray>("table"); // {units}
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // on stderr (or stdout with --json), parts split by "|"

    const QString dk = QStringLiteral("dk618");
    const auto args = [](const char *line) { return QString::fromUtf8(line).split(QLatin1Char(' ')); };
    const QStringList withTable = args("--units {units}");
    const QByteArray none;
    QTest::newRow("a cell off its list, in the last row")
        << dk << QStringLiteral("设备地址,设备校验方式\r\n1001,无校验\r\n1002,none\r\n").toUtf8() << withTable << 4
        << "units.csv row 2: 设备校验方式=none: not one of 无校验, 偶校验, 奇校验";
    QTest::newRow("a key the section does not have")
        << dk << QStringLiteral("设备地址,信道0发射頻率\r\n1001,4330000\r\n").toUtf8() << withTable << 4
        << "header: 信道0发射頻率: not a key of [File_DK618]";
    QTest::newRow("a row short of a cell") << dk << QStringLiteral("设备地址,信道0发射频率\r\n1001\r\n").toUtf8() << withTable << 4
                                         << "row 1: 1 cells, the header has 2";
    QTest::newRow("a row a write refuses") << dk << QStringLiteral("信道0发射频率\r\n4330000\r\n4330100\r\n").toUtf8() << withTable
                                         << 4 << "row 2: 信道0发射频率=4330100: not a multiple of 125";
    QTest::newRow("a GBK table with a bad number") << dk << EncodeGbk(QStringLiteral("设备地址\r\n10x1\r\n")) << withTable << 4
                                                 << "row 1: 设备地址=10x1";
    QTest::newRow("a header and no rows") << dk << QByteArray("Ptttime\r\n") << withTable << 4 << "no row of a unit";
    QTest::newRow("no such table") << dk << none << withTable << 4 << "cannot read the table of units";
    QTest::newRow("json: the run says units")
        << dk << QStringLiteral("设备地址\r\nx\r\n").toUtf8() << args("--units {units} --json") << 4
        << "\"units\":0|\"result\":\"bad input\"|设备地址=x";
    QTest::newRow("the address from the series and the table")
        << dk << QStringLiteral("设备地址\r\n5\r\n").toUtf8() << args("--units {units} --address-from 1001") << 1
        << "the column 设备地址 of";
    QTest::newRow("the address from the series and --set") << dk << none << args("--set 设备地址=5 --address-from 1001") << 1
                                                          << "--set 设备地址 cannot as well";
    QTest::newRow("a bad --set value") << dk << none << args("--set 设备地址=abc") << 4 << "设备地址=abc";
    QTest::newRow("a central unit's series past 255") << QStringLiteral("mlb4800") << none << args("--address-from 300") << 1
                                                      << "a MLB4800 address is at most 255, not 300";
    QTest::newRow("json: a step without a series") << dk << none << args("--address-step 2 --json") << 1
                                                  << "--address-step goes with --address-from|\"units\":0|\"result\":\"usage\"";
    QTest::newRow("a register of no kind") << dk << none << args("--db mysql://u@h/x") << 1 << "--db: unknown database kind";
    QTest::newRow("a server that cannot be reached, for addresses")
        << dk << none << args("--db postgresql://u@127.0.0.1:1/x --address-from 1") << 3
        << "batch: the register cannot hand out addresses: cannot open postgresql://u@127.0.0.1:1/x";
}

// Whatever is wrong with the values of any unit is told before the first:
// nothing goes out on the line and no report is begun.
void TestCliBatch::inputRefusedBeforeAnyUnit()
{
    QFETCH(QString, family);
    QFETCH(QByteArray, table);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, said);
    QTemporaryDir dir;
    PtyPair pty;
    QVERIFY(pty.isOpen());
    const QString in = dir.filePath(QStringLiteral("in.ini"));
    writeFile(in, section(family, {}));
    const QString units = dir.filePath(QStringLiteral("units.csv"));
    if (!table.isEmpty())
        writeFile(units, table);
    extra.replaceInStrings(QStringLiteral("{units}"), units);
    const QString report = dir.filePath(QStringLiteral("report.csv"));
    const Run r = qmset(QStringList{"batch", "--family", family, "--port", pty.slavePath(), "--in", in, "--report", report} + extra);
    QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1\n%2%3").arg(r.code).arg(r.out, r.err)));
    for (const QString &part : said.split(QLatin1Char('|')))
        QVERIFY2((r.out + r.err).contains(part), qPrintable(part + QStringLiteral(" not in:\n") + r.out + r.err));
    QVERIFY(pty.read(64, 100).isEmpty());
    QVERIFY(!QFile::exists(report));
}

QTEST_MAIN(TestCliBatch)
#include "tst_clibatch.moc"
