#pragma once
// What the benchmarks share: the result line that bench/run gathers into its
// table, medians, readings of another process from /proc, a bare pseudo
// terminal for a port that must open but never answers, and prompts that
// record instead of showing a box.

#include "common/prompts.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
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

// Details that are not part of the table go to stderr.
template <typename... Args>
void Note(const char *format, Args... args)
{
    std::fprintf(stderr, format, args...);
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

// CPU time (user + system) of a process so far, in seconds, from
// /proc/PID/stat; negative when it cannot be read.
inline double CpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The command name in parentheses may hold blanks: count from its end.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Fields 14 and 15 of the whole line (utime, stime) are 12 and 13 here.
    if (fields.size() < 14)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
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

// A pseudo terminal that the tool can open as its port; nobody answers.
// The master side stays open so the tool never sees a hang-up.
class BarePty {
public:
    BarePty()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        termios t{};
        if (::tcgetattr(slave_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(slave_, TCSANOW, &t);
        }
        path_ = QString::fromLocal8Bit(name);
    }
    ~BarePty()
    {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    BarePty(const BarePty &) = delete;
    BarePty &operator=(const BarePty &) = delete;

    bool isOpen() const { return master_ >= 0; }
    QString path() const { return path_; }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// Message boxes and file dialogs answered without a window: every message is
// kept, so a benchmark can tell that something went wrong.
class RecordingPrompts : public qm::Prompts {
public:
    QStringList messages;
    void message(const QString &text) override { messages << text; }
    bool confirm(const QString &, const QString &text) override
    {
        messages << text;
        return false;
    }
    QString saveFileName() override { return {}; }
    QString openFileName() override { return {}; }
};

} // namespace bench
