#pragma once
// A production station's cable as tests and benchmarks drive it: simulated
// units (the simulator's own models) answering a running `qmset batch` on
// the master side of a pseudo terminal, put on and taken off one after
// another as their report lines come in. Several drivers can be stepped in
// one loop, one per station.

#include "dk618model.h"
#include "mlb4800model.h"
#include "ptypair.h"
#include "simlink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>
#include <functional>
#include <memory>

// A unit as the driver puts it on the cable, and how it goes once its
// report line is in:
//   off:     taken off; the next goes on 3.5 s later (three probes missed)
//   flicker: misses two probes (line noise), answers three more, the run ends
//   swap:    misses one probe, then the next unit stands in its place
//   stay:    stays; the next goes on at once (Enter with --confirm)
//   next:    the next unit stands in its place as soon as this one has
//            answered the last request of its read-back
// The run ends after the last unit: Ctrl+C, or stdin closed with --confirm.
struct CableUnit {
    QByteArray model = "DK618-450";
    QString leave = QStringLiteral("off");
    quint8 silentOn = 0;  // a command it never answers
    quint8 muteAfter = 0; // once it has answered this command, it answers nothing more
};

inline CableUnit MakeUnit(const char *leave, const QByteArray &model = "DK618-450", quint8 silentOn = 0, quint8 muteAfter = 0)
{
    return {model, QLatin1String(leave), silentOn, muteAfter};
}

class CableDriver {
public:
    // rowsDone: how many report lines the batch has written for this run.
    CableDriver(PtyPair &pty, QProcess &batch, const QString &family, const QList<CableUnit> &units, bool confirm,
                bool ctrlCInWrite, std::function<int()> rowsDone)
        : pty_(pty), batch_(batch), family_(family), units_(units), confirm_(confirm), ctrlCInWrite_(ctrlCInWrite),
          rowsDone_(std::move(rowsDone))
    {
        const bool radio = family == QLatin1String("dk618");
        probe_ = radio ? 0x99 : 0x67;
        lastRead_ = radio ? 0x72 : 0x73;
    }

    // Called with the unit's index and the command of each frame before the
    // unit answers it (to take a server away in the middle of a unit).
    std::function<void(int unit, quint8 command)> beforeAnswer;

    void run(int limitMs)
    {
        start();
        while (!done() && all_.elapsed() < limitMs)
            step(5);
        end();
    }

    void start()
    {
        all_.start();
        idle_.start();
        putNext();
    }
    bool done() const { return batch_.state() == QProcess::NotRunning; }
    int unitsPut() const { return next_; }

    // One look at the line and the report, waiting at most waitMs for bytes.
    void step(int waitMs)
    {
        batch_.waitForFinished(1);
        for (const QByteArray &frame : reader_.feed(pty_.read(4096, waitMs)))
            answer(quint8(frame.at(3)), frame);
        if (const int now = rowsDone_(); now != rows_) {
            rows_ = now;
            idle_.restart();
        }
        // A run that makes no progress (a unit never taken up) ends.
        if (idle_.elapsed() > 15000)
            end();
        if (leave() == QLatin1String("next")) {
            // The units follow each other by themselves; after the last
            // one's line the run ends.
            if (next_ >= units_.size() && rows_ >= on_ + 1)
                end();
            return;
        }
        if (!model_ && !ended_ && on_ >= 0 && leave() == QLatin1String("off") && phase_.elapsed() > 3500) {
            if (next_ < units_.size())
                putNext();
            else
                end();
        }
        if (!model_ || state_ != State::Answering || rows_ != on_ + 1)
            return;
        // The unit in hand has its report line.
        const QString how = leave();
        if (how == QLatin1String("off")) {
            model_.reset();
            phase_.restart();
        } else if (how == QLatin1String("flicker")) {
            state_ = State::Flicker;
            drop_ = 2;
        } else if (how == QLatin1String("swap")) {
            state_ = State::Swap;
            drop_ = 1;
        } else if (next_ < units_.size()) {
            putNext();
        } else {
            end();
        }
    }

    void end()
    {
        if (ended_)
            return;
        ended_ = true;
        if (confirm_)
            batch_.closeWriteChannel();
        else
            interrupt();
    }

private:
    enum class State { Answering, Flicker, Swap };

    QString leave() const { return units_.at(on_).leave; }

    void putNext()
    {
        on_ = next_++;
        if (family_ == QLatin1String("dk618"))
            model_ = std::make_unique<qmsim::Dk618Model>(units_.at(on_).model);
        else
            model_ = std::make_unique<qmsim::Mlb4800Model>();
        state_ = State::Answering;
        answered_ = 0;
        muted_ = false;
        phase_.restart();
        if (confirm_)
            batch_.write("\n");
    }

    void answer(quint8 command, const QByteArray &frame)
    {
        if (ctrlCInWrite_ && command == 0x61 && !signalled_) {
            interrupt();
            signalled_ = true;
        }
        if (!model_ || muted_ || command == units_.at(on_).silentOn)
            return;
        if (beforeAnswer)
            beforeAnswer(on_, command);
        if (command == probe_ && drop_ > 0) {
            if (--drop_ == 0 && state_ == State::Swap)
                putNext();
            return;
        }
        if (state_ == State::Flicker && command == probe_ && ++answered_ > 3) {
            end();
            return;
        }
        if (const auto reply = model_->answer(frame))
            pty_.write(*reply);
        if (command == units_.at(on_).muteAfter)
            muted_ = true;
        // Read back to its end: the next unit is on the cable at once.
        if (command == lastRead_ && leave() == QLatin1String("next") && next_ < units_.size())
            putNext();
    }

    // Ctrl+C to the batch alone (a pid of 0 would reach the whole group).
    void interrupt()
    {
        if (batch_.state() == QProcess::Running && batch_.processId() > 0)
            ::kill(pid_t(batch_.processId()), SIGINT);
    }

    PtyPair &pty_;
    QProcess &batch_;
    QString family_;
    QList<CableUnit> units_;
    bool confirm_, ctrlCInWrite_;
    std::function<int()> rowsDone_;
    quint8 probe_ = 0x99, lastRead_ = 0x72;
    qmsim::FrameReader reader_;
    std::unique_ptr<qmsim::UnitModel> model_;
    State state_ = State::Answering;
    QElapsedTimer all_, idle_, phase_;
    int on_ = -1, next_ = 0, drop_ = 0, answered_ = 0, rows_ = 0;
    bool signalled_ = false, ended_ = false, muted_ = false;
};

// Counts the report lines that name port, less those there were before:
// what the driver waits on.
class ReportRows {
public:
    ReportRows(const QString &report, const QString &port)
        : report_(report), port_(port.toLocal8Bit()), start_(count())
    {
    }
    int operator()() const { return int(count() - start_); }

private:
    qsizetype count() const
    {
        QFile f(report_);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count(port_) : 0;
    }
    QString report_;
    QByteArray port_;
    qsizetype start_;
};

// One station of a line: qmset batch --json on a pty of its own, and a
// driver that puts its data radios on the cable one after another, each as
// soon as the last has been read back.
struct BatchStation {
    PtyPair pty;
    QProcess batch;
    QString report;
    std::unique_ptr<CableDriver> driver;

    // Starts program (qmset) as "batch --family dk618 --port PTY --report
    // FOLDER/report-N.csv --json" plus args, for units units.
    void start(const QString &program, const QProcessEnvironment &env, const QString &folder, const QStringList &args, int units)
    {
        report = QDir(folder).filePath(QStringLiteral("report-%1.csv").arg(pty.slavePath().section(QLatin1Char('/'), -1)));
        batch.setProcessEnvironment(env);
        batch.start(program, QStringList{"batch", "--family", "dk618", "--port", pty.slavePath(), "--report", report, "--json"} + args);
        QList<CableUnit> cable;
        for (int i = 0; i < units; ++i)
            cable << MakeUnit("next");
        driver = std::make_unique<CableDriver>(pty, batch, QStringLiteral("dk618"), cable, false, false, ReportRows(report, pty.slavePath()));
        driver->start();
    }

    // Steps every station's driver until each batch has ended or limitMs
    // has passed; false on the time limit.
    template <typename Stations>
    static bool driveAll(Stations &stations, int limitMs)
    {
        QElapsedTimer clock;
        clock.start();
        const auto running = [&] {
            return std::any_of(std::begin(stations), std::end(stations), [](const auto &s) { return !s.driver->done(); });
        };
        while (running() && clock.elapsed() < limitMs)
            for (auto &s : stations)
                s.driver->step(1);
        for (auto &s : stations)
            s.driver->end();
        return !running();
    }

    // After the batch has ended: its exit code (-1 when it did not end),
    // and the objects it printed for its units.
    int finish(QList<QJsonObject> *units, QString *err)
    {
        if (batch.state() != QProcess::NotRunning && !batch.waitForFinished(20000)) {
            batch.kill();
            batch.waitForFinished();
            return -1;
        }
        *err = QString::fromLocal8Bit(batch.readAllStandardError());
        for (const QByteArray &line : batch.readAllStandardOutput().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.contains(QStringLiteral("unit")))
                units->append(o);
        }
        return batch.exitStatus() == QProcess::NormalExit ? batch.exitCode() : -2;
    }
};
