#pragma once
// The command frame: 0x96, LEN, selector, command, data, XOR check. LEN counts
// the bytes after the length byte, check included, so a frame is LEN + 2 bytes.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <span>

namespace qm {

inline constexpr quint8 kFrameHeader = 0x96;
inline constexpr quint8 kSelector = 0x80;
inline constexpr quint8 kSubscriberSelector = 0x81;

// XOR of bytes 0..len of a frame, the value of its check byte at len + 1.
quint8 FrameCheck(const quint8 *bytes, int len);

// Fills in header, length, selector, command and check byte of the frame whose
// data bytes 4..len the caller has placed in tx. len is taken modulo 256 for
// the length byte, as the unit reads it.
void CompleteFrame(std::span<quint8> tx, quint8 command, int len, quint8 selector);

// A whole frame as bytes, for the simulated unit and the tests: data are the
// bytes from offset 4 on.
QByteArray BuildFrame(quint8 command, const QByteArray &data, quint8 selector = kSelector);

// The monitor line for count bytes: "P->T: " for a frame the tool sent
// (direction false), "T->P: " for a reply, then the bytes in groups of six.
QString TrafficText(const quint8 *bytes, int count, bool direction);

// index advanced by n positions around the receive ring; n <= 0 leaves it.
qint32 RxStep(qint32 index, qint8 n);

} // namespace qm
