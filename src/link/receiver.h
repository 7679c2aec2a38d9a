#pragma once
// The receive ring and the byte-driven reply recogniser.

#include "link/protocolstate.h"

#include <QByteArray>

namespace qm {

// Stores count received bytes in the ring at RxWritePos, wrapping at 1000.
void StoreRxBytes(ProtocolState &s, const quint8 *bytes, qint64 count);

// Examines the byte at RxReadPos and advances RxReadPos by one. Returns true
// when that byte completed a frame with a good check; ReplyReady and
// AutoSetReply are then set, and ReplyStart / ReplyLen (like RxFrameStart /
// RxFrameLen until the next header byte) describe the frame.
bool ParseRxByte(ProtocolState &s);

// The last frame with a good check, header to check byte, read around the
// ring from where it was completed.
QByteArray ReplyBytes(const ProtocolState &s);

} // namespace qm
