#include "link/exchange.h"

#include "link/frame.h"

namespace qm {

Poll PollReply(ProtocolState &s, bool active, qint32 limit)
{
    if (!active)
        return Poll::Idle;
    if (++s.ExchangeTicks > limit) {
        s.ExchangeTicks = 0;
        return Poll::TimedOut;
    }
    if (!s.ReplyReady)
        return Poll::Waiting;
    s.ExchangeTicks = 0;
    s.ReplyReady = false;
    return Poll::Reply;
}

ReplyCursor::ReplyCursor(const ProtocolState &s, qint8 offset)
    : s_(s)
    , pos_(RxStep(s.RxFrameStart, offset))
{
}

quint8 ReplyCursor::byte()
{
    const quint8 b = s_.RxBuffer()[pos_];
    pos_ = RxStep(pos_, 1);
    return b;
}

quint16 ReplyCursor::word()
{
    const quint8 high = byte();
    return quint16(high << 8 | byte());
}

} // namespace qm
