#include "register/recordspool.h"

#include "register/recordcodec.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace qm {

namespace {
const QString kRecord = QStringLiteral("record");
} // namespace

RecordSpool::RecordSpool(const QString &path)
    : path_(path)
{
    RegisterTarget target;
    target.path = path;
    connection_ = std::make_unique<SqlConnection>(target, QStringLiteral("spool"), Schema::Spool);
}

RecordSpool::~RecordSpool() = default;

bool RecordSpool::open(QString *error)
{
    if (connection_->open(error))
        return true;
    *error = QStringLiteral("spool %1: %2").arg(path_, *error);
    return false;
}

bool RecordSpool::keep(const QString &target, const QString &kind, const QJsonObject &payload, QString *error)
{
    if (!open(error))
        return false;
    return connection_->run(QStringLiteral("INSERT INTO spooled (target, kind, payload, time_utc) VALUES (?, ?, ?, ?)"),
                            {target, kind, QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact)),
                             UtcText(QDateTime::currentDateTimeUtc())},
                            error);
}

QList<RecordSpool::Entry> RecordSpool::entries(const QString &target, QString *error, bool *ok)
{
    *ok = false;
    QList<Entry> out;
    if (!QFileInfo::exists(path_)) {
        *ok = true;
        return out;
    }
    QSqlQuery query;
    if (!open(error)
        || !connection_->run(QStringLiteral("SELECT id, kind, payload FROM spooled WHERE target = ? ORDER BY id"), {target},
                             error, &query))
        return out;
    while (query.next())
        out.append({query.value(0).toLongLong(), query.value(1).toString(),
                    QJsonDocument::fromJson(query.value(2).toString().toUtf8()).object()});
    *ok = true;
    return out;
}

bool RecordSpool::remove(qint64 id, QString *error)
{
    return open(error) && connection_->run(QStringLiteral("DELETE FROM spooled WHERE id = ?"), {id}, error);
}

int RecordSpool::waiting(const QString &target, QString *error)
{
    if (!QFileInfo::exists(path_))
        return 0;
    QSqlQuery query;
    const bool all = target.isEmpty();
    if (!open(error)
        || !connection_->run(all ? QStringLiteral("SELECT COUNT(*) FROM spooled WHERE kind = ?")
                                 : QStringLiteral("SELECT COUNT(*) FROM spooled WHERE kind = ? AND target = ?"),
                             all ? QVariantList{kRecord} : QVariantList{kRecord, target}, error, &query)
        || !query.next())
        return -1;
    return query.value(0).toInt();
}

QList<std::pair<QString, int>> RecordSpool::waitingByTarget(QString *error)
{
    QList<std::pair<QString, int>> out;
    if (!QFileInfo::exists(path_))
        return out;
    QSqlQuery query;
    if (!open(error)
        || !connection_->run(
            QStringLiteral("SELECT target, COUNT(*) FROM spooled WHERE kind = ? GROUP BY target ORDER BY target"), {kRecord},
            error, &query))
        return out;
    while (query.next())
        out.append({query.value(0).toString(), query.value(1).toInt()});
    return out;
}

} // namespace qm
