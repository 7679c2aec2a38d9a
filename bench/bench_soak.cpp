// Soak: the window of bench_host with automatic reading on and the echo on
// against the paced simulated radio, for an hour; its resident memory is
// read from /proc/PID/status and printed every minute, with the readings
// the radio has answered so far. It must stay within 5 MB of the first
// minute's figure.
// With --trend the trend window is open instead of the echo: resident
// memory within 10 MB of the first minute (the readings log grows by some
// 12000 readings an hour), and the CPU time from the end of the first
// minute on under 2 % of a core.
//
//   bench_soak [MINUTES] [--trend]   (60 minutes when not given)
#include "app/simulator.h"
#include "benchkit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace {
constexpr double kDriftTargetMB = 5.0;
constexpr double kTrendDriftTargetMB = 10.0;
constexpr double kTrendCpuTargetPercent = 2.0;

qint64 AnsweredReadings(const QString &log)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 count = 0;
    // Answers to the four readings: command bytes D2, D4, D8, DA.
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("tx 96 ") && QByteArrayList{"D2", "D4", "D8", "DA"}.contains(line.mid(12, 2)))
            ++count;
    return count;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool trend = args.removeAll(QStringLiteral("--trend")) > 0;
    const int minutes = args.isEmpty() ? 60 : std::max(2, args.first().toInt());
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("radio.log"));
    qm::Simulator radio;
    radio.setProgram(QStringLiteral(QMSIM_PATH));
    if (!radio.start(QStringLiteral("dk618"), {QStringLiteral("--pace"), QStringLiteral("--log"), log})) {
        bench::Note("bench_soak: qmsim: %s", qPrintable(radio.errorString()));
        return 1;
    }
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    host.setProcessEnvironment(env);
    host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    host.start(QStringLiteral(BENCH_HOST_PATH), {radio.linkPath(), trend ? QStringLiteral("--trend") : QStringLiteral("--echo")});
    QByteArray out;
    while (!out.contains("ready") && host.waitForReadyRead(20000))
        out += host.readAllStandardOutput();
    if (!out.contains("ready")) {
        bench::Note("bench_soak: bench_host did not start automatic reading");
        return 1;
    }

    const char *what = trend ? "the trend window open" : "the echo on";
    std::printf("soak: %d minutes of automatic reading with %s, started %s\n", minutes, what,
                qPrintable(QDateTime::currentDateTime().toString(Qt::ISODate)));
    std::printf("minute  resident MB  readings answered  CPU s\n");
    std::fflush(stdout);
    double first = 0, low = 1e9, high = 0;
    double firstCpu = 0, lastCpu = 0;
    QElapsedTimer clock;
    clock.start();
    for (int minute = 1; minute <= minutes; ++minute) {
        const qint64 due = qint64(minute) * 60000;
        while (clock.elapsed() < due && host.state() == QProcess::Running)
            QThread::msleep(std::min<qint64>(1000, due - clock.elapsed()));
        if (host.state() != QProcess::Running) {
            bench::Note("bench_soak: bench_host ended after %d minutes", minute - 1);
            return 1;
        }
        const double mb = double(bench::ResidentKiB(host.processId())) * 1024 / 1e6;
        const double cpu = bench::CpuSeconds(host.processId());
        if (minute == 1) {
            first = mb;
            firstCpu = cpu;
        }
        lastCpu = cpu;
        low = std::min(low, mb);
        high = std::max(high, mb);
        std::printf("%6d  %11.1f  %17lld  %5.1f\n", minute, mb, AnsweredReadings(log), cpu);
        std::fflush(stdout);
    }
    host.terminate();
    host.waitForFinished(5000);
    const double drift = std::max(high - first, first - low);
    const double target = trend ? kTrendDriftTargetMB : kDriftTargetMB;
    bool pass = bench::Result(QStringLiteral("Soak, %1 min automatic reading with %2").arg(minutes).arg(trend ? "trend" : "echo"),
                              QStringLiteral("first minute %1 MB, %2 to %3 MB").arg(first, 0, 'f', 1).arg(low, 0, 'f', 1).arg(high, 0, 'f', 1),
                              QStringLiteral("within %1 MB of the first minute").arg(target), drift <= target);
    if (trend) {
        const double percent = (lastCpu - firstCpu) * 100.0 / (double(minutes - 1) * 60.0);
        pass = bench::Result(QStringLiteral("CPU, minutes 2 to %1, automatic reading with trend").arg(minutes),
                             QStringLiteral("%1 %").arg(percent, 0, 'f', 2),
                             QStringLiteral("< %1 %").arg(kTrendCpuTargetPercent), percent < kTrendCpuTargetPercent)
            && pass;
    }
    return pass ? 0 : 1;
}
