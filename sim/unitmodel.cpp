#include "unitmodel.h"

#include "link/frame.h"

namespace qmsim {

QString LineText(const SimLine &line)
{
    const char p = line.Par == Parity::None ? 'N' : line.Par == Parity::Even ? 'E' : 'O';
    return QStringLiteral("%1,%2").arg(line.Rate).arg(QLatin1Char(p));
}

int WholeFrameLen(const QByteArray &f)
{
    // The smallest frame a unit acts on has two address bytes: LEN 5.
    if (f.size() < 7 || f.size() > 257 || quint8(f[0]) != qm::kFrameHeader)
        return -1;
    const int len = quint8(f[1]);
    if (f.size() != len + 2 || len < 5)
        return -1;
    if (qm::FrameCheck(reinterpret_cast<const quint8 *>(f.constData()), len + 1) != 0)
        return -1;
    return len;
}

QByteArray AddressedReply(quint8 command, quint8 addressByte, const QByteArray &data, quint8 selector)
{
    QByteArray body;
    body.append('\0');
    body.append(char(addressByte));
    body.append(data);
    return qm::BuildFrame(command, body, selector);
}

} // namespace qmsim
