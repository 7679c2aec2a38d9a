// The register of units on both engines: adding one record (its own
// transaction, as every exchange adds one), and one unit's whole history
// among 1,000,000 records. SQLite in a temporary folder, PostgreSQL as a
// throwaway server (tests/pgcluster.h) with its durable defaults.
#include "benchkit.h"
#include "pgcluster.h"

#include "common/memoryfields.h"
#include "radio/dk618fields.h"
#include "register/recordcodec.h"
#include "register/recordfields.h"
#include "register/sqlconnection.h"
#include "register/unitregister.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

constexpr int kAdds = 300;
constexpr int kRecords = 1000000;
constexpr int kUnits = 50000; // 20 records per unit
constexpr int kLookups = 50;

qm::UnitRecord sampleRecord()
{
    qm::MemoryFields fields(qm::Dk618Fields());
    qm::UnitRecord r;
    r.port = QStringLiteral("/dev/ttyUSB0");
    r.family = QStringLiteral("dk618");
    r.model = QStringLiteral("DK618-450");
    r.action = qm::action::Write;
    r.result = QStringLiteral("ok");
    qm::TakeFieldValues(qm::Dk618Fields(), fields, r);
    return r;
}

// Fills the register with kRecords records of kUnits units in one
// statement: a record of the real size, a second apart.
bool fill(qm::SqlConnection &c, const qm::UnitRecord &sample, QString *error)
{
    const QString values = qm::CompactJson(qm::ValuesJson(sample));
    const QString sql = c.target().isServer()
        ? QStringLiteral(
              "INSERT INTO unit_records (uid, time_utc, zone, utc_offset, station, operator_name, port, family, model, "
              "address, address_text, action, result, detail, field_values, differences, backup_file) "
              "SELECT 'bench-' || g, to_char(to_timestamp(1765000000 + g) AT TIME ZONE 'UTC', "
              "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), 'Asia/Shanghai', 28800, 'station' || (g % 3), 'op', '/dev/ttyUSB0', "
              "'dk618', 'DK618-' || (g % 7), g % %1, (g % %1)::text, 'write', 'ok', '', ?, '[]', '' "
              "FROM generate_series(1, %2) AS g")
        : QStringLiteral(
              "WITH RECURSIVE n(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM n WHERE g < %2) "
              "INSERT INTO unit_records (uid, time_utc, zone, utc_offset, station, operator_name, port, family, model, "
              "address, address_text, action, result, detail, field_values, differences, backup_file) "
              "SELECT 'bench-' || g, strftime('%Y-%m-%dT%H:%M:%fZ', 1765000000 + g, 'unixepoch'), 'Asia/Shanghai', "
              "28800, 'station' || (g % 3), 'op', '/dev/ttyUSB0', 'dk618', 'DK618-' || (g % 7), g % %1, "
              "CAST(g % %1 AS TEXT), 'write', 'ok', '', ?, '[]', '' FROM n");
    return c.begin(error) && c.run(sql.arg(kUnits).arg(kRecords), {values}, error) && c.commit(error)
        && c.run(QStringLiteral("ANALYZE"), {}, error);
}

bool measure(const QString &engine, const qm::RegisterTarget &target, const QString &spool, double addTarget)
{
    qm::UnitRegister reg(target, spool);
    QString error;
    if (!reg.open(&error)) {
        bench::Note("%s: %s", qPrintable(engine), qPrintable(error));
        return false;
    }
    const qm::UnitRecord sample = sampleRecord();
    QList<double> adds;
    for (int i = 0; i < kAdds; ++i) {
        qm::UnitRecord r = sample;
        r.address = QString::number(100000 + i);
        QElapsedTimer clock;
        clock.start();
        if (reg.add(r, &error) != qm::UnitRegister::Kept::InRegister) {
            bench::Note("%s add: %s", qPrintable(engine), qPrintable(error));
            return false;
        }
        adds << clock.nsecsElapsed() / 1e6;
    }
    std::sort(adds.begin(), adds.end());
    bench::Note("%s add: median %.2f ms, 95th %.2f ms, max %.2f ms", qPrintable(engine), bench::Median(adds),
                adds[adds.size() * 95 / 100], adds.last());
    bool pass = bench::Result(QStringLiteral("Adding a record, %1 (median of %2)").arg(engine).arg(kAdds),
                              QStringLiteral("%1 ms").arg(bench::Median(adds), 0, 'f', 2),
                              QStringLiteral("<= %1 ms").arg(addTarget), bench::Median(adds) <= addTarget);

    qm::SqlConnection bulk(target, QStringLiteral("bulk"));
    QElapsedTimer clock;
    clock.start();
    if (!bulk.open(&error) || !fill(bulk, sample, &error)) {
        bench::Note("%s fill: %s", qPrintable(engine), qPrintable(error));
        return false;
    }
    bench::Note("%s: %d records added in %.1f s", qPrintable(engine), kRecords, clock.nsecsElapsed() / 1e9);
    QList<double> lookups;
    qsizetype found = 0;
    for (int i = 0; i < kLookups; ++i) {
        qm::RecordFilter filter;
        filter.address = QRandomGenerator::global()->bounded(kUnits);
        QList<qm::UnitRecord> records;
        clock.restart();
        if (!reg.find(filter, &records, &error)) {
            bench::Note("%s find: %s", qPrintable(engine), qPrintable(error));
            return false;
        }
        lookups << clock.nsecsElapsed() / 1e6;
        found += records.size();
    }
    std::sort(lookups.begin(), lookups.end());
    bench::Note("%s history: median %.2f ms, max %.2f ms, %.1f records each", qPrintable(engine), bench::Median(lookups),
                lookups.last(), double(found) / kLookups);
    pass &= bench::Result(QStringLiteral("One unit's history among 1,000,000 records, %1 (median of %2)").arg(engine).arg(kLookups),
                          QStringLiteral("%1 ms (%2 records)").arg(bench::Median(lookups), 0, 'f', 2).arg(double(found) / kLookups),
                          QStringLiteral("< 50 ms"), bench::Median(lookups) < 50);
    return pass;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    bool pass = true;
    qm::RegisterTarget sqlite;
    sqlite.path = dir.filePath(QStringLiteral("register.sqlite"));
    pass &= measure(QStringLiteral("SQLite"), sqlite, dir.filePath(QStringLiteral("spool.sqlite")), 5);

    // The server as a line would run it: every commit on disk.
    PgCluster server(QStringList{});
    QString error;
    if (!server.start(&error) || !server.createDatabase(QStringLiteral("bench"), &error)) {
        bench::Note("PostgreSQL: %s", qPrintable(error));
        return 1;
    }
    qm::RegisterTarget postgres;
    qm::RegisterTarget::parse(server.url(QStringLiteral("bench")), &postgres, &error);
    pass &= measure(QStringLiteral("PostgreSQL"), postgres, dir.filePath(QStringLiteral("spool.sqlite")), 20);
    return pass ? 0 : 1;
}
