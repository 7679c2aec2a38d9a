#pragma once
// The link to the attached unit: it owns the shared protocol state, the
// serial port ComPort1 and the line settings, sends frames and runs the
// receive path. Pages and timers reach the state through it.

#include "link/linesettings.h"
#include "link/protocolstate.h"
#include "link/serialport.h"

#include <QObject>

namespace qm {

class Link : public QObject {
    Q_OBJECT
public:
    explicit Link(QObject *parent = nullptr);

    ProtocolState &state() { return state_; }
    LineSettings &line() { return line_; }
    SerialPort &port() { return port_; }

    // Completes the frame whose data bytes 4..len stand in TxBuffer, resets
    // the ring indexes so the reply lands at RxBuffer[0], writes LEN + 2
    // bytes and echoes them. A refused write throws before the echo.
    void SendFrame(quint8 command, int len, quint8 selector);
    // Writes the first count bytes of TxBuffer as they stand.
    qint64 WritePort(int count);
    // Hexadecimal echo into the monitor, only while MonitorOn is set.
    void LogTraffic(const quint8 *bytes, int count, bool direction);

    // Puts RateIndex and ParityIndex on the port and announces the port
    // status text "通讯端口状态：COMn,rate,P,8,1".
    void ApplyLineSettings();
    QString portStatusText() const;

    // A running exchange given up by the user: the shared counters, the
    // reply flags, the recogniser and the ring are left as a finished
    // exchange leaves them, and what the port still holds of a reply in
    // flight is dropped, so that the next exchange does not take it for its
    // own reply. The exchange flags are the caller's.
    void AbandonReply();

    // Receive event: takes every waiting byte and runs the recogniser.
    void ComPort1RxChar();
    // The same for bytes handed in directly (tests, benchmarks).
    void receiveBytes(const quint8 *bytes, qint64 count);

signals:
    // A line for the monitor memo (the traffic echo, and what the port has
    // to say about itself).
    void monitorLine(const QString &line);
    // New text for the port status panel.
    void portStatus(const QString &text);
    // A frame with a good check has just been completed; RxFrameStart and
    // RxFrameLen describe it.
    void frameReceived();
    // The device went away while open.
    void portLost(const QString &message);
    // A frame written to the port could not be sent after all.
    void writeFailed(const QString &message);

private:
    ProtocolState state_;
    LineSettings line_;
    SerialPort port_;
};

} // namespace qm
