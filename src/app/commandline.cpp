#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <cstdio>

namespace qm {

bool ParsePortMapping(const QString &text, QString *port, QString *device)
{
    static const QRegularExpression pattern(QStringLiteral("^(COM[1-4])=(.+)$"), QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    *port = match.captured(1).toUpper();
    *device = match.captured(2);
    return true;
}

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads, edits, stores and writes the parameters of DK618 data radios and QM-4700 series units over RS-232."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Open DEVICE when COMn is chosen (COM1..COM4), e.g. COM1=/dev/ttyUSB0 or "
                                                 "COM1=rfc2217://192.168.1.20:4001 (socket://HOST:PORT for raw bytes). "
                                                 "May be given once per port."),
                                  QStringLiteral("COMn=DEVICE"));
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Start one simulated unit (qmsim) per family; COM1 follows the family page chosen."));
    const QCommandLineOption simArg(QStringLiteral("sim-arg"), QStringLiteral("Pass ARG on to the simulated data radio (with --simulate)."),
                                    QStringLiteral("ARG"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(port);
    parser.addOption(simulate);
    parser.addOption(simArg);
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        result.helpShown = true;
        return result;
    }
    if (parser.isSet(version)) {
        std::printf("qmset %s\n", qPrintable(QCoreApplication::applicationVersion()));
        result.helpShown = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return result;
    }
    for (const QString &mapping : parser.values(port)) {
        QString name, device;
        if (!ParsePortMapping(mapping, &name, &device)) {
            result.error = QStringLiteral("--port takes COMn=DEVICE with n from 1 to 4, not '%1'").arg(mapping);
            return result;
        }
        result.portMap.insert(name, device);
    }
    result.simulate = parser.isSet(simulate);
    result.simulatorArgs = parser.values(simArg);
    return result;
}

} // namespace qm
