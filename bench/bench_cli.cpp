// The command line as a whole process against simulated units that pace
// their answers at their line rate (qmsim --pace):
// - qmset read of each family: at most the process's start-up (qmset
//   --version) plus the exchange's tick floor plus 100 ms;
// - qmset detect of a data radio at the last setting tried (19200 bit/s,
//   odd parity): at most 9 s; at its usual line (19200, none): under 0.5 s;
// - qmset batch: the tool's own time per unit (answer seen to report line
//   written, write and read back) at most the two exchanges' floors plus
//   150 ms.
#include "benchkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {

constexpr int kTurnaroundMs = 2;

QProcess *startSim(QTemporaryDir &dir, const QString &family, const QStringList &line, QString *link, QString *log)
{
    *link = dir.filePath(family + QStringLiteral(".tty"));
    *log = dir.filePath(family + QStringLiteral(".log"));
    auto *p = new QProcess;
    p->start(QStringLiteral(QMSIM_PATH), QStringList{"--family", family, "--link", *link, "--pace", "--delay-ms",
                                                     QString::number(kTurnaroundMs), "--log", *log} + line);
    if (!p->waitForReadyRead(5000)) {
        bench::Note("bench_cli: qmsim %s did not start", qPrintable(family));
        delete p;
        return nullptr;
    }
    return p;
}

void stop(QProcess *p)
{
    p->terminate();
    p->waitForFinished(3000);
    delete p;
}

// Wall time of one qmset run in ms; negative when it fails.
double timed(const QStringList &args, int expectCode = 0)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(QMSET_PATH), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != expectCode) {
        bench::Note("bench_cli: qmset %s: exit %d: %s", qPrintable(args.join(' ')), p.exitCode(), p.readAllStandardError().constData());
        return -1;
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double median(const QStringList &args, int runs)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t = timed(args);
        if (t < 0)
            return -1;
        times << t;
    }
    return bench::Median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    bool allPass = true;
    const double startup = median({QStringLiteral("--version")}, 10);
    bench::Note("bench_cli: start-up %.0f ms", startup);

    struct Unit {
        const char *family;
        QStringList line;
        double byteMs;
    };
    const Unit units[] = {{"dk618", {}, 10000.0 / 19200}, {"mlb4800", {}, 10000.0 / 19200}, {"mlr4800", {}, 11000.0 / 1200}};
    for (const Unit &u : units) {
        QString link, log;
        QProcess *sim = startSim(dir, QLatin1String(u.family), u.line, &link, &log);
        if (!sim)
            return 1;
        const QStringList args{"read", "--family", QLatin1String(u.family), "--port", link};
        timed(args);
        const bench::Floor floor = bench::FloorOf(bench::ParseTraffic(readAll(log)), u.byteMs, kTurnaroundMs);
        const double t = median(args, 10);
        stop(sim);
        const double target = startup + floor.ticks * 100.0 + 100;
        allPass &= bench::Result(QStringLiteral("qmset read %1 (floor %2 ms)").arg(QLatin1String(u.family)).arg(floor.ticks * 100),
                                 QStringLiteral("%1 ms").arg(t, 0, 'f', 0), QStringLiteral("<= %1 ms").arg(target, 0, 'f', 0),
                                 t > 0 && t <= target);
    }

    for (const auto &[parity, runs, targetMs, name] :
         {std::tuple{"odd", 3, 9000.0, "qmset detect at 19200 odd"}, std::tuple{"none", 10, 500.0, "qmset detect at 19200 none"}}) {
        QString link, log;
        QProcess *sim = startSim(dir, QStringLiteral("dk618"), {"--rate", "19200", "--parity", QLatin1String(parity)}, &link, &log);
        if (!sim)
            return 1;
        const double t = median({"detect", "--port", link}, runs);
        stop(sim);
        allPass &= bench::Result(QLatin1String(name), QStringLiteral("%1 ms").arg(t, 0, 'f', 0),
                                 QString::fromLatin1(targetMs > 1000 ? "<= %1 ms" : "< %1 ms").arg(targetMs, 0, 'f', 0),
                                 t > 0 && (targetMs > 1000 ? t <= targetMs : t < targetMs));
    }

    {
        QString link, log;
        QProcess *sim = startSim(dir, QStringLiteral("dk618"), {}, &link, &log);
        if (!sim)
            return 1;
        const QString in = dir.filePath(QStringLiteral("in.ini"));
        QFile file(in);
        file.open(QIODevice::WriteOnly);
        file.write("[File_DK618]\r\n\xC9\xE8\xB1\xB8\xB5\xD8\xD6\xB7=5\r\n\xC9\xE8\xB1\xB8\xCD\xA8\xD1\xB6\xCB\xD9\xC2\xCA=19200\r\n");
        file.close();
        const QString report = dir.filePath(QStringLiteral("report.csv"));
        QList<double> own, floors;
        for (int run = 0; run < 5; ++run) {
            QFile::remove(report);
            QFile::resize(log, 0);
            QProcess batch;
            batch.start(QStringLiteral(QMSET_PATH), {"batch", "--family", "dk618", "--port", link, "--in", in, "--allow-defaults", "--report", report});
            // Running, not only starting: the Ctrl+C below goes to its pid.
            batch.waitForStarted();
            QElapsedTimer clock;
            clock.start();
            while (readAll(report).count('\n') < 2 && clock.elapsed() < 20000)
                QThread::msleep(10);
            if (batch.state() == QProcess::Running && batch.processId() > 0)
                ::kill(pid_t(batch.processId()), SIGINT);
            batch.waitForFinished(5000);
            const QList<QByteArray> lines = readAll(report).trimmed().split('\n');
            const QList<QByteArray> cells = lines.value(1).trimmed().split(',');
            const bench::Traffic traffic = bench::ParseTraffic(readAll(log));
            bench::Traffic unit;
            unit.steps = traffic.steps.mid(1, 10); // after the probe that found it: the write, the read back
            if (cells.value(5) != "ok" || unit.steps.size() != 10) {
                bench::Note("bench_cli: batch run %d: %s", run, lines.value(1).constData());
                own.clear();
                break;
            }
            own << cells.value(7).toDouble();
            floors << bench::FloorOf(unit, 10000.0 / 19200, kTurnaroundMs).ticks * 100.0;
        }
        stop(sim);
        const double t = bench::Median(own);
        const double floor = bench::Median(floors);
        allPass &= bench::Result(QStringLiteral("qmset batch, own time per unit (floors %1 ms)").arg(floor, 0, 'f', 0),
                                 QStringLiteral("%1 ms").arg(t, 0, 'f', 0), QStringLiteral("<= %1 ms").arg(floor + 150, 0, 'f', 0),
                                 !own.isEmpty() && t <= floor + 150);
    }
    return allPass ? 0 : 1;
}
