#pragma once
// Why a serial device would not open, in words a technician can act on.
//
// Qt reports a port locked by another program and a port the user may not
// open alike, so the device is looked at directly: whether its node exists
// and has a device behind it, a lock file /var/lock/LCK..NAME (the kind
// QSerialPort and terminal programs leave) with a live process, the node's
// owner, group and mode against the user's groups, the errno of an open()
// of its own, and which processes hold it open (/proc). No window needed:
// the settings dialog and the command line report through it alike.

#include <QString>

namespace qm {

// One line for the monitor memo or stderr, right after an open of device
// failed with qtErrorText. It says one of:
//   - the device is missing (no node, or no hardware behind it): names it and
//     ends in "请检查串口线或 USB 转换器是否插好";
//   - permission denied: the device's group (e.g. dialout), the command that
//     adds this user to it, and that a new login is needed; or that the user
//     is in the group already and only the new login is missing;
//   - in use by another program: its name and process id where the lock file
//     or /proc tell them;
//   - anything else: qtErrorText.
// It may open the device for a moment to learn the system's reason; call it
// only after a failed open.
QString DescribeOpenFailure(const QString &device, const QString &qtErrorText);

} // namespace qm
