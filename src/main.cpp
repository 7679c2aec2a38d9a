// qmset: parameter setting tool for DK618 data radios and QM-4700 series units.

#include "app/application.h"
#include "app/commandline.h"
#include "common/errors.h"
#include "app/mainform.h"
#include "app/simulatedunits.h"
#include "cli/cli.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
// Last line of defence: an error that escapes an event handler is shown and
// the program goes on.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const qm::Error &e) {
            qm::ReportError(e.message());
        } catch (const std::exception &e) {
            qm::ReportError(QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
};
// For the benchmarks (bench/run): with QMSET_REPORT_SHOWN set, "shown" goes
// to stdout once the window has painted itself for the first time, and the
// program ends there when the value is "quit".
class ShownReport : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After the paint, not before it.
            QTimer::singleShot(0, [] {
                std::puts("shown");
                std::fflush(stdout);
                if (qgetenv("QMSET_REPORT_SHOWN") == "quit")
                    QApplication::quit();
            });
        }
        return false;
    }
};
#ifdef Q_OS_UNIX
// Ctrl+C or a kill from a terminal ends the program the ordinary way, so the
// port is closed and the simulated radio stopped with its link removed.
int quitPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(quitPipe[1], &byte, 1);
}

void quitOnStopSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, quitPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { QApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}
#else
void quitOnStopSignals() {}
#endif

// Whether the window can be shown: a platform chosen explicitly, or a
// display to connect to. Without one the platform plugin would abort.
bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}
} // namespace

// QMSET_SHOW_PATHS set: where the program found its parts, on stderr (the
// install tests check an installed copy with it).
void showInstalledPaths()
{
    std::fputs(qPrintable(qm::InstalledPathsReport()), stderr);
}

int main(int argc, char *argv[])
{
    // The subcommands, --help and --version need no display.
    if (qm::cli::Handles(argc, argv)) {
        if (qEnvironmentVariableIsSet("QMSET_SHOW_PATHS")) {
            const QCoreApplication probe(argc, argv);
            showInstalledPaths();
        }
        return qm::cli::Run(argc, argv);
    }
    if (!displayAvailable()) {
        std::fputs("qmset: no display to show the window on (DISPLAY is not set); "
                   "the subcommands run without one, see qmset --help\n", stderr);
        return 1;
    }
    Application app(argc, argv);
    qm::SetUpApplication();
    quitOnStopSignals();
    if (qEnvironmentVariableIsSet("QMSET_SHOW_PATHS"))
        showInstalledPaths();

    const qm::CommandLine args = qm::ParseCommandLine(QApplication::arguments());
    if (args.helpShown)
        return 0;
    if (!args.error.isEmpty()) {
        std::fprintf(stderr, "qmset: %s\n", qPrintable(args.error));
        return 2;
    }

    qm::MainFormOptions options;
    options.portMap = args.portMap;
    // The simulated units live as long as the window. COM1 starts at the
    // data radio and follows the family page the user chooses.
    qm::SimulatedUnits simulated;
    if (args.simulate) {
        if (!simulated.start(qm::SimulatedUnits::Families(), args.simulatorArgs)) {
            std::fprintf(stderr, "qmset: cannot start the simulated units: %s\n", qPrintable(simulated.errorString()));
            return 1;
        }
        options.simulatedUnits = simulated.links();
        options.portMap.insert(QStringLiteral("COM1"), options.simulatedUnits.value(QStringLiteral("dk618")));
    }
    qm::TMainForm window(options);
    ShownReport shownReport;
    if (qEnvironmentVariableIsSet("QMSET_REPORT_SHOWN"))
        window.installEventFilter(&shownReport);
    window.show();
    return QApplication::exec();
}
