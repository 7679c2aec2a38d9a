#include "mlr4800model.h"

#include "link/frame.h"

namespace qmsim {

namespace {
struct RateCode {
    qint32 Rate;
    quint8 Code;
};
constexpr RateCode kRateCodes[] = {{1200, 0x2C}, {2400, 0xC2}, {4800, 0x39}, {9600, 0x93}, {19200, 0xA5}};

} // namespace

Mlr4800Model::Mlr4800Model(const SimLine &line)
    : line_(line)
{
    if (const quint8 code = codeOfRate(line.Rate))
        rateCode_ = code;
}

std::optional<qint32> Mlr4800Model::rateOfCode(quint8 code)
{
    for (const RateCode &rc : kRateCodes)
        if (rc.Code == code)
            return rc.Rate;
    return std::nullopt;
}

quint8 Mlr4800Model::codeOfRate(qint32 rate)
{
    for (const RateCode &rc : kRateCodes)
        if (rc.Rate == rate)
            return rc.Code;
    return 0;
}

QByteArray Mlr4800Model::reply(quint8 command, quint8 selector, const QByteArray &data) const
{
    return AddressedReply(command, quint8(address_ & 0xFF), data, selector);
}

std::optional<QByteArray> Mlr4800Model::answer(const QByteArray &f)
{
    const int len = WholeFrameLen(f);
    if (len < 0)
        return std::nullopt;

    const quint8 selector = quint8(f[2]);
    const quint8 command = quint8(f[3]);
    // The frequency commands go with 0x80, everything else with 0x81.
    const bool frequencies = command == 0x61 || command == 0x63;
    if (selector != (frequencies ? qm::kSelector : qm::kSubscriberSelector))
        return std::nullopt;

    switch (command) {
    case 0x63: {
        QByteArray data;
        AppendWord(data, tx_);
        AppendWord(data, rx_);
        return reply(command, selector, data);
    }
    case 0x67: {
        QByteArray data;
        AppendWord(data, address_);
        return reply(command, selector, data);
    }
    case 0x73: {
        QByteArray data;
        data.append(char(rateCode_));
        data.append(char(airCode_));
        data.append(char(meterCode_));
        return reply(command, selector, data);
    }
    case 0x61:
        if (len < 9)
            return std::nullopt;
        tx_ = WordAt(f, 6);
        rx_ = WordAt(f, 8);
        return reply(command, selector);
    case 0x65:
        if (len < 7)
            return std::nullopt;
        address_ = WordAt(f, 6);
        return reply(command, selector);
    case 0x71:
        if (len < 7)
            return std::nullopt;
        airCode_ = quint8(f[6]);
        meterCode_ = quint8(f[7]);
        return reply(command, selector);
    case 0x6D:
        if (len < 6)
            return std::nullopt;
        rateCode_ = quint8(f[6]);
        // A code the unit does not know leaves its line as it was.
        if (const auto rate = rateOfCode(rateCode_))
            line_ = {*rate, Parity::Even};
        return reply(command, selector);
    default:
        return std::nullopt;
    }
}

} // namespace qmsim
