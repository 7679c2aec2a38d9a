#pragma once
// Pieces every request/reply exchange shares: the poll of one 100 ms tick,
// a cursor over the last reply in the ring, which exchange owns the shared
// counters, and the outcome texts.

#include "link/protocolstate.h"

#include "common/report.h"

#include <QString>
#include <QStringList>

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

// Reads the last good reply (ReplyStart, ReplyLen) from a byte offset,
// wrapping around the ring, and never beyond the reply's last data byte
// (offset LEN; the check byte follows it). Offsets are counted from the
// header byte, as the frame tables give them.
class ReplyCursor {
public:
    ReplyCursor(const ProtocolState &s, int offset);

    // Whether the reply holds data up to and including offset last.
    bool holds(int last) const { return last <= len_; }
    // The reply's LEN: its data bytes stand at offsets 4..LEN.
    int len() const { return len_; }

    // The next byte; past the reply's data it gives 0 and marks the
    // cursor as overrun instead of reading stale ring bytes.
    quint8 byte();
    // Two bytes, high first.
    quint16 word();
    bool overrun() const { return overrun_; }

private:
    const ProtocolState &s_;
    int offset_;
    int len_;
    bool overrun_ = false;
};

// Which exchange holds the shared step and tick counters and the reply
// flag. Only one may run at a time: a second would take the first one's
// replies as its own.
enum class ExchangeOwner { None, Radio, Central, Subscriber, Measurement };
ExchangeOwner RunningExchange(const ProtocolState &s);

// A click of mine while another owner's exchange runs is refused: the memo
// line and status panel 2 say what holds the line, and true is returned. My
// own exchange (or none) lets the click go on. A pending reading of the test
// page gives way to the other owners: it is dropped, so that its answer is
// not taken for one of their replies (the automatic cycle waits meanwhile).
bool RefusedForOtherExchange(ProtocolState &s, ExchangeOwner mine, Report &report);

namespace text {
inline const QString Writing = QStringLiteral("写录数据...");
inline const QString WritingWait = QStringLiteral("正在写录数据，请稍候...");
inline const QString Reading = QStringLiteral("读取数据...");
inline const QString ReadingWait = QStringLiteral("正在读取数据，请稍候...");
inline const QString WriteOk = QStringLiteral("写录成功！");
inline const QString WriteFailed = QStringLiteral("写录失败！");
inline const QString ReadOk = QStringLiteral("读取成功！");
inline const QString ReadFailed = QStringLiteral("读取失败！");
// A click refused because owner's exchange holds the line: "MLB4800正在读写，
// 请稍候再试！". Every such text ends in TryAgainLater.
inline const QString TryAgainLater = QStringLiteral("，请稍候再试！");
QString LineHeldBy(ExchangeOwner owner);
// "应答0x63过短（LEN 5）" names a reply too short for its step's values.
QString ShortReply(quint8 request, int len);
// An exchange the user gave up.
inline const QString Cancelled = QStringLiteral("已取消");
// A write its checks refused before the unit took anything: "未写录：REASON".
// One they stopped after the unit took some of it: "写录中止：REASON".
inline const QString NotWrittenPrefix = QStringLiteral("未写录：");
inline const QString WriteStoppedPrefix = QStringLiteral("写录中止：");
// What a write that ended early had done, from the parts of the write in
// the order they go out: the first answered ones the unit took, and when
// unanswered is set the next one went out without an answer.
// "设备已写入：信道表、设备地址；已发出、未确认：当前信道", or
// "设备未写入任何参数".
QString WrittenSoFar(const QStringList &parts, int answered, bool unanswered);
// The outcome of a write stopped by its checks: "未写录：REASON" when the
// unit took nothing, else "写录中止：REASON".
QString WriteRefused(const QString &reason, bool unitTookSome);
} // namespace text

} // namespace qm
