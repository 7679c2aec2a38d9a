#include "link/link.h"

#include "link/frame.h"
#include "link/receiver.h"

#include <array>

namespace qm {

Link::Link(QObject *parent)
    : QObject(parent)
    , port_(this)
{
    connect(&port_, &SerialPort::readyRead, this, &Link::ComPort1RxChar);
    connect(&port_, &SerialPort::lost, this, [this](const QString &message) {
        emit monitorLine(message);
        emit portStatus(message);
        emit portLost(message);
    });
    connect(&port_, &SerialPort::writeFailed, this, &Link::writeFailed);
    connect(&port_, &SerialPort::notice, this, &Link::monitorLine);
}

void Link::SendFrame(quint8 command, int len, quint8 selector)
{
    auto tx = state_.TxBuffer();
    CompleteFrame(tx, command, len, selector);
    state_.RxReadPos = 0;
    state_.RxWritePos = 0;
    WritePort(len + 2);
    LogTraffic(tx.data(), len + 2, false);
}

void Link::AbandonReply()
{
    state_.ExchangeStep = 0;
    state_.ExchangeTicks = 0;
    state_.ReplyReady = false;
    state_.AutoSetReply = false;
    state_.RxState = 0;
    state_.RxReadPos = state_.RxWritePos = 0;
    if (port_.isOpen())
        port_.device().clear(QSerialPort::Input);
}

qint64 Link::WritePort(int count)
{
    return port_.write(state_.TxBuffer().data(), count);
}

void Link::LogTraffic(const quint8 *bytes, int count, bool direction)
{
    if (!state_.MonitorOn)
        return;
    emit monitorLine(TrafficText(bytes, count, direction));
}

QString Link::portStatusText() const
{
    return QStringLiteral("通讯端口状态：") + PortNameOfIndex(line_.PortIndex)
        + LineSettingTexts(line_.RateIndex * kParityCount + line_.ParityIndex);
}

void Link::ApplyLineSettings()
{
    // One value for the port, so a network port sends the new line at once.
    PortLine line = port_.line();
    if (const qint32 rate = RateOfIndex(line_.RateIndex))
        line.rate = rate;
    switch (line_.ParityIndex) {
    case 0: line.parity = QSerialPort::NoParity; break;
    case 1: line.parity = QSerialPort::EvenParity; break;
    case 2: line.parity = QSerialPort::OddParity; break;
    default: break;
    }
    port_.setLine(line);
    emit portStatus(portStatusText());
}

void Link::ComPort1RxChar()
{
    std::array<quint8, 256> chunk;
    while (port_.bytesAvailable() > 0) {
        const qint64 n = port_.read(chunk.data(), qint64(chunk.size()));
        if (n <= 0)
            break;
        receiveBytes(chunk.data(), n);
    }
}

void Link::receiveBytes(const quint8 *bytes, qint64 count)
{
    // In pieces of at most 256 bytes, each recognised before the next is
    // stored, so a long burst cannot lap the recogniser in the ring.
    while (count > 0) {
        const qint64 piece = std::min<qint64>(count, 256);
        StoreRxBytes(state_, bytes, piece);
        bytes += piece;
        count -= piece;
        while (state_.RxReadPos != state_.RxWritePos) {
            if (!ParseRxByte(state_))
                continue;
            emit frameReceived();
            // The frame as it stood, also when a stray byte came before it.
            if (state_.MonitorOn) {
                const QByteArray reply = ReplyBytes(state_);
                LogTraffic(reinterpret_cast<const quint8 *>(reply.constData()), int(reply.size()), true);
            }
        }
    }
}

} // namespace qm
