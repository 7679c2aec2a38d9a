// A data radio through a device server: a real ser2net on 127.0.0.1 in
// front of a simulated radio that paces its answers at its line rate
// (qmsim --pace), reached through rfc2217://.
// - The window's data-radio read, 20 runs from the click to the success
//   text: at most its tick floor (from the radio's log, as bench_exchange
//   counts it) plus 50 ms.
// - qmset detect of a radio at 19200 bit/s odd parity, the last of the 21
//   settings, median of 3: at most 9 s, as on a local port.
#include "app/mainform.h"
#include "app/simulator.h"
#include "benchkit.h"
#include "common/errors.h"
#include "ser2netserver.h"
#include "windowrun.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int kRuns = 20;
constexpr int kTurnaroundMs = 2;
constexpr double kMarginMs = 50;
constexpr double kDetectMs = 9000;

// A paced radio with ser2net in front of it; false with a note.
bool StartRadio(qm::Simulator &sim, Ser2NetServer &server, const QStringList &line, const QString &log)
{
    sim.setProgram(QStringLiteral(QMSIM_PATH));
    if (!sim.start(QStringLiteral("dk618"), QStringList{"--pace", "--delay-ms", QString::number(kTurnaroundMs), "--log", log} + line)) {
        bench::Note("bench_network: qmsim: %s", qPrintable(sim.errorString()));
        return false;
    }
    if (!server.start({{.device = sim.linkPath()}})) {
        bench::Note("bench_network: ser2net: %s", qPrintable(server.errorString()));
        return false;
    }
    return true;
}

bool ReadThroughRfc2217(const QString &dir)
{
    const QString figure = QStringLiteral("DK618 read through RFC 2217");
    const QString log = dir + QStringLiteral("/read.log");
    qm::Simulator sim;
    Ser2NetServer server;
    if (!StartRadio(sim, server, {}, log))
        return bench::Result(figure, QStringLiteral("failed: no radio behind ser2net"), QStringLiteral("<= floor + 50 ms"), false);

    QStringList errors;
    qm::SetErrorSink([&errors](const QString &message) { errors << message; });
    bench::RecordingPrompts prompts;
    qm::MainFormOptions options;
    options.prompts = &prompts;
    options.portMap.insert(QStringLiteral("COM1"), server.url());
    qm::TMainForm form(options);
    form.show();
    bench::Settle(200);
    form.DataTransClick();
    bench::Settle(200);
    auto *timer = form.findChild<QTimer *>(QStringLiteral("Timer3"));
    auto *button = form.findChild<QAbstractButton *>(QStringLiteral("Dk618_Read_Data"));

    QList<double> times;
    QString why;
    double floorMs = 0;
    qsizetype steps = 0;
    for (int run = 0; run < kRuns && why.isEmpty(); ++run) {
        const qint64 logAt = bench::FileSize(log);
        const auto ms = bench::RunOnce(form, timer, button, true, why);
        bench::Settle(30);
        if (!prompts.messages.isEmpty())
            why = prompts.messages.join(QLatin1Char(' '));
        if (!errors.isEmpty())
            why = errors.join(QLatin1Char(' '));
        if (!ms || !why.isEmpty())
            break;
        const bench::Traffic traffic = bench::ParseTraffic(bench::LogSince(log, logAt));
        if (traffic.unanswered || traffic.steps.isEmpty()) {
            why = QStringLiteral("a request went unanswered");
            break;
        }
        steps = traffic.steps.size();
        floorMs = bench::FloorOf(traffic, 10000.0 / 19200, kTurnaroundMs).ticks * 100.0;
        times << *ms;
    }
    qm::SetErrorSink({});
    const QString named = QStringLiteral("%1 (%2 steps, floor %3 ms)").arg(figure).arg(steps).arg(floorMs, 0, 'f', 0);
    if (!why.isEmpty()) {
        bench::Note("bench_network: read: %s", qPrintable(why));
        return bench::Result(named, QStringLiteral("failed: %1").arg(why), QStringLiteral("<= floor + 50 ms"), false);
    }
    std::sort(times.begin(), times.end());
    const double median = bench::Median(times);
    bench::Note("bench_network: read: %d runs, min %.1f ms, median %.1f ms, max %.1f ms", int(times.size()), times.first(), median,
                times.last());
    return bench::Result(named, QStringLiteral("%1 ms").arg(median, 0, 'f', 0), QStringLiteral("<= %1 ms").arg(floorMs + kMarginMs, 0, 'f', 0),
                         median <= floorMs + kMarginMs);
}

bool DetectThroughRfc2217(const QString &dir)
{
    const QString figure = QStringLiteral("qmset detect through RFC 2217 at 19200 odd");
    const QString target = QStringLiteral("<= %1 ms").arg(kDetectMs, 0, 'f', 0);
    qm::Simulator sim;
    Ser2NetServer server;
    if (!StartRadio(sim, server, {"--rate", "19200", "--parity", "odd"}, dir + QStringLiteral("/detect.log")))
        return bench::Result(figure, QStringLiteral("failed: no radio behind ser2net"), target, false);
    QList<double> times;
    for (int run = 0; run < 3; ++run) {
        QProcess p;
        QElapsedTimer clock;
        clock.start();
        p.start(QStringLiteral(QMSET_PATH), {"detect", "--port", server.url()});
        const bool done = p.waitForFinished(60000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        const QByteArray out = p.readAllStandardOutput();
        if (!done || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !out.startsWith("19200 O ")) {
            bench::Note("bench_network: detect: exit %d: %s %s", p.exitCode(), out.constData(), p.readAllStandardError().constData());
            return bench::Result(figure, QStringLiteral("failed"), target, false);
        }
        times << ms;
    }
    const double median = bench::Median(times);
    return bench::Result(figure, QStringLiteral("%1 ms").arg(median, 0, 'f', 0), target, median <= kDetectMs);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bool allPass = ReadThroughRfc2217(dir.path());
    allPass &= DetectThroughRfc2217(dir.path());
    return allPass ? 0 : 1;
}
