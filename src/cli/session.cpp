#include "cli/session.h"

#include "cli/interrupts.h"
#include "cli/progress.h"
#include "common/backupstore.h"
#include "common/errors.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "common/prompts.h"
#include "common/report.h"
#include "link/autoset.h"
#include "link/exchange.h"
#include "radio/radioexchange.h"
#include "units/centralexchange.h"
#include "units/subscriberexchange.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <memory>

namespace qm::cli {

namespace {

constexpr int kTickMs = 100;
// Request frames of the identification trials are 7 bytes; the longest
// identification answer the tool takes is a 29-character model text (36
// bytes); a unit turns round within this.
constexpr int kRequestBytes = 7;
constexpr int kLongestAnswerBytes = 36;
constexpr qint64 kTurnaroundUs = 50000;

// The tool's memo lines and messages, taken as progress and outcome.
class Sink : public Report, public Prompts {
public:
    Sink(Progress &progress, MemoryFields &fields)
        : progress_(progress)
        , fields_(fields)
    {
    }
    void memo(const QString &line) override
    {
        lines << line;
        progress_.step(line);
    }
    void panel(int, const QString &) override {}
    void ClearFields() override { fields_.clearEdits(); }
    void message(const QString &text) override { messages << text; }
    bool confirm(const QString &, const QString &text) override
    {
        messages << text;
        return false;
    }
    QString saveFileName() override { return {}; }
    QString openFileName() override { return {}; }

    QStringList lines;
    QStringList messages;

private:
    Progress &progress_;
    MemoryFields &fields_;
};

// The family's exchange on one set of fields.
struct Driver {
    std::function<void()> write, read, tick, lost;
    std::function<QByteArray()> model = [] { return QByteArray(); };
    std::shared_ptr<void> keep;
};

Driver makeDriver(const Family &family, Link &link, MemoryFields &fields, Sink &sink)
{
    Driver d;
    if (family.name == QLatin1String("dk618")) {
        auto x = std::make_shared<RadioExchange>(link, fields, sink, sink);
        d = {[x] { x->Dk618_Write_DataClick(); }, [x] { x->Dk618_Read_DataClick(); }, [x] { x->Timer3Timer(); },
             [x] { x->PortLost(); }, [x] { return x->modelText(); }, x};
    } else if (family.name == QLatin1String("mlb4800")) {
        auto x = std::make_shared<CentralExchange>(link, fields, sink, sink);
        d = {[x] { x->Mlb4800_WriteDataClick(); }, [x] { x->Mlb4800_ReadDataClick(); }, [x] { x->Timer1Timer(); },
             [x] { x->PortLost(); }, [] { return QByteArray(); }, x};
    } else {
        auto x = std::make_shared<SubscriberExchange>(link, fields, sink, sink);
        d = {[x] { x->Mlr4800_WriteDataClick(); }, [x] { x->Mlr4800_ReadDataClick(); }, [x] { x->Timer2Timer(); },
             [x] { x->PortLost(); }, [] { return QByteArray(); }, x};
    }
    return d;
}

void stopEveryExchange(ProtocolState &s)
{
    s.RadioWriteActive = s.RadioReadActive = false;
    s.CentralWriteActive = s.CentralReadActive = false;
    s.SubscriberWriteActive = s.SubscriberReadActive = false;
    s.MeasurePending = false;
    s.ExchangeStep = 0;
    s.ExchangeTicks = 0;
}


} // namespace

UnitSession::UnitSession(const Family &family, Progress &progress, Interrupts &interrupts)
    : family_(family)
    , progress_(progress)
    , interrupts_(interrupts)
    , link_(this)
{
}

bool UnitSession::open(const QString &port, qint32 rateIndex, qint32 parityIndex, QString *error)
{
    port_ = port;
    SerialPort &p = link_.port();
    p.setPortName(port);
    setLine(rateIndex, parityIndex);
    if (p.open())
        return true;
    // The port's error text already says why, as the window's memo line does.
    *error = QStringLiteral("cannot open %1: %2").arg(p.deviceFor(port), p.errorString());
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
    return run(fields, true);
}

UnitSession::Result UnitSession::read(MemoryFields &fields)
{
    return run(fields, false);
}

UnitSession::Result UnitSession::run(MemoryFields &fields, bool write)
{
    detail_.clear();
    Sink sink(progress_, fields);
    Driver d = makeDriver(family_, link_, fields, sink);
    ProtocolState &s = link_.state();
    if (!link_.port().isOpen()) {
        detail_ = QStringLiteral("port %1 is not open").arg(port_);
        return Result::PortLost;
    }
    // The click: its checks refuse with a message and send nothing.
    try {
        write ? d.write() : d.read();
    } catch (const Error &e) {
        stopEveryExchange(s);
        detail_ = e.message();
        return sink.messages.isEmpty() && !link_.port().isOpen() ? Result::PortLost : Result::Refused;
    }
    if (RunningExchange(s) == ExchangeOwner::None) {
        detail_ = sink.messages.isEmpty() ? sink.lines.value(sink.lines.size() - 1) : sink.messages.join(QLatin1Char(' '));
        return Result::Refused;
    }
    const QStringList &steps = write ? family_.writeSteps : family_.readSteps;
    const QString verb = write ? QStringLiteral("write") : QStringLiteral("read");
    progress_.step(QStringLiteral("%1 %2: %3").arg(family_.name, verb, steps.value(0)));

    QEventLoop loop;
    Result result = Result::Ok;
    bool portLost = false;
    qint32 stepBefore = 0;
    QTimer timer;
    timer.setInterval(kTickMs);
    connect(&timer, &QTimer::timeout, &loop, [&] {
        stepBefore = s.ExchangeStep;
        try {
            d.tick();
        } catch (const Error &e) {
            // A refused port write or a value that stopped converting: the
            // window would wait for the time-out; nothing more can come.
            stopEveryExchange(s);
            detail_ = e.message();
            result = link_.port().isOpen() ? Result::Refused : Result::PortLost;
            loop.quit();
            return;
        }
        if (RunningExchange(s) == ExchangeOwner::None) {
            loop.quit();
            return;
        }
        if (s.ExchangeStep != stepBefore)
            progress_.step(QStringLiteral("%1 %2: %3").arg(family_.name, verb, steps.value(s.ExchangeStep)));
    });
    const auto lost = connect(&link_, &Link::portLost, &loop, [&](const QString &message) {
        portLost = true;
        detail_ = message;
        d.lost();
        loop.quit();
    });
    const auto interrupt = connect(&interrupts_, &Interrupts::raised, &loop, [&](int count) {
        if (write && count < 2)
            return;
        stopEveryExchange(s);
        result = Result::Interrupted;
        loop.quit();
    });
    if (interrupts_.count() >= (write ? 2 : 1)) {
        stopEveryExchange(s);
        return Result::Interrupted;
    }
    timer.start();
    loop.exec();
    timer.stop();
    disconnect(lost);
    disconnect(interrupt);
    progress_.finish();
    model_ = d.model();

    if (result != Result::Ok)
        return result;
    if (portLost)
        return Result::PortLost;
    const QString outcome = sink.lines.value(sink.lines.size() - 1);
    if (outcome == text::ReadOk) {
        // Every unit read leaves a backup; one that cannot be written is
        // only a warning.
        try {
            WriteBackup(BackupFolder(), family_.table(), fields, DecodeGbk(model_));
        } catch (const Error &e) {
            progress_.note(e.message());
        }
        return Result::Ok;
    }
    if (outcome == text::WriteOk)
        return Result::Ok;
    // A reply that stopped a step: the short reply's line comes before the
    // outcome; otherwise the step waited in vain.
    const QString before = sink.lines.value(sink.lines.size() - 2);
    if (!sink.messages.isEmpty()) {
        detail_ = sink.messages.join(QLatin1Char(' '));
        return Result::Refused;
    }
    if (before.startsWith(QStringLiteral("应答")))
        detail_ = QStringLiteral("%1 (%2)").arg(before, steps.value(stepBefore));
    else
        detail_ = QStringLiteral("no answer to %1 within %2").arg(steps.value(stepBefore), family_.timeoutText);
    return Result::NoAnswer;
}

bool UnitSession::probe()
{
    ProtocolState &s = link_.state();
    auto tx = s.TxBuffer();
    tx[4] = 0x00;
    tx[5] = 0x00;
    s.AutoSetReply = false;
    s.RxState = 0;
    try {
        link_.SendFrame(family_.probeCommand, 5, family_.probeSelector);
    } catch (const Error &) {
        return false;
    }
    return awaitAnswer();
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

QString ResultText(UnitSession::Result result)
{
    switch (result) {
    case UnitSession::Result::Ok: return QStringLiteral("ok");
    case UnitSession::Result::NoAnswer: return QStringLiteral("no answer");
    case UnitSession::Result::Refused: return QStringLiteral("refused");
    case UnitSession::Result::PortLost: return QStringLiteral("port error");
    case UnitSession::Result::Interrupted: return QStringLiteral("interrupted");
    }
    return {};
}

} // namespace qm::cli
