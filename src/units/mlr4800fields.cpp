#include "units/mlr4800fields.h"

#include "common/gbktexts.h"
#include "units/aircode.h"
#include "units/mlr4800codec.h"

namespace qm {

namespace {

FieldTable makeTable()
{
    using namespace gbk;
    FieldTable t;
    t.family = QStringLiteral("mlr4800");
    t.caption = QStringLiteral("MLR4800");
    t.defaultModel = QStringLiteral("MLR4800");
    t.section = SectionMlr4800;
    const auto frequency = [](const char *name, const QString &caption, const QByteArray &key, bool onTheLine) {
        return FieldSpec{.name = QLatin1String(name), .kind = FieldKind::Edit, .caption = caption, .key = key,
                         .rule = FileRule::Number, .defaultValue = "0", .initial = QStringLiteral("0"), .minimum = 0,
                         .maximum = 9999999, .multipleOf = mlr4800::kFrequencyStep, .frequency = true,
                         .sent = onTheLine, .returned = onTheLine};
    };
    t.fields.append(frequency("TxFreq30", QStringLiteral("上行发射频率"), KeyUplinkTxFreq, true));
    t.fields.append(frequency("RxFreq30", QStringLiteral("上行接收频率"), KeyUplinkRxFreq, true));
    // The base-station pair lives in the file only.
    t.fields.append(frequency("TxFreq31", QStringLiteral("基站发射频率"), KeyBaseTxFreq, false));
    t.fields.append(frequency("RxFreq31", QStringLiteral("基站接收频率"), KeyBaseRxFreq, false));
    t.fields.append({.name = QStringLiteral("Mlr4800_Address"), .kind = FieldKind::Edit, .caption = QStringLiteral("终端设备地址"),
                     .key = KeyUnitAddress, .rule = FileRule::Number, .defaultValue = "1", .initial = QStringLiteral("1"),
                     .minimum = 0, .maximum = 65535, .sent = true, .returned = true});
    // Texts as the lists show them; the page selects the entry a loaded
    // text names.
    t.fields.append({.name = QStringLiteral("Mlr4800ComRate"), .kind = FieldKind::Combo, .caption = QStringLiteral("终端通讯速率"),
                     .key = KeyUnitBaudRate, .rule = FileRule::Text, .defaultValue = "1200", .items = mlr4800::RateItems(),
                     .initial = QStringLiteral("1200"), .listOnly = true, .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Mlr4800_Airrate"), .kind = FieldKind::Combo, .caption = QStringLiteral("终端空中速率"),
                     .key = KeyUnitAirRate, .rule = FileRule::Text, .defaultValue = "9600A", .items = units::AirRateItems(),
                     .initial = QStringLiteral("9600A"), .listOnly = true, .sent = true, .returned = true});
    t.fields.append({.name = QStringLiteral("Meter_Category"), .kind = FieldKind::Combo, .caption = QStringLiteral("电表类型"),
                     .items = mlr4800::MeterItems(), .initial = QStringLiteral("DL/T 645"), .listOnly = true, .sent = true,
                     .returned = true});
    return t;
}

} // namespace

const FieldTable &Mlr4800Fields()
{
    static const FieldTable table = makeTable();
    return table;
}

} // namespace qm
