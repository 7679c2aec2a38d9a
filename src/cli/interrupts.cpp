#include "cli/interrupts.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace qm::cli {

int Interrupts::exitCode() const
{
    return 128 + (first_ != 0 ? first_ : SIGINT);
}

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
}
} // namespace

Interrupts::Interrupts(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &Interrupts::take);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

Interrupts::~Interrupts()
{
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
}

void Interrupts::take()
{
    char bytes[16];
    const ssize_t n = ::read(g_pipe[0], bytes, sizeof bytes);
    if (n <= 0)
        return;
    if (first_ == 0)
        first_ = bytes[0];
    count_ += int(n);
    emit raised(count_);
}

} // namespace qm::cli
