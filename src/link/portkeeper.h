#pragma once
// Keeps the line up across a pulled cable. While the port is open it knows
// which device is behind it (path, and for a USB adapter its ids and serial
// number). When the device is lost it watches for that device to come back,
// by its path, or for a USB adapter under whatever name the kernel now gives
// it (never another adapter alike), and reopens it with the rate and parity
// in force. It never retries an exchange and never acts inside the port's
// error signal: the loss arrives after the port has closed, and the watching
// is a file-system watch with a slow check once a second, so waiting costs
// next to nothing.
//
// A device server on the network is asked again once a second, each
// attempt without waiting, until it takes the connection.
//
// Waiting ends as soon as anyone else opens the port or points its name at
// another device (the user chose another port).

#include "link/devicewatch.h"
#include "link/portlist.h"

#include <QObject>
#include <QTimer>

namespace qm {

class SerialPort;

class PortKeeper : public QObject {
    Q_OBJECT
public:
    PortKeeper(SerialPort &port, const PortLister &lister, QObject *parent = nullptr);

    // What is known of the device behind the open port, or of the one last
    // open; only its location when the list does not show it.
    PortDescription device() const { return device_; }
    bool isWaiting() const { return timer_.isActive(); }

signals:
    // Waiting for the lost device; text for the port status panel.
    void waiting(const QString &status);
    // The device is back and open again; one line for the memo.
    void reopened(const QString &line);

private:
    void onOpened();
    void onLost();
    void check();
    void stopWaiting();

    SerialPort &port_;
    const PortLister &lister_;
    DeviceWatch watch_;
    QTimer timer_;
    PortDescription device_;
    QString portName_;   // the COM name that was lost
    QString mapped_;     // the device that name opens now
    // The adapter has no serial number and another with its ids was
    // present while it was open or when it went.
    bool idsAmbiguous_ = false;
    bool listDue_ = false;
    int ticks_ = 0;
    bool reconnecting_ = false; // the keeper has asked a device server again
};

} // namespace qm
