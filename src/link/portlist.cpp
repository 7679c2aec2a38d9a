#include "link/portlist.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace qm {

namespace {
const QString kSeparator = QStringLiteral(" — ");

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}
} // namespace

QList<PortDescription> SystemPortLister::ports() const
{
    QList<PortDescription> list;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (IsPseudoTerminal(info.systemLocation()))
            continue;
        PortDescription port;
        port.location = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            port.vendorId = info.vendorIdentifier();
            port.productId = info.productIdentifier();
        }
        port.serialNumber = info.serialNumber();
        list.append(port);
    }
    std::sort(list.begin(), list.end(), [](const PortDescription &a, const PortDescription &b) { return a.location < b.location; });
    return list;
}

bool SystemPortLister::canList(const QString &device) const
{
    return !IsPseudoTerminal(device);
}

bool IsPseudoTerminal(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral("^/dev/(pts/.*|ptmx|pty[p-za-e][0-9a-f]|tty[p-za-e][0-9a-f])$"));
    return pattern.match(path).hasMatch() || pattern.match(canonical(path)).hasMatch();
}

QString PortItemText(const PortDescription &port)
{
    QStringList parts;
    if (!port.description.isEmpty())
        parts << port.description;
    if (port.isUsb())
        parts << QStringLiteral("(%1:%2)").arg(*port.vendorId, 4, 16, QLatin1Char('0')).arg(*port.productId, 4, 16, QLatin1Char('0'));
    // The maker only when the description does not already say it.
    if (!port.manufacturer.isEmpty() && !port.description.contains(port.manufacturer, Qt::CaseInsensitive))
        parts << port.manufacturer;
    if (!port.serialNumber.isEmpty())
        parts << QLatin1Char('#') + port.serialNumber;
    return parts.isEmpty() ? port.location : port.location + kSeparator + parts.join(QLatin1Char(' '));
}

QString PortPathOfItem(const QString &itemText)
{
    return itemText.section(kSeparator, 0, 0).trimmed();
}

std::optional<PortDescription> FindPort(const QList<PortDescription> &ports, const QString &device)
{
    if (device.isEmpty())
        return std::nullopt;
    const QString wanted = canonical(device);
    for (const PortDescription &port : ports)
        if (port.location == device || canonical(port.location) == wanted)
            return port;
    return std::nullopt;
}

QString FindReturnedPort(const PortDescription &lost, const QList<PortDescription> &ports, bool pathExists, bool idsAmbiguous)
{
    if (!lost.isUsb())
        return pathExists ? lost.location : QString();
    const auto same = [&lost](const PortDescription &p) {
        return p.vendorId == lost.vendorId && p.productId == lost.productId
            && (lost.serialNumber.isEmpty() || p.serialNumber == lost.serialNumber);
    };
    // Its own path, once the list says the adapter there is the same; the
    // old name may have gone to another adapter plugged in since.
    if (pathExists) {
        const auto there = FindPort(ports, lost.location);
        if (there && same(*there))
            return lost.location;
    }
    // A serial number names the very adapter, under whatever name the
    // kernel gave it this time.
    if (!lost.serialNumber.isEmpty()) {
        for (const PortDescription &p : ports)
            if (same(p) && FindPort({p}, lost.location) == std::nullopt)
                return p.location;
        return {};
    }
    // Without one, the same kind of adapter counts only when it is the
    // only one and was the only one: with two alike, which one is the
    // unit's cannot be known.
    if (idsAmbiguous)
        return {};
    QString found;
    for (const PortDescription &p : ports) {
        if (!same(p) || FindPort({p}, lost.location))
            continue;
        if (!found.isEmpty())
            return {};
        found = p.location;
    }
    return found;
}

bool OtherAdapterAlike(const PortDescription &device, const QList<PortDescription> &ports)
{
    if (!device.isUsb() || !device.serialNumber.isEmpty())
        return false;
    for (const PortDescription &p : ports)
        if (p.vendorId == device.vendorId && p.productId == device.productId && !FindPort({p}, device.location))
            return true;
    return false;
}

} // namespace qm
