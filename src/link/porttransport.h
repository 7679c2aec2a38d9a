#pragma once
// The seam below ComPort1: one small interface for every kind of port the
// tool talks through, a serial device of this computer or the serial port
// of a device server on the network. ComPort1 picks the kind by the device
// name; above it nothing knows which one carries the bytes.

#include <QObject>
#include <QSerialPort>
#include <QString>

namespace qm {

// What the line runs at. Data bits (8), stop bits (1) and flow control
// (none) never change, so they are no part of it.
struct PortLine {
    qint32 rate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    bool operator==(const PortLine &) const = default;
};

// "N", "E" or "O".
QString ParityLetterOf(QSerialPort::Parity parity);
// "19200,N,8,1".
QString PortLineText(const PortLine &line);

class PortTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens device at line and waits until it carries bytes. False with
    // errorString(): one line that says why and what to do.
    virtual bool open(const QString &device, const PortLine &line) = 0;
    // The same without waiting where the kind of port allows it; the result
    // comes as opened() or openFailed(). Here: open() and its signal.
    virtual void startOpen(const QString &device, const PortLine &line);
    // Closes the port, or gives up an open under way. Harmless when closed.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Whether an open of startOpen() is under way.
    virtual bool isOpening() const { return false; }
    virtual QString errorString() const = 0;

    // Puts line on the open port: the bytes written after it go at the new
    // line. Remembered for the next open when the port is closed.
    virtual void setLine(const PortLine &line) = 0;
    // Whether setLine() reaches the line at all (a raw network port and a
    // device server that refuses line control keep their own).
    virtual bool setsLine() const { return true; }

    // Queues count bytes, in order; the count, or -1 with errorString().
    virtual qint64 write(const char *bytes, qint64 count) = 0;
    // Copies up to max waiting bytes; how many.
    virtual qint64 read(char *bytes, qint64 max) = 0;
    virtual qint64 bytesAvailable() const = 0;

signals:
    void readyRead();
    // The end of startOpen().
    void opened();
    void openFailed();
    // The open port went away; it has been closed already. Once per loss.
    void lost(const QString &reason);
    // Bytes queued by write() could not be sent.
    void writeFailed(const QString &reason);
    // Something the user should know about the port: one memo line.
    void notice(const QString &line);
};

} // namespace qm
