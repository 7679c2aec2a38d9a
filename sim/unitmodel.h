#pragma once
// What a simulated unit is: something that answers whole frames and listens
// at one line rate and parity. The pty, the recogniser and the log around it
// are shared by every family (simlink.h).

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace qmsim {

enum class Parity { None, Even, Odd };

struct SimLine {
    qint32 Rate = 19200;
    Parity Par = Parity::None;
    friend bool operator==(const SimLine &, const SimLine &) = default;
};

// "19200,N" and the like, for messages.
QString LineText(const SimLine &line);

// The LEN of a whole frame (header to check byte, LEN 5 or more, good
// check), or -1 for anything else: what every unit looks at first.
int WholeFrameLen(const QByteArray &frame);

// A unit's answer: 00, its address byte, then data, with the selector given.
QByteArray AddressedReply(quint8 command, quint8 addressByte, const QByteArray &data, quint8 selector);

// A frame's two bytes at offset at, high first; and the same appended.
inline quint16 WordAt(const QByteArray &frame, int at)
{
    return quint16((quint8(frame[at]) << 8) | quint8(frame[at + 1]));
}
inline void AppendWord(QByteArray &out, quint16 word)
{
    out.append(char(word >> 8));
    out.append(char(word & 0xFF));
}

class UnitModel {
public:
    virtual ~UnitModel() = default;

    // The answer to one complete frame with a good check, or nothing when the
    // unit would stay silent. The frame is the whole frame, header to check.
    virtual std::optional<QByteArray> answer(const QByteArray &frame) = 0;

    // The line settings the unit keeps. A write may change them inside
    // answer(); the link keeps listening at the old ones until that answer
    // has gone out, as the radio does.
    virtual SimLine line() const = 0;

    // A copy of the unit as it stands, to answer a frame without keeping
    // what it would change.
    virtual std::unique_ptr<UnitModel> clone() const = 0;
};

} // namespace qmsim
