#include "link/receiver.h"

#include "link/frame.h"

namespace qm {

namespace {
void advanceRead(ProtocolState &s)
{
    if (++s.RxReadPos >= kRingSize)
        s.RxReadPos = 0;
}
} // namespace

void StoreRxBytes(ProtocolState &s, const quint8 *bytes, qint64 count)
{
    auto ring = s.RxBuffer();
    for (qint64 i = 0; i < count; ++i) {
        if (s.RxWritePos < 0 || s.RxWritePos >= kRingSize)
            s.RxWritePos = 0;
        ring[s.RxWritePos] = bytes[i];
        if (++s.RxWritePos >= kRingSize)
            s.RxWritePos = 0;
    }
}

bool ParseRxByte(ProtocolState &s)
{
    if (s.RxReadPos < 0 || s.RxReadPos >= kRingSize)
        s.RxReadPos = 0;
    const quint8 b = s.RxBuffer()[s.RxReadPos];
    switch (s.RxState) {
    case 0:
        if (b == kFrameHeader) {
            s.RxFrameStart = s.RxReadPos;
            s.RxCheck = kFrameHeader;
            s.RxState = 1;
        }
        advanceRead(s);
        return false;
    case 1:
        s.RxCheck ^= b;
        advanceRead(s);
        s.RxRemain = b;
        s.RxFrameLen = b;
        // A frame of LEN 0 would end at its own length byte; there is nothing
        // to count, so drop it and hunt for the next header.
        s.RxState = b == 0 ? 0 : 2;
        return false;
    case 2:
        s.RxCheck ^= b;
        advanceRead(s);
        if (--s.RxRemain != 0)
            return false;
        s.RxState = 0;
        if (s.RxCheck != 0)
            return false;
        s.ReplyStart = s.RxFrameStart;
        s.ReplyLen = s.RxFrameLen;
        s.ReplyReady = true;
        s.AutoSetReply = true;
        return true;
    default:
        s.RxState = 0;
        return false;
    }
}

QByteArray ReplyBytes(const ProtocolState &s)
{
    const int total = s.ReplyLen + 2;
    QByteArray frame(total, '\0');
    for (int k = 0; k < total; ++k)
        frame[k] = char(s.RxBuffer()[size_t((s.ReplyStart + k) % kRingSize)]);
    return frame;
}

} // namespace qm
