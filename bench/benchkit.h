#pragma once
// What the benchmarks share: the result line that bench/run gathers into its
// table, medians, readings of another process from /proc, and prompts that
// record instead of showing a box. A port that must open but never answers
// is the tests' PtyPair (tests/ptypair.h).

#include "common/prompts.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <unistd.h>

namespace bench {

// One row of the table: "RESULT<tab>figure<tab>measured<tab>target<tab>pass|FAIL".
inline bool Result(const QString &figure, const QString &measured, const QString &target, bool pass)
{
    std::printf("RESULT\t%s\t%s\t%s\t%s\n", qPrintable(figure), qPrintable(measured), qPrintable(target),
                pass ? "pass" : "FAIL");
    std::fflush(stdout);
    return pass;
}

// Details that are not part of the table go to stderr, one line each.
[[gnu::format(printf, 1, 2)]] inline void Note(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

inline double Median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// User and system clock ticks from the text of /proc/PID/stat; negative
// when the text is not such a line.
inline qint64 CpuTicksOfStat(const QByteArray &stat)
{
    // The command name in parentheses may hold blanks and parentheses of
    // its own: count from the last ')'.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).trimmed().split(' ');
    // Fields 14 and 15 of the whole line (utime, stime) are 12 and 13 here.
    if (fields.size() < 13)
        return -1;
    bool userOk = false, systemOk = false;
    const qint64 user = fields[11].toLongLong(&userOk);
    const qint64 system = fields[12].toLongLong(&systemOk);
    return userOk && systemOk ? user + system : -1;
}

// CPU time (user + system) of a process so far, in seconds; negative when
// it cannot be read.
inline double CpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const qint64 ticks = CpuTicksOfStat(file.readAll());
    return ticks < 0 ? -1 : double(ticks) / double(::sysconf(_SC_CLK_TCK));
}

// Resident memory of a process in KiB (VmRSS of /proc/PID/status); negative
// when it cannot be read.
inline qint64 ResidentKiB(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// What an exchange put on the line, from a simulated unit's log ("rx HEX" a
// request, "tx HEX" its answer, "-- why" a frame left unanswered): the bytes
// of each request and of its answer.
struct Traffic {
    QList<std::pair<qsizetype, qsizetype>> steps;
    bool unanswered = false;
};

inline Traffic ParseTraffic(const QByteArray &log)
{
    Traffic traffic;
    for (const QByteArray &line : log.split('\n')) {
        const qsizetype size = QByteArray::fromHex(line.mid(3)).size();
        if (line.startsWith("rx "))
            traffic.steps.append({size, 0});
        else if (line.startsWith("tx ") && !traffic.steps.isEmpty() && traffic.steps.last().second == 0)
            traffic.steps.last().second = size;
        else if (line.startsWith("-- "))
            traffic.unanswered = true;
    }
    return traffic;
}

// The time an exchange's bytes take on the line, and the whole 100 ms ticks
// it takes at the least when each request goes out at a tick: a reply is
// taken at the first tick after it is complete, so a step takes the ticks
// its bytes and the unit's turn-around need, at least one. ticksBefore are
// ticks waited before the first frame goes out.
struct Floor {
    double lineMs = 0;
    int ticks = 0;
};

inline Floor FloorOf(const Traffic &traffic, double byteMs, double turnaroundMs, int ticksBefore = 0)
{
    constexpr double kTickMs = 100;
    Floor floor;
    floor.ticks = ticksBefore;
    for (const auto &[request, reply] : traffic.steps) {
        const double stepMs = double(request + reply) * byteMs;
        floor.lineMs += stepMs;
        floor.ticks += std::max(1, int(std::ceil((stepMs + turnaroundMs) / kTickMs)));
    }
    return floor;
}

// Message boxes and file dialogs answered without a window.
using RecordingPrompts = qm::RecordingPrompts;

} // namespace bench
