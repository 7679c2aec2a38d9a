#include "testpage/readingslog.h"

#include "common/csvtext.h"

namespace qm {

QString QuantityName(Quantity quantity)
{
    switch (quantity) {
    case Quantity::Voltage: return QStringLiteral("工作电压");
    case Quantity::FieldStrength: return QStringLiteral("当前场强");
    case Quantity::Temperature: return QStringLiteral("环境温度");
    case Quantity::Power: return QStringLiteral("发射功率");
    }
    return {};
}

QString QuantityUnit(Quantity quantity)
{
    switch (quantity) {
    case Quantity::Voltage: return QStringLiteral("V");
    case Quantity::Temperature: return QStringLiteral("°C");
    case Quantity::FieldStrength:
    case Quantity::Power: return QStringLiteral("dBm");
    }
    return {};
}

QString ReadingValue(Quantity quantity, const QString &shown)
{
    return quantity == Quantity::FieldStrength ? QLatin1Char('-') + shown : shown;
}

QString IsoTime(const QDateTime &time, bool milliseconds)
{
    const QDateTime withOffset = time.toOffsetFromUtc(time.offsetFromUtc());
    return withOffset.toString(milliseconds ? Qt::ISODateWithMs : Qt::ISODate);
}

void ReadingsLog::append(const Reading &reading)
{
    readings_.append(reading);
    const qint64 oldest = reading.time.toMSecsSinceEpoch() - kKeepMs;
    qsizetype drop = 0;
    while (drop < readings_.size() - 1
           && (readings_.size() - drop > max_ || readings_.at(drop).time.toMSecsSinceEpoch() < oldest))
        ++drop;
    if (drop > 0) {
        readings_.remove(0, drop);
        dropped_ += drop;
    }
    emit appended();
}

QString ReadingsCsvHeader()
{
    return CsvLine({QStringLiteral("time"), QStringLiteral("model"), QStringLiteral("address"), QStringLiteral("quantity"),
                    QStringLiteral("value"), QStringLiteral("unit")});
}

QString ReadingsCsvLine(const Reading &r)
{
    // The address and the value are numbers; the model text comes from the
    // radio and is a text whatever it holds.
    static const QList<int> numbers{2, 4};
    return CsvLine({IsoTime(r.time, true), r.model, r.address, QuantityName(r.quantity), r.value, QuantityUnit(r.quantity)},
                   numbers);
}

QByteArray ReadingsCsv(const QList<Reading> &readings)
{
    QByteArray bytes = QByteArray(kUtf8Bom) + ReadingsCsvHeader().toUtf8();
    for (const Reading &r : readings)
        bytes += ReadingsCsvLine(r).toUtf8();
    return bytes;
}

} // namespace qm
