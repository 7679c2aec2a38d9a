#include "units/mlb4800fields.h"

#include "common/gbktexts.h"
#include "units/aircode.h"
#include "units/centralexchange.h"

namespace qm {

namespace {

FieldTable makeTable()
{
    using namespace gbk;
    FieldTable t;
    t.family = QStringLiteral("mlb4800");
    t.caption = QStringLiteral("MLB4800");
    t.defaultModel = QStringLiteral("MLB4800");
    t.section = SectionMlb4800;
    static const QString kColumns[4] = {QStringLiteral("上行发射"), QStringLiteral("上行接收"), QStringLiteral("下行发射"),
                                        QStringLiteral("下行接收")};
    // Channel by channel, the four frequencies in the order of the table
    // columns. The unit counts in steps of 250 x 100 Hz, one 16-bit word.
    for (int channel = 0; channel < CentralExchange::kChannels; ++channel) {
        for (int column = 0; column < 4; ++column) {
            t.fields.append({.name = CentralExchange::FieldOfEntry(column * CentralExchange::kChannels + channel),
                             .kind = FieldKind::Edit,
                             .caption = QStringLiteral("信道%1%2频率").arg(channel).arg(kColumns[column]),
                             .key = CentralFreqKey(column, channel), .rule = FileRule::Number, .defaultValue = "0",
                             .initial = QStringLiteral("0"), .minimum = 0, .maximum = 9999999, .multipleOf = 250,
                             .frequency = true, .sent = true, .returned = true});
        }
    }
    t.fields.append({.name = QStringLiteral("Mlb4800_CurrentChannel"), .kind = FieldKind::Edit, .caption = QStringLiteral("当前信道"),
                     .key = KeyCurrentChannel, .rule = FileRule::Number, .defaultValue = "0", .initial = QStringLiteral("0"),
                     .minimum = 0, .maximum = 9, .sent = true, .returned = true});
    // Only the low 8 bits go on the wire: a larger address would come back
    // as another.
    t.fields.append({.name = QStringLiteral("Mlb4800_Address"), .kind = FieldKind::Edit, .caption = QStringLiteral("设备地址"),
                     .key = KeyDeviceAddress, .rule = FileRule::Number, .defaultValue = "1", .initial = QStringLiteral("1"),
                     .minimum = 0, .maximum = 255, .sent = true, .returned = true});
    // Stored "有线" when wired, else "无线"; "有线" loads wired, any other
    // text wireless, as the unit's mode byte reads.
    t.fields.append({.name = QStringLiteral("ComTrans"), .kind = FieldKind::RadioPair, .caption = QStringLiteral("有线传输"),
                     .key = KeyTransferMode, .rule = FileRule::Choice, .defaultValue = ValueWireless, .onValue = ValueWired,
                     .offValue = ValueWireless, .partner = QStringLiteral("AirTrans"), .partnerCaption = QStringLiteral("无线传输"),
                     .initial = QStringLiteral("0"), .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Mlb4800_Airrate"), .kind = FieldKind::Combo, .caption = QStringLiteral("空中速率"),
                     .key = KeyUnitAirRate, .rule = FileRule::Text, .defaultValue = "9600A", .items = units::AirRateItems(),
                     .initial = QStringLiteral("Mlb4800_Airrate"), .listOnly = true, .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Mlb_TransParent"), .kind = FieldKind::Check, .caption = QStringLiteral("纯透明"),
                     .key = KeyPureTransparent, .rule = FileRule::Choice, .defaultValue = ValueInvalid, .onValue = ValueValid,
                     .offValue = ValueInvalid, .initial = QStringLiteral("0"), .sent = true, .returned = true});
    // Not a parameter: chooses the exchanges of the current channel alone.
    t.fields.append({.name = QStringLiteral("Mlb4800_Operate"), .kind = FieldKind::Check,
                     .caption = QStringLiteral("只对当前信道读写操作"), .initial = QStringLiteral("0")});
    return t;
}

} // namespace

const FieldTable &Mlb4800Fields()
{
    static const FieldTable table = makeTable();
    return table;
}

} // namespace qm
