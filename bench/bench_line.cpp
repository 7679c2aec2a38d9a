// A production line on a shared register: qmset batch processes, each on a
// pseudo terminal of its own with simulated data radios put on its cable one
// after another (tests/cabledriver.h), and one PostgreSQL server (a
// throwaway cluster with its durable defaults, tests/pgcluster.h).
// - The register's part of batch's time per unit, as batch measures it
//   (register_ms: the address taken, then settled, and the record added),
//   with three stations at once: at most 30 ms (median).
// - Three stations program 30 units in under 1.5 times what one station
//   takes for 10; addresses 1001-1030 each handed out once, 30 records.
#include "benchkit.h"
#include "cabledriver.h"
#include "pgcluster.h"

#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "radio/dk618fields.h"
#include "register/unitregister.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTemporaryDir>

#include <array>
#include <numeric>

namespace {

constexpr int kEach = 10;

struct LineRun {
    double wallMs = -1;
    QList<double> registerMs;
    QList<int> addresses;
};

// stations batches at once, kEach units each, addresses from 1001 in the
// register db; the wall time from their start to the end of the last.
template <size_t N>
LineRun runLine(const QString &folder, const QString &in, const QString &db)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), QDir(folder).filePath(QStringLiteral("data")));
    env.remove(QStringLiteral("QMSET_DB"));
    std::array<BatchStation, N> stations;
    LineRun run;
    QElapsedTimer clock;
    clock.start();
    for (BatchStation &s : stations) {
        if (!s.pty.isOpen()) {
            bench::Note("bench_line: no pseudo terminal: %s", qPrintable(s.pty.errorString()));
            return run;
        }
        s.start(QStringLiteral(QMSET_PATH), env, folder, {"--in", in, "--address-from", "1001", "--db", db}, kEach);
    }
    const bool ended = BatchStation::driveAll(stations, 300000);
    const double wall = double(clock.nsecsElapsed()) / 1e6;
    bool ok = ended;
    for (BatchStation &s : stations) {
        QList<QJsonObject> units;
        QString err;
        const int code = s.finish(&units, &err);
        if (code != 0 || units.size() != kEach) {
            bench::Note("bench_line: a station ended with %d after %lld unit(s):\n%s", code, qlonglong(units.size()), qPrintable(err));
            ok = false;
        }
        for (const QJsonObject &u : units) {
            if (u.value(QStringLiteral("result")).toString() != QLatin1String("ok"))
                ok = false;
            run.registerMs << u.value(QStringLiteral("register_ms")).toDouble();
            run.addresses << u.value(QStringLiteral("address")).toInt();
        }
    }
    if (ok)
        run.wallMs = wall;
    return run;
}

// Every address of 1001.. once, each used and recorded once.
bool registerHolds(const QString &url, int units, QString *why)
{
    qm::RegisterTarget target;
    qm::RegisterTarget::parse(url, &target, why);
    QTemporaryDir spool;
    qm::UnitRegister reg(target, spool.filePath(QStringLiteral("spool.sqlite")));
    QList<qm::UnitRecord> found;
    if (!reg.find({}, &found, why))
        return false;
    QList<int> recorded;
    for (const qm::UnitRecord &r : found)
        if (r.action == qm::action::Batch && r.result == QLatin1String("ok"))
            recorded << r.address.toInt();
    std::sort(recorded.begin(), recorded.end());
    QList<int> expected(units);
    std::iota(expected.begin(), expected.end(), 1001);
    if (recorded != expected) {
        *why = QStringLiteral("%1 ok records, not one for each of 1001..%2").arg(recorded.size()).arg(1000 + units);
        return false;
    }
    for (int a : expected)
        if (reg.addressState(QStringLiteral("dk618"), a, why) != QLatin1String("used")) {
            *why = QStringLiteral("address %1 is not marked used").arg(a);
            return false;
        }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("line.ini"));
    {
        // Every key of the section, with the page's first values.
        const qm::MemoryFields page(qm::Dk618Fields());
        qm::IniDocument doc = qm::IniDocument::fromBytes(in, {});
        qm::StoreFields(qm::Dk618Fields(), page, doc);
        doc.save();
    }
    PgCluster server(QStringList{});
    QString error;
    if (!server.start(&error) || !server.createDatabase(QStringLiteral("one"), &error)
        || !server.createDatabase(QStringLiteral("three"), &error)) {
        bench::Note("bench_line: PostgreSQL: %s", qPrintable(error));
        return 1;
    }
    bool pass = true;

    const LineRun one = runLine<1>(dir.path(), in, server.url(QStringLiteral("one")));
    const LineRun three = runLine<3>(dir.path(), in, server.url(QStringLiteral("three")));
    bench::Note("bench_line: one station, %d units: %.0f ms; three stations, %d units: %.0f ms", kEach, one.wallMs, 3 * kEach,
                three.wallMs);
    QList<double> reg = three.registerMs;
    std::sort(reg.begin(), reg.end());
    bench::Note("bench_line: register per unit, three stations: median %.0f ms, 95th %.0f ms, max %.0f ms; one station: median %.0f ms",
                bench::Median(reg), reg.value(reg.size() * 95 / 100), reg.isEmpty() ? 0.0 : reg.last(), bench::Median(one.registerMs));
    pass &= bench::Result(QStringLiteral("qmset batch, the register's time per unit (PostgreSQL, 3 stations, median of %1)").arg(reg.size()),
                          QStringLiteral("%1 ms").arg(bench::Median(reg), 0, 'f', 0), QStringLiteral("<= 30 ms"),
                          !reg.isEmpty() && bench::Median(reg) <= 30);
    QString why;
    const bool held = three.wallMs > 0 && registerHolds(server.url(QStringLiteral("three")), 3 * kEach, &why);
    if (!held)
        bench::Note("bench_line: the register after three stations: %s", qPrintable(why));
    const double ratio = one.wallMs > 0 && three.wallMs > 0 ? three.wallMs / one.wallMs : -1;
    pass &= bench::Result(QStringLiteral("3 stations, 30 units (1001-1030 once each), over 1 station, 10 units (%1 ms)").arg(one.wallMs, 0, 'f', 0),
                          ratio > 0 ? QStringLiteral("%1 x (%2 ms)").arg(ratio, 0, 'f', 2).arg(three.wallMs, 0, 'f', 0) : QStringLiteral("failed"),
                          QStringLiteral("< 1.5 x"), held && ratio > 0 && ratio < 1.5);
    return pass ? 0 : 1;
}
