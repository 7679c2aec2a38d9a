#pragma once
// The three choices that describe the line: port, rate and parity.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace qm {

inline constexpr int kRateCount = 7;
inline constexpr int kParityCount = 3;

struct LineSettings {
    qint32 PortIndex = 0;   // 0..3 = COM1..COM4
    qint32 RateIndex = 6;   // 0..6 = 300 .. 19200 bit/s
    qint32 ParityIndex = 0; // 0 none, 1 even, 2 odd
    bool PortBusy = false;  // the last open from the settings dialog failed
};

// 300, 600, 1200, 2400, 4800, 9600, 19200 for index 0..6; 0 outside.
qint32 RateOfIndex(qint32 rateIndex);

// ",19200,N,8,1" and its 20 siblings, by RateIndex * 3 + ParityIndex; an
// index outside the table gives an empty text.
QString LineSettingTexts(qint32 index);

// "COM1".."COM4" for PortIndex 0..3.
QString PortNameOfIndex(qint32 portIndex);

// Items of the rate and parity lists of the settings dialog and the
// data-radio page.
QStringList RateItems();
QStringList ParityItems();

} // namespace qm
