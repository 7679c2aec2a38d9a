#include "register/sqlconnection.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QThread>

namespace qm {

namespace {

const SqlDialect kSqlite{
    QStringLiteral("QSQLITE"),
    QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"),
    // Takes the file's write lock at once: two processes handing out
    // addresses queue here instead of failing at their first write.
    QStringLiteral("BEGIN IMMEDIATE"),
    QString(),
    QString(),
    // LIKE as PostgreSQL has it (case-sensitive), so --model finds the
    // same records on both; a write-ahead log lets readers go on beside a
    // writer of another process.
    {QStringLiteral("PRAGMA case_sensitive_like = ON"), QStringLiteral("PRAGMA journal_mode = WAL"),
     QStringLiteral("PRAGMA foreign_keys = ON")},
    QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"),
};

const SqlDialect kPostgres{
    QStringLiteral("QPSQL"),
    QStringLiteral("BIGSERIAL PRIMARY KEY"),
    QStringLiteral("BEGIN"),
    QStringLiteral(" FOR UPDATE SKIP LOCKED"),
    QStringLiteral("SELECT pg_advisory_xact_lock(4270026)"),
    {QStringLiteral("SET client_min_messages = warning")},
    // A server that is away is noticed within seconds, not minutes.
    QStringLiteral("connect_timeout=3"),
};

QAtomicInt gConnectionCount;

struct Migration {
    int version;
    QStringList statements;
};

// Numbered migrations; a released one is never changed, a new schema is a
// new number.
const QList<Migration> &registerMigrations()
{
    static const QList<Migration> list{
        {1,
         {QStringLiteral("CREATE TABLE unit_records ("
                         "id {id}, uid TEXT NOT NULL UNIQUE, time_utc TEXT NOT NULL, zone TEXT NOT NULL, "
                         "utc_offset INTEGER NOT NULL, station TEXT NOT NULL, operator_name TEXT NOT NULL, "
                         "port TEXT NOT NULL, family TEXT NOT NULL, model TEXT NOT NULL, address INTEGER, "
                         "address_text TEXT NOT NULL, action TEXT NOT NULL, result TEXT NOT NULL, detail TEXT NOT NULL, "
                         "field_values TEXT NOT NULL, differences TEXT NOT NULL, backup_file TEXT NOT NULL)"),
          QStringLiteral("CREATE INDEX unit_records_address ON unit_records (address, time_utc)"),
          QStringLiteral("CREATE INDEX unit_records_model ON unit_records (model, time_utc)"),
          QStringLiteral("CREATE INDEX unit_records_time ON unit_records (time_utc)")}},
        {2,
         {QStringLiteral("CREATE TABLE address_series ("
                         "id {id}, family TEXT NOT NULL, first_address INTEGER NOT NULL, step INTEGER NOT NULL, "
                         "next_address INTEGER NOT NULL, UNIQUE (family, first_address, step))"),
          QStringLiteral("CREATE TABLE address_grants ("
                         "id {id}, series_id BIGINT NOT NULL REFERENCES address_series (id), family TEXT NOT NULL, "
                         "address INTEGER NOT NULL, state TEXT NOT NULL, station TEXT NOT NULL, time_utc TEXT NOT NULL, "
                         "UNIQUE (family, address))"),
          QStringLiteral("CREATE INDEX address_grants_state ON address_grants (series_id, state, address)")}},
    };
    return list;
}

// Each entry is a record or an address's new state, as JSON, for one
// server (its display name).
const QList<Migration> &spoolMigrations()
{
    static const QList<Migration> list{
        {1,
         {QStringLiteral("CREATE TABLE spooled (id {id}, target TEXT NOT NULL, kind TEXT NOT NULL, "
                         "payload TEXT NOT NULL, time_utc TEXT NOT NULL)"),
          QStringLiteral("CREATE INDEX spooled_target ON spooled (target, id)")}},
    };
    return list;
}

const QList<Migration> &migrations(Schema schema)
{
    return schema == Schema::Spool ? spoolMigrations() : registerMigrations();
}

} // namespace

const SqlDialect &DialectOf(RegisterTarget::Engine engine)
{
    return engine == RegisterTarget::Engine::Postgres ? kPostgres : kSqlite;
}

SqlConnection::SqlConnection(const RegisterTarget &target, const QString &role, Schema schema)
    : target_(target)
    , dialect_(DialectOf(target.engine))
    , schema_(schema)
    , name_(QStringLiteral("qmset-%1-%2-%3")
                .arg(role)
                .arg(quintptr(QThread::currentThreadId()), 0, 16)
                .arg(gConnectionCount.fetchAndAddRelaxed(1)))
{
}

SqlConnection::~SqlConnection()
{
    close();
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase SqlConnection::database() const
{
    return QSqlDatabase::database(name_, false);
}

bool SqlConnection::isOpen() const
{
    return QSqlDatabase::contains(name_) && database().isOpen();
}

void SqlConnection::close()
{
    if (QSqlDatabase::contains(name_))
        database().close();
}

bool SqlConnection::open(QString *error, int schema)
{
    if (isOpen())
        return true;
    if (!QSqlDatabase::contains(name_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(dialect_.driver, name_);
        if (!db.isValid()) {
            *error = QStringLiteral("the Qt SQL driver %1 is not installed").arg(dialect_.driver);
            return false;
        }
        db.setConnectOptions(dialect_.connectOptions);
        if (target_.isServer()) {
            db.setHostName(target_.host);
            db.setPort(target_.port);
            db.setUserName(target_.user);
            db.setPassword(target_.password);
            db.setDatabaseName(target_.database);
        } else {
            db.setDatabaseName(target_.path);
        }
    }
    if (!target_.isServer()) {
        const QString folder = QFileInfo(target_.path).absolutePath();
        if (!QDir().mkpath(folder)) {
            *error = QStringLiteral("cannot make the folder %1").arg(folder);
            return false;
        }
    }
    QSqlDatabase db = database();
    if (!db.open()) {
        *error = QStringLiteral("cannot open %1: %2").arg(target_.display(), db.lastError().text().trimmed());
        return false;
    }
    for (const QString &statement : dialect_.onOpen)
        if (!run(statement, {}, error))
            return false;
    if (!Migrate(*this, error, schema)) {
        close();
        return false;
    }
    return true;
}

QString SqlConnection::sqlText(const QString &statement) const
{
    QString text = statement;
    text.replace(QLatin1String("{id}"), dialect_.idColumn);
    text.replace(QLatin1String("{lock}"), dialect_.rowLock);
    return text;
}

QSqlQuery SqlConnection::prepare(const QString &statement)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(sqlText(statement));
    return query;
}

bool SqlConnection::exec(QSqlQuery &query, QString *error)
{
    return query.exec() || failed(query, error);
}

bool SqlConnection::failed(const QSqlQuery &query, QString *error)
{
    *error = query.lastError().text().trimmed();
    if (error->isEmpty())
        *error = QStringLiteral("the database did not take the statement");
    // A server that went away leaves a connection that only looks open;
    // when it cannot answer the simplest question, start anew next time.
    if (target_.isServer()) {
        QSqlQuery probe(database());
        if (!probe.exec(QStringLiteral("SELECT 1")))
            close();
    }
    return false;
}

bool SqlConnection::run(const QString &statement, const QVariantList &values, QString *error, QSqlQuery *result)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (values.isEmpty()) {
        // PostgreSQL prepares no transaction or schema statements: one
        // without values runs as it stands.
        if (!query.exec(sqlText(statement)))
            return failed(query, error);
    } else {
        query.prepare(sqlText(statement));
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!exec(query, error))
            return false;
    }
    if (result)
        *result = std::move(query);
    return true;
}

bool SqlConnection::begin(QString *error)
{
    return run(dialect_.beginWrite, {}, error);
}

bool SqlConnection::commit(QString *error)
{
    return run(QStringLiteral("COMMIT"), {}, error);
}

void SqlConnection::rollback()
{
    QString ignored;
    if (isOpen())
        run(QStringLiteral("ROLLBACK"), {}, &ignored);
}

int LatestSchemaVersion(Schema schema)
{
    return migrations(schema).constLast().version;
}

int SchemaVersion(SqlConnection &connection, QString *error)
{
    QSqlQuery query;
    if (!connection.run(QStringLiteral("SELECT version FROM schema_version"), {}, error, &query))
        return -1;
    return query.next() ? query.value(0).toInt() : 0;
}

bool Migrate(SqlConnection &connection, QString *error, int upTo)
{
    const int latest = LatestSchemaVersion(connection.schema());
    const int target = upTo > 0 ? upTo : latest;
    const SqlDialect &d = connection.dialect();
    if (!connection.begin(error))
        return false;
    const auto fail = [&](const QString &what) {
        *error = QStringLiteral("%1: %2").arg(what, *error);
        connection.rollback();
        return false;
    };
    if (!d.migrationLock.isEmpty() && !connection.run(d.migrationLock, {}, error))
        return fail(QStringLiteral("cannot lock the schema"));
    if (!connection.run(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"), {}, error))
        return fail(QStringLiteral("cannot make the schema version table"));
    QSqlQuery query;
    if (!connection.run(QStringLiteral("SELECT version FROM schema_version"), {}, error, &query))
        return fail(QStringLiteral("cannot read the schema version"));
    int version = 0;
    if (query.next()) {
        version = query.value(0).toInt();
    } else if (!connection.run(QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"), {}, error)) {
        return fail(QStringLiteral("cannot set the schema version"));
    }
    query.finish();
    if (version > latest) {
        connection.rollback();
        *error = QStringLiteral("%1 holds register schema %2; this qmset knows up to %3: use a newer qmset")
                     .arg(connection.target().display())
                     .arg(version)
                     .arg(latest);
        return false;
    }
    for (const Migration &m : migrations(connection.schema())) {
        if (m.version <= version || m.version > target)
            continue;
        for (const QString &statement : m.statements)
            if (!connection.run(statement, {}, error))
                return fail(QStringLiteral("migration %1").arg(m.version));
        if (!connection.run(QStringLiteral("UPDATE schema_version SET version = ?"), {m.version}, error))
            return fail(QStringLiteral("migration %1").arg(m.version));
    }
    return connection.commit(error) || fail(QStringLiteral("cannot commit the schema"));
}

} // namespace qm
