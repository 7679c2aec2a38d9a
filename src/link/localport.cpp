#include "link/localport.h"

#include "link/portdiagnosis.h"

#include <QTimer>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace qm {

LocalPort::LocalPort(QObject *parent)
    : PortTransport(parent)
{
    port_.setObjectName(QStringLiteral("ComPort1Device"));
    connect(&port_, &QSerialPort::readyRead, this, &PortTransport::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &LocalPort::onError);
}

bool LocalPort::open(const QString &device, const PortLine &line)
{
    if (port_.isOpen())
        return true;
    line_ = line;
    port_.setPortName(device);
    port_.setBaudRate(line.rate);
    port_.setParity(line.parity);
    port_.setDataBits(QSerialPort::Data8);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    closing_ = false;
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = DescribeOpenFailure(device, port_.errorString());
        return false;
    }
    // Opening raises DTR and RTS; on a radio's interface cable either line
    // can key the transmitter or reset the interface, so both go down at
    // once. Settings a device refuses after opening (a pseudo terminal has
    // no modem lines and ignores some settings) are not fatal: the line
    // still carries bytes, and nothing is reported.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(false);
    port_.setBaudRate(line.rate);
    port_.setParity(line.parity);
    clearOddBit();
    port_.clearError();
    error_.clear();
    return true;
}

void LocalPort::close()
{
    if (port_.isOpen())
        port_.close();
}

void LocalPort::setLine(const PortLine &line)
{
    line_ = line;
    if (!port_.isOpen())
        return;
    port_.setBaudRate(line.rate);
    port_.setParity(line.parity);
    clearOddBit();
}

void LocalPort::clearOddBit()
{
#ifdef Q_OS_UNIX
    // "No parity" clears only the parity-enable bit and leaves the odd bit of
    // an earlier odd parity in the tty settings. A UART ignores it, but a
    // pseudo terminal keeps that bit alone, and a peer reading the settings
    // would take the line for odd.
    if (line_.parity != QSerialPort::NoParity || !port_.isOpen())
        return;
    const int fd = int(port_.handle());
    termios t{};
    if (::tcgetattr(fd, &t) == 0 && (t.c_cflag & PARODD)) {
        t.c_cflag &= ~tcflag_t(PARODD);
        ::tcsetattr(fd, TCSANOW, &t);
    }
#endif
}

qint64 LocalPort::write(const char *bytes, qint64 count)
{
    writeFailed_ = false;
    const qint64 written = port_.write(bytes, count);
    if (written < 0)
        error_ = port_.errorString();
    return written;
}

qint64 LocalPort::read(char *bytes, qint64 max)
{
    const qint64 n = port_.read(bytes, max);
    return n < 0 ? 0 : n;
}

void LocalPort::onError(QSerialPort::SerialPortError error)
{
    // A write is queued and sent later; its failure comes here.
    if (error == QSerialPort::WriteError && port_.isOpen()) {
        if (writeFailed_)
            return;
        writeFailed_ = true;
        const QString reason = port_.errorString();
        port_.clear(QSerialPort::Output);
        port_.clearError();
        emit writeFailed(reason);
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
    const QString reason = port_.errorString();
    QTimer::singleShot(0, this, [this, reason] {
        if (port_.isOpen())
            port_.close();
        emit lost(reason);
    });
}

} // namespace qm
