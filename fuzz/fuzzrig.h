#pragma once
// What the window-based fuzz targets share: one offscreen application and
// one main window per process, a Prompts that answers everything, a pseudo
// terminal behind COM1 so that sending works, and a check that stops the
// run with a message when an invariant breaks.

#include "app/mainform.h"
#include "common/errors.h"
#include "common/prompts.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <unistd.h>

namespace fuzz {

// Messages are noted, confirmations granted, file dialogs cancelled.
class AnswerAll : public qm::Prompts {
public:
    void message(const QString &) override { ++messages; }
    bool confirm(const QString &, const QString &) override { return true; }
    QString saveFileName() override { return {}; }
    QString openFileName() override { return {}; }
    int messages = 0;
};

struct Rig {
    Rig()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::abort();
        }
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        qm::MainFormOptions options;
        options.prompts = &prompts;
        options.portMap.insert(QStringLiteral("COM1"), QString::fromLocal8Bit(name));
        window = std::make_unique<qm::TMainForm>(options);
        // Without an event loop no timer fires; the targets tick by hand.
        qm::SetErrorSink([this](const QString &message) {
            ++errors;
            lastError = message;
        });
    }

    // Ends an input: throws away what the window has sent (it stays in the
    // port's buffer without an event loop) and delivers the events the
    // widgets have posted, which would pile up without one.
    void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window->link().port().device().clear(QSerialPort::Output);
        char buffer[4096];
        while (::read(master, buffer, sizeof buffer) > 0) {
        }
    }

    int argc = 1;
    char arg0[16] = "fuzz";
    char *argv[2] = {arg0, nullptr};
    std::unique_ptr<QApplication> app;
    int master = -1;
    int slave = -1;
    AnswerAll prompts;
    std::unique_ptr<qm::TMainForm> window;
    int errors = 0;
    QString lastError;
};

// A broken invariant: say which and stop, so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char *what, const QString &detail = {})
{
    std::fprintf(stderr, "invariant broken: %s %s\n", what, qPrintable(detail));
    std::abort();
}

inline void Check(bool ok, const char *what, const QString &detail = {})
{
    if (!ok)
        Fail(what, detail);
}

// A whole decimal number without sign (what the exchanges put into the
// number fields), or an empty text.
inline bool NumberOrEmpty(const QString &text)
{
    if (text.size() > 10)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace fuzz
