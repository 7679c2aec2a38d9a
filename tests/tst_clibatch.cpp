// qmset batch as a production line runs it: units put on and taken off a
// pseudo terminal of the test's own by a driver that answers for them
// (simulated radios and central units), a unit that goes silent, Ctrl+C in
// the middle of a write, a report on a full disk, a model text made to
// break the report, and Enter before each unit.
#include "common/inifile.h"
#include "clitools.h"
#include "dk618model.h"
#include "mlb4800model.h"
#include "ptypair.h"
#include "scratchdisk.h"
#include "simlink.h"

#include <QDateTime>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace clitools;

namespace {

// A unit as the driver puts it on the cable, and how it goes once its
// report line is in:
//   off:     taken off; the next goes on 3.5 s later (three probes missed)
//   flicker: misses two probes (line noise), answers three more, the run ends
//   swap:    misses one probe, then the next unit stands in its place
//   stay:    stays; the next goes on at once (Enter with --confirm)
// The run ends after the last unit: Ctrl+C, or stdin closed with --confirm.
struct CableUnit {
    QByteArray model = "DK618-450";
    QString leave = QStringLiteral("off");
    quint8 silentOn = 0; // a command it never answers
};

} // namespace

Q_DECLARE_METATYPE(QList<CableUnit>)

namespace {

CableUnit unit(const char *leave, const QByteArray &model = "DK618-450", quint8 silentOn = 0)
{
    return {model, QLatin1String(leave), silentOn};
}

// Answers for the units of a run on the master side of a pty, puts them on
// and takes them off as their report lines come in.
class CableDriver {
public:
    CableDriver(PtyPair &pty, QProcess &batch, const QString &family, const QList<CableUnit> &units, bool confirm,
                bool ctrlCInWrite, std::function<int()> rowsDone)
        : pty_(pty), batch_(batch), family_(family), units_(units), confirm_(confirm), ctrlCInWrite_(ctrlCInWrite),
          rowsDone_(std::move(rowsDone))
    {
        probe_ = family == QLatin1String("dk618") ? 0x99 : 0x67;
    }

    void run(int limitMs)
    {
        QElapsedTimer all, phase;
        all.start();
        putNext(phase);
        int rows = 0;
        QElapsedTimer idle;
        idle.start();
        while (batch_.state() != QProcess::NotRunning && all.elapsed() < limitMs) {
            batch_.waitForFinished(5);
            for (const QByteArray &frame : reader_.feed(pty_.read(4096, 5)))
                answer(quint8(frame.at(3)), frame);
            if (const int now = rowsDone_(); now != rows) {
                rows = now;
                idle.restart();
            }
            // A run that makes no progress (a unit never taken up) ends.
            if (idle.elapsed() > 15000)
                end();
            if (!model_ && !ended_ && on_ >= 0 && leave() == QLatin1String("off") && phase.elapsed() > 3500) {
                if (next_ < units_.size())
                    putNext(phase);
                else
                    end();
            }
            if (!model_ || state_ != State::Answering || rows != on_ + 1)
                continue;
            // The unit in hand has its report line.
            const QString how = leave();
            if (how == QLatin1String("off")) {
                model_.reset();
                phase.restart();
            } else if (how == QLatin1String("flicker")) {
                state_ = State::Flicker;
                drop_ = 2;
            } else if (how == QLatin1String("swap")) {
                state_ = State::Swap;
                drop_ = 1;
            } else if (next_ < units_.size()) {
                putNext(phase);
            } else {
                end();
            }
        }
        end();
    }

private:
    enum class State { Answering, Flicker, Swap };

    QString leave() const { return units_.at(on_).leave; }

    void putNext(QElapsedTimer &phase)
    {
        on_ = next_++;
        if (family_ == QLatin1String("dk618"))
            model_ = std::make_unique<qmsim::Dk618Model>(units_.at(on_).model);
        else
            model_ = std::make_unique<qmsim::Mlb4800Model>();
        state_ = State::Answering;
        answered_ = 0;
        phase.restart();
        if (confirm_)
            batch_.write("\n");
    }

    void answer(quint8 command, const QByteArray &frame)
    {
        if (ctrlCInWrite_ && command == 0x61 && !signalled_) {
            interrupt();
            signalled_ = true;
        }
        if (!model_ || command == units_.at(on_).silentOn)
            return;
        if (command == probe_ && drop_ > 0) {
            if (--drop_ == 0 && state_ == State::Swap) {
                QElapsedTimer unused;
                putNext(unused);
            }
            return;
        }
        if (state_ == State::Flicker && command == probe_ && ++answered_ > 3) {
            end();
            return;
        }
        if (const auto reply = model_->answer(frame))
            pty_.write(*reply);
    }

    void end()
    {
        if (ended_)
            return;
        ended_ = true;
        if (confirm_)
            batch_.closeWriteChannel();
        else
            interrupt();
    }

    // Ctrl+C to the batch alone (a pid of 0 would reach the whole group).
    void interrupt()
    {
        if (batch_.state() == QProcess::Running && batch_.processId() > 0)
            ::kill(pid_t(batch_.processId()), SIGINT);
    }

    PtyPair &pty_;
    QProcess &batch_;
    QString family_;
    QList<CableUnit> units_;
    bool confirm_, ctrlCInWrite_;
    std::function<int()> rowsDone_;
    quint8 probe_ = 0x99;
    qmsim::FrameReader reader_;
    std::unique_ptr<qmsim::UnitModel> model_;
    State state_ = State::Answering;
    int on_ = -1, next_ = 0, drop_ = 0, answered_ = 0;
    bool signalled_ = false, ended_ = false;
};

const QByteArray kHeader = "\xEF\xBB\xBFtime,port,family,model,address,result,differences,duration_ms\r\n";

} // namespace

class TestCliBatch : public QObject {
    Q_OBJECT
private slots:
    // The backups of the reads qmset makes go to a folder of this test's
    // own: other tests count theirs in the shared one.
    void initTestCase() { qputenv("XDG_DATA_HOME", data_.path().toLocal8Bit()); }
    void batchRuns_data();
    void batchRuns();

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
        QProcess p;
        p.setProcessEnvironment(withoutDisplay());
        p.start(QStringLiteral(QMSET_PATH), QStringList{"batch", "--family", family, "--port", pty.slavePath(), "--in", in,
                                                        "--report", report} + extra);
        QVERIFY(p.waitForStarted());
        // A row names the port; rows of earlier runs do not count.
        const QByteArray port = pty.slavePath().toLocal8Bit();
        const qsizetype start = readFile(report).count(port);
        CableDriver driver(pty, p, family, units, extra.contains(QStringLiteral("--confirm")), ctrlCInWrite,
                           [&] { return int(readFile(report).count(port) - start); });
        driver.run(90000);
        *r = finish(p, 20000);
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
    const QStringList read = pythonCsvRows(report);
    QVERIFY2(!read.isEmpty(), "python3 could not read the report");
    QCOMPARE(read.first(), QStringLiteral("time|port|family|model|address|result|differences|duration_ms"));
    QStringList got;
    for (const QString &line : read.mid(1)) {
        const QStringList cells = line.split(QLatin1Char('|'));
        QCOMPARE(cells.size(), 8);
        QVERIFY2(QDateTime::fromString(cells[0], Qt::ISODate).isValid(), qPrintable(cells[0]));
        QCOMPARE(cells[2], family);
        got << QStringList{cells[3], cells[4], cells[5]}.join(QLatin1Char('|'));
    }
    QCOMPARE(got, rows);
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
    }
}

QTEST_MAIN(TestCliBatch)
#include "tst_clibatch.moc"
