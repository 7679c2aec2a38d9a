#pragma once
// The serial port ComPort1. The user sees "COM1".."COM4"; on Linux those open
// /dev/ttyS0../dev/ttyS3 unless a --port COMn=DEVICE mapping names another
// device (a USB adapter, a pseudo terminal).

#include <QHash>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace qm {

class SerialPort : public QObject {
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);

    // COMn -> device path mappings from the command line.
    void setPortMap(const QHash<QString, QString> &map) { map_ = map; }
    QHash<QString, QString> portMap() const { return map_; }
    QString deviceFor(const QString &portName) const;

    void setPortName(const QString &portName) { portName_ = portName; }
    QString portName() const { return portName_; }

    // Opens the named port with the current rate and parity, 8 data bits,
    // 1 stop bit, no flow control, DTR and RTS dropped. Does nothing
    // when already open. Returns false with errorString() when it fails:
    // "COMn：" and a line that says why and what to do (portdiagnosis.h).
    bool open();
    void close();
    bool isOpen() const { return port_.isOpen(); }
    QString errorString() const { return error_; }

    // Take effect at once on an open port.
    void setRate(qint32 rate);
    void setParity(QSerialPort::Parity parity);
    qint32 rate() const { return rate_; }
    QSerialPort::Parity parity() const { return parity_; }

    // Sends the bytes in order; throws qm::Error when the port is not open or
    // the write fails. Returns the count written.
    qint64 write(const quint8 *bytes, qint64 count);
    // Copies up to max waiting bytes; returns how many.
    qint64 read(quint8 *bytes, qint64 max);
    qint64 bytesAvailable() const { return port_.bytesAvailable(); }

    QSerialPort &device() { return port_; }

signals:
    void readyRead();
    // The port has just been opened.
    void opened();
    // The open device went away (adapter unplugged, peer closed); the port
    // has been closed. Raised once per loss.
    void lost(const QString &message);
    // Bytes queued by write() could not be sent; raised once per write.
    void writeFailed(const QString &message);

private:
    void onError(QSerialPort::SerialPortError error);
    void clearOddBit();

    QSerialPort port_;
    QHash<QString, QString> map_;
    QString portName_ = QStringLiteral("COM1");
    QString error_;
    qint32 rate_ = 9600;
    QSerialPort::Parity parity_ = QSerialPort::NoParity;
    bool closing_ = false;
    bool writeFailed_ = false;
};

} // namespace qm
