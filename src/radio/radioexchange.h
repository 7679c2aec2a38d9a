#pragma once
// The data radio's write and read exchanges: the buttons send the
// identification request, and each 100 ms tick of Timer3 takes the next
// reply, fills the page or builds the next write, and reports the outcome.
// Works on the page through FieldAccess, so it runs without a window too.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

namespace qm {

class FieldAccess;
class Link;
class Prompts;
class Report;
struct ProtocolState;

namespace text {
inline const QString ProtocolCaption = QStringLiteral("更改协议");
} // namespace text

class RadioExchange {
public:
    RadioExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts);

    // A tick without a reply after this many ticks ends the exchange.
    static constexpr qint32 kTimeoutTicks = 100;

    void Dk618_Write_DataClick();
    void Dk618_Read_DataClick();
    void Timer3Timer();
    // The port went away: the running exchange can get no more replies, so
    // it ends now as failed instead of at its time-out, and a reply that
    // was already in is not answered with a send on the closed port.
    void PortLost();
    // Ends a running read or write at once, as "已取消"; a write also says
    // which of its parts the radio has taken. False when none runs.
    bool Cancel();
    // Protocol change: railway, test and raw protocol, each sent only when
    // the user confirms it.
    void N1Click();
    void T1Click();
    void O1Click();

    // Handles the reply to a pending measurement (test page); the tick
    // clears MeasurePending afterwards.
    std::function<void()> onMeasurementReply;
    // A read or write has just ended without an answer (its outcome is
    // out): the window adds what to try.
    std::function<void()> onNoAnswer;

    qint32 ChannelWords[2][10] = {};
    quint8 ChannelStep = 250;
    // The model text of the last identification reply.
    QByteArray modelText() const { return model_; }
    // The model text the last good reply carries from byte 6 on, as the
    // identification reply does (at most 29 characters, up to a NUL).
    static QByteArray ModelTextOfReply(const ProtocolState &s);

private:
    void readStep(qint32 step);
    void writeStep(qint32 step);
    void takeModelText();
    void finish(const QString &outcome);
    // Ends the exchange as failed because the reply to request is too short
    // for the values of its step.
    void failShortReply(quint8 request, int len);
    // A click while another page's exchange holds the shared counters is
    // refused with a memo line and status text; true when refused.
    bool refuseWhileOtherExchangeRuns();

    // What a check looks at: each write step checks the values it sends.
    enum Check : unsigned {
        CheckRateParity = 1,
        CheckAddress = 2,
        CheckChannel = 4,
        CheckPtt = 8,
        CheckFrequencies = 16,
        CheckAll = 31,
    };
    // Refuses values that do not fit the frames; returns the message naming
    // the first offending field, or an empty text.
    QString checkWritableFields(unsigned checks) const;
    // The same check inside a write step: a value that no longer passes ends
    // the write as failed, with the message, before its frame is sent.
    bool writeStillValid(unsigned checks);
    // The first frequency no radio could store exactly, whatever its
    // spacing and band, as a message naming it; or an empty text.
    QString unstorableFrequency() const;
    // A click its checks refuse: the message, and "未写录：REASON" as the
    // outcome; nothing is sent.
    void refuseWrite(const QString &problem);
    static const QStringList &WriteParts();
    // The channel words of the frequency fields at this step and band, or
    // the message naming the first frequency whose word does not fit.
    QString channelWords(int step, bool band800, qint32 words[2][10]) const;
    void sendProtocolChange(quint8 protocol, const QString &name);
    quint8 addressLow() const;
    quint16 address16() const;
    void sendRequest(quint8 command);
    // Sends the frame of the next step from a fresh recogniser: a noise
    // byte after the last reply must not take the next reply's header for
    // a length.
    void sendStep(quint8 command, int len);

    Link &link_;
    FieldAccess &f_;
    Report &report_;
    Prompts &prompts_;
    QByteArray model_;
};

} // namespace qm
