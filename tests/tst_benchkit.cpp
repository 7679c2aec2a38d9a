// What the benchmarks read their figures from: the traffic of an exchange in
// a simulated unit's log, the floor its steps set in 100 ms ticks, and the
// CPU time in a line of /proc/PID/stat.

#include "benchkit.h"

#include <QtTest>

using Steps = QList<std::pair<qsizetype, qsizetype>>;
Q_DECLARE_METATYPE(Steps)

class TestBenchKit : public QObject {
    Q_OBJECT
private slots:
    void traffic_data();
    void traffic();
    void floor_data();
    void floor();
    void cpuTicks_data();
    void cpuTicks();
};

void TestBenchKit::traffic_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<bool>("unanswered");
    QTest::newRow("two steps") << QByteArray("rx 96 05 80 99 00 01 8B\ntx 96 06 80 99 00 01 41 4C\n"
                                             "rx 96 05 80 63 00 01 77\ntx 96 05 80 63 00 01 77\n")
                               << Steps{{7, 8}, {7, 7}} << false;
    QTest::newRow("unanswered request") << QByteArray("rx 96 05 80 99 00 01 8B\n-- silent on 99\n") << Steps{{7, 0}} << true;
    QTest::newRow("answer without request") << QByteArray("tx 96 05 80 63 00 01 77\n\n") << Steps{} << false;
    QTest::newRow("second answer to one request") << QByteArray("rx 96 05 80 99 00 01 8B\ntx 01 02\ntx 01 02 03\n")
                                                  << Steps{{7, 2}} << false;
}

void TestBenchKit::traffic()
{
    QFETCH(QByteArray, log);
    QFETCH(Steps, steps);
    QFETCH(bool, unanswered);
    const bench::Traffic traffic = bench::ParseTraffic(log);
    QCOMPARE(traffic.steps, steps);
    QCOMPARE(traffic.unanswered, unanswered);
}

void TestBenchKit::floor_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<double>("turnaroundMs");
    QTest::addColumn<int>("ticksBefore");
    QTest::addColumn<int>("ticks");
    // 19200 N: 0.52 ms a byte; 1200 E: 9.17 ms a byte.
    QTest::newRow("fast steps take a tick each") << Steps{{7, 16}, {7, 47}} << 19200 << 10 << 2.0 << 0 << 2;
    QTest::newRow("165 ms step: two ticks") << Steps{{11, 7}} << 1200 << 11 << 2.0 << 0 << 2;
    QTest::newRow("202 ms step: three ticks") << Steps{{11, 11}} << 1200 << 11 << 0.0 << 0 << 3;
    QTest::newRow("turn-around over the tick") << Steps{{7, 3}} << 1200 << 11 << 10.0 << 0 << 2;
    QTest::newRow("without it, one") << Steps{{7, 3}} << 1200 << 11 << 0.0 << 0 << 1;
    QTest::newRow("first frame at the first tick") << Steps{{7, 16}} << 19200 << 10 << 2.0 << 1 << 2;
    QTest::newRow("nothing sent") << Steps{} << 19200 << 10 << 2.0 << 1 << 1;
}

void TestBenchKit::floor()
{
    QFETCH(Steps, steps);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(double, turnaroundMs);
    QFETCH(int, ticksBefore);
    QFETCH(int, ticks);
    bench::Traffic traffic;
    traffic.steps = steps;
    const double byteMs = bits * 1000.0 / rate;
    const bench::Floor floor = bench::FloorOf(traffic, byteMs, turnaroundMs, ticksBefore);
    QCOMPARE(floor.ticks, ticks);
    qsizetype bytes = 0;
    for (const auto &[request, reply] : steps)
        bytes += request + reply;
    QCOMPARE(floor.lineMs, double(bytes) * byteMs);
}

void TestBenchKit::cpuTicks_data()
{
    QTest::addColumn<QByteArray>("stat");
    QTest::addColumn<qint64>("ticks");
    const QByteArray tail = " S 1 2 3 4 5 6 7 8 9 10 120 34 0 0 20 0 1 0 100 2000 300\n";
    QTest::newRow("plain name") << QByteArray("4242 (qmset)") + tail << qint64(154);
    QTest::newRow("blanks and parentheses in the name") << QByteArray("7 (a) b (c d))") + tail << qint64(154);
    QTest::newRow("cut short") << QByteArray("4242 (qmset) S 1 2 3") << qint64(-1);
    QTest::newRow("no name") << QByteArray("garbage") << qint64(-1);
    QTest::newRow("not numbers") << QByteArray("1 (x) S 1 2 3 4 5 6 7 8 9 10 a b 0 0") << qint64(-1);
}

void TestBenchKit::cpuTicks()
{
    QFETCH(QByteArray, stat);
    QFETCH(qint64, ticks);
    QCOMPARE(bench::CpuTicksOfStat(stat), ticks);
}

QTEST_GUILESS_MAIN(TestBenchKit)
#include "tst_benchkit.moc"
