#pragma once
// The subscriber unit's write and read exchanges: the buttons send the
// first request, and each 100 ms tick of Timer2 takes the next reply, fills
// the page or sends the next part of the write, and reports the outcome. A
// successful write ends with the tool's own line at the rate just written
// into the unit. Works on the page through FieldAccess, so it runs without
// a window too.

#include <QString>
#include <functional>
#include <QtGlobal>

namespace qm {

class FieldAccess;
class Link;
class Prompts;
class Report;

class SubscriberExchange {
public:
    SubscriberExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts);

    // The tick after this many ticks without a reply (the 36th, 3.6 s)
    // ends the exchange.
    static constexpr qint32 kTimeoutTicks = 35;

    void Mlr4800_WriteDataClick();
    void Mlr4800_ReadDataClick();
    void Timer2Timer();
    // The port went away: the running exchange can get no more replies, so
    // it ends now as failed instead of at its time-out, and a reply that
    // was already in is not answered with a send on the closed port.
    void PortLost();
    // Ends a running read or write at once, as "已取消"; a write also says
    // which of its parts the unit has taken. False when none runs.
    bool Cancel();
    // A read or write has just ended without an answer (its outcome is
    // out): the window adds what to try.
    std::function<void()> onNoAnswer;

private:
    // True (and said so) when another page's exchange holds the line.
    bool refusedWhileOtherRuns();
    // The address as a 16-bit number, or the message naming the field
    // when it does not fit. A text that is no integer throws.
    QString checkAddress(quint16 *address) const;
    // The message naming the address or the uplink frequency that the unit
    // could not store as typed (beyond its word, or off the step); empty
    // when all fit. A text that is no integer is left to the conversion.
    QString checkWritableFields() const;
    void send(quint8 command, int len, quint8 selector, quint16 address);
    void readStep(qint32 step);
    void writeStep(qint32 step);
    void finish(const QString &outcome);
    // Ends a write at a step whose values no longer fit, before it sends.
    void failWrite(const QString &problem);
    // The data-radio buttons an ending exchange gives back; left alone
    // while the radio's own exchange holds them.
    void enableRadioButton(const QString &name);

    Link &link_;
    FieldAccess &f_;
    Report &report_;
    Prompts &prompts_;
    // The rate code of the last 0x6D sent: the tool follows this rate.
    quint8 writtenRateCode_ = 0x2C;
};

} // namespace qm
