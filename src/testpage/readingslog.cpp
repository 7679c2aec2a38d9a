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
    emit appended();
}

QByteArray ReadingsCsv(const QList<Reading> &readings)
{
    QString text = CsvLine({QStringLiteral("time"), QStringLiteral("model"), QStringLiteral("address"),
                            QStringLiteral("quantity"), QStringLiteral("value"), QStringLiteral("unit")});
    // The address and the value are numbers; the model text comes from the
    // radio and is a text whatever it holds.
    const QList<int> numbers{2, 4};
    for (const Reading &r : readings)
        text += CsvLine({IsoTime(r.time, true), r.model, r.address, QuantityName(r.quantity), r.value,
                         QuantityUnit(r.quantity)},
                        numbers);
    return QByteArray(kUtf8Bom) + text.toUtf8();
}

} // namespace qm
