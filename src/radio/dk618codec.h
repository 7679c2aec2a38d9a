#pragma once
// How the data radio's parameters travel on the line.

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace qm::dk618 {

inline constexpr qint32 kBand800Offset = 6000000;

// Frequency in 100 Hz units to channel word and back; step is 250 (25K) or
// 125 (12.5K). The word may fall outside 0..65535; callers check.
qint64 WordOfFrequency(qint64 frequency, int step, bool band800);
qint64 FrequencyOfWord(quint16 word, int step, bool band800);

// Line rate: 1 << item index (rate / 300); no item gives 0x01. Reading: 0
// or odd gives 0, otherwise the integer log2; a result above 6 selects no
// item (the caller shows an empty text).
quint8 RateCode(int itemIndex);
int RateIndexOfCode(quint8 code);

// Parity: none 0xCC, even 0x3C, odd 0xC3; reading any other byte changes
// nothing (nullopt).
quint8 ParityCode(int itemIndex);
std::optional<int> ParityIndexOfCode(quint8 code);

// Transfer mode: relay 0xAA whatever else; transparent 0xAC; protocol 0xCA.
quint8 TransferCode(bool relay, bool transparent);
// Address selection on 0x23, off 0x32.
quint8 AddressModeCode(bool selectionOn);
// Air rate and series: bit 7 = 9.6K, bit 6 = series A.
quint8 AirCode(bool air9600, bool seriesA);
struct AirAndSeries {
    bool air9600;
    bool seriesA;
};
// 0x00, 0x40, 0x80, 0xC0 and 0x55 (= 9.6K, A); others change nothing.
std::optional<AirAndSeries> AirOfCode(quint8 code);

// PTT limit as read: above 1800 seconds it is shown as 0.
quint16 ShownPttLimit(quint16 limit);

// The model text decides band and spacing: characters 2..4 "285" mean the
// 800 MHz band at 12.5K, 2..5 "245N" 12.5K, anything else 25K.
struct BandAndSpacing {
    bool band800;
    bool spacing125;
};
BandAndSpacing BandOfModel(const QByteArray &model);
// Characters 2..4 "150": the test page names its first two rows differently.
bool IsModel150(const QByteArray &model);

} // namespace qm::dk618
