#include "cli/session.h"

#include "cli/interrupts.h"
#include "cli/progress.h"
#include "common/errors.h"
#include "common/memoryfields.h"
#include "link/autoset.h"
#include "link/exchange.h"
#include "radio/radioexchange.h"

#include <QEventLoop>
#include <QTimer>


namespace qm::cli {

namespace {

// Request frames of the identification trials are 7 bytes; the longest
// identification answer the tool takes is a 29-character model text (36
// bytes); a unit turns round within this.
constexpr int kRequestBytes = 7;
constexpr int kLongestAnswerBytes = 36;
constexpr qint64 kTurnaroundUs = 50000;
constexpr quint8 kAddressRead = 0x67;

// The port's message names the port in front and the device again in its
// reason, which is all the command line needs after its own "cannot open
// DEVICE:".
QString openFailureReason(const QString &message, const QString &portName, const QString &device)
{
    QString reason = message;
    const QString prefix = portName + QStringLiteral("：");
    if (reason.startsWith(prefix))
        reason.remove(0, prefix.size());
    for (const QString &name : {device, portName}) {
        reason.replace(QLatin1Char(' ') + name, QString());
        reason.replace(name + QLatin1Char(' '), QString());
        reason.replace(name, QString());
    }
    const QString cannotOpen = QStringLiteral("无法打开：");
    if (reason.startsWith(cannotOpen))
        reason.remove(0, cannotOpen.size());
    return reason.trimmed();
}

} // namespace

UnitSession::UnitSession(const Family &family, Progress &progress, Interrupts &interrupts)
    : family_(family)
    , progress_(progress)
    , interrupts_(interrupts)
    , link_(this)
{
    // What a network port has to say of itself (a line it cannot set).
    connect(&link_.port(), &SerialPort::notice, this, [this](const QString &line) { progress_.note(line); });
}

bool UnitSession::open(const QString &port, qint32 rateIndex, qint32 parityIndex, QString *error)
{
    port_ = port;
    SerialPort &p = link_.port();
    p.setPortName(port);
    setLine(rateIndex, parityIndex);
    if (p.open())
        return true;
    const QString device = p.deviceFor(port);
    const QString named = device == port ? device : QStringLiteral("%1 (%2)").arg(port, device);
    *error = QStringLiteral("cannot open %1: %2").arg(named, openFailureReason(p.errorString(), port, device));
    return false;
}

void UnitSession::setLine(qint32 rateIndex, qint32 parityIndex)
{
    link_.line().RateIndex = rateIndex;
    link_.line().ParityIndex = parityIndex;
    link_.ApplyLineSettings();
}

UnitSession::Result UnitSession::write(MemoryFields &fields)
{
    return run(fields, true, 2);
}

UnitSession::Result UnitSession::read(MemoryFields &fields, bool toItsEnd, BackupSource source)
{
    return run(fields, false, toItsEnd ? 2 : 1, source);
}

UnitSession::Result UnitSession::run(MemoryFields &fields, bool write, int stopAt, BackupSource source)
{
    failedStep_ = -1;
    if (write)
        writeBegan_ = false;
    UnitRun run(family_, link_);
    run.setBackupSource(source);
    // The run names each step as its request goes out; the write has begun
    // with the first request that is not the family's harmless question.
    const QString writeStep = QStringLiteral("%1 write: ").arg(family_.name);
    const QString probe = QStringLiteral("0x%1 ").arg(QString::number(family_.probeCommand, 16).toUpper());
    connect(&run, &UnitRun::progress, this, [this, write, writeStep, probe](const QString &line) {
        progress_.step(line);
        if (write && line.startsWith(writeStep) && !line.mid(writeStep.size()).startsWith(probe))
            writeBegan_ = true;
    });
    if (!run.start(fields, write)) {
        detail_ = run.detail();
        return run.result();
    }
    QEventLoop loop;
    connect(&run, &UnitRun::finished, &loop, &QEventLoop::quit);
    connect(&interrupts_, &Interrupts::raised, &run, [&](int count) {
        if (count >= stopAt)
            run.stop();
    });
    if (interrupts_.count() >= stopAt)
        run.stop();
    if (run.running())
        loop.exec();
    progress_.finish();
    model_ = run.modelText();
    detail_ = run.detail();
    backup_ = run.backupPath();
    if (run.result() == Result::NoAnswer)
        failedStep_ = qint32((write ? family_.writeSteps : family_.readSteps).indexOf(run.failedStep()));
    if (!run.backupError().isEmpty())
        progress_.note(run.backupError());
    return run.result();
}

bool UnitSession::ask(quint8 command, quint8 selector)
{
    ProtocolState &s = link_.state();
    auto tx = s.TxBuffer();
    tx[4] = 0x00;
    tx[5] = 0x00;
    s.AutoSetReply = false;
    s.RxState = 0;
    try {
        link_.SendFrame(command, 5, selector);
    } catch (const Error &) {
        return false;
    }
    return awaitAnswer();
}

bool UnitSession::probe()
{
    return ask(family_.probeCommand, family_.probeSelector);
}

std::optional<UnitIdentity> UnitSession::identify()
{
    if (!probe())
        return std::nullopt;
    UnitIdentity identity;
    if (family_.probeCommand != kAddressRead) {
        identity.model = RadioExchange::ModelTextOfReply(link_.state());
        if (!ask(kAddressRead, family_.probeSelector))
            return identity;
    }
    ReplyCursor reply(link_.state(), family_.addressOffset);
    if (reply.holds(family_.addressOffset + family_.addressBytes - 1))
        identity.address = family_.addressBytes == 1 ? quint16(reply.byte()) : reply.word();
    return identity;
}

bool UnitSession::awaitAnswer()
{
    ProtocolState &s = link_.state();
    const qint32 attempt = link_.line().RateIndex + kRateCount * link_.line().ParityIndex;
    const qint64 byteUs = AutoSetSearch::ByteTimeUs(attempt);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool extended = false;
    connect(&link_, &Link::frameReceived, &loop, &QEventLoop::quit);
    connect(&interrupts_, &Interrupts::raised, &loop, &QEventLoop::quit);
    connect(&link_, &Link::portLost, &loop, &QEventLoop::quit);
    connect(&timer, &QTimer::timeout, &loop, [&] {
        // An answer under way: its length byte tells how much is to come.
        if (!extended && s.RxState != 0) {
            extended = true;
            const qint64 left = s.RxState == 2 ? std::min<qint64>(s.RxRemain, kLongestAnswerBytes) : kLongestAnswerBytes;
            timer.start(int((left * byteUs + kTurnaroundUs) / 1000) + 1);
            return;
        }
        loop.quit();
    });
    timer.start(int(((kRequestBytes + 2) * byteUs + kTurnaroundUs) / 1000) + 1);
    if (!s.AutoSetReply)
        loop.exec();
    return s.AutoSetReply;
}

} // namespace qm::cli
