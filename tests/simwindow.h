#pragma once
// What most window tests begin with: a simulated unit on a pseudo terminal,
// and the real window with COM1 on it, showing one family's page.

#include "app/mainform.h"
#include "app/simulator.h"
#include "link/exchange.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>
#include <QtTest>

#include <memory>

// qmsim for FAMILY, answering after 1 ms, with EXTRA options; null (and the
// reason in the test's log) when it did not start.
inline std::unique_ptr<qm::Simulator> StartSimulator(const QString &family, const QStringList &extra = {})
{
    auto sim = std::make_unique<qm::Simulator>();
    sim->setProgram(QStringLiteral(QMSIM_PATH));
    if (!sim->start(family, QStringList{QStringLiteral("--delay-ms"), QStringLiteral("1")} + extra)) {
        qWarning() << "qmsim did not start:" << sim->errorString();
        return nullptr;
    }
    return sim;
}

// The window with COM1 on DEVICE and PROMPTS answering its questions,
// shown, on FAMILY's page. Timer3 is stopped: a test that needs the data
// radio's exchange ticks it itself.
inline std::unique_ptr<qm::TMainForm> OpenWindowOn(const QString &device, qm::Prompts *prompts, const QString &family)
{
    qm::MainFormOptions options;
    options.prompts = prompts;
    options.portMap.insert(QStringLiteral("COM1"), device);
    auto window = std::make_unique<qm::TMainForm>(options);
    window->findChild<QTimer *>(QStringLiteral("Timer3"))->stop();
    window->show(); // applies the port's line settings
    if (family == QLatin1String("mlb4800"))
        window->MLB4800Click();
    else if (family == QLatin1String("mlr4800"))
        window->MLR4800Click();
    else
        window->DataTransClick();
    return window;
}

// Runs the exchange in hand to its end. The unit pages' own timers run; the
// data radio's exchange is ticked here, as Timer3 would.
inline void RunExchangeToItsEnd(qm::TMainForm &window)
{
    qm::ProtocolState &s = window.link().state();
    if (qm::RunningExchange(s) != qm::ExchangeOwner::Radio) {
        QVERIFY(QTest::qWaitFor([&] { return qm::RunningExchange(s) == qm::ExchangeOwner::None; }, 20000));
        QCoreApplication::processEvents();
        return;
    }
    for (int ticks = 0; qm::RunningExchange(s) != qm::ExchangeOwner::None && ticks < 300; ++ticks) {
        (void)QTest::qWaitFor([&] { return s.ReplyReady; }, 50);
        window.Timer3Timer();
    }
    QCoreApplication::processEvents();
}
