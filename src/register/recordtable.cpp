#include "register/recordtable.h"

#include "common/csvtext.h"
#include "register/recordcodec.h"

namespace qm {

QString LocalTimeText(const UnitRecord &record)
{
    const QDateTime local = record.time.toOffsetFromUtc(record.utcOffset);
    const int minutes = std::abs(record.utcOffset) / 60;
    return QStringLiteral("%1 %2%3:%4")
        .arg(local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), record.utcOffset < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString ValuesText(const UnitRecord &record)
{
    QStringList parts;
    for (const auto &[key, value] : record.values)
        parts << QStringLiteral("%1=%2").arg(key, value);
    return parts.join(QStringLiteral("; "));
}

QString DifferencesText(const UnitRecord &record)
{
    QStringList parts;
    for (const FieldDifference &d : record.differences)
        parts << QStringLiteral("%1: %2 -> %3").arg(d.key, d.a, d.b);
    return parts.join(QStringLiteral("; "));
}

bool ParseTimeBound(const QString &text, bool upper, QDateTime *bound)
{
    const QString t = text.trimmed();
    const QDate date = QDate::fromString(t, Qt::ISODate);
    if (date.isValid() && t.size() == 10) {
        *bound = QDateTime(upper ? date.addDays(1) : date, QTime(0, 0));
        return true;
    }
    QDateTime time = QDateTime::fromString(QString(t).replace(QLatin1Char(' '), QLatin1Char('T')), Qt::ISODate);
    if (!time.isValid())
        return false;
    *bound = upper ? time.addMSecs(time.time().msec() == 0 ? 1000 : 1) : time;
    return true;
}

QStringList RecordCsvHeader()
{
    return {QStringLiteral("time"),   QStringLiteral("zone"),   QStringLiteral("station"), QStringLiteral("operator"),
            QStringLiteral("port"),   QStringLiteral("family"), QStringLiteral("model"),   QStringLiteral("address"),
            QStringLiteral("action"), QStringLiteral("result"), QStringLiteral("detail"),  QStringLiteral("differences"),
            QStringLiteral("backup"), QStringLiteral("values")};
}

QStringList RecordCsvCells(const UnitRecord &r)
{
    // ISO 8601 with the station's offset, as the other CSV files have it.
    return {r.time.toOffsetFromUtc(r.utcOffset).toString(Qt::ISODateWithMs), r.zone, r.station, r.operatorName, r.port,
            r.family, r.model, r.address, r.action, r.result, r.detail, DifferencesText(r), r.backupFile, ValuesText(r)};
}

QByteArray RecordsCsv(const QList<UnitRecord> &records)
{
    QString text = CsvLine(RecordCsvHeader());
    for (const UnitRecord &r : records)
        text += CsvLine(RecordCsvCells(r));
    return QByteArray(kUtf8Bom) + text.toUtf8();
}

} // namespace qm
