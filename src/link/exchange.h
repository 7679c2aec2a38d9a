#pragma once
// Pieces every request/reply exchange shares: the poll of one 100 ms tick,
// a cursor over the reply in the ring, and the outcome texts.

#include "link/protocolstate.h"

#include <QString>

namespace qm {

enum class Poll {
    Idle,     // no exchange of this timer is running
    Waiting,  // running, no reply yet
    TimedOut, // the tick count passed the limit; ExchangeTicks is back at 0
    Reply,    // a reply is in: ReplyReady consumed, ExchangeTicks back at 0
};

// One tick of an exchange timer whose exchange is running when active is
// set: counts the tick, gives up once the count exceeds limit, otherwise
// consumes a waiting reply. A reply that completes on the tick of the
// time-out is left for the next exchange start to clear.
Poll PollReply(ProtocolState &s, bool active, qint32 limit);

// Reads a reply from its header at RxFrameStart, wrapping around the ring.
class ReplyCursor {
public:
    ReplyCursor(const ProtocolState &s, qint8 offset);
    quint8 byte();
    // Two bytes, high first.
    quint16 word();

private:
    const ProtocolState &s_;
    qint32 pos_;
};

namespace text {
inline const QString Writing = QStringLiteral("写录数据...");
inline const QString WritingWait = QStringLiteral("正在写录数据，请稍候...");
inline const QString Reading = QStringLiteral("读取数据...");
inline const QString ReadingWait = QStringLiteral("正在读取数据，请稍候...");
inline const QString WriteOk = QStringLiteral("写录成功！");
inline const QString WriteFailed = QStringLiteral("写录失败！");
inline const QString ReadOk = QStringLiteral("读取成功！");
inline const QString ReadFailed = QStringLiteral("读取失败！");
} // namespace text

} // namespace qm
