// The monitor memo: 10,000 echo lines through the window's traffic echo
// (Link::LogTraffic with the echo on) into the open monitor panel, which
// empties itself before a line would go beyond 300 rows. Requests and long
// replies alternate; pending events, painting among them, are handled after
// every tenth line, as the ticks of a busy line would let them.
#include "app/mainform.h"
#include "app/monitormemo.h"
#include "benchkit.h"
#include "ptypair.h"
#include "common/errors.h"
#include "link/frame.h"

#include <QApplication>
#include <QElapsedTimer>

namespace {
constexpr int kLines = 10000;
constexpr double kTargetMs = 1000;
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qm::SetErrorSink([](const QString &message) { bench::Note("bench_memo: error: %s", qPrintable(message)); });
    PtyPair pty;
    bench::RecordingPrompts prompts;
    qm::MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
    options.prompts = &prompts;
    qm::TMainForm form(options);
    form.show();
    form.Watch_OpenClick();
    QApplication::processEvents();
    auto *memo = form.findChild<qm::MonitorMemo *>(QStringLiteral("Watch_Window"));
    form.link().state().MonitorOn = true;

    // A data-radio request and the channel-table reply (47 bytes, several
    // rows in the panel).
    const QByteArray request = QByteArray::fromHex("96058063000172");
    const QByteArray reply = qm::BuildFrame(0x63, QByteArray::fromHex("0001") + QByteArray(40, '\x43'));
    int maxRows = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kLines; ++i) {
        const QByteArray &frame = i % 2 ? reply : request;
        form.link().LogTraffic(reinterpret_cast<const quint8 *>(frame.constData()), int(frame.size()), i % 2);
        maxRows = std::max(maxRows, memo->rowCount());
        if (i % 10 == 9)
            QApplication::processEvents();
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    const int blocks = memo->document()->blockCount();
    bench::Note("bench_memo: %d lines in %.1f ms (%.0f lines/s); at most %d rows, %d lines held at the end", kLines, ms,
                kLines / ms * 1000, maxRows, blocks);
    // The cap: the memo empties itself once it holds more than 300 rows,
    // so a line of up to a few rows may come on top of those.
    const bool capped = maxRows <= qm::MonitorMemo::kMaxRows + 10 && blocks <= qm::MonitorMemo::kMaxRows + 10;
    return bench::Result(QStringLiteral("Monitor memo, %1 echo lines (capped at 300 rows)").arg(kLines),
                         QStringLiteral("%1 ms, %2 rows at most").arg(ms, 0, 'f', 0).arg(maxRows),
                         QStringLiteral("< %1 ms").arg(kTargetMs), ms < kTargetMs && capped)
        ? 0
        : 1;
}
