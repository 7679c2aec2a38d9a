#include "cli/progress.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qm::cli {

namespace {
int g_outError = 0; // errno of the first failed write to stdout

bool isControl(char16_t c)
{
    return (c < 0x20 && c != u'\n' && c != u'\t') || (c >= 0x7F && c <= 0x9F);
}
} // namespace

Progress::Progress()
    : terminal_(::isatty(STDERR_FILENO) == 1)
{
}

void Progress::step(const QString &text)
{
    if (terminal_) {
        // Back to the start of the line and clear it.
        std::fprintf(stderr, "\r\033[K%s", Printable(text).toLocal8Bit().constData());
        std::fflush(stderr);
        open_ = true;
    } else {
        Err(text + QLatin1Char('\n'));
    }
}

void Progress::note(const QString &text)
{
    finish();
    Err(text + QLatin1Char('\n'));
}

void Progress::finish()
{
    if (!open_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    open_ = false;
}

QString Printable(const QString &text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return isControl(c.unicode()); }))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            out += QStringLiteral("\\x") + QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

namespace {
void writeOut(const QByteArray &bytes)
{
    if (g_outError != 0)
        return;
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) || std::fflush(stdout) != 0)
        g_outError = errno != 0 ? errno : EIO;
}
} // namespace

void Out(const QString &text)
{
    writeOut(Printable(text).toLocal8Bit());
}

void Err(const QString &text)
{
    std::fputs(Printable(text).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void OutBytes(const QByteArray &bytes)
{
    writeOut(bytes);
}

void OutJson(const QByteArray &json)
{
    // JSON escapes the C0 controls itself; DEL and the C1 controls it
    // leaves raw, and a terminal would act on them.
    QString text = QString::fromUtf8(json);
    for (qsizetype i = text.size() - 1; i >= 0; --i)
        if (text[i].unicode() >= 0x7F && text[i].unicode() <= 0x9F)
            text.replace(i, 1, QStringLiteral("\\u%1").arg(text[i].unicode(), 4, 16, QLatin1Char('0')));
    writeOut(text.toUtf8() + '\n');
}

bool FinishOutput(QString *reason)
{
    errno = 0;
    if (g_outError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        g_outError = errno != 0 ? errno : EIO;
    if (g_outError == 0)
        return true;
    *reason = QString::fromLocal8Bit(std::strerror(g_outError));
    return false;
}

void GuardStandardStreams()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // Read-only on 1: every write to a closed stdout keeps failing.
        const int null = ::open("/dev/null", fd == STDERR_FILENO ? O_WRONLY : O_RDONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

} // namespace qm::cli
