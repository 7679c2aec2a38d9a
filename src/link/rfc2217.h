#pragma once
// The telnet side of a device server's serial port (RFC 2217): the options
// asked for (binary both ways, suppress-go-ahead, com-port-option), the
// answers to the server's own option requests, the line settings sent as
// com-port subnegotiations and the server's answers to them checked, and
// 0xFF bytes of data doubled on the way out and undone on the way in.
//
// No socket here: the network port hands in what it received and sends
// what this gives back, so the whole conversation can be played in a test.

#include "link/porttransport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QStringList>
#include <array>
#include <deque>

namespace qm {

class Rfc2217Session {
public:
    // where names the server in notes: "HOST:PORT".
    explicit Rfc2217Session(const QString &where);

    enum class LineControl {
        Asked,   // com-port-option asked for, no answer yet
        Agreed,  // the line settings reach the server's port
        Refused, // the server's own settings hold
    };
    LineControl lineControl() const { return lineControl_; }

    // The options asked for as soon as the connection stands.
    QByteArray opening();

    // Takes bytes received from the server and gives back the data among
    // them. Answers due to the server are collected for takeAnswers(), lines
    // for the user (a setting or binary mode not taken) for takeNotes().
    QByteArray take(QByteArrayView bytes);
    QByteArray takeAnswers();
    QStringList takeNotes();

    // Rate, data bits, parity and stop bits of line as subnegotiations;
    // empty unless line control is agreed. Each is remembered until the
    // server answers it.
    QByteArray lineRequest(const PortLine &line);
    // No flow control, DTR and RTS down, as a local port holds them.
    QByteArray controlRequest() const;
    // Whether every line setting sent has had its answer.
    bool lineAnswered() const;

    // Data for the wire: every 0xFF doubled.
    static QByteArray Escape(QByteArrayView data);

private:
    enum class Option : quint8 { No, Yes, Asked };
    enum class Parse : quint8 { Data, Command, Will, Wont, Do, Dont, Sub, SubCommand };
    // The line settings answered one by one: rate, data bits, parity, stop bits.
    enum Item { Rate, DataBits, Parity, StopBits, kItems };

    void onWill(quint8 option);
    void onWont(quint8 option);
    void onDo(quint8 option);
    void onDont(quint8 option);
    void onSubnegotiation();
    void answer(quint8 verb, quint8 option);
    void refused(quint8 option);
    void checkAnswer(Item item, quint32 value);

    QString where_;
    LineControl lineControl_ = LineControl::Asked;
    std::array<Option, 256> ours_{};   // options on our side (WILL)
    std::array<Option, 256> theirs_{}; // options on the server's side (DO)
    Parse parse_ = Parse::Data;
    QByteArray sub_;
    bool subTooLong_ = false;
    QByteArray answers_;
    QStringList notes_;
    std::array<std::deque<quint32>, kItems> asked_;
    QSet<int> mismatchNoted_; // items whose wrong answer has been told
    bool binaryNoted_ = false;
};

} // namespace qm
