// The main window's serial devices: the device choice of the settings
// dialog, COM1 on the only USB adapter at start-up, the port panel's tool
// tip, and the port reopened when a lost device comes back.
#include "app/mainform.h"

#include "app/setform.h"
#include "app/panellabel.h"
#include "common/errors.h"
#include "link/portkeeper.h"
#include "link/portlist.h"
#include "testpage/testexchange.h"

#include <QLabel>

namespace qm {

void TMainForm::wirePorts()
{
    SerialPort &port = link_.port();
    Set_Form->setDeviceOf([&port](const QString &portName) { return port.deviceFor(portName); });
    keeper_ = new PortKeeper(port, *lister_, this);
    // After the keeper has looked the new device up.
    connect(&port, &SerialPort::opened, this, [this] { StatusPanel[1]->setOwnTip(portToolTip()); });
    connect(keeper_, &PortKeeper::waiting, this, [this](const QString &status) { panel(1, status); });
    connect(keeper_, &PortKeeper::reopened, this, [this](const QString &line) {
        Guard([this, &line] {
            memo(line);
            link_.ApplyLineSettings();
            // Only what ran by itself comes back; an exchange is never
            // started again.
            if (resumeAutoRead_ && !testExchange_->autoReading())
                testExchange_->AutoReadClick();
            resumeAutoRead_ = false;
        });
    });
}

void TMainForm::mapDevice(const QString &portName, const QString &device)
{
    SerialPort &port = link_.port();
    QHash<QString, QString> map = port.portMap();
    map.insert(portName.toUpper(), device);
    port.setPortMap(map);
}

void TMainForm::autoMapCom1()
{
    // Only COM1's standing device: a device named on the command line (or a
    // simulated unit) stays.
    const QString com1 = QStringLiteral("COM1");
    SerialPort &port = link_.port();
    if (port.portMap().contains(com1))
        return;
    const QString device = port.deviceFor(com1);
    const QList<PortDescription> ports = lister_->ports();
    if (FindPort(ports, device))
        return;
    const PortDescription *adapter = nullptr;
    for (const PortDescription &p : ports) {
        if (!p.isUsb())
            continue;
        if (adapter)
            return; // two or more: which one is the unit's cannot be known
        adapter = &p;
    }
    if (!adapter)
        return;
    mapDevice(com1, adapter->location);
    memo(QStringLiteral("COM1 没有 %1，已改用唯一的 USB 串口转换器：%2").arg(device, PortItemText(*adapter)));
}

QString TMainForm::portToolTip()
{
    SerialPort &port = link_.port();
    const QString device = port.deviceFor(port.portName());
    const PortDescription known = keeper_ ? keeper_->device() : PortDescription{};
    const QString named = known.location == device ? PortItemText(known) : device;
    return port.portName() + QStringLiteral("：") + named;
}

} // namespace qm
