#pragma once
// The readings of the test run, kept in memory until the program ends:
// every reading the test page decodes and shows, with the time it came and
// the radio it came from. No widgets: the trend window shows the log, and
// it is written as CSV for a spreadsheet.

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
    using QObject::QObject;
    void append(const Reading &reading);
    const QList<Reading> &readings() const { return readings_; }

signals:
    void appended();

private:
    QList<Reading> readings_;
};

// Header "time,model,address,quantity,value,unit" and a line per reading,
// UTF-8 with a byte-order mark.
QByteArray ReadingsCsv(const QList<Reading> &readings);

} // namespace qm
