#pragma once
// One connection to the register's database, opened by a name of its own
// for the thread that uses it (Qt SQL connections belong to one thread),
// and the few places where SQLite and PostgreSQL need different words.
// Every other statement is the same text on both engines, with values only
// ever bound, never written into it.

#include "register/registertarget.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace qm {

// Where the two engines differ. Statements write {id} for the key column
// and {lock} after a SELECT of rows that a transaction takes for itself.
struct SqlDialect {
    QString driver;        // Qt SQL driver
    QString idColumn;      // an automatically numbered primary key
    QString beginWrite;    // a transaction that writes
    QString rowLock;       // SQLite's write transaction locks the file anyway
    QString migrationLock; // stations opening a new database at once
    QStringList onOpen;    // run on every new connection
    QString connectOptions;
};
const SqlDialect &DialectOf(RegisterTarget::Engine engine);

// The tables a database holds: the register of units, or the local spool
// of what waits for a server.
enum class Schema { Register, Spool };

class SqlConnection {
public:
    // role tells the connection's name apart ("register", "history").
    SqlConnection(const RegisterTarget &target, const QString &role, Schema schema = Schema::Register);
    ~SqlConnection();
    SqlConnection(const SqlConnection &) = delete;
    SqlConnection &operator=(const SqlConnection &) = delete;

    const RegisterTarget &target() const { return target_; }
    const SqlDialect &dialect() const { return dialect_; }
    Schema schema() const { return schema_; }
    // Opens the database (a SQLite file's folder is made) and brings its
    // tables up to the schema version given (0: the newest); false with the
    // reason. Open already: true at once.
    bool open(QString *error, int schema = 0);
    bool isOpen() const;
    void close();

    // A statement with {id} and {lock} put in for this engine, prepared.
    QSqlQuery prepare(const QString &statement);
    // Runs a prepared statement; false with the driver's reason in *error.
    // A connection that broke is closed, so the next open() starts anew.
    bool exec(QSqlQuery &query, QString *error);
    // Runs statement with values bound in order.
    bool run(const QString &statement, const QVariantList &values, QString *error, QSqlQuery *result = nullptr);

    bool begin(QString *error);
    bool commit(QString *error);
    void rollback();

    QSqlDatabase database() const;

private:
    QString sqlText(const QString &statement) const;
    bool failed(const QSqlQuery &query, QString *error);

    RegisterTarget target_;
    const SqlDialect &dialect_;
    Schema schema_;
    QString name_;
};

// The newest schema version this program knows.
int LatestSchemaVersion(Schema schema = Schema::Register);
// Brings the open connection's tables up to version upTo (the newest when
// 0), each migration in the transaction that also moves the version. A
// database of a newer schema than this program knows is refused.
bool Migrate(SqlConnection &connection, QString *error, int upTo = 0);
// The schema version the database holds; -1 with the reason when it
// cannot be read.
int SchemaVersion(SqlConnection &connection, QString *error);

} // namespace qm
