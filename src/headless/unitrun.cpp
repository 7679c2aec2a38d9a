#include "headless/unitrun.h"

#include "common/backupstore.h"
#include "common/errors.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "common/prompts.h"
#include "common/report.h"
#include "link/exchange.h"
#include "link/link.h"
#include "radio/radioexchange.h"
#include "units/centralexchange.h"
#include "units/subscriberexchange.h"

namespace qm {

namespace {

constexpr int kTickMs = 100;

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

// The tool's memo lines and messages, taken as progress and outcome.
class UnitRun::Sink : public Report, public RecordingPrompts {
public:
    explicit Sink(UnitRun &run)
        : run_(run)
    {
    }
    void memo(const QString &line) override
    {
        lines << line;
        emit run_.progress(line);
    }
    void panel(int, const QString &) override {}
    void ClearFields() override
    {
        if (run_.fields_)
            run_.fields_->clearEdits();
    }

    QStringList lines;

private:
    UnitRun &run_;
};

// The family's exchange on one set of fields.
struct UnitRun::Driver {
    std::function<void()> write, read, tick, lost;
    std::function<QByteArray()> model;
    std::shared_ptr<void> keep;

    static std::unique_ptr<Driver> make(const Family &family, Link &link, MemoryFields &fields, Sink &sink)
    {
        auto d = std::make_unique<Driver>();
        if (family.name == QLatin1String("dk618")) {
            auto x = std::make_shared<RadioExchange>(link, fields, sink, sink);
            *d = {[x] { x->Dk618_Write_DataClick(); }, [x] { x->Dk618_Read_DataClick(); }, [x] { x->Timer3Timer(); },
                  [x] { x->PortLost(); }, [x] { return x->modelText(); }, x};
        } else if (family.name == QLatin1String("mlb4800")) {
            auto x = std::make_shared<CentralExchange>(link, fields, sink, sink);
            *d = {[x] { x->Mlb4800_WriteDataClick(); }, [x] { x->Mlb4800_ReadDataClick(); }, [x] { x->Timer1Timer(); },
                  [x] { x->PortLost(); }, [] { return QByteArray(); }, x};
        } else {
            auto x = std::make_shared<SubscriberExchange>(link, fields, sink, sink);
            *d = {[x] { x->Mlr4800_WriteDataClick(); }, [x] { x->Mlr4800_ReadDataClick(); }, [x] { x->Timer2Timer(); },
                  [x] { x->PortLost(); }, [] { return QByteArray(); }, x};
        }
        return d;
    }
};

UnitRun::UnitRun(const Family &family, Link &link, QObject *parent)
    : QObject(parent)
    , family_(family)
    , link_(link)
    , linkAlive_(&link)
{
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

UnitRun::~UnitRun()
{
    if (running_ && linkAlive_)
        stopEveryExchange(link_.state());
    for (const auto &c : connections_)
        disconnect(c);
}

QString UnitRun::stepText(qint32 step) const
{
    const QStringList &steps = write_ ? family_.writeSteps : family_.readSteps;
    return QStringLiteral("%1 %2: %3").arg(family_.name, write_ ? QStringLiteral("write") : QStringLiteral("read"), steps.value(step));
}

bool UnitRun::start(MemoryFields &fields, bool write)
{
    if (running_)
        return false;
    write_ = write;
    fields_ = &fields;
    result_ = Result::Ok;
    detail_.clear();
    failedStep_.clear();
    backupPath_.clear();
    backupError_.clear();
    model_.clear();
    sink_ = std::make_unique<Sink>(*this);
    driver_ = Driver::make(family_, link_, fields, *sink_);
    ProtocolState &s = link_.state();
    if (!link_.port().isOpen()) {
        detail_ = QStringLiteral("port %1 is not open").arg(link_.port().portName());
        result_ = Result::PortLost;
        return false;
    }
    // Another exchange holds the line (a click of the same family would
    // only be ignored, so it is refused here); a pending test reading gives
    // way to the click as it does to a page's.
    if (const ExchangeOwner owner = RunningExchange(s); owner != ExchangeOwner::None && owner != ExchangeOwner::Measurement) {
        detail_ = text::LineHeldBy(owner);
        result_ = Result::Refused;
        return false;
    }
    // The click: its checks refuse with a message and send nothing.
    try {
        write ? driver_->write() : driver_->read();
    } catch (const Error &e) {
        stopEveryExchange(s);
        detail_ = e.message();
        result_ = sink_->messages.isEmpty() && !link_.port().isOpen() ? Result::PortLost : Result::Refused;
        return false;
    }
    if (RunningExchange(s) == ExchangeOwner::None) {
        detail_ = sink_->messages.isEmpty() ? sink_->lines.value(sink_->lines.size() - 1) : sink_->messages.join(QLatin1Char(' '));
        result_ = Result::Refused;
        return false;
    }
    running_ = true;
    stepBefore_ = 0;
    emit progress(stepText(0));
    const auto lost = [this](const QString &message) {
        if (!running_)
            return;
        detail_ = message;
        driver_->lost();
        end(Result::PortLost);
    };
    connections_ << connect(&link_, &Link::portLost, this, lost) << connect(&link_, &Link::writeFailed, this, lost);
    timer_.start();
    return true;
}

void UnitRun::stop()
{
    if (!running_)
        return;
    stopEveryExchange(link_.state());
    end(Result::Interrupted);
}

void UnitRun::tick()
{
    ProtocolState &s = link_.state();
    stepBefore_ = s.ExchangeStep;
    try {
        driver_->tick();
    } catch (const Error &e) {
        // A refused port write or a value that stopped converting: the
        // window would wait for the time-out; nothing more can come.
        stopEveryExchange(s);
        detail_ = e.message();
        end(link_.port().isOpen() ? Result::Refused : Result::PortLost);
        return;
    }
    if (RunningExchange(s) == ExchangeOwner::None) {
        judge();
        return;
    }
    if (s.ExchangeStep != stepBefore_)
        emit progress(stepText(s.ExchangeStep));
}

void UnitRun::judge()
{
    const QStringList &lines = sink_->lines;
    const QString outcome = lines.value(lines.size() - 1);
    model_ = driver_->model();
    if (outcome == text::ReadOk) {
        // Every unit read leaves a backup; one that cannot be written is
        // only a warning.
        try {
            backupPath_ = WriteBackup(BackupFolder(), family_.table(), *fields_, DecodeGbk(model_), backupSource_);
        } catch (const Error &e) {
            backupError_ = e.message();
        }
        end(Result::Ok);
        return;
    }
    if (outcome == text::WriteOk) {
        end(Result::Ok);
        return;
    }
    if (!sink_->messages.isEmpty()) {
        detail_ = sink_->messages.join(QLatin1Char(' '));
        end(Result::Refused);
        return;
    }
    // A reply that stopped a step: the short reply's line comes before the
    // outcome; otherwise the step waited in vain.
    const QStringList &steps = write_ ? family_.writeSteps : family_.readSteps;
    const QString before = lines.value(lines.size() - 2);
    failedStep_ = steps.value(stepBefore_);
    if (before.startsWith(QStringLiteral("应答")))
        detail_ = QStringLiteral("%1 (%2)").arg(before, steps.value(stepBefore_));
    else
        detail_ = QStringLiteral("no answer to %1 within %2").arg(steps.value(stepBefore_), family_.timeoutText);
    end(Result::NoAnswer);
}

void UnitRun::end(Result result)
{
    timer_.stop();
    for (const auto &c : connections_)
        disconnect(c);
    connections_.clear();
    if (model_.isEmpty() && driver_)
        model_ = driver_->model();
    result_ = result;
    running_ = false;
    emit finished();
}

QString ResultText(UnitRun::Result result)
{
    switch (result) {
    case UnitRun::Result::Ok: return QStringLiteral("ok");
    case UnitRun::Result::NoAnswer: return QStringLiteral("no answer");
    case UnitRun::Result::Refused: return QStringLiteral("refused");
    case UnitRun::Result::PortLost: return QStringLiteral("port error");
    case UnitRun::Result::Interrupted: return QStringLiteral("interrupted");
    }
    return {};
}

} // namespace qm
