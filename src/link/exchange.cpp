#include "link/exchange.h"

#include "link/frame.h"

#include <algorithm>

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

ReplyCursor::ReplyCursor(const ProtocolState &s, int offset)
    : s_(s)
    , offset_(offset)
    , len_(s.ReplyLen)
{
}

quint8 ReplyCursor::byte()
{
    if (offset_ > len_ || offset_ < 0) {
        overrun_ = true;
        return 0;
    }
    // Offsets run up to 255, beyond RxStep's signed 8-bit count.
    const qint32 pos = (s_.ReplyStart + offset_) % kRingSize;
    ++offset_;
    return s_.RxBuffer()[size_t(pos)];
}

quint16 ReplyCursor::word()
{
    const quint8 high = byte();
    return quint16(high << 8 | byte());
}

ExchangeOwner RunningExchange(const ProtocolState &s)
{
    if (s.RadioWriteActive || s.RadioReadActive)
        return ExchangeOwner::Radio;
    if (s.CentralWriteActive || s.CentralReadActive)
        return ExchangeOwner::Central;
    if (s.SubscriberWriteActive || s.SubscriberReadActive)
        return ExchangeOwner::Subscriber;
    if (s.MeasurePending)
        return ExchangeOwner::Measurement;
    return ExchangeOwner::None;
}

bool RefusedForOtherExchange(ProtocolState &s, ExchangeOwner mine, Report &report)
{
    ExchangeOwner owner = RunningExchange(s);
    if (owner == ExchangeOwner::Measurement && mine != ExchangeOwner::Measurement) {
        s.MeasurePending = false;
        owner = RunningExchange(s);
    }
    if (owner == ExchangeOwner::None || owner == mine)
        return false;
    const QString said = text::LineHeldBy(owner);
    report.memo(said);
    report.panel(2, said);
    return true;
}

QString text::LineHeldBy(ExchangeOwner owner)
{
    QString who;
    switch (owner) {
    case ExchangeOwner::Radio: who = QStringLiteral("数传电台正在读写"); break;
    case ExchangeOwner::Central: who = QStringLiteral("MLB4800正在读写"); break;
    case ExchangeOwner::Subscriber: who = QStringLiteral("MLR4800正在读写"); break;
    case ExchangeOwner::Measurement: who = QStringLiteral("参数测试页正在读取测量值"); break;
    case ExchangeOwner::None: who = QStringLiteral("通讯口正忙"); break;
    }
    return who + TryAgainLater;
}

QString text::ShortReply(quint8 request, int len)
{
    return QStringLiteral("应答0x%1过短（LEN %2）").arg(QString::number(request, 16).toUpper().rightJustified(2, QLatin1Char('0'))).arg(len);
}

QString text::WrittenSoFar(const QStringList &parts, int answered, bool unanswered)
{
    answered = std::clamp(answered, 0, int(parts.size()));
    QStringList said;
    if (answered > 0)
        said << QStringLiteral("设备已写入：") + parts.mid(0, answered).join(QStringLiteral("、"));
    if (unanswered && answered < parts.size())
        said << QStringLiteral("已发出、未确认：") + parts.at(answered);
    return said.isEmpty() ? QStringLiteral("设备未写入任何参数") : said.join(QStringLiteral("；"));
}

QString text::WriteRefused(const QString &reason, bool unitTookSome)
{
    return (unitTookSome ? WriteStoppedPrefix : NotWrittenPrefix) + reason;
}

} // namespace qm
