// qmset: parameter setting tool for DK618 data radios and QM-4700 series units.

#include "app/commandline.h"
#include "app/errors.h"
#include "app/mainform.h"
#include "app/simulator.h"

#include <QApplication>
#include <cstdio>

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
} // namespace

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qmset"));
    QApplication::setApplicationDisplayName(QStringLiteral("QM4700终端参数设置软件"));
    QApplication::setApplicationVersion(QStringLiteral("1.54"));

    const qm::CommandLine args = qm::ParseCommandLine(QApplication::arguments());
    if (args.helpShown)
        return 0;
    if (!args.error.isEmpty()) {
        std::fprintf(stderr, "qmset: %s\n", qPrintable(args.error));
        return 2;
    }

    qm::MainFormOptions options;
    options.portMap = args.portMap;
    // The simulated radio lives as long as the window.
    qm::Simulator simulator;
    if (args.simulate) {
        if (!simulator.start(QStringLiteral("dk618"), args.simulatorArgs)) {
            std::fprintf(stderr, "qmset: cannot start the simulated radio: %s\n", qPrintable(simulator.errorString()));
            return 1;
        }
        options.portMap.insert(QStringLiteral("COM1"), simulator.linkPath());
    }
    qm::TMainForm window(options);
    window.show();
    return QApplication::exec();
}
