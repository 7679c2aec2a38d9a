#include "simoptions.h"

#include "dk618model.h"
#include "mlb4800model.h"
#include "mlr4800model.h"

#include <QCommandLineParser>

namespace qmsim {

namespace {
// "0x6B", "6B" or "107"? Commands are always given in hex here, as the log
// shows them; a bare "6B" is hex too.
std::optional<quint8> parseCode(const QString &text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    if (!ok || t.isEmpty() || v > 0xFF)
        return std::nullopt;
    return quint8(v);
}

bool parseCodes(const QStringList &texts, QSet<quint8> &out, const char *option, QString &error)
{
    for (const QString &t : texts) {
        const auto code = parseCode(t);
        if (!code) {
            error = QStringLiteral("%1: not a command code: %2").arg(QLatin1String(option), t);
            return false;
        }
        out.insert(*code);
    }
    return true;
}
} // namespace

bool ParseSimOptions(const QStringList &args, SimOptions &options, QString &error)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated unit on a pseudo terminal. It answers only frames sent at its own\n"
        "line rate and parity, which it reads from the pty's settings. A Linux pty\n"
        "keeps only the odd-parity bit of what the tool sets, so there a unit at no\n"
        "parity also answers even parity and the other way round; odd parity is told\n"
        "apart. Frames left unanswered are logged as \"-- why\" lines."));
    p.addHelpOption();
    const QCommandLineOption family(QStringLiteral("family"), QStringLiteral("Unit family: dk618, mlb4800 or mlr4800."), QStringLiteral("name"));
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Symlink to create for the pty."), QStringLiteral("path"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Unit line rate (300..19200; default 19200, mlr4800 1200)."), QStringLiteral("n"));
    const QCommandLineOption parity(QStringLiteral("parity"), QStringLiteral("Unit parity: none, even or odd (default none, mlr4800 even; on a Linux pty none and even look alike)."), QStringLiteral("p"));
    const QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Model text the unit reports."), QStringLiteral("text"));
    const QCommandLineOption silent(QStringLiteral("silent-on"), QStringLiteral("Never answer this command (hex, repeatable)."), QStringLiteral("code"));
    const QCommandLineOption badCheck(QStringLiteral("bad-check-on"), QStringLiteral("Answer this command with a bad check byte."), QStringLiteral("code"));
    const QCommandLineOption ignoreWrite(QStringLiteral("ignore-write"), QStringLiteral("Acknowledge this command as usual but keep nothing it would change (hex, repeatable)."), QStringLiteral("code"));
    const QCommandLineOption bare(QStringLiteral("bare-replies"), QStringLiteral("Answer every command with a bare frame: command and address bytes only (LEN 5)."));
    const QCommandLineOption noise(QStringLiteral("noise-after"), QStringLiteral("Send this byte (hex) after every answer, like line noise."), QStringLiteral("byte"));
    const QCommandLineOption delay(QStringLiteral("delay-ms"), QStringLiteral("Delay before each answer."), QStringLiteral("ms"), QStringLiteral("5"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Append every frame in hex to this file."), QStringLiteral("file"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Say on stderr why frames go unanswered."));
    const QCommandLineOption swrAlarm(QStringLiteral("swr-alarm"), QStringLiteral("dk618: report the standing-wave alarm with the power reading."));
    const QCommandLineOption steady(QStringLiteral("steady"), QStringLiteral("dk618: readings without drift (27, 95, 35.5, 12.0)."));
    const QCommandLineOption pace(QStringLiteral("pace"), QStringLiteral(
        "Answer as slowly as a real line: after the request's line time and the delay, each byte of the answer goes out "
        "when it would have arrived at the unit's rate (10 bits a byte, 11 with parity)."));
    p.addOptions({family, link, rate, parity, model, silent, badCheck, bare, noise, delay, log, verbose, swrAlarm, steady});
    const QCommandLineOption randomNoise(QStringLiteral("noise"), QStringLiteral("Put 1..3 random bytes before, inside or after this percentage of answers."), QStringLiteral("percent"));
    const QCommandLineOption noiseSeed(QStringLiteral("noise-seed"), QStringLiteral("Seed of the random noise and flood bytes (default 1)."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption flood(QStringLiteral("flood"), QStringLiteral("Answer the first frame with a stream of this many bytes of its answer, repeated."), QStringLiteral("bytes"));
    const QCommandLineOption floodRate(QStringLiteral("flood-rate"), QStringLiteral("Pace of the flood in bit/s, ten bits a byte (default: the unit's line rate)."), QStringLiteral("bits"));
    p.addOptions({randomNoise, noiseSeed, flood, floodRate, ignoreWrite});
    p.addOption(pace);
    const QCommandLineOption hangupOn(QStringLiteral("hangup-on"), QStringLiteral(
        "Instead of answering the first frame with this command (hex), hang up the line like an unplugged cable: "
        "the pty closes and the link goes, and after --hangup-pause the unit is back on the same link path."), QStringLiteral("code"));
    const QCommandLineOption hangupPause(QStringLiteral("hangup-pause"), QStringLiteral("How long the line stays away after a hang-up (default 2000)."),
                                         QStringLiteral("ms"), QStringLiteral("2000"));
    p.addOptions({hangupOn, hangupPause});

    if (!p.parse(args)) {
        error = p.errorText();
        return false;
    }
    if (p.isSet(QStringLiteral("help"))) {
        error = p.helpText();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first());
        return false;
    }

    options.Family = p.value(family).toLower();
    options.LinkPath = p.value(link);
    if (options.Family.isEmpty() || options.LinkPath.isEmpty()) {
        error = QStringLiteral("--family and --link are required");
        return false;
    }

    // Each family starts at its own line unless told otherwise.
    const bool subscriber = options.Family == QLatin1String("mlr4800");
    bool ok = false;
    options.Line.Rate = p.isSet(rate) ? p.value(rate).toInt(&ok) : subscriber ? 1200 : 19200;
    if (p.isSet(rate) && (!ok || Dk618Model::codeOfRate(options.Line.Rate) == 0)) {
        error = QStringLiteral("--rate: one of 300 600 1200 2400 4800 9600 19200");
        return false;
    }
    const QString par = p.isSet(parity) ? p.value(parity).toLower() : subscriber ? QStringLiteral("even") : QStringLiteral("none");
    if (par == QLatin1String("none"))
        options.Line.Par = Parity::None;
    else if (par == QLatin1String("even"))
        options.Line.Par = Parity::Even;
    else if (par == QLatin1String("odd"))
        options.Line.Par = Parity::Odd;
    else {
        error = QStringLiteral("--parity: none, even or odd");
        return false;
    }

    options.ModelText = p.value(model).toLatin1();
    if (!parseCodes(p.values(silent), options.SilentOn, "--silent-on", error)
        || !parseCodes(p.values(badCheck), options.BadCheckOn, "--bad-check-on", error)
        || !parseCodes(p.values(ignoreWrite), options.IgnoreWriteOn, "--ignore-write", error))
        return false;

    options.BareReplies = p.isSet(bare);
    if (p.isSet(noise)) {
        options.NoiseAfter = parseCode(p.value(noise));
        if (!options.NoiseAfter) {
            error = QStringLiteral("--noise-after: not a byte: %1").arg(p.value(noise));
            return false;
        }
    }

    options.DelayMs = p.value(delay).toInt(&ok);
    if (!ok || options.DelayMs < 0 || options.DelayMs > 60000) {
        error = QStringLiteral("--delay-ms: 0..60000");
        return false;
    }
    if (p.isSet(randomNoise)) {
        options.NoisePercent = p.value(randomNoise).toInt(&ok);
        if (!ok || options.NoisePercent < 0 || options.NoisePercent > 100) {
            error = QStringLiteral("--noise: 0..100");
            return false;
        }
    }
    options.NoiseSeed = p.value(noiseSeed).toUInt(&ok);
    if (!ok) {
        error = QStringLiteral("--noise-seed: a whole number");
        return false;
    }
    if (p.isSet(flood)) {
        options.FloodBytes = p.value(flood).toLongLong(&ok);
        if (!ok || options.FloodBytes < 1 || options.FloodBytes > (qint64(1) << 32)) {
            error = QStringLiteral("--flood: 1..4294967296 bytes");
            return false;
        }
    }
    if (p.isSet(floodRate)) {
        options.FloodRate = p.value(floodRate).toInt(&ok);
        if (!ok || options.FloodRate < 10 || options.FloodRate > 1000000000) {
            error = QStringLiteral("--flood-rate: 10..1000000000 bit/s");
            return false;
        }
    }
    if (p.isSet(hangupOn)) {
        options.HangupOn = parseCode(p.value(hangupOn));
        if (!options.HangupOn) {
            error = QStringLiteral("--hangup-on: not a command code: %1").arg(p.value(hangupOn));
            return false;
        }
    }
    options.HangupPauseMs = p.value(hangupPause).toInt(&ok);
    if (!ok || options.HangupPauseMs < 0 || options.HangupPauseMs > 600000) {
        error = QStringLiteral("--hangup-pause: 0..600000 ms");
        return false;
    }
    options.LogFile = p.value(log);
    options.Verbose = p.isSet(verbose);
    options.SwrAlarm = p.isSet(swrAlarm);
    options.SteadyReadings = p.isSet(steady);
    options.Pace = p.isSet(pace);
    return true;
}

std::unique_ptr<UnitModel> MakeModel(const SimOptions &options, QString &error)
{
    if (options.Family == QLatin1String("dk618")) {
        // The answer must fit in one frame: LEN is a byte.
        if (options.ModelText.size() > 200) {
            error = QStringLiteral("--model: at most 200 characters");
            return nullptr;
        }
        auto model = std::make_unique<Dk618Model>(options.ModelText.isEmpty() ? QByteArray("DK618-450") : options.ModelText, options.Line);
        model->setSwrAlarm(options.SwrAlarm);
        model->setSteadyReadings(options.SteadyReadings);
        return model;
    }
    if (options.Family == QLatin1String("mlb4800")) {
        // The central unit reports no model text.
        if (!options.ModelText.isEmpty()) {
            error = QStringLiteral("--model: only for dk618");
            return nullptr;
        }
        return std::make_unique<Mlb4800Model>(options.Line);
    }
    if (options.Family == QLatin1String("mlr4800")) {
        if (!options.ModelText.isEmpty()) {
            error = QStringLiteral("--model: only the dk618 reports a model text");
            return nullptr;
        }
        if (Mlr4800Model::codeOfRate(options.Line.Rate) == 0) {
            error = QStringLiteral("--rate: the mlr4800 has 1200 2400 4800 9600 19200");
            return nullptr;
        }
        return std::make_unique<Mlr4800Model>(options.Line);
    }
    error = QStringLiteral("unknown family: %1 (known: dk618, mlb4800, mlr4800)").arg(options.Family);
    return nullptr;
}

} // namespace qmsim
