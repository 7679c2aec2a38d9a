#pragma once
// The air rate of the QM-4700 series units: the central and the subscriber
// unit choose it from the same list and send it as the same one-byte code.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace qm::units {

// "19200A", "9600A", "9600B".
QStringList AirRateItems();
// "19200A" 0x40, "9600B" 0x80, any other text (also "9600A" and a list
// that still shows its own name) 0xC0.
quint8 AirRateCode(const QString &text);
// The list position a code read back selects: 0x40 item 0, 0x80 item 2,
// anything else item 1 ("9600A").
int AirRateItemOfCode(quint8 code);

} // namespace qm::units
