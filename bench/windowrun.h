#pragma once
// One exchange of the real window timed from its click to its outcome in
// the monitor, and the pieces around it: the benchmarks that run the window
// against simulated units (directly on a pseudo terminal, or through a
// device server) share them.
#include "app/mainform.h"
#include "link/exchange.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <optional>

namespace bench {

// What the unit's log holds from offset on.
inline QByteArray LogSince(const QString &log, qint64 offset)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    return file.readAll();
}

inline qint64 FileSize(const QString &path)
{
    return QFileInfo(path).size();
}

// Clicks button right after the next tick of timer and waits for the
// outcome in the monitor; the milliseconds from the click to the success
// text, or nothing with the outcome in why.
inline std::optional<double> RunOnce(qm::TMainForm &form, QTimer *timer, QAbstractButton *button, bool read, QString &why)
{
    auto *memo = form.findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"));
    const QString success = read ? qm::text::ReadOk : qm::text::WriteOk;
    const QString failure = read ? qm::text::ReadFailed : qm::text::WriteFailed;
    QEventLoop loop;
    QElapsedTimer clock;
    bool clicked = false;
    std::optional<double> ms;
    const auto click = QObject::connect(timer, &QTimer::timeout, &loop, [&] {
        if (clicked)
            return;
        clicked = true;
        clock.start();
        button->click();
    });
    const auto outcome = QObject::connect(memo, &QPlainTextEdit::textChanged, &loop, [&] {
        if (!clicked)
            return;
        const QString last = memo->document()->lastBlock().text();
        if (last == success) {
            ms = double(clock.nsecsElapsed()) / 1e6;
            loop.quit();
        } else if (last == failure || last.endsWith(qm::text::TryAgainLater)) {
            why = last;
            loop.quit();
        }
    });
    QTimer::singleShot(20000, &loop, [&] {
        why = QStringLiteral("no outcome within 20 s");
        loop.quit();
    });
    loop.exec();
    QObject::disconnect(click);
    QObject::disconnect(outcome);
    return ms;
}

inline void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace bench
