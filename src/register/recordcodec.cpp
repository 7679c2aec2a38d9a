#include "register/recordcodec.h"

#include <QSysInfo>
#include <QJsonDocument>
#include <QTimeZone>
#include <QUuid>

#include <unistd.h>
#include <pwd.h>

namespace qm {

QString UtcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime FromUtcText(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text, Qt::ISODate);
    return time.toUTC();
}

QJsonArray ValuesJson(const UnitRecord &record)
{
    QJsonArray out;
    for (const auto &[key, value] : record.values)
        out.append(QJsonArray{key, value});
    return out;
}

QJsonArray DifferencesJson(const QList<FieldDifference> &differences)
{
    QJsonArray out;
    for (const FieldDifference &d : differences)
        out.append(QJsonObject{{QStringLiteral("key"), d.key},
                               {QStringLiteral("name"), d.name},
                               {QStringLiteral("caption"), d.caption},
                               {QStringLiteral("a"), d.a},
                               {QStringLiteral("b"), d.b}});
    return out;
}

QList<std::pair<QString, QString>> ValuesOfJson(const QJsonArray &array)
{
    QList<std::pair<QString, QString>> out;
    for (const QJsonValue &entry : array) {
        const QJsonArray pair = entry.toArray();
        if (pair.size() == 2 && pair[0].isString() && pair[1].isString())
            out.append({pair[0].toString(), pair[1].toString()});
    }
    return out;
}

QList<FieldDifference> DifferencesOfJson(const QJsonArray &array)
{
    QList<FieldDifference> out;
    for (const QJsonValue &entry : array) {
        if (!entry.isObject())
            continue;
        const QJsonObject o = entry.toObject();
        out.append({o.value(QStringLiteral("name")).toString(), o.value(QStringLiteral("key")).toString(),
                    o.value(QStringLiteral("caption")).toString(), o.value(QStringLiteral("a")).toString(),
                    o.value(QStringLiteral("b")).toString()});
    }
    return out;
}

QString CompactJson(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QJsonArray ArrayOfJson(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).array();
}

QJsonObject RecordJson(const UnitRecord &r)
{
    return {{QStringLiteral("uid"), r.uid},
            {QStringLiteral("time"), UtcText(r.time)},
            {QStringLiteral("zone"), r.zone},
            {QStringLiteral("utc_offset"), r.utcOffset},
            {QStringLiteral("station"), r.station},
            {QStringLiteral("operator"), r.operatorName},
            {QStringLiteral("port"), r.port},
            {QStringLiteral("family"), r.family},
            {QStringLiteral("model"), r.model},
            {QStringLiteral("address"), r.address},
            {QStringLiteral("action"), r.action},
            {QStringLiteral("result"), r.result},
            {QStringLiteral("detail"), r.detail},
            {QStringLiteral("values"), ValuesJson(r)},
            {QStringLiteral("differences"), DifferencesJson(r.differences)},
            {QStringLiteral("backup"), r.backupFile}};
}

UnitRecord RecordOfJson(const QJsonObject &o)
{
    const auto text = [&](const char *name) { return o.value(QLatin1String(name)).toString(); };
    UnitRecord r;
    r.uid = text("uid");
    r.time = FromUtcText(text("time"));
    r.zone = text("zone");
    r.utcOffset = o.value(QStringLiteral("utc_offset")).toInt();
    r.station = text("station");
    r.operatorName = text("operator");
    r.port = text("port");
    r.family = text("family");
    r.model = text("model");
    r.address = text("address");
    r.action = text("action");
    r.result = text("result");
    r.detail = text("detail");
    r.values = ValuesOfJson(o.value(QStringLiteral("values")).toArray());
    r.differences = DifferencesOfJson(o.value(QStringLiteral("differences")).toArray());
    r.backupFile = text("backup");
    return r;
}

namespace {
QString userName()
{
    if (const passwd *pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}
} // namespace

void StampRecord(UnitRecord &record)
{
    if (record.uid.isEmpty())
        record.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!record.time.isValid()) {
        const QDateTime now = QDateTime::currentDateTime();
        record.time = now.toUTC();
        record.utcOffset = now.offsetFromUtc();
        record.zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    }
    if (record.station.isEmpty())
        record.station = QSysInfo::machineHostName();
    if (record.operatorName.isEmpty())
        record.operatorName = userName();
}

qint64 AddressNumber(const QString &address)
{
    bool ok = false;
    const qint64 n = address.trimmed().toLongLong(&ok);
    return ok && n >= 0 ? n : -1;
}

} // namespace qm
