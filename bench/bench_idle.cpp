// What the running tool costs while it sits open, measured from outside
// through /proc/PID/stat and /proc/PID/status:
//  1. qmset itself, COM1 on a pseudo terminal nobody answers: resident memory
//     a second after the window is shown, then the CPU time it uses over the
//     measuring time with Timer1..Timer3 ticking and no exchange. (Timer4
//     runs only while automatic reading sends its readings.)
//  2. the window of bench_host with automatic reading on against the paced
//     simulated radio: all four timers run and a reading goes out every
//     300 ms; CPU time over the same measuring time.
//
//   bench_idle [SECONDS]   (60 when not given)
#include "app/simulator.h"
#include "benchkit.h"
#include "ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace {

constexpr double kCpuTargetPercent = 1.0;
constexpr double kRssTargetMB = 60.0;

// Starts program and waits for the line it prints when it is up.
bool StartAndWait(QProcess &process, const QString &program, const QStringList &args, const QByteArray &line)
{
    process.setProgram(program);
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains(line) && clock.elapsed() < 20000) {
        if (!process.waitForReadyRead(1000) && process.state() == QProcess::NotRunning)
            return false;
        out += process.readAllStandardOutput();
    }
    return out.contains(line);
}

// CPU time of pid over seconds of wall time, in percent of one core.
double CpuPercent(qint64 pid, int seconds)
{
    const double before = bench::CpuSeconds(pid);
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(unsigned(seconds));
    const double after = bench::CpuSeconds(pid);
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    if (before < 0 || after < 0)
        return -1;
    return (after - before) / wall * 100.0;
}

void Stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 60;
    const QString span = QStringLiteral("%1 s").arg(seconds);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    bool allPass = true;

    {
        PtyPair pty;
        QProcess qmset;
        env.insert(QStringLiteral("QMSET_REPORT_SHOWN"), QStringLiteral("stay"));
        qmset.setProcessEnvironment(env);
        if (!pty.isOpen()
            || !StartAndWait(qmset, QStringLiteral(QMSET_PATH), {QStringLiteral("--port"), QStringLiteral("COM1=") + pty.slavePath()},
                             "shown")) {
            bench::Note("bench_idle: qmset did not come up");
            return 1;
        }
        QThread::sleep(1);
        const double rssMB = double(bench::ResidentKiB(qmset.processId())) * 1024 / 1e6;
        allPass &= bench::Result(QStringLiteral("Resident memory after start-up"), QStringLiteral("%1 MB").arg(rssMB, 0, 'f', 1),
                                 QStringLiteral("< %1 MB").arg(kRssTargetMB), rssMB > 0 && rssMB < kRssTargetMB);
        const double cpu = CpuPercent(qmset.processId(), seconds);
        allPass &= bench::Result(QStringLiteral("Idle CPU over %1, Timer1..3, no exchange").arg(span),
                                 QStringLiteral("%1 %").arg(cpu, 0, 'f', 2), QStringLiteral("< %1 %").arg(kCpuTargetPercent),
                                 cpu >= 0 && cpu < kCpuTargetPercent);
        Stop(qmset);
    }

    {
        qm::Simulator radio;
        radio.setProgram(QStringLiteral(QMSIM_PATH));
        if (!radio.start(QStringLiteral("dk618"), {QStringLiteral("--pace")})) {
            bench::Note("bench_idle: qmsim: %s", qPrintable(radio.errorString()));
            return 1;
        }
        QProcess host;
        env.remove(QStringLiteral("QMSET_REPORT_SHOWN"));
        host.setProcessEnvironment(env);
        if (!StartAndWait(host, QStringLiteral(BENCH_HOST_PATH), {radio.linkPath()}, "ready")) {
            bench::Note("bench_idle: bench_host did not start automatic reading");
            return 1;
        }
        const double cpu = CpuPercent(host.processId(), seconds);
        allPass &= bench::Result(QStringLiteral("CPU over %1, Timer1..4, automatic reading").arg(span),
                                 QStringLiteral("%1 %").arg(cpu, 0, 'f', 2), QStringLiteral("< %1 %").arg(kCpuTargetPercent),
                                 cpu >= 0 && cpu < kCpuTargetPercent);
        Stop(host);
    }
    return allPass ? 0 : 1;
}
