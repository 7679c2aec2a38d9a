#pragma once
// qmset [--port COMn=DEVICE]... [--simulate] [--help] [--version]

#include <QHash>
#include <QString>
#include <QStringList>

namespace qm {

struct CommandLine {
    QHash<QString, QString> portMap; // "COM1" -> "/dev/ttyUSB0"
    bool simulate = false;
    QStringList simulatorArgs; // extra qmsim arguments after --sim-arg
    QString error;             // non-empty: print it and exit with 2
    bool helpShown = false;    // --help or --version printed; exit 0
};

// Parses the arguments (argv[0] included).
CommandLine ParseCommandLine(const QStringList &arguments);

// "COM2=/dev/ttyUSB0" -> ("COM2", "/dev/ttyUSB0"); false when malformed.
bool ParsePortMapping(const QString &text, QString *port, QString *device);

} // namespace qm
