#include "mlb4800model.h"

#include "link/frame.h"

namespace qmsim {

namespace {
// The shortest LEN the unit acts on for each command; shorter frames get
// no answer.
int minimumLen(quint8 command)
{
    switch (command) {
    case 0x61: return 0x56;
    case 0x65: return 6;
    case 0x69: return 0x0E;
    case 0x71: return 7;
    case 0x63:
    case 0x67:
    case 0x6B:
    case 0x73: return 5;
    default: return -1;
    }
}
} // namespace

Mlb4800Model::Mlb4800Model(const SimLine &line)
    : line_(line)
{
    // 230.0 MHz upwards in 25 kHz channels: uplink transmit and downlink
    // receive on one frequency, uplink receive and downlink transmit 10 MHz
    // above.
    for (int i = 0; i < kChannels; ++i) {
        words_[size_t(i)] = quint16(9200 + i);
        words_[size_t(10 + i)] = quint16(9600 + i);
        words_[size_t(20 + i)] = quint16(9600 + i);
        words_[size_t(30 + i)] = quint16(9200 + i);
    }
}

QByteArray Mlb4800Model::reply(quint8 command, const QByteArray &data) const
{
    // Every answer carries 00 and the unit's address byte.
    return AddressedReply(command, quint8(address_), data, qm::kSelector);
}

std::optional<QByteArray> Mlb4800Model::answer(const QByteArray &f)
{
    const int len = WholeFrameLen(f);
    if (len < 0)
        return std::nullopt;
    const quint8 command = quint8(f[3]);
    const int minimum = minimumLen(command);
    if (quint8(f[2]) != qm::kSelector || minimum < 0 || len < minimum)
        return std::nullopt;

    switch (command) {
    case 0x61:
        for (int i = 0; i < kWords; ++i)
            words_[size_t(i)] = WordAt(f, 6 + 2 * i);
        mode_ = quint8(f[86]);
        return reply(command);
    case 0x65:
        address_ = quint8(f[6]);
        return reply(command);
    case 0x69: {
        // A channel the unit does not have is acknowledged and dropped.
        const int channel = quint8(f[6]);
        if (channel < kChannels) {
            current_ = channel;
            for (int i = 0; i < 4; ++i)
                words_[size_t(i * kChannels + channel)] = WordAt(f, 7 + 2 * i);
        }
        return reply(command);
    }
    case 0x71:
        airRate_ = quint8(f[6]);
        transparent_ = quint8(f[7]);
        return reply(command);
    case 0x63: {
        QByteArray data;
        for (quint16 w : words_)
            AppendWord(data, w);
        data.append(char(mode_));
        return reply(command, data);
    }
    case 0x67:
        return reply(command);
    case 0x6B: {
        QByteArray data(1, char(current_));
        for (int i = 0; i < 4; ++i)
            AppendWord(data, words_[size_t(i * kChannels + current_)]);
        return reply(command, data);
    }
    case 0x73: {
        QByteArray data;
        data.append(char(airRate_));
        data.append(char(transparent_));
        return reply(command, data);
    }
    }
    return std::nullopt;
}

} // namespace qmsim
