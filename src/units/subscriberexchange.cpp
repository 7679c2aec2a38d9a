#include "units/subscriberexchange.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/prompts.h"
#include "common/report.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/link.h"
#include "units/aircode.h"
#include "units/mlr4800codec.h"

namespace qm {

namespace {
const QString kTx = QStringLiteral("TxFreq30");
const QString kRx = QStringLiteral("RxFreq30");
const QString kAddress = QStringLiteral("Mlr4800_Address");
const QString kRate = QStringLiteral("Mlr4800ComRate");
const QString kAirRate = QStringLiteral("Mlr4800_Airrate");
const QString kMeter = QStringLiteral("Meter_Category");
const QString kRadioWrite = QStringLiteral("Dk618_Write_Data");
const QString kRadioRead = QStringLiteral("Dk618_Read_Data");
} // namespace

SubscriberExchange::SubscriberExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts)
    : link_(link)
    , f_(fields)
    , report_(report)
    , prompts_(prompts)
{
}

bool SubscriberExchange::refusedWhileOtherRuns()
{
    // The exchanges share one step counter, one tick counter and one reply
    // flag: a second one would take the first one's replies as its own.
    return RefusedForOtherExchange(link_.state(), ExchangeOwner::Subscriber, report_);
}

namespace {
QString addressProblem(qint32 value)
{
    if (value < 0 || value > 65535)
        return QStringLiteral("终端设备地址%1超出范围（0～65535）！").arg(value);
    return {};
}
} // namespace

QString SubscriberExchange::checkAddress(quint16 *address) const
{
    const qint32 value = StrToInt(f_.text(kAddress));
    *address = quint16(value);
    return addressProblem(value);
}

QString SubscriberExchange::checkWritableFields() const
{
    if (const std::optional<qint32> address = TryStrToInt(f_.text(kAddress)))
        if (const QString problem = addressProblem(*address); !problem.isEmpty())
            return problem;
    const struct {
        const QString &field;
        const char *label;
    } fields[] = {{kTx, "上行发射频率"}, {kRx, "上行接收频率"}};
    for (const auto &f : fields) {
        const std::optional<qint32> converted = TryStrToInt(f_.text(f.field));
        if (!converted)
            continue;
        const qint32 value = *converted;
        if (value < 0 || value / mlr4800::kFrequencyStep > 65535)
            return QStringLiteral("%1%2超出范围！").arg(QString::fromUtf8(f.label)).arg(value);
        // The unit would store the channel below and read back another value.
        if (value % mlr4800::kFrequencyStep != 0)
            return QStringLiteral("%1%2不能被%3整除！").arg(QString::fromUtf8(f.label)).arg(value).arg(mlr4800::kFrequencyStep);
    }
    return {};
}

void SubscriberExchange::send(quint8 command, int len, quint8 selector, quint16 address)
{
    auto tx = link_.state().TxBuffer();
    tx[4] = 0x00;
    tx[5] = quint8(address & 0xFF);
    // A fresh recogniser: a noise byte after the last reply must not take
    // this reply's header for a length.
    link_.state().RxState = 0;
    link_.SendFrame(command, len, selector);
}

void SubscriberExchange::Mlr4800_WriteDataClick()
{
    if (refusedWhileOtherRuns())
        return;
    // Refuse what the unit cannot store before anything goes out.
    if (const QString problem = checkWritableFields(); !problem.isEmpty()) {
        const QString outcome = text::WriteRefused(problem, false);
        report_.memo(outcome);
        report_.panel(2, outcome);
        prompts_.message(problem);
        return;
    }
    report_.memo(text::Writing);
    report_.panel(2, text::WritingWait);
    // A text that is no integer ends the click here, after the progress line.
    const quint16 address = quint16(StrToInt(f_.text(kAddress)));
    const quint16 txWord = quint16(StrToInt(f_.text(kTx)) / mlr4800::kFrequencyStep);
    const quint16 rxWord = quint16(StrToInt(f_.text(kRx)) / mlr4800::kFrequencyStep);
    ProtocolState &s = link_.state();
    s.ReplyReady = false;
    auto tx = s.TxBuffer();
    tx[6] = quint8(txWord >> 8);
    tx[7] = quint8(txWord & 0xFF);
    tx[8] = quint8(rxWord >> 8);
    tx[9] = quint8(rxWord & 0xFF);
    s.ExchangeTicks = 0;
    s.ExchangeStep = 0;
    s.RxState = 0;
    s.SubscriberWriteActive = true;
    s.SubscriberReadActive = false;
    send(0x61, 9, kSelector, address);
}

void SubscriberExchange::Mlr4800_ReadDataClick()
{
    if (refusedWhileOtherRuns())
        return;
    report_.memo(text::Reading);
    report_.panel(2, text::ReadingWait);
    // A read asks whatever address the field holds; only its low byte
    // goes out, so any number will do.
    const quint16 address = quint16(StrToInt(f_.text(kAddress)) & 0xFFFF);
    ProtocolState &s = link_.state();
    s.ReplyReady = false;
    s.ExchangeTicks = 0;
    s.RxState = 0;
    s.ExchangeStep = 0;
    s.SubscriberReadActive = true;
    s.SubscriberWriteActive = false;
    send(0x63, 5, kSelector, address);
}

void SubscriberExchange::Timer2Timer()
{
    ProtocolState &s = link_.state();
    switch (PollReply(s, s.SubscriberWriteActive || s.SubscriberReadActive, kTimeoutTicks)) {
    case Poll::Idle:
    case Poll::Waiting:
        return;
    case Poll::TimedOut: {
        // The step is kept; every click starts again at 0.
        const QString outcome = s.SubscriberWriteActive ? text::WriteFailed : text::ReadFailed;
        s.SubscriberWriteActive = false;
        s.SubscriberReadActive = false;
        enableRadioButton(kRadioWrite);
        enableRadioButton(kRadioRead);
        report_.memo(outcome);
        report_.panel(2, outcome);
        if (onNoAnswer)
            onNoAnswer();
        return;
    }
    case Poll::Reply:
        break;
    }
    if (s.SubscriberReadActive)
        readStep(s.ExchangeStep);
    else
        writeStep(s.ExchangeStep);
}

void SubscriberExchange::PortLost()
{
    const ProtocolState &s = link_.state();
    if (!s.SubscriberWriteActive && !s.SubscriberReadActive)
        return;
    finish(s.SubscriberWriteActive ? text::WriteFailed : text::ReadFailed);
    enableRadioButton(kRadioWrite);
    enableRadioButton(kRadioRead);
}

void SubscriberExchange::finish(const QString &outcome)
{
    ProtocolState &s = link_.state();
    s.ExchangeStep = 0;
    s.SubscriberWriteActive = false;
    s.SubscriberReadActive = false;
    report_.memo(outcome);
    report_.panel(2, outcome);
}

namespace {
// The parts of a write in the order their frames go out.
const QStringList &writeParts()
{
    static const QStringList parts = {QStringLiteral("上行频率"), QStringLiteral("终端设备地址"), QStringLiteral("空中速率和电表类型"),
                                      QStringLiteral("终端通讯速率")};
    return parts;
}
} // namespace

void SubscriberExchange::failWrite(const QString &problem)
{
    // Step n runs on the answer to frame n: the uplink frequencies at
    // least are in the unit.
    const qint32 step = link_.state().ExchangeStep;
    finish(text::WriteRefused(problem, true));
    report_.memo(text::WrittenSoFar(writeParts(), step + 1, false));
    prompts_.message(problem);
}

bool SubscriberExchange::Cancel()
{
    ProtocolState &s = link_.state();
    if (!s.SubscriberWriteActive && !s.SubscriberReadActive)
        return false;
    const bool write = s.SubscriberWriteActive;
    // The click sends the first frame; at step n frames 0..n are out, all
    // answered but the last.
    const qint32 step = s.ExchangeStep;
    link_.AbandonReply();
    finish(text::Cancelled);
    enableRadioButton(kRadioWrite);
    enableRadioButton(kRadioRead);
    if (write)
        report_.memo(text::WrittenSoFar(writeParts(), step, true));
    return true;
}

void SubscriberExchange::enableRadioButton(const QString &name)
{
    if (RunningExchange(link_.state()) != ExchangeOwner::Radio && f_.has(name))
        f_.setEnabled(name, true);
}

void SubscriberExchange::readStep(qint32 step)
{
    ProtocolState &s = link_.state();
    ReplyCursor reply(s, 6);
    // The last value each reply carries, and the request it answers.
    static constexpr int kLastOffset[] = {9, 7, 8};
    static constexpr quint8 kRequest[] = {0x63, 0x67, 0x73};
    if (step < 0 || step > 2) {
        s.SubscriberReadActive = false;
        s.ExchangeStep = 0;
        return;
    }
    if (!reply.holds(kLastOffset[step])) {
        report_.memo(text::ShortReply(kRequest[step], reply.len()));
        finish(text::ReadFailed);
        return;
    }
    switch (step) {
    case 0: {
        const quint16 txWord = reply.word();
        const quint16 rxWord = reply.word();
        f_.setText(kTx, QString::number(qint32(txWord) * mlr4800::kFrequencyStep));
        f_.setText(kRx, QString::number(qint32(rxWord) * mlr4800::kFrequencyStep));
        send(0x67, 5, kSubscriberSelector, quint16(StrToInt(f_.text(kAddress)) & 0xFFFF));
        break;
    }
    case 1: {
        // Unsigned: addresses from 32768 on are shown as they are written.
        const quint16 address = reply.word();
        f_.setText(kAddress, QString::number(address));
        send(0x73, 5, kSubscriberSelector, address);
        break;
    }
    case 2: {
        const quint8 rate = reply.byte();
        const quint8 air = reply.byte();
        const quint8 meter = reply.byte();
        f_.setItemIndex(kRate, mlr4800::RateItemOfCode(rate));
        f_.setItemIndex(kAirRate, units::AirRateItemOfCode(air));
        f_.setItemIndex(kMeter, mlr4800::MeterItemOfCode(meter));
        finish(text::ReadOk);
        enableRadioButton(kRadioWrite);
        return;
    }
    }
    ++s.ExchangeStep;
}

void SubscriberExchange::writeStep(qint32 step)
{
    ProtocolState &s = link_.state();
    if (step < 0 || step > 3) {
        s.SubscriberWriteActive = false;
        s.ExchangeStep = 0;
        return;
    }
    if (step == 3) {
        // The unit now listens at the rate it was just told: follow it.
        LineSettings &line = link_.line();
        line.RateIndex = mlr4800::LineRateIndexOfCode(writtenRateCode_);
        line.ParityIndex = 1;
        link_.ApplyLineSettings();
        finish(text::WriteOk);
        enableRadioButton(kRadioRead);
        return;
    }
    // Every frame carries the address as the field reads now; it must
    // still pass the check made at the click.
    quint16 address = 0;
    if (const QString problem = checkAddress(&address); !problem.isEmpty()) {
        failWrite(problem);
        return;
    }
    auto tx = s.TxBuffer();
    switch (step) {
    case 0:
        tx[6] = quint8(address >> 8);
        tx[7] = quint8(address & 0xFF);
        send(0x65, 7, kSubscriberSelector, address);
        break;
    case 1:
        tx[6] = units::AirRateCode(f_.text(kAirRate));
        tx[7] = mlr4800::MeterTypeCode(f_.itemIndex(kMeter));
        send(0x71, 7, kSubscriberSelector, address);
        break;
    case 2:
        writtenRateCode_ = mlr4800::RateCode(f_.text(kRate));
        tx[6] = writtenRateCode_;
        send(0x6D, 6, kSubscriberSelector, address);
        break;
    }
    ++s.ExchangeStep;
}

} // namespace qm
