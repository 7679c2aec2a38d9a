// Start-up time of qmset, measured from outside: from starting the process
// to the "shown" line it prints once its window has painted itself for the
// first time (QMSET_REPORT_SHOWN=quit, which then ends it). Offscreen, COM1
// on a pseudo terminal so no real device is probed. One run to warm the
// caches, then 20; the median. The log also gets the median CPU time of a
// run (all threads, to the end that follows at once), which other work on
// the machine affects less than the wall time.
#include "benchkit.h"
#include "ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <sys/resource.h>

namespace {
constexpr int kRuns = 20;
constexpr double kTargetMs = 150;

// CPU time of the children waited for so far, in milliseconds.
double ChildrenCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    PtyPair pty;
    if (!pty.isOpen()) {
        bench::Note("bench_startup: no pseudo terminal");
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QMSET_REPORT_SHOWN"), QStringLiteral("quit"));
    const QStringList args{QStringLiteral("--port"), QStringLiteral("COM1=") + pty.slavePath()};

    QList<double> times, cpu;
    for (int run = 0; run <= kRuns; ++run) {
        const double cpuBefore = ChildrenCpuMs();
        QProcess qmset;
        qmset.setProcessEnvironment(env);
        qmset.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        qmset.start(QStringLiteral(QMSET_PATH), args);
        QByteArray out;
        while (!out.contains("shown") && qmset.waitForReadyRead(10000))
            out += qmset.readAllStandardOutput();
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        qmset.waitForFinished(10000);
        if (!out.contains("shown")) {
            bench::Note("bench_startup: qmset did not report its window");
            return bench::Result(QStringLiteral("Start-up to window shown, median of %1").arg(kRuns), QStringLiteral("failed"),
                                 QStringLiteral("<= %1 ms").arg(kTargetMs), false)
                ? 0
                : 1;
        }
        if (run > 0) {
            times << ms;
            cpu << ChildrenCpuMs() - cpuBefore;
        }
    }
    const double median = bench::Median(times);
    std::sort(times.begin(), times.end());
    bench::Note("bench_startup: min %.1f ms, median %.1f ms, max %.1f ms; CPU median %.1f ms", times.first(), median,
                times.last(), bench::Median(cpu));
    return bench::Result(QStringLiteral("Start-up to window shown, median of %1").arg(kRuns),
                         QStringLiteral("%1 ms").arg(median, 0, 'f', 0),
                         QStringLiteral("<= %1 ms").arg(kTargetMs), median <= kTargetMs)
        ? 0
        : 1;
}
