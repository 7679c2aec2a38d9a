#pragma once
// How the subscriber unit's parameters travel on the line. The unit's own
// serial rate and its meter type each have a one-byte code;
// frequencies travel as words of 250 x 100 Hz.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace qm::mlr4800 {

inline constexpr int kFrequencyStep = 250;

// Items of the rate and meter-type lists, in list order (the air rate is
// the series' own: units/aircode.h).
QStringList RateItems();
QStringList MeterItems();

// Serial-rate code of a rate text: "2400" 0xC2, "4800" 0x39, "9600" 0x93,
// "19200" 0xA5; any other text, the empty one included, 0x2C (1200).
quint8 RateCode(const QString &text);
// List position of a rate code as the unit reports it: the written codes
// and the plain ones (0x02, 0x04, 0x08, 0x10) of 2400..19200 select items
// 1..4; any other code selects "1200" (item 0).
int RateItemOfCode(quint8 code);
// The tool's RateIndex (0..6 = 300..19200) for a written rate code, so the
// tool follows exactly the rate the unit was told.
qint32 LineRateIndexOfCode(quint8 code);

// Meter type: list position 1 ("其他") is 0xA5, anything else 0x5A.
// Reading: 0xA5 item 1, anything else item 0 ("DL/T 645").
quint8 MeterTypeCode(int itemIndex);
int MeterItemOfCode(quint8 code);

} // namespace qm::mlr4800
