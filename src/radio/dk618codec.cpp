#include "radio/dk618codec.h"

namespace qm::dk618 {

qint64 WordOfFrequency(qint64 frequency, int step, bool band800)
{
    if (band800)
        frequency -= kBand800Offset;
    return frequency / step; // truncates toward zero, as the radio's tool always did
}

qint64 FrequencyOfWord(quint16 word, int step, bool band800)
{
    return qint64(word) * step + (band800 ? kBand800Offset : 0);
}

quint8 RateCode(int itemIndex)
{
    if (itemIndex < 0 || itemIndex > 6)
        return 0x01;
    return quint8(1u << itemIndex);
}

int RateIndexOfCode(quint8 code)
{
    if (code == 0 || (code & 1))
        return 0;
    int index = 0;
    while (code >>= 1)
        ++index;
    return index;
}

quint8 ParityCode(int itemIndex)
{
    switch (itemIndex) {
    case 1: return 0x3C;
    case 2: return 0xC3;
    default: return 0xCC;
    }
}

std::optional<int> ParityIndexOfCode(quint8 code)
{
    switch (code) {
    case 0xCC: return 0;
    case 0x3C: return 1;
    case 0xC3: return 2;
    default: return std::nullopt;
    }
}

quint8 TransferCode(bool relay, bool transparent)
{
    if (relay)
        return 0xAA;
    return transparent ? 0xAC : 0xCA;
}

quint8 AddressModeCode(bool selectionOn)
{
    return selectionOn ? 0x23 : 0x32;
}

quint8 AirCode(bool air9600, bool seriesA)
{
    return quint8((air9600 ? 0x80 : 0) | (seriesA ? 0x40 : 0));
}

std::optional<AirAndSeries> AirOfCode(quint8 code)
{
    switch (code) {
    case 0x00: return AirAndSeries{false, false};
    case 0x40: return AirAndSeries{false, true};
    case 0x80: return AirAndSeries{true, false};
    case 0xC0:
    case 0x55: return AirAndSeries{true, true};
    default: return std::nullopt;
    }
}

quint16 ShownPttLimit(quint16 limit)
{
    return limit > 1800 ? 0 : limit;
}

BandAndSpacing BandOfModel(const QByteArray &model)
{
    if (model.mid(2, 3) == "285")
        return {true, true};
    return {false, model.mid(2, 4) == "245N"};
}

bool IsModel150(const QByteArray &model)
{
    return model.mid(2, 3) == "150";
}

} // namespace qm::dk618
