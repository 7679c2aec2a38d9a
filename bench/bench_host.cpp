// The real window left polling the data radio, as a technician leaves it:
// the factory test page open (through its password dialog) and automatic
// reading switched on, so all four timers run and a reading goes out every
// 300 ms. With --echo the hidden key sequence switches the traffic echo on
// and the monitor panel is opened; with --trend the trend window of the
// readings is opened from the test page. bench_idle and bench_soak measure
// this process from outside; it prints "ready" once automatic reading runs
// and then runs until it is stopped.
//
//   bench_host DEVICE [--echo] [--trend]
#include "app/mainform.h"
#include "app/password.h"
#include "benchkit.h"
#include "common/errors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>

namespace {

void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename T>
T *Child(QObject &parent, const char *name)
{
    return parent.findChild<T *>(QLatin1String(name));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        bench::Note("usage: bench_host DEVICE [--echo] [--trend]");
        return 2;
    }
    const bool echo = args.contains(QStringLiteral("--echo"));
    const bool trend = args.contains(QStringLiteral("--trend"));
    qm::SetErrorSink([](const QString &message) { bench::Note("bench_host: error: %s", qPrintable(message)); });

    bench::RecordingPrompts prompts;
    qm::MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), args.at(1));
    options.prompts = &prompts;
    qm::TMainForm form(options);
    form.show();
    Settle(100);
    if (!form.link().port().isOpen()) {
        bench::Note("bench_host: cannot open %s", qPrintable(args.at(1)));
        return 1;
    }

    if (echo) {
        // Typed where a key would go: the control with the focus, or the
        // window when none has it.
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClicks(focus && focus->window() == &form ? focus : &form, QStringLiteral("qorvel"));
        form.Watch_OpenClick();
        if (!form.link().state().MonitorOn) {
            bench::Note("bench_host: the key sequence did not switch the echo on");
            return 1;
        }
    }

    // The test page through its password dialog, then automatic reading.
    QTimer::singleShot(0, &form, [&form] {
        auto *dialog = Child<QDialog>(form, "Password");
        if (!dialog || !dialog->isVisible())
            return;
        Child<QLineEdit>(*dialog, "PassText")->setText(qm::TPassword::kFullPassword);
        Child<QAbstractButton>(*dialog, "Pass_OK")->click();
    });
    form.ConfigTestClick();
    Settle(300);
    Child<QAbstractButton>(form, "AutoRead")->click();
    if (!Child<QTimer>(form, "Timer4")->isActive()) {
        bench::Note("bench_host: automatic reading did not start");
        return 1;
    }
    if (trend) {
        Child<QAbstractButton>(form, "Trend_Open")->click();
        auto *window = Child<QWidget>(form, "TrendWindow");
        if (!window || !window->isVisible()) {
            bench::Note("bench_host: the trend window did not open");
            return 1;
        }
    }
    std::puts("ready");
    std::fflush(stdout);
    return QApplication::exec();
}
