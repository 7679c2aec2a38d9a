#pragma once
// The local spool: what could not reach the register's server waits here,
// in a SQLite file of the data folder, until the server is back. Each
// entry belongs to one server (by its display name) and is a record or an
// address's new state; entries leave the spool only once the server took
// them.

#include "common/unitrecord.h"
#include "register/sqlconnection.h"

#include <QJsonObject>
#include <QList>
#include <memory>

namespace qm {

class RecordSpool {
public:
    explicit RecordSpool(const QString &path);
    ~RecordSpool();

    QString path() const { return path_; }

    struct Entry {
        qint64 id = 0;
        QString kind; // "record" or "grant"
        QJsonObject payload;
    };
    bool keep(const QString &target, const QString &kind, const QJsonObject &payload, QString *error);
    // Entries for target, oldest first.
    QList<Entry> entries(const QString &target, QString *error, bool *ok);
    bool remove(qint64 id, QString *error);
    // Records waiting for target; for every server when target is empty.
    // -1 when the spool cannot be read. A spool that was never made holds
    // nothing.
    int waiting(const QString &target, QString *error);
    // Server and how many records wait for it, for each that has some.
    QList<std::pair<QString, int>> waitingByTarget(QString *error);

private:
    bool open(QString *error);

    QString path_;
    std::unique_ptr<SqlConnection> connection_;
};

} // namespace qm
