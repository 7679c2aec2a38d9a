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
    // Whether device could ever be in ports(); when not, asking is no use.
    virtual bool canList(const QString &device) const
    {
        (void)device;
        return true;
    }
};

// QSerialPortInfo::availablePorts(), pseudo terminals left out.
class SystemPortLister : public PortLister {
public:
    QList<PortDescription> ports() const override;
    // Pseudo terminals are never listed.
    bool canList(const QString &device) const override;
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

// After a loss: where the device that was lost is now. A device without
// USB ids: its own path once that exists again (pathExists). A USB
// adapter: its own path once the list shows it there with the same ids
// (and serial number, when it has one); a path that is back but not listed
// yet is not taken, it may be another adapter. Else the listed port with
// the same ids and serial number, or, for an adapter without a serial
// number, the only listed port with its vendor:product id, unless idsAmbiguous
// (another adapter alike was present): then only its own path. Empty while
// it is away.
QString FindReturnedPort(const PortDescription &lost, const QList<PortDescription> &ports, bool pathExists,
                         bool idsAmbiguous = false);
// Whether ports shows an adapter with the ids of device and no serial
// number to tell them apart, at another path than device's own.
bool OtherAdapterAlike(const PortDescription &device, const QList<PortDescription> &ports);

} // namespace qm
