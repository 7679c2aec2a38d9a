#include "link/frame.h"

#include "link/protocolstate.h"

namespace qm {

quint8 FrameCheck(const quint8 *bytes, int len)
{
    quint8 check = 0;
    for (int i = 0; i <= len; ++i)
        check ^= bytes[i];
    return check;
}

void CompleteFrame(std::span<quint8> tx, quint8 command, int len, quint8 selector)
{
    Q_ASSERT(len >= 3 && len + 1 < int(tx.size()));
    tx[0] = kFrameHeader;
    tx[1] = quint8(len);
    tx[2] = selector;
    tx[3] = command;
    tx[len + 1] = FrameCheck(tx.data(), len);
}

QByteArray BuildFrame(quint8 command, const QByteArray &data, quint8 selector)
{
    const int len = int(data.size()) + 4 - 1; // bytes after LEN: selector, command, data, check
    QByteArray frame(len + 2, '\0');
    auto *bytes = reinterpret_cast<quint8 *>(frame.data());
    std::copy(data.begin(), data.end(), frame.begin() + 4);
    CompleteFrame(std::span<quint8>(bytes, size_t(frame.size())), command, len, selector);
    return frame;
}

QString TrafficText(const quint8 *bytes, int count, bool direction)
{
    static const char digits[] = "0123456789ABCDEF";
    QString text = direction ? QStringLiteral("T->P: ") : QStringLiteral("P->T: ");
    text.reserve(6 + count * 4 + 6);
    for (int i = 0; i < count; ++i) {
        if (i > 0 && i % 6 == 0)
            text += QStringLiteral("      ");
        text += QLatin1Char(digits[bytes[i] >> 4]);
        text += QLatin1Char(digits[bytes[i] & 0x0F]);
        text += QLatin1Char(' ');
    }
    return text;
}

qint32 RxStep(qint32 index, qint8 n)
{
    for (int i = 0; i < n; ++i) {
        ++index;
        if (index >= kRingSize)
            index = 0;
    }
    return index;
}

} // namespace qm
