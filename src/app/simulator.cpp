#include "app/simulator.h"

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace qm {

namespace {
const QByteArray kReady = "qmsim: ready ";

bool isProgram(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}
} // namespace

Simulator::Simulator(QObject *parent) : QObject(parent) {}

Simulator::~Simulator()
{
    stop();
}

QString Simulator::FindProgram()
{
    const QString env = qEnvironmentVariable("QMSIM");
    if (!env.isEmpty())
        return isProgram(env) ? env : QString();
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {dir.filePath(QStringLiteral("qmsim")), dir.filePath(QStringLiteral("../sim/qmsim"))})
        if (isProgram(candidate))
            return QDir::cleanPath(candidate);
    return {};
}

bool Simulator::isRunning() const
{
    return process_ && process_->state() != QProcess::NotRunning;
}

bool Simulator::start(const QString &family, const QStringList &extraArgs, int timeoutMs)
{
    stop();
    error_.clear();
    linkPath_.clear();
    stdout_.clear();
    ready_ = false;

    const QString exe = program();
    if (exe.isEmpty()) {
        error_ = tr("The simulator qmsim was not found (set QMSIM to its path).");
        return false;
    }
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/qmsim-XXXXXX"));
    if (!dir_->isValid()) {
        error_ = tr("Cannot create a directory for the simulator: %1").arg(dir_->errorString());
        dir_.reset();
        return false;
    }
    // QSerialPort locks by the device's file name, so the name must be unique
    // even when several simulators run at once.
    const QString link = dir_->filePath(QFileInfo(dir_->path()).fileName());

    process_ = std::make_unique<QProcess>();
    process_->setProgram(exe);
    process_->setArguments(QStringList{QStringLiteral("--family"), family, QStringLiteral("--link"), link} + extraArgs);
#ifdef Q_OS_LINUX
    // The simulated unit ends with the tool even when the tool is killed
    // and its destructor never runs.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    QProcess *p = process_.get();
    connect(p, &QProcess::readyReadStandardOutput, this, [this, p] { stdout_ += p->readAllStandardOutput(); });
    connect(p, &QProcess::readyReadStandardError, this, [p] {
        const QByteArray text = p->readAllStandardError().trimmed();
        if (!text.isEmpty())
            qWarning("%s", text.constData());
    });

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(p, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
    connect(p, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);

    QElapsedTimer clock;
    clock.start();
    p->start();
    while (!stdout_.contains('\n') && p->state() != QProcess::NotRunning && !clock.hasExpired(timeoutMs)) {
        timer.start(int(std::max<qint64>(1, timeoutMs - clock.elapsed())));
        loop.exec();
    }
    timer.stop();

    const qsizetype at = stdout_.indexOf(kReady);
    if (at >= 0 && stdout_.indexOf('\n', at) > at && p->state() == QProcess::Running) {
        ready_ = true;
        linkPath_ = link;
        connect(p, &QProcess::finished, this, [this](int code, QProcess::ExitStatus) {
            if (ready_)
                emit stopped(tr("The simulator ended (exit code %1).").arg(code));
        });
        return true;
    }

    if (p->error() == QProcess::FailedToStart)
        error_ = tr("Cannot start %1: %2").arg(exe, p->errorString());
    else if (p->state() == QProcess::NotRunning)
        error_ = tr("The simulator ended before it was ready (exit code %1).").arg(p->exitCode());
    else
        error_ = tr("The simulator did not get ready within %1 ms.").arg(timeoutMs);
    stop();
    return false;
}

void Simulator::stop()
{
    ready_ = false;
    if (process_) {
        process_->disconnect(this);
        if (process_->state() != QProcess::NotRunning) {
            process_->terminate();
            if (!process_->waitForFinished(2000)) {
                process_->kill();
                process_->waitForFinished(2000);
            }
        }
        process_.reset();
    }
    linkPath_.clear();
    dir_.reset();
}

} // namespace qm
