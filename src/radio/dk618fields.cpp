#include "radio/dk618fields.h"

#include "common/fieldaccess.h"
#include "common/gbktexts.h"
#include "common/inifile.h"
#include "link/linesettings.h"
#include "radio/radiofile.h"

namespace qm {

namespace {

// Address selection needs protocol transfer; the page turns it off when it
// is chosen without (a click, a reply, a loaded file).
QString addressModeNeedsProtocol(const FieldAccess &f)
{
    if (f.checked(QStringLiteral("Select_ANI_Valid")) && !f.checked(QStringLiteral("ProtocolMode")))
        return DecodeGbk(gbk::KeyAddressMode) + QLatin1Char('=') + DecodeGbk(gbk::ValueValid)
            + QStringLiteral(": 地址有效必须选择协议方式传输！");
    return {};
}

FieldTable makeTable()
{
    using namespace gbk;
    FieldTable t;
    t.family = QStringLiteral("dk618");
    t.caption = QStringLiteral("数传电台");
    t.section = SectionDk618;
    // Frequencies in 100 Hz; both spacings (250, 125) are multiples of 125
    // and so is the 800 MHz offset.
    const auto frequency = [](const QString &name, const QString &caption, const QByteArray &key) {
        return FieldSpec{.name = name, .kind = FieldKind::Edit, .caption = caption, .key = key, .rule = FileRule::Number,
                         .defaultValue = "0", .initial = QStringLiteral("0"), .minimum = 0, .maximum = 9999999,
                         .multipleOf = 125, .frequency = true, .sent = true, .returned = true};
    };
    for (int i = 0; i < 10; ++i) {
        t.fields.append(frequency(QStringLiteral("TxFreq%1").arg(i), QStringLiteral("信道%1发射频率").arg(i), TxFreqKeys[i]));
        t.fields.append(frequency(QStringLiteral("RxFreq%1").arg(i), QStringLiteral("信道%1接收频率").arg(i), RxFreqKeys[i]));
    }
    t.fields.append({.name = QStringLiteral("Dk618_CurrentChannel"), .kind = FieldKind::Edit, .caption = QStringLiteral("当前信道"),
                     .key = KeyCurrentChannel, .rule = FileRule::Number, .defaultValue = "0", .initial = QStringLiteral("0"),
                     .minimum = 0, .maximum = 9, .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Dk618_Address"), .kind = FieldKind::Edit, .caption = QStringLiteral("设备地址"),
                     .key = KeyDeviceAddress, .rule = FileRule::Number, .defaultValue = "1", .initial = QStringLiteral("1"),
                     .minimum = 0, .maximum = 65535, .sent = true, .returned = true});
    // Transfer mode before address mode: "有效" stands only with "协议".
    t.fields.append({.name = QStringLiteral("TransparentMode"), .kind = FieldKind::RadioPair, .caption = QStringLiteral("透明方式"),
                     .key = KeyTransferMode, .rule = FileRule::Choice, .defaultValue = ValueTransparent,
                     .onValue = ValueTransparent, .offValue = ValueProtocol, .partner = QStringLiteral("ProtocolMode"),
                     .partnerCaption = QStringLiteral("协议方式"), .initial = QStringLiteral("1"), .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Select_ANI_Invalid"), .kind = FieldKind::RadioPair, .caption = QStringLiteral("选址无效"),
                     .key = KeyAddressMode, .rule = FileRule::Choice, .defaultValue = ValueInvalid, .onValue = ValueInvalid,
                     .offValue = ValueValid, .partner = QStringLiteral("Select_ANI_Valid"), .partnerCaption = QStringLiteral("选址有效"),
                     .initial = QStringLiteral("1"), .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Dk618_Baudrate"), .kind = FieldKind::Combo, .caption = QStringLiteral("设备通讯速率"),
                     .key = KeyBaudRate, .rule = FileRule::NumberToItem, .defaultValue = "9600", .items = RateItems(),
                     .itemOfNumber = RateItemOfStoredRate, .initial = QStringLiteral("19200"), .listOnly = true, .sent = true,
                     .returned = true});
    t.fields.append({.name = QStringLiteral("Dk618_Checkmode"), .kind = FieldKind::Combo, .caption = QStringLiteral("设备校验方式"),
                     .key = KeyParity, .rule = FileRule::ValueToItem, .defaultValue = ValueNoParity, .items = ParityItems(),
                     .valueItems = {ValueNoParity, ValueEvenParity}, .fallbackItem = 2, .initial = QStringLiteral("无校验"),
                     .listOnly = true, .sent = true, .returned = true});
    // Stored as "9600" when 9.6K is checked, else "19200"; "19200" loads
    // 19.2K and any other text 9.6K.
    t.fields.append({.name = QStringLiteral("AirRate9600"), .kind = FieldKind::RadioPair, .caption = QStringLiteral("9.6K"),
                     .key = KeyAirRate, .rule = FileRule::Choice, .defaultValue = "19200", .onValue = "9600", .offValue = "19200",
                     .loadMatchesOn = false, .partner = QStringLiteral("AirRate19200"), .partnerCaption = QStringLiteral("19.2K"),
                     .initial = QStringLiteral("0"), .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("TransMode"), .kind = FieldKind::Check, .caption = QStringLiteral("中转方式"),
                     .key = KeyRelayMode, .rule = FileRule::Choice, .defaultValue = ValueInvalid, .onValue = ValueValid,
                     .offValue = ValueInvalid, .initial = QStringLiteral("0"), .sent = true, .returned = true});
    // Not in the file. The spacing and the band follow the radio's model
    // text in both exchanges; the series and the PTT limit are sent and
    // read.
    t.fields.append({.name = QStringLiteral("AType"), .kind = FieldKind::RadioPair, .caption = QStringLiteral("A系列"),
                     .onValue = "A", .offValue = "B", .partner = QStringLiteral("BType"), .partnerCaption = QStringLiteral("B系列"),
                     .initial = QStringLiteral("1"), .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Ptttime"), .kind = FieldKind::Edit, .caption = QStringLiteral("PTT时间限制"),
                     .initial = QStringLiteral("0"), .minimum = 0, .maximum = 65535, .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Chan_spa1"), .kind = FieldKind::RadioPair, .caption = QStringLiteral("25K"),
                     .onValue = "25K", .offValue = "12.5K", .partner = QStringLiteral("Chan_spa2"),
                     .partnerCaption = QStringLiteral("12.5K"), .initial = QStringLiteral("1"), .returned = true});
    t.fields.append({.name = QStringLiteral("Fq800"), .kind = FieldKind::Check, .caption = QStringLiteral("800M"),
                     .initial = QStringLiteral("0"), .returned = true});
    t.fields.append({.name = QStringLiteral("Modify_Sync"), .kind = FieldKind::Check,
                     .caption = QStringLiteral("同时改变设备和串口的速率"), .initial = QStringLiteral("0")});
    t.crossCheck = addressModeNeedsProtocol;
    return t;
}

} // namespace

const FieldTable &Dk618Fields()
{
    static const FieldTable table = makeTable();
    return table;
}

} // namespace qm
