#include "link/serialport.h"

#include "common/errors.h"

namespace qm {

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
    , local_(this)
    , network_(this)
{
    setObjectName(QStringLiteral("ComPort1"));
    wire(local_);
    wire(network_);
}

void SerialPort::wire(PortTransport &transport)
{
    // Only the kind in use speaks; the other is closed.
    const auto active = [this, &transport] { return active_ == &transport; };
    connect(&transport, &PortTransport::readyRead, this, [this, active] {
        if (active())
            emit readyRead();
    });
    connect(&transport, &PortTransport::opened, this, [this, active] {
        if (!active())
            return;
        error_.clear();
        emit opened();
    });
    connect(&transport, &PortTransport::openFailed, this, [this, active, &transport] {
        if (!active())
            return;
        error_ = portName_ + QStringLiteral("：") + transport.errorString();
        emit openFailed(error_);
    });
    connect(&transport, &PortTransport::lost, this, [this, active](const QString &reason) {
        if (active())
            emit lost(QStringLiteral("通讯口已断开：%1（%2）").arg(portName_, reason));
    });
    connect(&transport, &PortTransport::writeFailed, this, [this, active](const QString &reason) {
        if (active())
            emit writeFailed(QStringLiteral("%1: %2").arg(portName_, reason));
    });
    connect(&transport, &PortTransport::notice, this, [this, active](const QString &line) {
        if (active())
            emit notice(line);
    });
}

QString SerialPort::deviceFor(const QString &portName) const
{
    const QString key = portName.toUpper();
    if (map_.contains(key))
        return map_.value(key);
#ifdef Q_OS_WIN
    return portName;
#else
    if (key.startsWith(QLatin1String("COM"))) {
        bool ok = false;
        const int n = key.mid(3).toInt(&ok);
        if (ok && n >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    return portName;
#endif
}

PortTransport &SerialPort::choose()
{
    // An open of the other kind still under way is given up.
    active_->close();
    active_ = IsNetworkPort(deviceFor(portName_)) ? static_cast<PortTransport *>(&network_) : &local_;
    return *active_;
}

bool SerialPort::open()
{
    if (isOpen())
        return true;
    PortTransport &port = choose();
    if (!port.open(deviceFor(portName_), line_)) {
        error_ = portName_ + QStringLiteral("：") + port.errorString();
        return false;
    }
    error_.clear();
    emit opened();
    return true;
}

void SerialPort::startOpen()
{
    if (isOpen())
        return;
    choose().startOpen(deviceFor(portName_), line_);
}

void SerialPort::close()
{
    active_->close();
}

void SerialPort::setLine(const PortLine &line)
{
    line_ = line;
    active_->setLine(line);
}

qint64 SerialPort::write(const quint8 *bytes, qint64 count)
{
    if (!isOpen())
        throw Error(QStringLiteral("通讯口未打开：%1").arg(portName_));
    const qint64 written = active_->write(reinterpret_cast<const char *>(bytes), count);
    if (written < 0)
        throw Error(QStringLiteral("%1: %2").arg(portName_, active_->errorString()));
    return written;
}

qint64 SerialPort::read(quint8 *bytes, qint64 max)
{
    return active_->read(reinterpret_cast<char *>(bytes), max);
}

} // namespace qm
