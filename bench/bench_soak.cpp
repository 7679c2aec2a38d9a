// Soak: the window of bench_host with automatic reading on and the echo on
// against the paced simulated radio, for an hour; its resident memory is
// read from /proc/PID/status and printed every minute, with the readings
// the radio has answered so far. It must stay within 5 MB of the first
// minute's figure.
//
//   bench_soak [MINUTES]   (60 when not given)
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
    const int minutes = argc > 1 ? std::max(2, QByteArray(argv[1]).toInt()) : 60;
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
    host.start(QStringLiteral(BENCH_HOST_PATH), {radio.linkPath(), QStringLiteral("--echo")});
    QByteArray out;
    while (!out.contains("ready") && host.waitForReadyRead(20000))
        out += host.readAllStandardOutput();
    if (!out.contains("ready")) {
        bench::Note("bench_soak: bench_host did not start automatic reading");
        return 1;
    }

    std::printf("soak: %d minutes of automatic reading with the echo on, started %s\n", minutes,
                qPrintable(QDateTime::currentDateTime().toString(Qt::ISODate)));
    std::printf("minute  resident MB  readings answered  CPU s\n");
    std::fflush(stdout);
    double first = 0, low = 1e9, high = 0;
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
        if (minute == 1)
            first = mb;
        low = std::min(low, mb);
        high = std::max(high, mb);
        std::printf("%6d  %11.1f  %17lld  %5.1f\n", minute, mb, AnsweredReadings(log), bench::CpuSeconds(host.processId()));
        std::fflush(stdout);
    }
    host.terminate();
    host.waitForFinished(5000);
    const double drift = std::max(high - first, first - low);
    return bench::Result(QStringLiteral("Soak, %1 min automatic reading with echo").arg(minutes),
                         QStringLiteral("first minute %1 MB, %2 to %3 MB").arg(first, 0, 'f', 1).arg(low, 0, 'f', 1).arg(high, 0, 'f', 1),
                         QStringLiteral("within %1 MB of the first minute").arg(kDriftTargetMB), drift <= kDriftTargetMB)
        ? 0
        : 1;
}
