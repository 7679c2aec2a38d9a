#pragma once
// The calibration record of the radio under test: what the radio last
// reported of its trimming values and power level, the last value of each
// reading, and the reference calibrations confirmed during the run. A
// record goes into an INI file as a section of its own, or as a line into
// a CSV file; both kinds read back into a table. No widgets, so a command
// line can use it.

#include "common/unitrecord.h"
#include "testpage/readingslog.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <functional>

namespace qm {

struct TestRecord {
    // Time Model Address VR1..VR9 PowerLevel Voltage FieldStrength
    // Temperature Power SwrAlarm Calibrations: the INI keys and the CSV
    // header, in this order.
    static const QStringList &keys();
    QStringList values = QStringList(keys().size()); // by keys(); empty: not known
    QString value(const QString &key) const;
    void set(const QString &key, const QString &value);
};

// What the test run has seen, for the record.
class TestRun {
public:
    // The radio's model text and address as they stand now.
    std::function<QString()> model;
    std::function<QString()> address;

    ReadingsLog log;

    // A reading as the page shows it.
    void reading(Quantity quantity, const QString &shown, bool alarm);
    // A trimming report's bytes at offsets 6..15: rows 1..7, power level,
    // row 9, row 8.
    void trimmingReport(const std::array<quint8, 10> &bytes);
    // A reference calibration (0xF1, 0xF3, 0xF5) sent after its OK.
    void calibrationSent(quint8 command);

    TestRecord record(const QDateTime &time) const;

private:
    bool reported_ = false;
    std::array<quint8, 10> report_{};
    QList<quint8> calibrations_;
};

// The register's record of a calibration record stored in path: the
// radio's model text and address, every value of the record by its key.
UnitRecord CalibrationRecord(const TestRecord &record, const QString &path);

// The first section name of an INI record file; a record gets
// "Test_Record_<yyyyMMddThhmmss>", with "_2", "_3" .. when that stands.
inline constexpr char kTestRecordSection[] = "Test_Record";

// Adds the record to path: a CSV file when the name ends in ".csv"
// (case-insensitively), else an INI file, which may hold other sections
// too. Written through the safe save; a CSV file whose first line is not
// the record header is refused. Error "无法写入文件：…" when it cannot.
void StoreTestRecord(const QString &path, const TestRecord &record);

// The records of a file, in file order. Error "无法读取文件：…" for a file
// that cannot be read or is no record file of either kind.
QList<TestRecord> ReadTestRecords(const QString &path);

// The records of a file as a text table, a line per record with a header;
// or the reason why not (a missing file, one without records).
struct TestRecordTable {
    QString text;
    QString error;
};
TestRecordTable FormatTestRecords(const QString &path);

} // namespace qm
