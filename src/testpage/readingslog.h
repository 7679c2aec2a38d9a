#pragma once
// The readings of the test run: every reading the test page decodes and
// shows, with the time it came and the radio it came from. Memory keeps the
// last 24 hours (and never more than a day of the fastest automatic
// reading, whatever the clock does); every reading also goes into a daily
// file as it comes (ReadingsJournal). No widgets: the trend window shows the
// log, and it is written as CSV for a spreadsheet.

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

namespace qm {

enum class Quantity { Voltage, FieldStrength, Temperature, Power };
inline constexpr int kQuantities = 4;

// "工作电压", "当前场强", "环境温度", "发射功率", as the page captions them.
QString QuantityName(Quantity quantity);
// "V", "dBm", "°C", "dBm".
QString QuantityUnit(Quantity quantity);
// The value of a reading in its unit from the text the page shows: the
// field strength n shown after "-" is "-n" dBm; the others are the text.
QString ReadingValue(Quantity quantity, const QString &shown);

// A time as ISO 8601 with its offset from UTC, with milliseconds or not.
QString IsoTime(const QDateTime &time, bool milliseconds);

struct Reading {
    QDateTime time;
    Quantity quantity = Quantity::Voltage;
    QString value;      // ReadingValue()
    bool alarm = false; // power: the standing-wave alarm was lit
    QString model;      // of the radio's last read, empty before one
    QString address;    // the address the reading was sent to
};

class ReadingsLog : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kKeepMs = 24 * 3600 * 1000;
    // A day of readings every 300 ms, and some.
    static constexpr qsizetype kMaxReadings = 300000;

    explicit ReadingsLog(QObject *parent = nullptr, qsizetype maxReadings = kMaxReadings)
        : QObject(parent)
        , max_(maxReadings)
    {
    }
    // Appends reading and lets go of those more than kKeepMs older than
    // it, or beyond maxReadings.
    void append(const Reading &reading);
    // The readings kept, oldest first (in the order they came).
    const QList<Reading> &readings() const { return readings_; }
    // How many readings have gone from the front since the start: readings()
    // [i] is the (dropped() + i)-th reading of the run.
    qint64 dropped() const { return dropped_; }

signals:
    // The reading is the last of readings().
    void appended();

private:
    qsizetype max_;
    QList<Reading> readings_;
    qint64 dropped_ = 0;
};

// Header "time,model,address,quantity,value,unit" and a line per reading,
// UTF-8 with a byte-order mark.
QByteArray ReadingsCsv(const QList<Reading> &readings);
// The header line and the line of one reading, each with its CR LF.
QString ReadingsCsvHeader();
QString ReadingsCsvLine(const Reading &reading);

} // namespace qm
