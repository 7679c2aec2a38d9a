#pragma once
// The serial devices present on this computer, as a technician needs to
// tell them apart: device path, what the adapter calls itself, its maker,
// and for a USB adapter its vendor:product id and serial number.
//
// PortLister is the seam through which the list is read; SystemPortLister
// reads the real one (QSerialPortInfo), tests hand in their own. Nothing
// here needs a window: the settings dialog and the command line both list
// ports through it.

#include <QList>
#include <QString>
#include <optional>

namespace qm {

struct PortDescription {
    QString location;     // "/dev/ttyUSB0"
    QString description;  // "FT232R USB UART"; may be empty
    QString manufacturer; // "FTDI"; may be empty
    std::optional<quint16> vendorId;  // USB adapters only
    std::optional<quint16> productId; // USB adapters only
    QString serialNumber; // "A10KZP3M"; empty when the adapter has none

    bool isUsb() const { return vendorId.has_value() && productId.has_value(); }
    bool operator==(const PortDescription &) const = default;
};

class PortLister {
public:
    virtual ~PortLister() = default;
    // The serial devices present now, pseudo terminals left out, in the
    // order of their paths.
    virtual QList<PortDescription> ports() const = 0;
};

// QSerialPortInfo::availablePorts(), pseudo terminals left out.
class SystemPortLister : public PortLister {
public:
    QList<PortDescription> ports() const override;
};

// Whether path names a pseudo terminal (/dev/pts/N, /dev/ptmx, the old
// BSD-style /dev/ttyp0 and /dev/ptyp0); such a device is never listed.
bool IsPseudoTerminal(const QString &path);

// The text of one item of a device list:
// "/dev/ttyUSB0 — FT232R USB UART (0403:6001) FTDI #A10KZP3M".
// The path always comes first, followed by " — " when more is known.
QString PortItemText(const PortDescription &port);

// The device path at the front of an item text, or a typed path as it
// stands (trimmed).
QString PortPathOfItem(const QString &itemText);

// The entry of ports for device, matched by path after symlinks are
// resolved; nullopt when it is not listed.
std::optional<PortDescription> FindPort(const QList<PortDescription> &ports, const QString &device);

// After a loss: where the device that was lost is now. Its own path when
// that exists again (pathExists) and the list does not show another
// adapter there; else for a USB adapter the listed port with the same ids
// and serial number, or, when the adapter has none, the only listed port
// with the same vendor:product id. Empty while it is away.
QString FindReturnedPort(const PortDescription &lost, const QList<PortDescription> &ports, bool pathExists);

} // namespace qm
