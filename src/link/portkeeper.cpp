#include "link/portkeeper.h"

#include "link/networkport.h"
#include "link/serialport.h"

#include <QFileInfo>
#include <utility>

namespace qm {

namespace {
QString parityLetter(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity: return QStringLiteral("E");
    case QSerialPort::OddParity: return QStringLiteral("O");
    default: return QStringLiteral("N");
    }
}
} // namespace

PortKeeper::PortKeeper(SerialPort &port, const PortLister &lister, QObject *parent)
    : QObject(parent)
    , port_(port)
    , lister_(lister)
    , watch_(this)
{
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &PortKeeper::check);
    connect(&watch_, &DeviceWatch::changed, this, [this] {
        listDue_ = true;
        check();
    });
    connect(&port_, &SerialPort::opened, this, &PortKeeper::onOpened);
    connect(&port_, &SerialPort::lost, this, &PortKeeper::onLost);
    connect(&port_, &SerialPort::openFailed, this, [this] { reconnecting_ = false; });
}

void PortKeeper::onOpened()
{
    const bool reconnected = std::exchange(reconnecting_, false) && isWaiting() && port_.portName() == portName_
        && port_.deviceFor(portName_) == mapped_;
    stopWaiting();
    const QString device = port_.deviceFor(port_.portName());
    if (IsNetworkPort(device)) {
        device_ = PortDescription{};
        device_.location = device;
        idsAmbiguous_ = false;
        // The same line as for an adapter that is back.
        if (reconnected)
            emit reopened(QStringLiteral("通讯口已恢复：%1 = %2，%3,%4,8,1")
                              .arg(portName_, device)
                              .arg(port_.rate())
                              .arg(parityLetter(port_.parity())));
        return;
    }
    // Asking for a device that is never listed would only cost time.
    QList<PortDescription> ports;
    if (lister_.canList(device))
        ports = lister_.ports();
    device_ = FindPort(ports, device).value_or(PortDescription{});
    // The path as it was opened: a link such as /dev/serial/by-id/... stays
    // the one to look for.
    device_.location = device;
    // Two adapters alike without serial numbers: after a loss only this
    // path may be taken again, never the other one.
    idsAmbiguous_ = OtherAdapterAlike(device_, ports);
}

void PortKeeper::onLost()
{
    portName_ = port_.portName();
    mapped_ = port_.deviceFor(portName_);
    device_.location = mapped_;
    // One plugged in while this one was open counts too; the lost one
    // itself is gone from the list (or still at its own path).
    if (device_.isUsb() && !idsAmbiguous_)
        idsAmbiguous_ = OtherAdapterAlike(device_, lister_.ports());
    listDue_ = true;
    ticks_ = 0;
    reconnecting_ = false;
    // A device server is asked again once a second; there is no node to
    // watch for.
    if (!IsNetworkPort(mapped_))
        watch_.start({QFileInfo(mapped_).absolutePath()});
    timer_.start();
    emit waiting(QStringLiteral("通讯口已断开，等待设备重新接入：%1").arg(portName_));
}

void PortKeeper::stopWaiting()
{
    timer_.stop();
    watch_.stop();
}

void PortKeeper::check()
{
    if (!timer_.isActive())
        return;
    if (port_.isOpen() || port_.portName() != portName_ || port_.deviceFor(portName_) != mapped_) {
        stopWaiting();
        return;
    }
    if (IsNetworkPort(mapped_)) {
        // One attempt at a time; it ends within 3 s, without waiting here.
        if (!port_.isOpening()) {
            reconnecting_ = true;
            port_.startOpen();
        }
        return;
    }
    const bool exists = QFileInfo::exists(device_.location);
    // The list is read when the devices changed, now and then as a
    // fallback, and to be sure that a path that is back is the same
    // adapter; a device without USB ids is known by its path alone.
    QList<PortDescription> listed;
    if (device_.isUsb() && (exists || listDue_ || ++ticks_ % 5 == 0)) {
        listed = lister_.ports();
        listDue_ = false;
    }
    const QString path = FindReturnedPort(device_, listed, exists, idsAmbiguous_);
    if (path.isEmpty())
        return;
    const QString lostPath = device_.location;
    if (path != mapped_) {
        QHash<QString, QString> map = port_.portMap();
        map.insert(portName_, path);
        port_.setPortMap(map);
        mapped_ = path;
    }
    // A node that is back may not be ready yet (its group is set just after
    // it appears): the next check tries again.
    if (!port_.open())
        return;
    const QString renamed = path == lostPath ? QString() : QStringLiteral("（原 %1）").arg(lostPath);
    emit reopened(QStringLiteral("通讯口已恢复：%1 = %2%3，%4,%5,8,1")
                      .arg(portName_, path, renamed)
                      .arg(port_.rate())
                      .arg(parityLetter(port_.parity())));
}

} // namespace qm
