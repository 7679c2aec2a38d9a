// Any bytes from the line, through the real window: the receive event, the
// recogniser, the trimming-report analysis and the reply handling of the
// three exchange timers, in every exchange state.
//
// Input: byte 0 the exchange to start (idle, data-radio write or read,
// central write or read, subscriber write or read, a reading, automatic
// reading), byte 1 flags (echo on, current channel only, follow the radio's
// line, a reply flag left over, the recogniser's state, the radio's
// spacing and band), byte 2 the step, byte 3 the tick count, bytes 4..5
// where the ring stands, bytes 6..7 a frame the recogniser is inside of.
// Then pieces: a byte saying which ticks follow (one of each exchange timer,
// none, enough for every time-out, or Timer4 first), a length byte and that
// many bytes from the line.
//
// After every piece the shared state must be consistent (ring indexes in
// the ring, at most one exchange holding the counters, the tick count under
// its limit, the data-radio buttons usable while no radio exchange runs),
// no byte may cause an error report, and at the end every field an
// exchange fills must hold a number or nothing, and the monitor its cap.
#include "fuzzrig.h"

#include "app/monitormemo.h"
#include "common/fieldaccess.h"
#include "link/exchange.h"
#include "radio/radioexchange.h"
#include "testpage/testexchange.h"
#include "units/centralexchange.h"
#include "units/subscriberexchange.h"

#include <QPushButton>
#include <QStringList>

#include <cstdint>

using namespace qm;

namespace {

enum Kind {
    Idle,
    RadioWrite,
    RadioRead,
    CentralWrite,
    CentralRead,
    SubscriberWrite,
    SubscriberRead,
    SingleReading,
    AutoReading,
    KindCount
};

// The last step of each exchange and its time-out limit.
constexpr int kLastStep[KindCount] = {0, 4, 4, 3, 3, 3, 2, 0, 0};
constexpr int kLimit[KindCount] = {0, 100, 100, 35, 35, 35, 35, 100, 100};

fuzz::Rig *rig = nullptr;
QStringList numberFields;
const QStringList decimalFields = {QStringLiteral("Power"), QStringLiteral("Volt")};
QPushButton *radioWrite = nullptr;
QPushButton *radioRead = nullptr;
MonitorMemo *memo = nullptr;

void ResetState(ProtocolState &s)
{
    s.Area.fill(0);
    s.RxWritePos = s.RxReadPos = 0;
    s.RxState = s.RxCheck = 0;
    s.RxRemain = s.RxFrameStart = s.RxFrameLen = 0;
    s.ReplyStart = s.ReplyLen = 0;
    s.ReplyReady = s.AutoSetReply = false;
    s.ExchangeStep = s.ExchangeTicks = 0;
    s.RadioWriteActive = s.RadioReadActive = false;
    s.CentralWriteActive = s.CentralReadActive = false;
    s.SubscriberWriteActive = s.SubscriberReadActive = false;
    s.MeasurePending = false;
    s.CurrentChannel = 0;
    s.MonitorOn = false;
}

// Sets a text only when it differs: most inputs leave most fields alone.
void Put(FieldAccess &f, const QString &name, const QString &text)
{
    if (f.text(name) != text)
        f.setText(name, text);
}

// Valid page contents, so that every write step can build its frame.
void PresetFields(FieldAccess &f, quint8 flags)
{
    for (int i = 0; i < 10; ++i) {
        Put(f, QStringLiteral("TxFreq%1").arg(i), QString::number(4300000 + 250 * i));
        Put(f, QStringLiteral("RxFreq%1").arg(i), QString::number(4400000 + 250 * i));
    }
    for (int i = 10; i < 30; ++i) {
        Put(f, QStringLiteral("TxFreq%1").arg(i), QStringLiteral("4330000"));
        Put(f, QStringLiteral("RxFreq%1").arg(i), QStringLiteral("4380000"));
    }
    Put(f, QStringLiteral("TxFreq30"), QStringLiteral("4330000"));
    Put(f, QStringLiteral("RxFreq30"), QStringLiteral("4380250"));
    for (const char *name : {"Dk618_Address", "Mlb4800_Address", "Mlr4800_Address"})
        Put(f, QLatin1String(name), QStringLiteral("1"));
    Put(f, QStringLiteral("Dk618_CurrentChannel"), QStringLiteral("3"));
    Put(f, QStringLiteral("Mlb4800_CurrentChannel"), QStringLiteral("2"));
    Put(f, QStringLiteral("Ptttime"), QStringLiteral("60"));
    for (int row = 1; row <= 9; ++row)
        Put(f, QStringLiteral("VR%1_Text").arg(row), QStringLiteral("128"));
    Put(f, QStringLiteral("Power_lab"), QStringLiteral("1"));
    f.setItemIndex(QStringLiteral("Dk618_Baudrate"), 6);
    f.setItemIndex(QStringLiteral("Dk618_Checkmode"), 0);
    f.setItemIndex(QStringLiteral("Mlb4800_Airrate"), 0);
    f.setItemIndex(QStringLiteral("Mlr4800ComRate"), 0);
    f.setItemIndex(QStringLiteral("Mlr4800_Airrate"), 1);
    f.setItemIndex(QStringLiteral("Meter_Category"), 0);
    f.setChecked(QStringLiteral("TransparentMode"), true);
    f.setChecked(QStringLiteral("Select_ANI_Invalid"), true);
    f.setChecked(QStringLiteral("AirRate19200"), true);
    f.setChecked(QStringLiteral("AType"), true);
    f.setChecked(QStringLiteral("TransMode"), false);
    f.setChecked(flags & 0x40 ? QStringLiteral("Chan_spa2") : QStringLiteral("Chan_spa1"), true);
    f.setChecked(QStringLiteral("Fq800"), flags & 0x80);
    f.setChecked(QStringLiteral("Mlb4800_Operate"), flags & 0x02);
    f.setChecked(QStringLiteral("Modify_Sync"), flags & 0x04);
    f.setEnabled(QStringLiteral("Dk618_Write_Data"), true);
    f.setEnabled(QStringLiteral("Dk618_Read_Data"), true);
}

void Start(Kind kind)
{
    TMainForm &w = *rig->window;
    switch (kind) {
    case RadioWrite: w.radioExchange().Dk618_Write_DataClick(); break;
    case RadioRead: w.radioExchange().Dk618_Read_DataClick(); break;
    case CentralWrite: w.centralExchange().Mlb4800_WriteDataClick(); break;
    case CentralRead: w.centralExchange().Mlb4800_ReadDataClick(); break;
    case SubscriberWrite: w.subscriberExchange().Mlr4800_WriteDataClick(); break;
    case SubscriberRead: w.subscriberExchange().Mlr4800_ReadDataClick(); break;
    case SingleReading: w.testExchange().GetRssiClick(); break;
    case AutoReading: w.testExchange().AutoReadClick(); break;
    case Idle:
    case KindCount: break;
    }
}

void CheckState(const ProtocolState &s)
{
    fuzz::Check(s.RxReadPos >= 0 && s.RxReadPos < kRingSize, "read index outside the ring");
    fuzz::Check(s.RxWritePos >= 0 && s.RxWritePos < kRingSize, "write index outside the ring");
    fuzz::Check(s.RxState <= 2, "recogniser state");
    fuzz::Check(s.ReplyStart >= 0 && s.ReplyStart < kRingSize && s.ReplyLen >= 0 && s.ReplyLen <= 255, "last reply outside the ring");
    const int owners = int(s.RadioWriteActive || s.RadioReadActive) + int(s.CentralWriteActive || s.CentralReadActive)
        + int(s.SubscriberWriteActive || s.SubscriberReadActive) + int(s.MeasurePending);
    fuzz::Check(owners <= 1, "more than one exchange holds the counters");
    fuzz::Check(!(s.RadioWriteActive && s.RadioReadActive) && !(s.CentralWriteActive && s.CentralReadActive)
                    && !(s.SubscriberWriteActive && s.SubscriberReadActive),
                "a write and a read at once");
    fuzz::Check(s.ExchangeTicks >= 0 && s.ExchangeTicks <= RadioExchange::kTimeoutTicks + 1, "tick count",
                QString::number(s.ExchangeTicks));
    if (!s.RadioWriteActive && !s.RadioReadActive)
        fuzz::Check(radioWrite->isEnabled() && radioRead->isEnabled(), "data-radio buttons left disabled");
    fuzz::Check(rig->errors == 0, "a byte from the line caused an error report:", rig->lastError);
}

void CheckFields(FieldAccess &f)
{
    for (const QString &name : std::as_const(numberFields))
        fuzz::Check(fuzz::NumberOrEmpty(f.text(name)), "field not a number:", name + QLatin1Char('=') + f.text(name));
    for (const QString &name : decimalFields) {
        const QString text = f.text(name);
        const qsizetype dot = text.indexOf(QLatin1Char('.'));
        // "35" is the page's text before any reading.
        const bool decimal = dot < 0 ? fuzz::NumberOrEmpty(text)
                                     : dot > 0 && fuzz::NumberOrEmpty(text.left(dot)) && fuzz::NumberOrEmpty(text.mid(dot + 1));
        fuzz::Check(decimal, "reading not a decimal:", name + QLatin1Char('=') + text);
    }
    // A full monitor is emptied before the next line; one line of the
    // longest echo (a 257-byte frame) wraps into a few dozen rows.
    fuzz::Check(memo->rowCount() <= MonitorMemo::kMaxRows + 64, "monitor beyond its cap", QString::number(memo->rowCount()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    rig = new fuzz::Rig;
    TMainForm &w = *rig->window;
    for (int i = 0; i < 32; ++i)
        numberFields << QStringLiteral("TxFreq%1").arg(i) << QStringLiteral("RxFreq%1").arg(i);
    numberFields << QStringLiteral("Dk618_Address") << QStringLiteral("Dk618_CurrentChannel") << QStringLiteral("Ptttime")
                 << QStringLiteral("Mlb4800_Address") << QStringLiteral("Mlb4800_CurrentChannel")
                 << QStringLiteral("Mlr4800_Address") << QStringLiteral("Power_lab") << QStringLiteral("Temperature")
                 << QStringLiteral("RssiValue");
    for (int row = 1; row <= 9; ++row)
        numberFields << QStringLiteral("VR%1_Text").arg(row);
    radioWrite = w.findChild<QPushButton *>(QStringLiteral("Dk618_Write_Data"));
    radioRead = w.findChild<QPushButton *>(QStringLiteral("Dk618_Read_Data"));
    memo = w.findChild<MonitorMemo *>(QStringLiteral("Watch_Window"));
    if (!radioWrite || !radioRead || !memo || !w.link().port().isOpen())
        fuzz::Fail("the window is not as expected");
    // Fonts, codecs and caches are set up the first time they are used; a
    // read with the echo on does that before the first input is measured.
    static const uint8_t read[] = {2, 1, 0, 0, 0, 0, 0, 0, 0, 16, 0x96, 0x0E, 0x80, 0x99, 0, 1, 'D', 'K', '6', '1', '8', '-', '4', '5', '0', 0xAC};
    LLVMFuzzerTestOneInput(read, sizeof read);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8)
        return 0;
    TMainForm &w = *rig->window;
    ProtocolState &s = w.link().state();
    FieldAccess &f = w.fields();

    // The same start for every input, whatever the last one left.
    ResetState(s);
    rig->errors = 0;
    w.link().line().RateIndex = 6;
    w.link().line().ParityIndex = 0;
    w.testExchange().AutoReadStep = 0;
    const Kind kind = Kind(data[0] % KindCount);
    const quint8 flags = data[1];
    PresetFields(f, flags);

    // Started as its button starts it, then moved to the chosen state.
    Guard([kind] { Start(kind); });
    fuzz::Check(rig->errors == 0, "starting the exchange failed:", rig->lastError);
    s.MonitorOn = flags & 0x01;
    if (kind != Idle && kind != SingleReading && kind != AutoReading)
        s.ExchangeStep = data[2] % (kLastStep[kind] + 1);
    if (kind != Idle)
        s.ExchangeTicks = data[3] % (kLimit[kind] + 1);
    s.ReplyReady = s.ReplyReady || (flags & 0x08);
    const qint32 at = (data[4] << 8 | data[5]) % kRingSize;
    s.RxReadPos = s.RxWritePos = at;
    s.RxState = quint8(((flags >> 4) & 3) % 3);
    if (s.RxState != 0) {
        s.RxFrameStart = at;
        s.RxRemain = s.RxFrameLen = data[6] ? data[6] : 1;
        s.RxCheck = data[7];
    }

    Link &link = w.link();
    for (size_t pos = 8; pos + 1 < size;) {
        const quint8 ticks = data[pos] % 4;
        const size_t len = std::min<size_t>(data[pos + 1], size - pos - 2);
        const quint8 *bytes = data + pos + 2;
        pos += 2 + len;
        Guard([&] { link.receiveBytes(bytes, qint64(len)); });
        if (ticks == 3 && w.testExchange().autoReading())
            Guard([&w] { w.Timer4Timer(); });
        // The exchange part of each tick: the window's Timer1 also sets its
        // clock, which has nothing to do with the line.
        const int rounds = ticks == 1 ? 0 : ticks == 2 ? RadioExchange::kTimeoutTicks + 1 : 1;
        for (int i = 0; i < rounds; ++i) {
            Guard([&w] { w.centralExchange().Timer1Timer(); });
            Guard([&w] { w.subscriberExchange().Timer2Timer(); });
            Guard([&w] { w.radioExchange().Timer3Timer(); });
        }
        CheckState(s);
    }
    CheckFields(f);
    // FUZZ_TRACE=1 and an input file: what the monitor says about it.
    static const bool trace = qEnvironmentVariableIsSet("FUZZ_TRACE");
    if (trace) {
        std::fprintf(stderr, "%s\n", memo->toPlainText().right(400).toUtf8().constData());
        memo->clearAll();
    }

    if (w.testExchange().autoReading())
        w.testExchange().AutoReadClick();
    rig->settle();
    return 0;
}
