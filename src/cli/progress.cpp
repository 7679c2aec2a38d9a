#include "cli/progress.h"

#include <cstdio>
#include <unistd.h>

namespace qm::cli {

Progress::Progress()
    : terminal_(::isatty(STDERR_FILENO) == 1)
{
}

void Progress::step(const QString &text)
{
    if (terminal_) {
        // Back to the start of the line and clear it.
        std::fprintf(stderr, "\r\033[K%s", qPrintable(text));
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

void Out(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void Err(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace qm::cli
