#pragma once
// A serial device of this computer (/dev/ttyUSB0, /dev/ttyS0, a pseudo
// terminal) behind the port seam, through QSerialPort.

#include "link/porttransport.h"

#include <QSerialPort>

namespace qm {

class LocalPort : public PortTransport {
    Q_OBJECT
public:
    explicit LocalPort(QObject *parent = nullptr);

    // 8 data bits, 1 stop bit, no flow control, DTR and RTS dropped. A
    // failure says why in a technician's words (portdiagnosis.h).
    bool open(const QString &device, const PortLine &line) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    QString errorString() const override { return error_; }
    void setLine(const PortLine &line) override;
    qint64 write(const char *bytes, qint64 count) override;
    qint64 read(char *bytes, qint64 max) override;
    qint64 bytesAvailable() const override { return port_.bytesAvailable(); }

    QSerialPort &device() { return port_; }

private:
    void onError(QSerialPort::SerialPortError error);
    void clearOddBit();

    QSerialPort port_;
    PortLine line_;
    QString error_;
    bool closing_ = false;
    bool writeFailed_ = false;
};

} // namespace qm
