#include "link/serialport.h"

#include "common/errors.h"
#include "link/portdiagnosis.h"

#include <QTimer>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace qm {

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("ComPort1"));
    port_.setObjectName(QStringLiteral("ComPort1Device"));
    connect(&port_, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPort::onError);
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

bool SerialPort::open()
{
    if (port_.isOpen())
        return true;
    port_.setPortName(deviceFor(portName_));
    port_.setBaudRate(rate_);
    port_.setParity(parity_);
    port_.setDataBits(QSerialPort::Data8);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    closing_ = false;
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = portName_ + QStringLiteral("：") + DescribeOpenFailure(deviceFor(portName_), port_.errorString());
        return false;
    }
    // Opening raises DTR and RTS; on a radio's interface cable either line
    // can key the transmitter or reset the interface, so both go down at
    // once. Settings a device refuses after opening (a pseudo terminal has
    // no modem lines and ignores some settings) are not fatal: the line
    // still carries bytes, and nothing is reported.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(false);
    port_.setBaudRate(rate_);
    port_.setParity(parity_);
    clearOddBit();
    port_.clearError();
    error_.clear();
    emit opened();
    return true;
}

void SerialPort::close()
{
    if (port_.isOpen())
        port_.close();
}

void SerialPort::setRate(qint32 rate)
{
    rate_ = rate;
    if (port_.isOpen())
        port_.setBaudRate(rate);
}

void SerialPort::setParity(QSerialPort::Parity parity)
{
    parity_ = parity;
    if (port_.isOpen()) {
        port_.setParity(parity);
        clearOddBit();
    }
}

void SerialPort::clearOddBit()
{
#ifdef Q_OS_UNIX
    // "No parity" clears only the parity-enable bit and leaves the odd bit of
    // an earlier odd parity in the tty settings. A UART ignores it, but a
    // pseudo terminal keeps that bit alone, and a peer reading the settings
    // would take the line for odd.
    if (parity_ != QSerialPort::NoParity || !port_.isOpen())
        return;
    const int fd = int(port_.handle());
    termios t{};
    if (::tcgetattr(fd, &t) == 0 && (t.c_cflag & PARODD)) {
        t.c_cflag &= ~tcflag_t(PARODD);
        ::tcsetattr(fd, TCSANOW, &t);
    }
#endif
}

qint64 SerialPort::write(const quint8 *bytes, qint64 count)
{
    if (!port_.isOpen())
        throw Error(QStringLiteral("通讯口未打开：%1").arg(portName_));
    writeFailed_ = false;
    const qint64 written = port_.write(reinterpret_cast<const char *>(bytes), count);
    if (written < 0)
        throw Error(QStringLiteral("%1: %2").arg(portName_, port_.errorString()));
    return written;
}

qint64 SerialPort::read(quint8 *bytes, qint64 max)
{
    const qint64 n = port_.read(reinterpret_cast<char *>(bytes), max);
    return n < 0 ? 0 : n;
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    // A write is queued and sent later; its failure comes here.
    if (error == QSerialPort::WriteError && port_.isOpen()) {
        if (writeFailed_)
            return;
        writeFailed_ = true;
        const QString message = QStringLiteral("%1: %2").arg(portName_, port_.errorString());
        port_.clear(QSerialPort::Output);
        port_.clearError();
        emit writeFailed(message);
        return;
    }
    // An unplugged adapter reports a resource error; a line hung up at the
    // far end (a pseudo terminal whose master closed) reads end-of-file,
    // which comes as a read error. Either way the port is gone.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || closing_ || !port_.isOpen())
        return;
    // Such errors come many times over; close once, and not from inside the
    // signal.
    closing_ = true;
    const QString message = QStringLiteral("通讯口已断开：%1（%2）").arg(portName_, port_.errorString());
    QTimer::singleShot(0, this, [this, message] {
        if (port_.isOpen())
            port_.close();
        emit lost(message);
    });
}

} // namespace qm
