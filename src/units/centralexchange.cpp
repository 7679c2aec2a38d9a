#include "units/centralexchange.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/prompts.h"
#include "common/report.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/link.h"
#include "units/aircode.h"

#include <algorithm>

namespace qm {

namespace {
const QString kAddress = QStringLiteral("Mlb4800_Address");
const QString kChannel = QStringLiteral("Mlb4800_CurrentChannel");
const QString kAirrate = QStringLiteral("Mlb4800_Airrate");
const QString kTransparent = QStringLiteral("Mlb_TransParent");
const QString kOperate = QStringLiteral("Mlb4800_Operate");
const QString kRadioWrite = QStringLiteral("Dk618_Write_Data");
const QString kRadioRead = QStringLiteral("Dk618_Read_Data");
constexpr int kStep = 250; // the central unit counts frequencies in 250 x 100 Hz
constexpr quint8 kWired = 3;
constexpr quint8 kWireless = 6;
constexpr quint8 kTransparentOn = 0x5A;
constexpr quint8 kTransparentOff = 0xA5;
// The request whose reply each read step takes apart.
constexpr quint8 kReadRequests[4] = {0x63, 0x67, 0x6B, 0x73};
} // namespace

CentralExchange::CentralExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts)
    : link_(link)
    , f_(fields)
    , report_(report)
    , prompts_(prompts)
{
}

QString CentralExchange::FieldOfEntry(int entry)
{
    static const QString kNames[4] = {QStringLiteral("TxFreq1%1"), QStringLiteral("RxFreq1%1"), QStringLiteral("TxFreq2%1"),
                                      QStringLiteral("RxFreq2%1")};
    return kNames[entry / kChannels].arg(entry % kChannels);
}

quint8 CentralExchange::address() const
{
    // The central unit keeps one address byte.
    return quint8(StrToInt(f_.text(kAddress)) & 0xFF);
}

void CentralExchange::sendRequest(quint8 command)
{
    auto tx = link_.state().TxBuffer();
    const quint8 low = address();
    tx[4] = 0x00;
    tx[5] = low;
    sendStep(command, 5);
}

void CentralExchange::sendStep(quint8 command, int len)
{
    link_.state().RxState = 0;
    link_.SendFrame(command, len, kSelector);
}

bool CentralExchange::refusedForOtherExchange()
{
    return RefusedForOtherExchange(link_.state(), ExchangeOwner::Central, report_);
}

QString CentralExchange::checkWritableFields() const
{
    static const QString kColumns[4] = {QStringLiteral("上行发射"), QStringLiteral("上行接收"), QStringLiteral("下行发射"),
                                        QStringLiteral("下行接收")};
    for (int i = 0; i < kWords; ++i) {
        const std::optional<qint32> converted = TryStrToInt(f_.text(FieldOfEntry(i)));
        if (!converted)
            continue;
        const qint32 value = *converted;
        const QString name = QStringLiteral("信道%1%2频率").arg(i % kChannels).arg(kColumns[i / kChannels]);
        if (value < 0 || value / kStep > 0xFFFF)
            return name + QStringLiteral("超出范围！");
        // The unit would store the channel below and read back another value.
        if (value % kStep != 0)
            return name + QStringLiteral("%1不能被%2整除！").arg(value).arg(kStep);
    }
    const std::optional<qint32> channel = TryStrToInt(f_.text(kChannel));
    if (channel && (*channel < 0 || *channel >= kChannels))
        return QStringLiteral("当前信道%1超出范围（0～9）！").arg(*channel);
    return {};
}

void CentralExchange::Mlb4800_WriteDataClick()
{
    if (refusedForOtherExchange())
        return;
    // Values the unit cannot store are refused before anything starts, so a
    // refused click leaves a running exchange and the shared state alone.
    if (const QString problem = checkWritableFields(); !problem.isEmpty()) {
        const QString outcome = text::WriteRefused(problem, false);
        report_.memo(outcome);
        report_.panel(2, outcome);
        prompts_.message(problem);
        return;
    }
    report_.memo(text::Writing);
    report_.panel(2, text::WritingWait);
    // A text that is no integer ends the click here, after the progress
    // line, with nothing changed.
    qint32 table[kWords];
    for (int i = 0; i < kWords; ++i)
        table[i] = StrToInt(f_.text(FieldOfEntry(i))) / kStep;
    const qint32 channel = StrToInt(f_.text(kChannel));
    // Every address goes out as its low 8 bits: the unit keeps one byte.
    const qint32 addressValue = StrToInt(f_.text(kAddress));

    ProtocolState &s = link_.state();
    s.ExchangeStep = 0;
    std::copy(table, table + kWords, CentralFreqTable);
    s.CurrentChannel = channel;
    writeChannel_ = channel;
    shortExchange_ = f_.checked(kOperate);
    auto tx = s.TxBuffer();
    tx[4] = 0x00;
    tx[5] = quint8(addressValue & 0xFF);
    s.ReplyReady = false;
    for (int i = 0; i < kWords; ++i) {
        tx[size_t(6 + 2 * i)] = quint8(CentralFreqTable[i] >> 8);
        tx[size_t(7 + 2 * i)] = quint8(CentralFreqTable[i] & 0xFF);
    }
    tx[86] = f_.checked(QStringLiteral("ComTrans")) ? kWired : kWireless;
    s.ExchangeTicks = 0;
    s.CentralWriteActive = true;
    s.CentralReadActive = false;
    s.RxState = 0;
    // The short write skips the table: the next tick goes on as if the
    // table write had been answered.
    if (shortExchange_)
        s.ReplyReady = true;
    else
        link_.SendFrame(0x61, 0x56, kSelector);
}

void CentralExchange::Mlb4800_ReadDataClick()
{
    if (refusedForOtherExchange())
        return;
    ProtocolState &s = link_.state();
    report_.memo(text::Reading);
    report_.panel(2, text::ReadingWait);
    s.ExchangeStep = 0;
    s.ExchangeTicks = 0;
    s.RxState = 0;
    s.ReplyReady = false;
    report_.ClearFields();
    s.CentralReadActive = true;
    s.CentralWriteActive = false;
    shortExchange_ = f_.checked(kOperate);
    // The address field reads "0" now; the unit's own address comes back
    // with the second reply and is used from then on.
    if (shortExchange_)
        s.ReplyReady = true;
    else
        sendRequest(0x63);
}

void CentralExchange::Timer1Timer()
{
    ProtocolState &s = link_.state();
    switch (PollReply(s, s.CentralWriteActive || s.CentralReadActive, kTimeoutTicks)) {
    case Poll::Idle:
    case Poll::Waiting:
        return;
    case Poll::TimedOut:
        finish(s.CentralWriteActive ? text::WriteFailed : text::ReadFailed);
        if (onNoAnswer)
            onNoAnswer();
        return;
    case Poll::Reply:
        break;
    }
    if (s.CentralReadActive)
        readStep(s.ExchangeStep);
    else
        writeStep(s.ExchangeStep);
}

void CentralExchange::PortLost()
{
    const ProtocolState &s = link_.state();
    if (s.CentralWriteActive || s.CentralReadActive)
        finish(s.CentralWriteActive ? text::WriteFailed : text::ReadFailed);
}

bool CentralExchange::Cancel()
{
    ProtocolState &s = link_.state();
    if (!s.CentralWriteActive && !s.CentralReadActive)
        return false;
    const bool write = s.CentralWriteActive;
    const qint32 step = s.ExchangeStep;
    link_.AbandonReply();
    finish(text::Cancelled);
    if (!write)
        return true;
    // The full write sends its table at the click and the frame of step n
    // on the answer to step n - 1; the short one sends nothing at the
    // click and its first frame at step 0.
    QStringList parts = {QStringLiteral("信道表"), QStringLiteral("设备地址"), QStringLiteral("当前信道"),
                         QStringLiteral("空中速率和纯透明")};
    if (shortExchange_) {
        parts.removeFirst();
        report_.memo(text::WrittenSoFar(parts, step - 1, step > 0));
    } else {
        report_.memo(text::WrittenSoFar(parts, step, true));
    }
    return true;
}

void CentralExchange::finish(const QString &outcome, const QString &enableButton)
{
    ProtocolState &s = link_.state();
    for (const QString &button : {kRadioWrite, kRadioRead})
        if ((enableButton.isEmpty() || button == enableButton) && f_.has(button))
            f_.setEnabled(button, true);
    s.CentralWriteActive = false;
    s.CentralReadActive = false;
    report_.memo(outcome);
    report_.panel(2, outcome);
}

void CentralExchange::showTable()
{
    for (int i = 0; i < kWords; ++i)
        f_.setText(FieldOfEntry(i), QString::number(qint64(CentralFreqTable[i]) * kStep));
}

void CentralExchange::readStep(qint32 step)
{
    ProtocolState &s = link_.state();
    if (step < 0 || step > 3) {
        s.CentralReadActive = false;
        s.ExchangeStep = 0;
        return;
    }
    // The last offset each step takes from its reply; the short read takes
    // nothing at step 0.
    static constexpr int kLastOffset[4] = {86, 5, 14, 7};
    const bool parses = step > 0 || !shortExchange_;
    ReplyCursor reply(s, step == 1 ? 5 : 6);
    if (parses && !reply.holds(kLastOffset[step])) {
        report_.memo(text::ShortReply(kReadRequests[step], reply.len()));
        finish(text::ReadFailed);
        return;
    }
    switch (step) {
    case 0:
        if (parses) {
            for (qint32 &word : CentralFreqTable)
                word = reply.word();
            f_.setChecked(reply.byte() == kWired ? QStringLiteral("ComTrans") : QStringLiteral("AirTrans"), true);
        }
        sendRequest(0x67);
        break;
    case 1:
        f_.setText(kAddress, QString::number(reply.byte()));
        sendRequest(0x6B);
        break;
    case 2: {
        const quint8 channel = reply.byte();
        quint16 words[4];
        for (quint16 &word : words)
            word = reply.word();
        s.CurrentChannel = channel;
        f_.setText(kChannel, QString::number(channel));
        // A channel the table does not have is shown, but its words have
        // no place.
        if (channel < kChannels)
            for (int i = 0; i < 4; ++i)
                CentralFreqTable[i * kChannels + channel] = words[i];
        showTable();
        sendRequest(0x73);
        break;
    }
    case 3: {
        const quint8 air = reply.byte();
        const quint8 transparent = reply.byte();
        f_.setItemIndex(kAirrate, units::AirRateItemOfCode(air));
        f_.setChecked(kTransparent, transparent == kTransparentOn);
        finish(text::ReadOk, kRadioWrite);
        s.ExchangeStep = 0;
        return;
    }
    }
    ++s.ExchangeStep;
}

void CentralExchange::writeStep(qint32 step)
{
    ProtocolState &s = link_.state();
    auto tx = s.TxBuffer();
    switch (step) {
    case 0: {
        const quint8 low = address();
        tx[4] = 0x00;
        tx[5] = low;
        tx[6] = low;
        sendStep(0x65, 6);
        break;
    }
    case 1: {
        tx[4] = 0x00;
        tx[5] = address();
        tx[6] = quint8(writeChannel_);
        for (int i = 0; i < 4; ++i) {
            const qint32 word = CentralFreqTable[i * kChannels + writeChannel_];
            tx[size_t(7 + 2 * i)] = quint8(word >> 8);
            tx[size_t(8 + 2 * i)] = quint8(word & 0xFF);
        }
        sendStep(0x69, 0x0E);
        break;
    }
    case 2:
        tx[4] = 0x00;
        tx[5] = address();
        tx[6] = units::AirRateCode(f_.text(kAirrate));
        tx[7] = f_.checked(kTransparent) ? kTransparentOn : kTransparentOff;
        sendStep(0x71, 7);
        break;
    case 3:
        finish(text::WriteOk, kRadioRead);
        s.ExchangeStep = 0;
        return;
    default:
        s.CentralWriteActive = false;
        s.ExchangeStep = 0;
        return;
    }
    ++s.ExchangeStep;
}

void CentralExchange::Mlb4800_SaveFileClick()
{
    report_.memo(QStringLiteral("存储文档..."));
}

void CentralExchange::Mlb4800_ReadFileClick()
{
    report_.memo(QStringLiteral("读取文档..."));
}

void CentralExchange::Mlb4800_AddressTableClick()
{
    report_.memo(QStringLiteral("更改地址列表..."));
}

} // namespace qm
