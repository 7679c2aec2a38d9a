#include "cli/session.h"

#include "cli/interrupts.h"
#include "cli/progress.h"
#include "common/errors.h"
#include "common/memoryfields.h"
#include "link/autoset.h"

#include <QEventLoop>
#include <QTimer>


namespace qm::cli {

namespace {

// Request frames of the identification trials are 7 bytes; the longest
// identification answer the tool takes is a 29-character model text (36
// bytes); a unit turns round within this.
constexpr int kRequestBytes = 7;
constexpr int kLongestAnswerBytes = 36;
constexpr qint64 kTurnaroundUs = 50000;

} // namespace

UnitSession::UnitSession(const Family &family, Progress &progress, Interrupts &interrupts)
    : family_(family)
    , progress_(progress)
    , interrupts_(interrupts)
    , link_(this)
{
}

bool UnitSession::open(const QString &port, qint32 rateIndex, qint32 parityIndex, QString *error)
{
    port_ = port;
    SerialPort &p = link_.port();
    p.setPortName(port);
    setLine(rateIndex, parityIndex);
    if (p.open())
        return true;
    // The port's error text already says why, as the window's memo line does.
    *error = QStringLiteral("cannot open %1: %2").arg(p.deviceFor(port), p.errorString());
    return false;
}

void UnitSession::setLine(qint32 rateIndex, qint32 parityIndex)
{
    link_.line().RateIndex = rateIndex;
    link_.line().ParityIndex = parityIndex;
    link_.ApplyLineSettings();
}

UnitSession::Result UnitSession::write(MemoryFields &fields)
{
    return run(fields, true);
}

UnitSession::Result UnitSession::read(MemoryFields &fields)
{
    return run(fields, false);
}

UnitSession::Result UnitSession::run(MemoryFields &fields, bool write)
{
    UnitRun run(family_, link_);
    connect(&run, &UnitRun::progress, this, [this](const QString &line) { progress_.step(line); });
    if (!run.start(fields, write)) {
        detail_ = run.detail();
        return run.result();
    }
    QEventLoop loop;
    connect(&run, &UnitRun::finished, &loop, &QEventLoop::quit);
    // A read stops at the first Ctrl+C; a write goes on to its end unless
    // a second one comes.
    const int enough = write ? 2 : 1;
    connect(&interrupts_, &Interrupts::raised, &run, [&](int count) {
        if (count >= enough)
            run.stop();
    });
    if (interrupts_.count() >= enough)
        run.stop();
    if (run.running())
        loop.exec();
    progress_.finish();
    model_ = run.modelText();
    detail_ = run.detail();
    backup_ = run.backupPath();
    if (!run.backupError().isEmpty())
        progress_.note(run.backupError());
    return run.result();
}

bool UnitSession::probe()
{
    ProtocolState &s = link_.state();
    auto tx = s.TxBuffer();
    tx[4] = 0x00;
    tx[5] = 0x00;
    s.AutoSetReply = false;
    s.RxState = 0;
    try {
        link_.SendFrame(family_.probeCommand, 5, family_.probeSelector);
    } catch (const Error &) {
        return false;
    }
    return awaitAnswer();
}

bool UnitSession::awaitAnswer()
{
    ProtocolState &s = link_.state();
    const qint32 attempt = link_.line().RateIndex + kRateCount * link_.line().ParityIndex;
    const qint64 byteUs = AutoSetSearch::ByteTimeUs(attempt);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool extended = false;
    connect(&link_, &Link::frameReceived, &loop, &QEventLoop::quit);
    connect(&interrupts_, &Interrupts::raised, &loop, &QEventLoop::quit);
    connect(&link_, &Link::portLost, &loop, &QEventLoop::quit);
    connect(&timer, &QTimer::timeout, &loop, [&] {
        // An answer under way: its length byte tells how much is to come.
        if (!extended && s.RxState != 0) {
            extended = true;
            const qint64 left = s.RxState == 2 ? std::min<qint64>(s.RxRemain, kLongestAnswerBytes) : kLongestAnswerBytes;
            timer.start(int((left * byteUs + kTurnaroundUs) / 1000) + 1);
            return;
        }
        loop.quit();
    });
    timer.start(int(((kRequestBytes + 2) * byteUs + kTurnaroundUs) / 1000) + 1);
    if (!s.AutoSetReply)
        loop.exec();
    return s.AutoSetReply;
}

} // namespace qm::cli
