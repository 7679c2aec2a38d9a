// qmsim: a simulated unit on a pseudo terminal, for trying the tool without
// hardware and for the end-to-end tests.

#include "simlink.h"
#include "simoptions.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

namespace {
volatile std::sig_atomic_t g_stop = 0;
void onStop(int) { g_stop = 1; }
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qmsim"));

    qmsim::SimOptions options;
    QString error;
    if (!qmsim::ParseSimOptions(app.arguments(), options, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        const bool help = app.arguments().contains(QLatin1String("--help")) || app.arguments().contains(QLatin1String("-h"));
        return help ? 0 : 2;
    }
    auto model = qmsim::MakeModel(options, error);
    if (!model) {
        std::fprintf(stderr, "qmsim: %s\n", qPrintable(error));
        return 2;
    }

    // The stop signals stay blocked except inside the wait, so none can slip
    // in between the check of g_stop and the wait.
    sigset_t stopSet, waitMask;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGTERM);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSet, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGHUP);
    struct sigaction sa{};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    qmsim::SimLink link(*model, options);
    if (!link.open(error)) {
        std::fprintf(stderr, "qmsim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("qmsim: ready %s\n", qPrintable(options.LinkPath));
    std::fflush(stdout);
    return link.run(g_stop, waitMask);
}
