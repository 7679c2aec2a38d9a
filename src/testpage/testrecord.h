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
#include <optional>

namespace qm {

struct TestRecord {
    // Time Model Address VR1..VR9 PowerLevel Voltage FieldStrength
    // Temperature Power SwrAlarm Calibrations NotReadBack: the INI keys and
    // the CSV header, in this order. NotReadBack names the trimming values
    // (VR1..VR9, PowerLevel) sent to the radio after its last report: the
    // record holds them as the radio reported them, not as sent.
    static const QStringList &keys();
    QStringList values = QStringList(keys().size()); // by keys(); empty: not known
    QString value(const QString &key) const;
    void set(const QString &key, const QString &value);
};

// What the test run has seen of the radio now connected, for the record.
// A radio is known by its model text and address: when either is another
// than when the values came, they are another radio's, and the record
// starts afresh.
class TestRun {
public:
    // The radio's model text and address as they stand now.
    std::function<QString()> model;
    std::function<QString()> address;

    // Every reading of the run, whichever radio it came from.
    ReadingsLog log;

    // A reading as the page shows it.
    void reading(Quantity quantity, const QString &shown, bool alarm);
    // A trimming report's bytes at offsets 6..15: rows 1..7, power level,
    // row 9, row 8.
    void trimmingReport(const std::array<quint8, 10> &bytes);
    // A trimming row 1..9 stepped and sent (row 8 carries the power level
    // too), and the power level set: not read back until the next report.
    void trimmingSent(int row);
    void powerLevelSent();
    // A reference calibration (0xF1, 0xF3, 0xF5) sent after its OK.
    void calibrationSent(quint8 command);

    // What the radio connected now reported; nothing of another radio.
    TestRecord record(const QDateTime &time) const;

private:
    struct Radio {
        QString model, address;
        bool operator==(const Radio &) const = default;
    };
    Radio now() const;
    // The values held are the radio's now connected: the others go.
    void sameRadio();
    void notReadBack(const QStringList &sent);

    Radio radio_;
    bool reported_ = false;
    std::array<quint8, 10> report_{};
    QStringList notReadBack_; // keys, in the order of TestRecord::keys()
    QList<quint8> calibrations_;
    // The last reading of each quantity, with its alarm.
    std::array<std::optional<Reading>, kQuantities> last_{};
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
