#include "dk618model.h"

#include "link/frame.h"

namespace qmsim {

namespace {
constexpr qint32 kRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200};
} // namespace

Dk618Model::Dk618Model(const QByteArray &modelText, const SimLine &line)
    : modelText_(modelText.left(200)), line_(line)
{
    // 433.0 MHz upwards in 25 kHz steps; the radio counts in 250 x 100 Hz.
    for (int i = 0; i < kChannels; ++i) {
        tx_[size_t(i)] = quint16(17320 + i);
        rx_[size_t(i)] = quint16(17320 + i);
    }
    rateCode_ = codeOfRate(line.Rate);
    parityCode_ = codeOfParity(line.Par);
}

std::optional<qint32> Dk618Model::rateOfCode(quint8 code)
{
    for (int i = 0; i < int(std::size(kRates)); ++i)
        if (code == (1u << i))
            return kRates[i];
    return std::nullopt;
}

std::optional<Parity> Dk618Model::parityOfCode(quint8 code)
{
    switch (code) {
    case 0xCC: return Parity::None;
    case 0x3C: return Parity::Even;
    case 0xC3: return Parity::Odd;
    default: return std::nullopt;
    }
}

quint8 Dk618Model::codeOfRate(qint32 rate)
{
    for (int i = 0; i < int(std::size(kRates)); ++i)
        if (kRates[i] == rate)
            return quint8(1u << i);
    return 0;
}

quint8 Dk618Model::codeOfParity(Parity parity)
{
    switch (parity) {
    case Parity::Even: return 0x3C;
    case Parity::Odd: return 0xC3;
    case Parity::None: break;
    }
    return 0xCC;
}

QByteArray Dk618Model::reply(quint8 command, const QByteArray &data) const
{
    // Every answer carries 00 and the low byte of the radio's address.
    return AddressedReply(command, quint8(address_ & 0xFF), data, qm::kSelector);
}

std::optional<QByteArray> Dk618Model::answer(const QByteArray &f)
{
    const int len = WholeFrameLen(f);
    if (len < 0 || quint8(f[2]) != qm::kSelector)
        return std::nullopt;

    const quint8 command = quint8(f[3]);
    switch (command) {
    case 0x99:
        return reply(command, modelText_);
    case 0x63: {
        QByteArray data;
        for (quint16 w : tx_)
            AppendWord(data, w);
        for (quint16 w : rx_)
            AppendWord(data, w);
        return reply(command, data);
    }
    case 0x67: {
        QByteArray data;
        AppendWord(data, address_);
        return reply(command, data);
    }
    case 0x6B: {
        QByteArray data;
        data.append(char(current_));
        AppendWord(data, tx_[size_t(current_)]);
        AppendWord(data, rx_[size_t(current_)]);
        return reply(command, data);
    }
    case 0x72: {
        QByteArray data;
        data.append(char(rateCode_));
        data.append(char(parityCode_));
        data.append(char(transferMode_));
        data.append(char(addressMode_));
        data.append(char(airRate_));
        AppendWord(data, pttLimit_);
        return reply(command, data);
    }
    case 0x61:
        if (len < 0x2D)
            return std::nullopt;
        for (int i = 0; i < kChannels; ++i) {
            tx_[size_t(i)] = WordAt(f, 6 + 2 * i);
            rx_[size_t(i)] = WordAt(f, 26 + 2 * i);
        }
        return reply(command);
    case 0x65:
        if (len < 7)
            return std::nullopt;
        address_ = WordAt(f, 6);
        return reply(command);
    case 0x69: {
        if (len < 0x0E)
            return std::nullopt;
        const int channel = quint8(f[6]);
        if (channel < kChannels) {
            current_ = channel;
            tx_[size_t(channel)] = WordAt(f, 7);
            rx_[size_t(channel)] = WordAt(f, 9);
        }
        return reply(command);
    }
    case 0x70:
        if (len < 0x0C)
            return std::nullopt;
        rateCode_ = quint8(f[6]);
        parityCode_ = quint8(f[7]);
        transferMode_ = quint8(f[8]);
        addressMode_ = quint8(f[9]);
        airRate_ = quint8(f[10]);
        pttLimit_ = WordAt(f, 11);
        // A code the radio does not know leaves that half of the line as it was.
        if (auto rate = rateOfCode(rateCode_))
            line_.Rate = *rate;
        if (auto parity = parityOfCode(parityCode_))
            line_.Par = *parity;
        return reply(command);
    case 0x08:
        if (len < 6)
            return std::nullopt;
        return reply(command);
    default:
        return answerTest(command, f, len);
    }
}

int Dk618Model::wobble(int span)
{
    if (steady_ || span <= 0)
        return 0;
    // xorshift: the same drift on every run, so a log can be compared.
    drift_ ^= drift_ << 13;
    drift_ ^= drift_ >> 17;
    drift_ ^= drift_ << 5;
    return int(drift_ % quint32(2 * span + 1)) - span;
}

std::optional<QByteArray> Dk618Model::answerTest(quint8 command, const QByteArray &f, int len)
{
    auto tenths = [](int value) {
        QByteArray data;
        data.append(char(value / 10));
        data.append(char(value % 10));
        return data;
    };
    switch (command) {
    case 0xD0: {
        // Trimming report: rows 1..7, power level, row 9, row 8.
        if (len < 6)
            return std::nullopt;
        QByteArray data;
        for (int row = 1; row <= 7; ++row)
            data.append(char(trimming(row)));
        data.append(char(powerLevel_));
        data.append(char(trimming(9)));
        data.append(char(trimming(8)));
        return reply(0xDF, data);
    }
    case 0xC0: {
        if (len < 8)
            return std::nullopt;
        const quint8 code = quint8(f[6]);
        if (code < 0xC1 || code > 0xC9)
            return std::nullopt;
        trim_[size_t(code - 0xC1)] = quint8(f[7]);
        if (code == 0xC8)
            powerLevel_ = quint8(f[8]);
        return reply(command);
    }
    case 0xD1: { // temperature in sixteenths of a degree
        if (len < 6)
            return std::nullopt;
        const int raw = 27 * 16 + wobble(8);
        QByteArray data;
        data.append(char(raw >> 8));
        data.append(char(raw & 0xFF));
        return reply(0xD2, data);
    }
    case 0xD3: { // field strength, read as -n dBm
        if (len < 6)
            return std::nullopt;
        QByteArray data;
        data.append('\0');
        data.append(char(95 + wobble(2)));
        return reply(0xD4, data);
    }
    case 0xD7: { // transmit power, then the standing-wave alarm
        if (len < 6)
            return std::nullopt;
        QByteArray data = tenths(355 + wobble(3));
        data.append(char(swrAlarm_ ? 0xFF : 0x00));
        return reply(0xD8, data);
    }
    case 0xD9: // supply voltage
        if (len < 6)
            return std::nullopt;
        return reply(0xDA, tenths(120 + wobble(2)));
    case 0x74: // voice, signalling 1 and 2, stop
    case 0x9C:
    case 0x9D:
    case 0xC9:
        if (len < 6)
            return std::nullopt;
        return reply(command);
    case 0xF1: // field-strength, power and alarm references
    case 0xF3:
    case 0xF5:
        if (len < 8)
            return std::nullopt;
        return reply(command);
    case 0xF9: // power level
        if (len < 7)
            return std::nullopt;
        powerLevel_ = quint8(f[6]);
        return reply(command);
    default:
        return std::nullopt;
    }
}

} // namespace qmsim
