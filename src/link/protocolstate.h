#pragma once
// The protocol state every exchange shares: one 2000-byte area whose first
// half is the receive ring and whose second half is the transmit frame, the
// ring indexes and recogniser state, the reply flags, and the step and tick
// counters of whichever exchange is running. One object owns it (the Link);
// pages and timers get it by reference, and tests build a fresh one.

#include <QtGlobal>
#include <array>
#include <span>

namespace qm {

inline constexpr int kRingSize = 1000;
inline constexpr int kTxSize = 1000;

struct ProtocolState {
    ProtocolState() = default;
    ProtocolState(const ProtocolState &) = delete;
    ProtocolState &operator=(const ProtocolState &) = delete;

    // Bytes 0..999 receive ring, 1000..1999 transmit frame. The transmit half
    // is never cleared between commands: a byte a command does not write
    // keeps what the previous command left there.
    std::array<quint8, kRingSize + kTxSize> Area{};
    std::span<quint8, kRingSize> RxBuffer() { return std::span<quint8, kRingSize>(Area.data(), kRingSize); }
    std::span<quint8, kTxSize> TxBuffer() { return std::span<quint8, kTxSize>(Area.data() + kRingSize, kTxSize); }
    std::span<const quint8, kRingSize> RxBuffer() const { return std::span<const quint8, kRingSize>(Area.data(), kRingSize); }
    std::span<const quint8, kTxSize> TxBuffer() const { return std::span<const quint8, kTxSize>(Area.data() + kRingSize, kTxSize); }

    // Receive ring and recogniser.
    qint32 RxWritePos = 0;
    qint32 RxReadPos = 0;
    quint8 RxState = 0;
    quint8 RxCheck = 0;
    qint32 RxRemain = 0;
    qint32 RxFrameStart = 0;
    qint32 RxFrameLen = 0;

    // Where and how long the last frame with a good check stood when it was
    // completed. RxFrameStart moves on at the next header byte, even a
    // noise byte, so replies are read from here.
    qint32 ReplyStart = 0;
    qint32 ReplyLen = 0;

    // Set on every frame with a good check; polled and cleared by the
    // exchange timers (ReplyReady) and the detection dialog (AutoSetReply).
    bool ReplyReady = false;
    bool AutoSetReply = false;

    // The running exchange. Only one exchange is meant to run at a time, so
    // the step and tick counters are shared by all three exchange timers.
    qint32 ExchangeStep = 0;
    qint32 ExchangeTicks = 0;
    bool RadioWriteActive = false;
    bool RadioReadActive = false;
    bool CentralWriteActive = false;
    bool CentralReadActive = false;
    bool SubscriberWriteActive = false;
    bool SubscriberReadActive = false;
    bool MeasurePending = false;

    // Current channel of the last data-radio or central-unit write or read.
    qint32 CurrentChannel = 0;

    // Hexadecimal echo of the traffic into the monitor memo; switched on by
    // the hidden key sequence and never off again.
    bool MonitorOn = false;
};

} // namespace qm
