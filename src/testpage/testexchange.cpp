#include "testpage/testexchange.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/prompts.h"
#include "common/report.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/link.h"

namespace qm {

namespace {
const QString kAddress = QStringLiteral("Dk618_Address");
const QString kPowerLevel = QStringLiteral("Power_lab");
const QString kAutoRead = QStringLiteral("AutoRead");
constexpr int kRows = 9;
constexpr quint8 kPowerRowCode = 0xC8;
constexpr qint32 kMaxPowerLevel = 6;

QString rowField(int row)
{
    return QStringLiteral("VR%1_Text").arg(row);
}

QString decimal(quint8 whole, quint8 second)
{
    // The second number is shown as it comes, without scaling: 12 gives ".12".
    return QString::number(whole) + QLatin1Char('.') + QString::number(second);
}
} // namespace

TestExchange::TestExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts)
    : link_(link)
    , f_(fields)
    , report_(report)
    , prompts_(prompts)
{
}

bool TestExchange::lineBusy()
{
    // A data-radio, central or subscriber exchange waits for its own reply;
    // a test command would reset the ring under it and Timer3 could take
    // its reply as a measurement.
    return RefusedForOtherExchange(link_.state(), ExchangeOwner::Measurement, report_);
}

quint8 TestExchange::addressLow() const
{
    return quint8(StrToInt(f_.text(kAddress)) & 0xFF);
}

void TestExchange::send(quint8 command, int len)
{
    // A fresh recogniser: a noise byte after the last answer must not take
    // this answer's header for a length.
    link_.state().RxState = 0;
    link_.SendFrame(command, len, kSelector);
}

void TestExchange::sendShort(quint8 command)
{
    const quint8 low = addressLow();
    auto tx = link_.state().TxBuffer();
    tx[4] = 0x00;
    tx[5] = low;
    send(command, 6);
}

// ---- Trimming and transmitter ----

void TestExchange::SetVrn_Value(quint8 code, quint8 value)
{
    const quint8 low = addressLow();
    const quint8 power = code == kPowerRowCode ? quint8(StrToInt(f_.text(kPowerLevel)) & 0xFF) : 0;
    auto tx = link_.state().TxBuffer();
    tx[4] = 0x00;
    tx[5] = low;
    tx[6] = code;
    tx[7] = value;
    tx[8] = power;
    send(0xC0, 8);
}

void TestExchange::stepRow(int row, bool up)
{
    if (row < 1 || row > kRows || lineBusy())
        return;
    const QString field = rowField(row);
    const qint64 v = StrToInt(f_.text(field));
    // Wraps at both ends of 0..255 and nowhere else: a typed 300 steps to
    // 301 and goes out as its low 8 bits.
    const qint64 next = up ? (v == 255 ? 0 : v + 1) : (v == 0 ? 255 : v - 1);
    SetVrn_Value(quint8(0xC0 + row), quint8(next & 0xFF));
    // Shown once its frame is out, so a refused send changes nothing.
    f_.setText(field, QString::number(next));
    if (onTrimmingSent)
        onTrimmingSent(row);
}

void TestExchange::VRUpClick(int row)
{
    stepRow(row, true);
}

void TestExchange::VRDownClick(int row)
{
    stepRow(row, false);
}

void TestExchange::Read_VRClick()
{
    if (!lineBusy())
        sendShort(0xD0);
}

void TestExchange::Voice_TxClick()
{
    if (!lineBusy())
        sendShort(0x74);
}

void TestExchange::Tx_SignalClick()
{
    if (!lineBusy())
        sendShort(0x9C);
}

void TestExchange::Tx_MSKClick()
{
    if (!lineBusy())
        sendShort(0x9D);
}

void TestExchange::Stop_TxClick()
{
    if (!lineBusy())
        sendShort(0xC9);
}

void TestExchange::Analyse_VR()
{
    ReplyCursor head(link_.state(), 3);
    if (head.byte() != 0xDF)
        return;
    // Offsets 6..15 of a shorter report would be stale ring bytes.
    if (!head.holds(15)) {
        report_.memo(text::ShortReply(0xD0, head.len()));
        return;
    }
    ReplyCursor values(link_.state(), 6);
    std::array<quint8, 10> report{};
    for (quint8 &b : report)
        b = values.byte();
    for (int row = 1; row <= 7; ++row)
        f_.setText(rowField(row), QString::number(report[size_t(row - 1)]));
    const quint8 power = report[7];
    if (power <= kMaxPowerLevel)
        f_.setText(kPowerLevel, QString::number(power));
    f_.setText(rowField(9), QString::number(report[8]));
    f_.setText(rowField(8), QString::number(report[9]));
    if (onTrimmingReport)
        onTrimmingReport(report);
}

// ---- Readings ----

void TestExchange::sendReading(quint8 command)
{
    sendShort(command);
    ProtocolState &s = link_.state();
    // Pending only once the request is out. A frame that came earlier and
    // was never consumed (the answer to a trimming step) must not be taken
    // for this answer.
    s.ReplyReady = false;
    s.MeasurePending = true;
}

void TestExchange::reading(quint8 command)
{
    if (!lineBusy())
        sendReading(command);
}

void TestExchange::ReadTempClick()
{
    reading(0xD1);
}

void TestExchange::GetRssiClick()
{
    reading(0xD3);
}

void TestExchange::ReadPowerClick()
{
    reading(0xD7);
}

void TestExchange::ReadVoltClick()
{
    reading(0xD9);
}

void TestExchange::MeasurementReply()
{
    ReplyCursor head(link_.state(), 3);
    const quint8 command = head.byte();
    int last = 0;
    switch (command) {
    case 0xD2:
    case 0xD4:
    case 0xDA:
        last = 7;
        break;
    case 0xD8:
        last = 8;
        break;
    default:
        return; // an answer to something else shows nothing
    }
    if (!head.holds(last)) {
        report_.memo(text::ShortReply(quint8(command - 1), head.len()));
        return;
    }
    ReplyCursor values(link_.state(), 6);
    const quint8 b6 = values.byte();
    const quint8 b7 = values.byte();
    const bool alarm = command == 0xD8 && values.byte() == 0xFF;
    const auto show = [this, alarm](Quantity quantity, const QString &label, const QString &text) {
        f_.setText(label, text);
        if (quantity == Quantity::Power)
            f_.setChecked(QStringLiteral("Swr_led"), alarm);
        if (onReading)
            onReading(quantity, text, alarm);
    };
    switch (command) {
    case 0xD2:
        show(Quantity::Temperature, QStringLiteral("Temperature"), QString::number((quint32(b6) << 8 | b7) >> 4));
        break;
    case 0xD4:
        show(Quantity::FieldStrength, QStringLiteral("RssiValue"), QString::number(b7));
        break;
    case 0xD8:
        show(Quantity::Power, QStringLiteral("Power"), decimal(b6, b7));
        break;
    case 0xDA:
        show(Quantity::Voltage, QStringLiteral("Volt"), decimal(b6, b7));
        break;
    default:
        break;
    }
}

bool TestExchange::autoReading() const
{
    return f_.text(kAutoRead) != text::AutoReadOff;
}

void TestExchange::setAutoReading(bool on)
{
    if (switchTimer4)
        switchTimer4(on);
    f_.setText(kAutoRead, on ? text::AutoReadOn : text::AutoReadOff);
}

void TestExchange::AutoReadClick()
{
    if (!link_.port().isOpen())
        return;
    setAutoReading(!autoReading());
}

void TestExchange::Timer4Timer()
{
    if (!link_.port().isOpen()) {
        PortClosed();
        return;
    }
    // Another page's exchange has the line: this tick asks nothing, and the
    // cycle goes on by itself once that exchange has ended.
    const ExchangeOwner owner = RunningExchange(link_.state());
    if (owner != ExchangeOwner::None && owner != ExchangeOwner::Measurement)
        return;
    if (++AutoReadStep > 3)
        AutoReadStep = 0;
    static constexpr quint8 kCycle[4] = {0xD7, 0xD9, 0xD3, 0xD1}; // power, voltage, field strength, temperature
    try {
        sendReading(kCycle[AutoReadStep]);
    } catch (const Error &) {
        // An address that is no number would fail on every tick: report it
        // once and stop.
        setAutoReading(false);
        throw;
    }
}

void TestExchange::PortClosed()
{
    ProtocolState &s = link_.state();
    if (RunningExchange(s) == ExchangeOwner::Measurement)
        s.MeasurePending = false;
    if (!autoReading())
        return;
    setAutoReading(false);
    report_.memo(text::AutoReadStopped);
}

// ---- Calibrations and power level ----

void TestExchange::calibrate(quint8 command, const QString &question)
{
    if (lineBusy() || !prompts_.confirm(text::ConfirmCaption, question))
        return;
    const quint8 low = addressLow();
    auto tx = link_.state().TxBuffer();
    tx[4] = 0x00;
    tx[5] = low;
    tx[6] = 0x00;
    tx[7] = 0x00;
    send(command, 8);
    if (onCalibrationSent)
        onCalibrationSent(command);
}

void TestExchange::RssiModiClick()
{
    calibrate(0xF1, QStringLiteral("确定当前场强为-110dBm吗?"));
}

void TestExchange::SetPowerClick()
{
    calibrate(0xF3, QStringLiteral("确定当前功率为36dBm吗?"));
}

void TestExchange::AlarmSetClick()
{
    calibrate(0xF5, QStringLiteral("确定在发射状态吗?"));
}

void TestExchange::PowerMUpClick()
{
    qint64 p = qint64(StrToInt(f_.text(kPowerLevel))) + 1;
    if (p > kMaxPowerLevel)
        p = 1;
    f_.setText(kPowerLevel, QString::number(p));
}

void TestExchange::PowerMDownClick()
{
    qint64 p = qint64(StrToInt(f_.text(kPowerLevel))) - 1;
    if (p < 1)
        p = kMaxPowerLevel;
    f_.setText(kPowerLevel, QString::number(p));
}

void TestExchange::SetPwrClick()
{
    if (lineBusy())
        return;
    const quint8 low = addressLow();
    const quint8 level = quint8(StrToInt(f_.text(kPowerLevel)) & 0xFF);
    auto tx = link_.state().TxBuffer();
    tx[4] = 0x00;
    tx[5] = low;
    tx[6] = level;
    send(0xF9, 7);
    if (onPowerLevelSent)
        onPowerLevelSent();
}

} // namespace qm
