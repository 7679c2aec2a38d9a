#include "register/registertarget.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

namespace qm {

namespace {
QString dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}
} // namespace

QString DefaultRegisterPath()
{
    return QDir(dataFolder()).filePath(QStringLiteral("register.sqlite"));
}

QString DefaultSpoolPath()
{
    return QDir(dataFolder()).filePath(QStringLiteral("register-spool.sqlite"));
}

QString RegisterTarget::display() const
{
    if (engine == Engine::Sqlite)
        return path;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

RegisterTarget RegisterTarget::local()
{
    RegisterTarget t;
    t.path = DefaultRegisterPath();
    return t;
}

bool RegisterTarget::parse(const QString &text, RegisterTarget *target, QString *error)
{
    const QString trimmed = text.trimmed();
    RegisterTarget t;
    if (trimmed.startsWith(QLatin1String("postgresql://")) || trimmed.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(trimmed, QUrl::StrictMode);
        const QString database = url.path().mid(1);
        if (!url.isValid() || url.host().isEmpty() || url.userName().isEmpty() || database.isEmpty()
            || database.contains(QLatin1Char('/'))) {
            *error = QStringLiteral("not a database URL: '%1' (postgresql://USER@HOST[:PORT]/DB)").arg(trimmed);
            return false;
        }
        if (url.hasQuery() || url.hasFragment()) {
            *error = QStringLiteral("a database URL takes no options: '%1'").arg(trimmed);
            return false;
        }
        t.engine = Engine::Postgres;
        t.host = url.host();
        t.port = url.port(5432);
        t.user = url.userName();
        t.password = url.password();
        t.database = database;
    } else if (trimmed.startsWith(QLatin1String("sqlite:"))) {
        t.path = trimmed.mid(7);
        if (t.path.startsWith(QLatin1String("//")))
            t.path = t.path.mid(2);
    } else if (trimmed.contains(QLatin1String("://"))) {
        *error = QStringLiteral("unknown database kind: '%1' (postgresql://USER@HOST[:PORT]/DB or a SQLite file)").arg(trimmed);
        return false;
    } else {
        t.path = trimmed;
    }
    if (t.engine == Engine::Sqlite && t.path.isEmpty()) {
        *error = QStringLiteral("no database named");
        return false;
    }
    *target = t;
    return true;
}

bool RegisterTarget::choose(const QString &text, RegisterTarget *target, QString *error)
{
    if (!text.isEmpty())
        return parse(text, target, error);
    const QString environment = qEnvironmentVariable("QMSET_DB");
    if (!environment.isEmpty()) {
        if (parse(environment, target, error))
            return true;
        *error = QStringLiteral("QMSET_DB: %1").arg(*error);
        return false;
    }
    *target = local();
    return true;
}

} // namespace qm
