#include "units/mlr4800page.h"

#include "pagekit/fieldrules.h"
#include "pagekit/widgetmaker.h"
#include "units/aircode.h"
#include "units/mlr4800codec.h"
#include "units/unitpages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace qm {

namespace {
// A list whose text changes only by picking an entry (or from code).
QComboBox *makeList(QWidget *parent, const QString &name, QRect rect, const QStringList &items, FieldRules &rules)
{
    QComboBox *list = makeCombo(parent, name, rect, items, true);
    list->lineEdit()->setReadOnly(true);
    rules.addNoTypingList(list);
    return list;
}
} // namespace

Mlr4800Page::Mlr4800Page(FieldRules &rules, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MLR4800_TabSheet"));
    AddPageHeading(this, QStringLiteral("QM--4700系列之MLR4800"));

    // Two columns of label + field inside each panel.
    constexpr int labelX[2] = {10, 190};
    constexpr int fieldX[2] = {86, 266};
    constexpr int fieldW = 92;

    QGroupBox *basic = makeGroup(this, QStringLiteral("基本参数"), {8, 30, 366, 148});
    auto edit = [&](QWidget *panel, int col, int y, const QString &label, const QString &name, int maxLength, const QString &text) {
        makeLabel(panel, label, {labelX[col], y + 4});
        return makeEdit(panel, name, {fieldX[col], y, fieldW, 22}, maxLength, text);
    };
    TxFreq30 = edit(basic, 0, 22, QStringLiteral("上行发射频率"), QStringLiteral("TxFreq30"), 7, QStringLiteral("0"));
    RxFreq30 = edit(basic, 1, 22, QStringLiteral("上行接收频率"), QStringLiteral("RxFreq30"), 7, QStringLiteral("0"));
    TxFreq31 = edit(basic, 0, 52, QStringLiteral("基站发射频率"), QStringLiteral("TxFreq31"), 7, QStringLiteral("0"));
    RxFreq31 = edit(basic, 1, 52, QStringLiteral("基站接收频率"), QStringLiteral("RxFreq31"), 7, QStringLiteral("0"));
    Mlr4800_Address = edit(basic, 0, 82, QStringLiteral("终端设备地址"), QStringLiteral("Mlr4800_Address"), 5, QStringLiteral("1"));
    for (QLineEdit *f : {TxFreq30, RxFreq30, TxFreq31, RxFreq31})
        rules.addFrequencyField(f);
    rules.addDigitField(Mlr4800_Address);

    makeLabel(basic, QStringLiteral("终端通讯速率"), {labelX[0], 116});
    Mlr4800ComRate = makeList(basic, QStringLiteral("Mlr4800ComRate"), {fieldX[0], 112, fieldW, 22}, mlr4800::RateItems(), rules);
    // Nothing chosen until the page is selected.
    Mlr4800ComRate->setCurrentIndex(-1);
    Mlr4800ComRate->setEditText(QString());
    makeLabel(basic, QStringLiteral("终端空中速率"), {labelX[1], 116});
    Mlr4800_Airrate = makeList(basic, QStringLiteral("Mlr4800_Airrate"), {fieldX[1], 112, fieldW, 22}, units::AirRateItems(), rules);
    Mlr4800_Airrate->setCurrentIndex(-1);
    Mlr4800_Airrate->setEditText(QStringLiteral("Mlr4800_Airrate"));

    QGroupBox *meter = makeGroup(this, QStringLiteral("电表参数"), {8, 184, 366, 116});
    makeLabel(meter, QStringLiteral("电表类型"), {labelX[0], 26});
    Meter_Category = makeList(meter, QStringLiteral("Meter_Category"), {fieldX[0], 22, fieldW, 22}, mlr4800::MeterItems(), rules);
    Meter_Category->setCurrentIndex(0);
    Meter_Number = edit(meter, 1, 22, QStringLiteral("电表表号"), QStringLiteral("Meter_Number"), 5, QStringLiteral("1"));
    Edit1 = edit(meter, 0, 52, QStringLiteral("协议代号"), QStringLiteral("Edit1"), 5, QStringLiteral("1"));
    makeLabel(meter, QStringLiteral("电表速率"), {labelX[1], 56});
    Meter_Rate = makeList(meter, QStringLiteral("Meter_Rate"), {fieldX[1], 52, fieldW, 22}, {}, rules);
    Meter_Rate->setEditText(QStringLiteral("2400"));
    rules.addDigitField(Meter_Number);
    rules.addDigitField(Edit1);
    ReadMeter = makeButton(meter, QStringLiteral("ReadMeter"), QStringLiteral("读取电表"), {10, 82, 108, 26});
    Meter_Rate_Set = makeButton(meter, QStringLiteral("Meter_Rate_Set"), QStringLiteral("电表速率"), {129, 82, 108, 26});
    Set_Meter_Num = makeButton(meter, QStringLiteral("Set_Meter_Num"), QStringLiteral("设置表号"), {248, 82, 108, 26});

    // Field-strength indication: a bar of five steps with its four
    // characters stacked beside it.
    Mlr4800_Rssi = new QProgressBar(this);
    Mlr4800_Rssi->setObjectName(QStringLiteral("Mlr4800_Rssi"));
    Mlr4800_Rssi->setOrientation(Qt::Vertical);
    Mlr4800_Rssi->setRange(0, 5);
    Mlr4800_Rssi->setValue(5);
    Mlr4800_Rssi->setTextVisible(false);
    Mlr4800_Rssi->setGeometry(398, 40, 22, 112);
    const QString rssiText = QStringLiteral("场强指示");
    for (int i = 0; i < rssiText.size(); ++i)
        makeLabel(this, rssiText.mid(i, 1), {428, 44 + 28 * i});
    Mlr4800_ReadRssi = makeButton(this, QStringLiteral("Mlr4800_ReadRssi"), QStringLiteral("读取场强"), {452, 82, 78, 28});

    Mlr4800_WriteData = makeButton(this, QStringLiteral("Mlr4800_WriteData"), QStringLiteral("写录数据"), {382, 196, 72, 30});
    Mlr4800_ReadData = makeButton(this, QStringLiteral("Mlr4800_ReadData"), QStringLiteral("读取数据"), {460, 196, 72, 30});
    Mlr4800_SaveFile = makeButton(this, QStringLiteral("Mlr4800_SaveFile"), QStringLiteral("存储文档"), {382, 240, 72, 30});
    Mlr4800_ReadFile = makeButton(this, QStringLiteral("Mlr4800_ReadFile"), QStringLiteral("读取文档"), {460, 240, 72, 30});
}

} // namespace qm
