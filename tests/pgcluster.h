#pragma once
// A throwaway PostgreSQL server for tests and benchmarks: a cluster made by
// initdb in a temporary folder, started by pg_ctl on a free port of
// 127.0.0.1 (its socket in that folder too), stopped and removed when the
// object goes. Run as root, the server's programs run as the `postgres`
// user (through runuser) and the folder belongs to it, as PostgreSQL
// refuses to run as root. The server trusts local connections: the user is
// "postgres", no password.
//
// stop() and start() again keep the cluster and its port, so a test can
// take the server away in the middle of a run and bring it back.
//
// Header only; links Qt Core and Qt SQL.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

class PgCluster {
public:
    // settings: server settings for every start ("fsync=off" and the like).
    explicit PgCluster(QStringList settings = {QStringLiteral("fsync=off"), QStringLiteral("synchronous_commit=off"),
                                               QStringLiteral("full_page_writes=off")})
        : settings_(std::move(settings))
    {
    }
    ~PgCluster()
    {
        stop();
    }
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    // Makes the cluster at the first call, then starts the server and waits
    // until it takes connections; false with the reason.
    bool start(QString *error)
    {
        if (running_)
            return true;
        if (!dir_ && !create(error))
            return false;
        QStringList options{QStringLiteral("-p"), QString::number(port_), QStringLiteral("-k"), dir_->path(),
                            QStringLiteral("-c"), QStringLiteral("listen_addresses=127.0.0.1")};
        for (const QString &setting : settings_)
            options << QStringLiteral("-c") << setting;
        if (!runTool(QStringLiteral("pg_ctl"),
                     {QStringLiteral("-D"), dataPath(), QStringLiteral("-l"), logPath(), QStringLiteral("-w"),
                      QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"), options.join(QLatin1Char(' ')),
                      QStringLiteral("start")},
                     error)) {
            *error += QStringLiteral("\n") + log();
            return false;
        }
        running_ = true;
        return true;
    }

    // Stops the server (fast: open connections are cut); the cluster stays.
    bool stop(QString *error = nullptr)
    {
        if (!running_)
            return true;
        QString why;
        const bool ok = runTool(QStringLiteral("pg_ctl"),
                                {QStringLiteral("-D"), dataPath(), QStringLiteral("-m"), QStringLiteral("fast"),
                                 QStringLiteral("-w"), QStringLiteral("stop")},
                                &why);
        if (ok)
            running_ = false;
        if (error)
            *error = why;
        return ok;
    }

    bool isRunning() const { return running_; }
    int port() const { return port_; }
    QString url(const QString &database) const
    {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(port_).arg(database);
    }

    // A new database (a name of lower-case letters, digits and '_').
    bool createDatabase(const QString &name, QString *error)
    {
        static const QRegularExpression identifier(QStringLiteral("^[a-z_][a-z0-9_]*$"));
        if (!identifier.match(name).hasMatch()) {
            *error = QStringLiteral("not a database name: %1").arg(name);
            return false;
        }
        const QString connection = QStringLiteral("pgcluster-") + QUuid::createUuid().toString(QUuid::Id128);
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(port_);
            db.setUserName(QStringLiteral("postgres"));
            db.setDatabaseName(QStringLiteral("postgres"));
            if (!db.open()) {
                *error = db.lastError().text();
            } else {
                QSqlQuery query(db);
                ok = query.exec(QStringLiteral("CREATE DATABASE %1").arg(name));
                if (!ok)
                    *error = query.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return ok;
    }

    // The server's log so far.
    QString log() const
    {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

private:
    QString dataPath() const { return dir_->filePath(QStringLiteral("data")); }
    QString logPath() const { return dir_ ? dir_->filePath(QStringLiteral("server.log")) : QString(); }

    static QString toolPath(const QString &tool)
    {
        // Debian keeps the server's programs out of PATH, by major version.
        QDir lib(QStringLiteral("/usr/lib/postgresql"));
        QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versions.begin(), versions.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
        for (const QString &v : versions) {
            const QString path = lib.filePath(v + QStringLiteral("/bin/") + tool);
            if (QFile::exists(path))
                return path;
        }
        return QStandardPaths::findExecutable(tool);
    }

    bool runTool(const QString &tool, const QStringList &arguments, QString *error) const
    {
        const QString path = toolPath(tool);
        if (path.isEmpty()) {
            *error = QStringLiteral("%1 not found (the Debian package postgresql)").arg(tool);
            return false;
        }
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        process.setProcessEnvironment(environment);
        // The postgres user may not enter the caller's folder.
        process.setWorkingDirectory(dir_ ? dir_->path() : QDir::tempPath());
        if (::geteuid() == 0)
            process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                                 QStringLiteral("--"), path} + arguments);
        else
            process.start(path, arguments);
        if (!process.waitForStarted(10000) || !process.waitForFinished(120000)) {
            *error = QStringLiteral("%1 did not run: %2").arg(tool, process.errorString());
            process.kill();
            return false;
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            *error = QStringLiteral("%1 failed (%2): %3").arg(tool).arg(process.exitCode()).arg(QString::fromLocal8Bit(process.readAll()));
            return false;
        }
        return true;
    }

    bool create(QString *error)
    {
        auto dir = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("qmset-pg-XXXXXX")));
        if (!dir->isValid()) {
            *error = QStringLiteral("no temporary folder: %1").arg(dir->errorString());
            return false;
        }
        if (::geteuid() == 0) {
            const passwd *pw = ::getpwnam("postgres");
            if (!pw) {
                *error = QStringLiteral("no user 'postgres' to run the server as (the Debian package postgresql makes it)");
                return false;
            }
            if (::chown(QFile::encodeName(dir->path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
                *error = QStringLiteral("cannot give %1 to the user postgres").arg(dir->path());
                return false;
            }
        }
        dir_ = std::move(dir);
        port_ = freePort();
        if (port_ <= 0) {
            *error = QStringLiteral("no free port on 127.0.0.1");
            dir_.reset();
            return false;
        }
        if (!runTool(QStringLiteral("initdb"),
                     {QStringLiteral("-D"), dataPath(), QStringLiteral("-U"), QStringLiteral("postgres"),
                      QStringLiteral("--auth=trust"), QStringLiteral("--encoding=UTF8"), QStringLiteral("--locale=C"),
                      QStringLiteral("-N")},
                     error)) {
            dir_.reset();
            return false;
        }
        return true;
    }

    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return -1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = -1;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    QStringList settings_;
    std::unique_ptr<QTemporaryDir> dir_;
    int port_ = 0;
    bool running_ = false;
};
