#pragma once
// The central unit's (MLB4800) write and read exchanges: the buttons capture
// the page and send the first frame, and each 100 ms tick of Timer1 takes
// the next reply, fills the page or sends the next part of the write, and
// reports the outcome. Also the page's side buttons, which only leave a
// line in the monitor. Works on the page through FieldAccess, so it runs
// without a window too.

#include <QString>
#include <functional>
#include <QtGlobal>

namespace qm {

class FieldAccess;
class Link;
class Prompts;
class Report;

class CentralExchange {
public:
    CentralExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts);

    // The 36th tick without a reply ends the exchange.
    static constexpr qint32 kTimeoutTicks = 35;
    static constexpr int kChannels = 10;
    static constexpr int kWords = 4 * kChannels;

    void Mlb4800_WriteDataClick();
    void Mlb4800_ReadDataClick();
    // The exchange part of Timer1's tick (the window refreshes its clock
    // first).
    void Timer1Timer();
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

    void Mlb4800_SaveFileClick();
    void Mlb4800_ReadFileClick();
    // Shared by the address-list and the field-strength buttons.
    void Mlb4800_AddressTableClick();

    // Frequency words: entries 0..9 uplink transmit of channels 0..9,
    // 10..19 uplink receive, 20..29 downlink transmit, 30..39 downlink
    // receive. Filled from the fields at a write click and from the replies
    // of a read; after a read it is the source of the 40 field texts.
    qint32 CentralFreqTable[kWords] = {};

    // The field of table entry i: TxFreq10..19, RxFreq10..19, TxFreq20..29,
    // RxFreq20..29.
    static QString FieldOfEntry(int entry);


private:
    // Another page's exchange holds the shared counters: says so and
    // returns true.
    bool refusedForOtherExchange();
    // The message naming the first frequency the unit could not store as
    // typed (beyond a frame word, or off its step) or a channel beyond 0..9;
    // empty when all fit. A text that is no integer is left to the click's
    // conversion.
    QString checkWritableFields() const;
    quint8 address() const;
    void sendRequest(quint8 command);
    // Sends a step's frame from a fresh recogniser: a noise byte after the
    // last reply must not take the next reply's header for a length.
    void sendStep(quint8 command, int len);
    void readStep(qint32 step);
    void writeStep(qint32 step);
    void showTable();
    // Ends the running exchange with outcome in the memo and panel 2; a
    // failure enables both data-radio buttons, a success the one named.
    void finish(const QString &outcome, const QString &enableButton = {});

    Link &link_;
    FieldAccess &f_;
    Report &report_;
    Prompts &prompts_;
    // Taken at the click: the write's channel (checked to be 0..9; the
    // shared CurrentChannel may be changed by another exchange), and whether
    // this is the current-channel-only exchange.
    qint32 writeChannel_ = 0;
    bool shortExchange_ = false;
};

} // namespace qm
