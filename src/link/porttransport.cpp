#include "link/porttransport.h"

namespace qm {

QString ParityLetterOf(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity: return QStringLiteral("E");
    case QSerialPort::OddParity: return QStringLiteral("O");
    default: return QStringLiteral("N");
    }
}

QString PortLineText(const PortLine &line)
{
    return QStringLiteral("%1,%2,8,1").arg(line.rate).arg(ParityLetterOf(line.parity));
}

void PortTransport::startOpen(const QString &device, const PortLine &line)
{
    if (open(device, line))
        emit opened();
    else
        emit openFailed();
}

} // namespace qm
