#include "link/autoset.h"

#include "common/report.h"
#include "link/frame.h"
#include "link/link.h"

namespace qm {

AutoSetSearch::AutoSetSearch(Link &link, Report &report)
    : link_(link)
    , report_(report)
    , probeSelector_(kSelector)
{
}

void AutoSetSearch::setProbe(quint8 command, quint8 selector)
{
    probeCommand_ = command;
    probeSelector_ = selector;
}

QList<qint32> AutoSetSearch::TrialOrder(qint32 first)
{
    QList<qint32> order;
    if (first >= 0 && first <= kLastAttempt)
        order.append(first);
    for (qint32 n = 0; n <= kLastAttempt; ++n)
        if (n != first)
            order.append(n);
    return order;
}

qint64 AutoSetSearch::ByteTimeUs(qint32 attempt)
{
    const qint32 rate = RateOfIndex(attempt % kRateCount);
    const int bits = attempt / kRateCount == 0 ? 10 : 11;
    return rate > 0 ? (qint64(bits) * 1000000 + rate - 1) / rate : 0;
}

QString AutoSetSearch::CheckText(qint32 attempt)
{
    switch (attempt / kRateCount) {
    case 0: return QStringLiteral(",N,8,1,");
    case 1: return QStringLiteral(",E,8,1,");
    case 2: return QStringLiteral(",O,8,1,");
    default: return {};
    }
}

QString AutoSetSearch::BpsText(qint32 attempt)
{
    const qint32 rate = RateOfIndex(attempt % kRateCount);
    return rate ? QStringLiteral("%1bps").arg(rate) : QString();
}

QString AutoSetSearch::TrialText(qint32 attempt)
{
    static constexpr char kParity[] = {'N', 'E', 'O'};
    if (attempt < 0 || attempt > kLastAttempt)
        return {};
    return QStringLiteral("正在尝试 %1,%2（第 %3/%4 项）")
        .arg(RateOfIndex(attempt % kRateCount))
        .arg(QLatin1Char(kParity[attempt / kRateCount]))
        .arg(attempt + 1)
        .arg(kLastAttempt + 1);
}

void AutoSetSearch::tryLine(qint32 attempt)
{
    LineSettings &line = link_.line();
    line.RateIndex = attempt % kRateCount;
    line.ParityIndex = attempt / kRateCount;
    link_.ApplyLineSettings();
    ProtocolState &s = link_.state();
    // A frame broken off at the previous settings (noise that began with a
    // header byte) would otherwise count this trial's reply into itself.
    s.RxState = 0;
    // Bytes 4 and 5 are left as the previous command put them.
    link_.SendFrame(probeCommand_, 5, probeSelector_);
}

void AutoSetSearch::start()
{
    AutoSetAttempt = 0;
    link_.state().AutoSetReply = false;
    tryLine(0);
}

AutoSetSearch::Outcome AutoSetSearch::tick()
{
    if (link_.state().AutoSetReply)
        return Outcome::Found;
    ++AutoSetAttempt;
    if (AutoSetAttempt > kLastAttempt) {
        reportFailure();
        return Outcome::Failed;
    }
    tryLine(AutoSetAttempt);
    return Outcome::Trying;
}

void AutoSetSearch::reportFailure()
{
    report_.memo(text::AutoSetFailed);
    report_.panel(2, text::AutoSetFailedHint);
}

} // namespace qm
