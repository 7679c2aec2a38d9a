// Exchange times of the real window against the simulated units on pseudo
// terminals, each unit pacing its answers at its own line rate (--pace): from
// the click to the success text in the monitor, 20 runs of each exchange.
//
// The click is made right after a tick of the family's exchange timer. Each
// request then goes out at a tick and its reply is taken at the first tick
// after it is complete, so every step takes the whole ticks its bytes (and
// the unit's turn-around) need on the line, at least one: that sum is the
// floor. The current-channel-only exchanges of the central unit send their
// first frame at the first tick after the click, one tick more.
#include "app/mainform.h"
#include "app/simulator.h"
#include "benchkit.h"
#include "windowrun.h"
#include "common/errors.h"
#include "common/fieldaccess.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cmath>
#include <map>
#include <memory>

namespace {

constexpr int kRuns = 20;
constexpr int kTickMs = 100;
constexpr int kTurnaroundMs = 2; // the simulated unit's delay before it answers
constexpr double kMarginMs = 50;

enum class Family { Radio, Central, Subscriber };

struct Unit {
    Family family;
    const char *name; // qmsim family
    qint32 rate;
    const char *parity;
    int bitsPerByte;
};

const Unit kUnits[] = {
    {Family::Radio, "dk618", 19200, "none", 10},
    {Family::Central, "mlb4800", 19200, "none", 10},
    {Family::Subscriber, "mlr4800", 1200, "even", 11},
};

struct Exchange {
    const char *figure;
    Family family;
    const char *timer;
    const char *button;
    bool currentOnly; // the central unit's Mlb4800_Operate
    bool read;
};

const Exchange kExchanges[] = {
    {"DK618 read", Family::Radio, "Timer3", "Dk618_Read_Data", false, true},
    {"DK618 write", Family::Radio, "Timer3", "Dk618_Write_Data", false, false},
    {"MLB4800 read", Family::Central, "Timer1", "Mlb4800_ReadData", false, true},
    {"MLB4800 write", Family::Central, "Timer1", "Mlb4800_WriteData", false, false},
    {"MLB4800 read, current channel", Family::Central, "Timer1", "Mlb4800_ReadData", true, true},
    {"MLB4800 write, current channel", Family::Central, "Timer1", "Mlb4800_WriteData", true, false},
    {"MLR4800 read", Family::Subscriber, "Timer2", "Mlr4800_ReadData", false, true},
    {"MLR4800 write", Family::Subscriber, "Timer2", "Mlr4800_WriteData", false, false},
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList errors;
    qm::SetErrorSink([&errors](const QString &message) { errors << message; });

    // One paced unit per family; COM1 follows the family page, as in
    // simulate mode.
    QTemporaryDir dir;
    std::map<Family, std::unique_ptr<qm::Simulator>> sims;
    std::map<Family, QString> logs;
    qm::MainFormOptions options;
    for (const Unit &unit : kUnits) {
        auto sim = std::make_unique<qm::Simulator>();
        sim->setProgram(QStringLiteral(QMSIM_PATH));
        const QString log = dir.filePath(QStringLiteral("%1.log").arg(QLatin1String(unit.name)));
        const QStringList args{"--pace", "--delay-ms", QString::number(kTurnaroundMs), "--rate", QString::number(unit.rate),
                               "--parity", QLatin1String(unit.parity), "--log", log};
        if (!sim->start(QLatin1String(unit.name), args)) {
            bench::Note("bench_exchange: qmsim %s: %s", unit.name, qPrintable(sim->errorString()));
            return 1;
        }
        options.simulatedUnits.insert(QLatin1String(unit.name), sim->linkPath());
        logs[unit.family] = log;
        sims[unit.family] = std::move(sim);
    }
    options.portMap.insert(QStringLiteral("COM1"), options.simulatedUnits.value(QStringLiteral("dk618")));
    bench::RecordingPrompts prompts;
    options.prompts = &prompts;
    qm::TMainForm form(options);
    form.show();
    bench::Settle(200);

    bool allPass = true;
    std::optional<Family> shown;
    for (const Exchange &ex : kExchanges) {
        if (shown != ex.family) {
            switch (ex.family) {
            case Family::Radio: form.DataTransClick(); break;
            case Family::Central: form.MLB4800Click(); break;
            case Family::Subscriber: form.MLR4800Click(); break;
            }
            shown = ex.family;
            bench::Settle(200);
        }
        if (ex.family == Family::Central)
            form.fields().setChecked(QStringLiteral("Mlb4800_Operate"), ex.currentOnly);
        const Unit &unit = *std::find_if(std::begin(kUnits), std::end(kUnits), [&](const Unit &u) { return u.family == ex.family; });
        const double byteMs = double(unit.bitsPerByte) * 1000.0 / unit.rate;
        auto *timer = form.findChild<QTimer *>(QLatin1String(ex.timer));
        auto *button = form.findChild<QAbstractButton *>(QLatin1String(ex.button));

        QList<double> times;
        QString why;
        double lineMs = 0, floorMs = 0;
        qsizetype steps = 0;
        for (int run = 0; run < kRuns && why.isEmpty(); ++run) {
            const qint64 logAt = bench::FileSize(logs[ex.family]);
            prompts.messages.clear();
            errors.clear();
            const auto ms = bench::RunOnce(form, timer, button, ex.read, why);
            bench::Settle(30);
            if (!prompts.messages.isEmpty())
                why = prompts.messages.join(QLatin1Char(' '));
            if (!errors.isEmpty())
                why = errors.join(QLatin1Char(' '));
            if (!ms || !why.isEmpty())
                break;
            const bench::Traffic traffic = bench::ParseTraffic(bench::LogSince(logs[ex.family], logAt));
            if (traffic.unanswered || traffic.steps.isEmpty()) {
                why = QStringLiteral("a request went unanswered");
                break;
            }
            // The first frame of a current-channel-only exchange waits for a
            // tick of its own.
            const bench::Floor floor = bench::FloorOf(traffic, byteMs, kTurnaroundMs, ex.currentOnly ? 1 : 0);
            if (run > 0 && (traffic.steps.size() != steps || std::abs(floor.lineMs - lineMs) > 0.01)) {
                why = QStringLiteral("the traffic differs from run to run");
                break;
            }
            steps = traffic.steps.size();
            lineMs = floor.lineMs;
            floorMs = floor.ticks * kTickMs;
            times << *ms;
        }
        const double median = bench::Median(times);
        const QString figure = QStringLiteral("%1 (%2 steps, line %3 ms, floor %4 ms)")
                                   .arg(QLatin1String(ex.figure))
                                   .arg(steps)
                                   .arg(lineMs, 0, 'f', 0)
                                   .arg(floorMs, 0, 'f', 0);
        if (!why.isEmpty()) {
            bench::Note("bench_exchange: %s: %s", ex.figure, qPrintable(why));
            allPass &= bench::Result(figure, QStringLiteral("failed: %1").arg(why), QStringLiteral("<= floor + 50 ms"), false);
            continue;
        }
        std::sort(times.begin(), times.end());
        bench::Note("bench_exchange: %s: %d runs, min %.1f ms, median %.1f ms, max %.1f ms", ex.figure, int(times.size()),
                    times.first(), median, times.last());
        allPass &= bench::Result(figure, QStringLiteral("%1 ms").arg(median, 0, 'f', 0),
                                 QStringLiteral("<= %1 ms").arg(floorMs + kMarginMs, 0, 'f', 0), median <= floorMs + kMarginMs);
    }
    return allPass ? 0 : 1;
}
