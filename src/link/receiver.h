#pragma once
// The receive ring and the byte-driven reply recogniser.

#include "link/protocolstate.h"

namespace qm {

// Stores count received bytes in the ring at RxWritePos, wrapping at 1000.
void StoreRxBytes(ProtocolState &s, const quint8 *bytes, qint64 count);

// Examines the byte at RxReadPos and advances RxReadPos by one. Returns true
// when that byte completed a frame with a good check; ReplyReady and
// AutoSetReply are then set and RxFrameStart / RxFrameLen describe the frame.
bool ParseRxByte(ProtocolState &s);

} // namespace qm
