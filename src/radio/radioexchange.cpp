#include "radio/radioexchange.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/inifile.h"
#include "common/prompts.h"
#include "common/report.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/link.h"
#include "radio/dk618codec.h"

namespace qm {

namespace {
const QString kTx = QStringLiteral("TxFreq%1");
const QString kRx = QStringLiteral("RxFreq%1");
const QString kAddress = QStringLiteral("Dk618_Address");
const QString kChannel = QStringLiteral("Dk618_CurrentChannel");
const QString kRate = QStringLiteral("Dk618_Baudrate");
const QString kParity = QStringLiteral("Dk618_Checkmode");
const QString kWrite = QStringLiteral("Dk618_Write_Data");
const QString kRead = QStringLiteral("Dk618_Read_Data");
constexpr int kModelMax = 29; // the model text buffer holds 29 characters and a terminator
constexpr int kFinestStep = 125; // 12.5K; 25K radios step by twice that
} // namespace

RadioExchange::RadioExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts)
    : link_(link)
    , f_(fields)
    , report_(report)
    , prompts_(prompts)
{
}

quint8 RadioExchange::addressLow() const
{
    return quint8(StrToInt(f_.text(kAddress)) & 0xFF);
}

quint16 RadioExchange::address16() const
{
    return quint16(StrToInt(f_.text(kAddress)) & 0xFFFF);
}

void RadioExchange::sendStep(quint8 command, int len)
{
    link_.state().RxState = 0;
    link_.SendFrame(command, len, kSelector);
}

void RadioExchange::sendRequest(quint8 command)
{
    auto tx = link_.state().TxBuffer();
    const quint8 low = addressLow();
    tx[4] = 0x00;
    tx[5] = low;
    sendStep(command, 5);
}

QString RadioExchange::checkWritableFields(unsigned checks) const
{
    if (checks & CheckRateParity) {
        if (f_.text(kRate).isEmpty())
            return QStringLiteral("请选择设备通讯速率！");
        if (f_.itemIndex(kRate) < 0)
            return QStringLiteral("设备通讯速率“%1”不在列表中，请重新选择！").arg(f_.text(kRate));
        if (f_.text(kParity).isEmpty())
            return QStringLiteral("请选择设备校验方式！");
        if (f_.itemIndex(kParity) < 0)
            return QStringLiteral("设备校验方式“%1”不在列表中，请重新选择！").arg(f_.text(kParity));
    }
    if (checks & CheckAddress) {
        const qint32 address = StrToInt(f_.text(kAddress));
        if (address < 0 || address > 65535)
            return QStringLiteral("设备地址%1超出范围（0～65535）！").arg(address);
    }
    if (checks & CheckChannel) {
        const qint32 channel = StrToInt(f_.text(kChannel));
        if (channel < 0 || channel > 9)
            return QStringLiteral("当前信道%1超出范围（0～9）！").arg(channel);
    }
    if (checks & CheckPtt) {
        const qint32 ptt = StrToInt(f_.text(QStringLiteral("Ptttime")));
        if (ptt < 0 || ptt > 65535)
            return QStringLiteral("PTT时间限制%1超出范围（0～65535）！").arg(ptt);
    }
    if (checks & CheckFrequencies)
        return unstorableFrequency();
    return {};
}

QString RadioExchange::unstorableFrequency() const
{
    // The page's spacing and band may be stale (after start-up or a file
    // load they say nothing of the radio): the radio names its own at the
    // write's first step, and that step checks against them. Here only what
    // no radio could store is refused: a value off the finest step, or one
    // whose word fits neither band at either spacing.
    for (int dir = 0; dir < 2; ++dir) {
        for (int i = 0; i < 10; ++i) {
            const qint32 frequency = StrToInt(f_.text((dir ? kRx : kTx).arg(i)));
            const QString name = QStringLiteral("信道%1%2频率").arg(i).arg(dir ? QStringLiteral("接收") : QStringLiteral("发射"));
            if (frequency % kFinestStep != 0)
                return name + QStringLiteral("%1不能被%2整除！").arg(frequency).arg(kFinestStep);
            bool storable = false;
            for (const int step : {kFinestStep, 2 * kFinestStep})
                for (const bool band800 : {false, true}) {
                    const qint64 word = dk618::WordOfFrequency(frequency, step, band800);
                    storable = storable
                        || (word >= 0 && word <= 65535 && dk618::FrequencyOfWord(quint16(word), step, band800) == frequency);
                }
            if (!storable)
                return name + QStringLiteral("超出范围！");
        }
    }
    return {};
}

bool RadioExchange::writeStillValid(unsigned checks)
{
    const QString problem = checkWritableFields(checks);
    if (problem.isEmpty())
        return true;
    // The step runs on the answer to the frame before it: the unit has
    // taken every part up to this step.
    const qint32 step = link_.state().ExchangeStep;
    finish(text::WriteRefused(problem, step > 0));
    report_.memo(text::WrittenSoFar(WriteParts(), step, false));
    prompts_.message(problem);
    return false;
}

void RadioExchange::refuseWrite(const QString &problem)
{
    const QString outcome = text::WriteRefused(problem, false);
    report_.memo(outcome);
    report_.panel(2, outcome);
    prompts_.message(problem);
}

const QStringList &RadioExchange::WriteParts()
{
    // The parts of a write in the order their frames go out.
    static const QStringList parts = {QStringLiteral("信道表"), QStringLiteral("设备地址"), QStringLiteral("当前信道"),
                                      QStringLiteral("工作方式")};
    return parts;
}

bool RadioExchange::Cancel()
{
    ProtocolState &s = link_.state();
    if (!s.RadioWriteActive && !s.RadioReadActive)
        return false;
    const bool write = s.RadioWriteActive;
    // At step n the write frames of steps 0..n-1 are out, all answered
    // but the last; step 0 waits for the identification.
    const qint32 step = s.ExchangeStep;
    link_.AbandonReply();
    finish(text::Cancelled);
    if (write)
        report_.memo(text::WrittenSoFar(WriteParts(), step - 1, step > 0));
    return true;
}

bool RadioExchange::refuseWhileOtherExchangeRuns()
{
    return RefusedForOtherExchange(link_.state(), ExchangeOwner::Radio, report_);
}

void RadioExchange::Dk618_Write_DataClick()
{
    if (refuseWhileOtherExchangeRuns())
        return;
    if (f_.text(kRate).isEmpty()) {
        refuseWrite(QStringLiteral("请选择设备通讯速率！"));
        return;
    }
    if (f_.text(kParity).isEmpty()) {
        refuseWrite(QStringLiteral("请选择设备校验方式！"));
        return;
    }
    // Refuse what the frames cannot carry before anything goes out.
    if (const QString problem = checkWritableFields(CheckAll); !problem.isEmpty()) {
        refuseWrite(problem);
        return;
    }
    const quint8 low = addressLow();
    ProtocolState &s = link_.state();
    report_.memo(text::Writing);
    report_.panel(2, text::WritingWait);
    s.RadioWriteActive = true;
    s.RadioReadActive = false;
    s.ExchangeStep = 0;
    s.ExchangeTicks = 0;
    s.ReplyReady = false;
    s.RxState = 0;
    f_.setEnabled(kRead, false);
    f_.setEnabled(kWrite, false);
    auto tx = s.TxBuffer();
    tx[4] = 0x00;
    tx[5] = low;
    link_.SendFrame(0x99, 5, kSelector);
}

void RadioExchange::Dk618_Read_DataClick()
{
    ProtocolState &s = link_.state();
    if (s.RadioReadActive || s.RadioWriteActive)
        return;
    if (refuseWhileOtherExchangeRuns())
        return;
    report_.memo(text::Reading);
    report_.panel(2, text::ReadingWait);
    s.ReplyReady = false;
    s.ExchangeStep = 0;
    s.ExchangeTicks = 0;
    s.RxState = 0;
    report_.ClearFields();
    s.RadioReadActive = true;
    s.RadioWriteActive = false;
    f_.setEnabled(kWrite, false);
    f_.setEnabled(kRead, false);
    // The address field reads "0" now: the first requests go to address 0.
    sendRequest(0x99);
}

void RadioExchange::finish(const QString &outcome)
{
    ProtocolState &s = link_.state();
    f_.setEnabled(kRead, true);
    f_.setEnabled(kWrite, true);
    s.ExchangeStep = 0;
    s.RadioWriteActive = false;
    s.RadioReadActive = false;
    report_.memo(outcome);
    report_.panel(2, outcome);
}

void RadioExchange::failShortReply(quint8 request, int len)
{
    const QString outcome = link_.state().RadioWriteActive ? text::WriteFailed : text::ReadFailed;
    report_.memo(text::ShortReply(request, len));
    finish(outcome);
}

void RadioExchange::Timer3Timer()
{
    ProtocolState &s = link_.state();
    const bool active = s.RadioWriteActive || s.RadioReadActive || s.MeasurePending;
    switch (PollReply(s, active, kTimeoutTicks)) {
    case Poll::Idle:
    case Poll::Waiting:
        return;
    case Poll::TimedOut: {
        const QString outcome = s.RadioWriteActive ? text::WriteFailed : s.RadioReadActive ? text::ReadFailed : QString();
        f_.setEnabled(kWrite, true);
        f_.setEnabled(kRead, true);
        s.RadioWriteActive = false;
        s.RadioReadActive = false;
        s.MeasurePending = false;
        report_.memo(outcome);
        report_.panel(2, outcome);
        if (!outcome.isEmpty() && onNoAnswer)
            onNoAnswer();
        return;
    }
    case Poll::Reply:
        break;
    }
    if (s.MeasurePending) {
        if (onMeasurementReply)
            onMeasurementReply();
        s.MeasurePending = false;
        return;
    }
    if (s.RadioReadActive)
        readStep(s.ExchangeStep);
    else
        writeStep(s.ExchangeStep);
}

void RadioExchange::PortLost()
{
    const ProtocolState &s = link_.state();
    if (s.RadioWriteActive || s.RadioReadActive)
        finish(s.RadioWriteActive ? text::WriteFailed : text::ReadFailed);
}

QByteArray RadioExchange::ModelTextOfReply(const ProtocolState &s)
{
    // The text runs from byte 6 of the reply to the last byte before the
    // check, read where the reply was completed (a stray byte before it
    // moves it along the ring). A reply without data has no text.
    ReplyCursor reply(s, 6);
    const int count = std::clamp(reply.len() - 5, 0, kModelMax);
    QByteArray model;
    for (int i = 0; i < count; ++i) {
        const char c = char(reply.byte());
        if (c == '\0')
            break;
        model.append(c);
    }
    return model;
}

void RadioExchange::takeModelText()
{
    const QByteArray model = ModelTextOfReply(link_.state());
    model_ = model;
    report_.panel(0, DecodeGbk(model));
    const auto band = dk618::BandOfModel(model);
    f_.setChecked(QStringLiteral("Fq800"), band.band800);
    f_.setChecked(band.spacing125 ? QStringLiteral("Chan_spa2") : QStringLiteral("Chan_spa1"), true);
}

void RadioExchange::readStep(qint32 step)
{
    ProtocolState &s = link_.state();
    ReplyCursor reply(s, 6);
    switch (step) {
    case 0: {
        takeModelText();
        const bool model150 = dk618::IsModel150(model_);
        if (f_.has(QStringLiteral("Label70"))) {
            f_.setText(QStringLiteral("Label70"), model150 ? QStringLiteral("最大频偏调节：") : QStringLiteral("外接调制频偏："));
            f_.setText(QStringLiteral("Label71"), model150 ? QStringLiteral("平衡调制调节：") : QStringLiteral("发射话音频偏："));
        }
        sendRequest(0x63);
        break;
    }
    case 1:
        // Twenty words: offsets 6..45.
        if (!reply.holds(45))
            return failShortReply(0x63, reply.len());
        for (int dir = 0; dir < 2; ++dir)
            for (int i = 0; i < 10; ++i)
                ChannelWords[dir][i] = reply.word();
        sendRequest(0x67);
        break;
    case 2:
        if (!reply.holds(7))
            return failShortReply(0x67, reply.len());
        f_.setText(kAddress, QString::number(reply.word()));
        sendRequest(0x6B);
        break;
    case 3: {
        if (!reply.holds(10))
            return failShortReply(0x6B, reply.len());
        const quint8 channel = reply.byte();
        const quint16 txWord = reply.word();
        const quint16 rxWord = reply.word();
        s.CurrentChannel = channel;
        f_.setText(kChannel, QString::number(channel));
        // A channel the radio should not have is shown but has no words.
        if (channel < 10) {
            ChannelWords[0][channel] = txWord;
            ChannelWords[1][channel] = rxWord;
        }
        ChannelStep = f_.checked(QStringLiteral("Chan_spa1")) ? 250 : 125;
        const bool band800 = f_.checked(QStringLiteral("Fq800"));
        for (int i = 0; i < 10; ++i) {
            f_.setText(kTx.arg(i), QString::number(dk618::FrequencyOfWord(quint16(ChannelWords[0][i]), ChannelStep, band800)));
            f_.setText(kRx.arg(i), QString::number(dk618::FrequencyOfWord(quint16(ChannelWords[1][i]), ChannelStep, band800)));
        }
        sendRequest(0x72);
        break;
    }
    case 4: {
        if (!reply.holds(12))
            return failShortReply(0x72, reply.len());
        const quint8 rate = reply.byte();
        const quint8 parity = reply.byte();
        const quint8 transfer = reply.byte();
        const quint8 addressMode = reply.byte();
        const quint8 air = reply.byte();
        const quint16 ptt = reply.word();
        f_.setItemIndex(kRate, dk618::RateIndexOfCode(rate));
        if (const auto index = dk618::ParityIndexOfCode(parity))
            f_.setItemIndex(kParity, *index);
        if (transfer == 0xAA) {
            f_.setChecked(QStringLiteral("TransparentMode"), true);
            f_.setChecked(QStringLiteral("TransMode"), true);
        } else if (transfer == 0xCA) {
            // Relay off too, so that writing back sends what the radio holds.
            f_.setChecked(QStringLiteral("ProtocolMode"), true);
            f_.setChecked(QStringLiteral("TransMode"), false);
        } else {
            f_.setChecked(QStringLiteral("TransparentMode"), true);
            f_.setChecked(QStringLiteral("TransMode"), false);
        }
        f_.setChecked(addressMode == 0x23 ? QStringLiteral("Select_ANI_Valid") : QStringLiteral("Select_ANI_Invalid"), true);
        if (const auto code = dk618::AirOfCode(air)) {
            f_.setChecked(code->air9600 ? QStringLiteral("AirRate9600") : QStringLiteral("AirRate19200"), true);
            f_.setChecked(code->seriesA ? QStringLiteral("AType") : QStringLiteral("BType"), true);
        }
        f_.setText(QStringLiteral("Ptttime"), QString::number(dk618::ShownPttLimit(ptt)));
        finish(text::ReadOk);
        break;
    }
    default:
        s.RadioReadActive = false;
        s.ExchangeStep = 0;
        return;
    }
    if (step < 4)
        ++s.ExchangeStep;
}

QString RadioExchange::channelWords(int step, bool band800, qint32 words[2][10]) const
{
    for (int dir = 0; dir < 2; ++dir) {
        for (int i = 0; i < 10; ++i) {
            const qint32 frequency = StrToInt(f_.text((dir ? kRx : kTx).arg(i)));
            const qint64 word = dk618::WordOfFrequency(frequency, step, band800);
            const QString name = QStringLiteral("信道%1%2频率").arg(i).arg(dir ? QStringLiteral("接收") : QStringLiteral("发射"));
            if (word < 0 || word > 65535)
                return name + QStringLiteral("超出范围！");
            // The radio would store the channel below and read back another
            // frequency than the one written.
            if (dk618::FrequencyOfWord(quint16(word), step, band800) != frequency)
                return name + QStringLiteral("%1不能被%2整除！").arg(frequency).arg(step);
            words[dir][i] = qint32(word);
        }
    }
    return {};
}

void RadioExchange::writeStep(qint32 step)
{
    ProtocolState &s = link_.state();
    auto tx = s.TxBuffer();
    auto putWord = [&](int at, qint32 word) {
        tx[at] = quint8((word >> 8) & 0xFF);
        tx[at + 1] = quint8(word & 0xFF);
    };
    switch (step) {
    case 0: {
        takeModelText();
        // The radio's own spacing may differ from the one chosen at the
        // click; values that no longer fit end the write before it stores
        // anything.
        QString problem = checkWritableFields(CheckAll & ~CheckFrequencies);
        if (problem.isEmpty()) {
            ChannelStep = f_.checked(QStringLiteral("Chan_spa1")) ? 250 : 125;
            problem = channelWords(ChannelStep, f_.checked(QStringLiteral("Fq800")), ChannelWords);
        }
        if (!problem.isEmpty()) {
            // Only the identification has been answered.
            finish(text::WriteRefused(problem, false));
            prompts_.message(problem);
            return;
        }
        s.CurrentChannel = StrToInt(f_.text(kChannel));
        tx[4] = 0x00;
        tx[5] = addressLow();
        for (int i = 0; i < 10; ++i) {
            putWord(6 + 2 * i, ChannelWords[0][i]);
            putWord(26 + 2 * i, ChannelWords[1][i]);
        }
        sendStep(0x61, 0x2D);
        break;
    }
    // The fields stay editable during the write, and a file may be loaded
    // meanwhile: each step checks again what it is about to send.
    case 1: {
        if (!writeStillValid(CheckAddress))
            return;
        const quint16 address = address16();
        putWord(4, address);
        putWord(6, address);
        sendStep(0x65, 7);
        break;
    }
    case 2: {
        if (!writeStillValid(CheckAddress))
            return;
        const qint32 channel = std::clamp(s.CurrentChannel, 0, 9);
        tx[4] = 0x00;
        tx[5] = addressLow();
        tx[6] = quint8(s.CurrentChannel);
        putWord(7, ChannelWords[0][channel]);
        putWord(9, ChannelWords[1][channel]);
        putWord(11, ChannelWords[0][channel]);
        putWord(13, ChannelWords[1][channel]);
        sendStep(0x69, 0x0E);
        break;
    }
    case 3: {
        if (!writeStillValid(CheckAddress | CheckRateParity | CheckPtt))
            return;
        const quint16 address = address16();
        const qint32 ptt = StrToInt(f_.text(QStringLiteral("Ptttime")));
        putWord(4, address);
        tx[6] = dk618::RateCode(f_.itemIndex(kRate));
        tx[7] = dk618::ParityCode(f_.itemIndex(kParity));
        tx[8] = dk618::TransferCode(f_.checked(QStringLiteral("TransMode")), f_.checked(QStringLiteral("TransparentMode")));
        tx[9] = dk618::AddressModeCode(f_.checked(QStringLiteral("Select_ANI_Valid")));
        tx[10] = dk618::AirCode(f_.checked(QStringLiteral("AirRate9600")), f_.checked(QStringLiteral("AType")));
        putWord(11, ptt & 0xFFFF);
        sendStep(0x70, 0x0C);
        break;
    }
    case 4: {
        finish(text::WriteOk);
        const int rate = f_.itemIndex(kRate);
        const int parity = f_.itemIndex(kParity);
        if (f_.checked(QStringLiteral("Modify_Sync")) && rate >= 0 && parity >= 0) {
            link_.line().RateIndex = rate;
            link_.line().ParityIndex = parity;
            link_.ApplyLineSettings();
        }
        return;
    }
    default:
        s.RadioWriteActive = false;
        s.ExchangeStep = 0;
        return;
    }
    ++s.ExchangeStep;
}

void RadioExchange::sendProtocolChange(quint8 protocol, const QString &name)
{
    // The radio talks another protocol afterwards: asked first, naming the
    // radio it goes to and what it becomes.
    const qint32 address = StrToInt(f_.text(kAddress));
    const quint8 low = quint8(address & 0xFF);
    // Only the address's low byte goes out.
    const QString to = address == low ? QString::number(address) : QStringLiteral("%1（报文中为 %2）").arg(address).arg(low);
    const QString question = QStringLiteral("将地址 %1 的数传电台改为%2（0x%3）？\n更改后设备按新协议通讯。")
                                 .arg(to, name, QString::number(protocol, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    if (!prompts_.confirm(text::ProtocolCaption, question))
        return;
    auto tx = link_.state().TxBuffer();
    tx[4] = 0x00;
    tx[5] = low;
    tx[6] = protocol;
    link_.SendFrame(0x08, 6, kSelector);
}

void RadioExchange::N1Click()
{
    sendProtocolChange(0x7E, QStringLiteral("铁道协议"));
}

void RadioExchange::T1Click()
{
    sendProtocolChange(0x00, QStringLiteral("测试协议"));
}

void RadioExchange::O1Click()
{
    // The fixed frame carries no address of the page: every radio on the
    // line takes it.
    if (!prompts_.confirm(text::ProtocolCaption, QStringLiteral("将线上的数传电台改为原始协议？\n此命令为固定报文，不带设备地址，线上每台数传电台都会更改。")))
        return;
    static constexpr quint8 kRaw[10] = {0x68, 0x7E, 0x02, 0x08, 0x02, 0x96, 0x00, 0x00, 0xA2, 0x7C};
    auto tx = link_.state().TxBuffer();
    std::copy(std::begin(kRaw), std::end(kRaw), tx.begin());
    link_.WritePort(10);
}

} // namespace qm
