#pragma once
// The serial port ComPort1. The user sees "COM1".."COM4"; on Linux those open
// /dev/ttyS0../dev/ttyS3 unless a --port COMn=DEVICE mapping names another
// device: a USB adapter, a pseudo terminal, or the serial port of a device
// server on the network ("rfc2217://HOST:PORT", "socket://HOST:PORT"). The
// device name picks the kind of port behind it (porttransport.h); callers
// see one port whatever it is.

#include "link/localport.h"
#include "link/networkport.h"
#include "link/porttransport.h"

#include <QHash>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace qm {

class SerialPort : public QObject {
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);

    // COMn -> device mappings from the command line and the settings dialog.
    void setPortMap(const QHash<QString, QString> &map) { map_ = map; }
    QHash<QString, QString> portMap() const { return map_; }
    QString deviceFor(const QString &portName) const;

    void setPortName(const QString &portName) { portName_ = portName; }
    QString portName() const { return portName_; }

    // Opens the named port with the line in force, 8 data bits, 1 stop bit,
    // no flow control, DTR and RTS dropped, and waits until it carries
    // bytes (a network port at most 3 s). Does nothing when already open.
    // Returns false with errorString() when it fails: "COMn：" and a line
    // that says why and what to do.
    bool open();
    // The same without waiting; the result comes as opened() or
    // openFailed(). A network port is then never waited for (the port
    // keeper reconnects through it).
    void startOpen();
    void close();
    bool isOpen() const { return active_->isOpen(); }
    // Whether an open of startOpen() is under way; open() and close() give
    // it up.
    bool isOpening() const { return active_->isOpening(); }
    QString errorString() const { return error_; }

    // Takes effect at once on an open port.
    void setLine(const PortLine &line);
    PortLine line() const { return line_; }
    qint32 rate() const { return line_.rate; }
    QSerialPort::Parity parity() const { return line_.parity; }
    // Whether the line settings reach the line of the port last opened: not
    // through a raw network port, nor a device server that refused them.
    bool setsLine() const { return active_->setsLine(); }
    // Whether the device of the port last opened is on the network.
    bool isNetwork() const { return active_ == &network_; }

    // Sends the bytes in order; throws qm::Error when the port is not open or
    // the write fails. Returns the count written.
    qint64 write(const quint8 *bytes, qint64 count);
    // Copies up to max waiting bytes; returns how many.
    qint64 read(quint8 *bytes, qint64 max);
    qint64 bytesAvailable() const { return active_->bytesAvailable(); }

    // The local serial device (tests look at its settings).
    QSerialPort &device() { return local_.device(); }

signals:
    void readyRead();
    // The port has just been opened.
    void opened();
    // startOpen() did not succeed; the text of errorString().
    void openFailed(const QString &message);
    // The open device went away (adapter unplugged, peer closed, network
    // connection lost); the port has been closed. Raised once per loss.
    void lost(const QString &message);
    // Bytes queued by write() could not be sent; raised once per write.
    void writeFailed(const QString &message);
    // A line for the monitor about the port (a network port that cannot
    // set the line, a device server that did not take a setting).
    void notice(const QString &line);

private:
    // The kind of port for the device now named, the other one closed.
    PortTransport &choose();
    void wire(PortTransport &transport);

    LocalPort local_;
    NetworkPort network_;
    PortTransport *active_ = &local_;
    QHash<QString, QString> map_;
    QString portName_ = QStringLiteral("COM1");
    QString error_;
    PortLine line_;
};

} // namespace qm
