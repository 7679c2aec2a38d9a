#include "testpage/testpage.h"

#include "pagekit/lamp.h"
#include "pagekit/spinbutton.h"
#include "pagekit/widgetmaker.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qm {

namespace {
struct RowInfo {
    const char *label;
    const char *caption;
    bool locked; // when access is limited
};
// Rows 1..9. Row 8 is captioned by Label78, row 9 by Label77.
const RowInfo kRowInfo[TestPage::kRows] = {
    {"Label70", "外接调制频偏：", true},
    {"Label71", "发射话音频偏：", true},
    {"Label72", "接收话音电平：", true},
    {"Label73", "话音功率调节：", false},
    {"Label74", "静噪电平调节：", false},
    {"Label75", "信令频偏调节：", true},
    {"Label76", "发射基准调节：", true},
    {"Label78", "发射功率调节：", false},
    {"Label77", "接收基准调节：", true},
};

QLabel *valueLabel(QWidget *parent, const QString &name, const QString &text, QRect rect)
{
    QLabel *label = makeLabel(parent, text, rect.topLeft(), name);
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}
} // namespace

TestPage::TestPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Test"));

    Label69 = makeLabel(this, QStringLiteral("参数测试"), {10, 5}, QStringLiteral("Label69"));
    QFont bold = Label69->font();
    bold.setBold(true);
    Label69->setFont(bold);
    Label69->adjustSize();

    // Trimming rows.
    QGroupBox *trim = makeGroup(this, QStringLiteral("参数调节"), {4, 24, 170, 280});
    for (int i = 0; i < kRows; ++i) {
        const int y = 20 + i * 25;
        const RowInfo &row = kRowInfo[i];
        RowCaption[i] = makeLabel(trim, QString::fromUtf8(row.caption), {6, y + 4}, QString::fromLatin1(row.label));
        VR_Text[i] = makeEdit(trim, QStringLiteral("VR%1_Text").arg(i + 1), {112, y, 34, 22}, 3, QStringLiteral("255"));
        VR[i] = new SpinButton(trim, QStringLiteral("VR%1").arg(i + 1), {148, y, 16, 22});
    }
    Read_VR = makeButton(trim, QStringLiteral("Read_VR"), QStringLiteral("读取参数"), {8, 246, 154, 26});

    // Transmitter, power level, standing-wave alarm.
    QGroupBox *tx = makeGroup(this, QStringLiteral("发射控制"), {178, 24, 116, 280});
    Voice_Tx = makeButton(tx, QStringLiteral("Voice_Tx"), QStringLiteral("话音发射"), {8, 20, 100, 26});
    Tx_Signal = makeButton(tx, QStringLiteral("Tx_Signal"), QStringLiteral("信令1发射"), {8, 50, 100, 26});
    Tx_MSK = makeButton(tx, QStringLiteral("Tx_MSK"), QStringLiteral("信令2发射"), {8, 80, 100, 26});
    Stop_Tx = makeButton(tx, QStringLiteral("Stop_Tx"), QStringLiteral("停止发射"), {8, 110, 100, 26});
    makeLabel(tx, QStringLiteral("功率等级："), {8, 148});
    Power_lab = valueLabel(tx, QStringLiteral("Power_lab"), QStringLiteral("1"), {8, 166, 40, 26});
    Label90 = makeLabel(tx, QStringLiteral("W"), {52, 172}, QStringLiteral("Label90"));
    PowerM = new SpinButton(tx, QStringLiteral("PowerM"), {70, 166, 16, 26});
    SetPwr = makeButton(tx, QStringLiteral("SetPwr"), QStringLiteral("功率设置"), {8, 198, 100, 26});
    Label89 = makeLabel(tx, QStringLiteral("驻波告警："), {8, 242}, QStringLiteral("Label89"));
    Swr_led = new Lamp(tx, QStringLiteral("Swr_led"), {86, 238, 20, 20}, Qt::red);

    // Readings: caption, value, unit, button.
    QGroupBox *readings = makeGroup(this, QStringLiteral("测量"), {298, 24, 236, 178});
    struct Reading {
        QLabel **caption, **value, **unit;
        QPushButton **button;
        const char *captionName, *valueName, *unitName, *buttonName;
        const char *captionText, *valueText, *unitText, *buttonText;
    };
    const Reading rows[] = {
        {&Label81, &RssiValue, &Label82, &GetRssi, "Label81", "RssiValue", "Label82", "GetRssi", "当前场强：-", "110", "dBm", "读取场强"},
        {&Label83, &Volt, &Label85, &ReadVolt, "Label83", "Volt", "Label85", "ReadVolt", "工作电压：", "13.8", "V", "读取电压"},
        {&Label84, &Temperature, &Label86, &ReadTemp, "Label84", "Temperature", "Label86", "ReadTemp", "环境温度：", "27", "摄氏度", "读取温度"},
        {&Label87, &Power, &Label88, &ReadPower, "Label87", "Power", "Label88", "ReadPower", "发射功率：", "35", "dBm", "读取功率"},
    };
    for (int i = 0; i < 4; ++i) {
        const Reading &r = rows[i];
        const int y = 20 + i * 30;
        *r.caption = makeLabel(readings, QString::fromUtf8(r.captionText), {6, y + 6}, QString::fromLatin1(r.captionName));
        *r.value = valueLabel(readings, QString::fromLatin1(r.valueName), QString::fromUtf8(r.valueText), {84, y, 34, 26});
        *r.unit = makeLabel(readings, QString::fromUtf8(r.unitText), {122, y + 6}, QString::fromLatin1(r.unitName));
        *r.button = makeButton(readings, QString::fromLatin1(r.buttonName), QString::fromUtf8(r.buttonText), {170, y, 58, 26});
    }
    AutoRead = makeButton(readings, QStringLiteral("AutoRead"), QStringLiteral("自动读取"), {8, 142, 146, 28});
    Trend_Open = makeButton(readings, QStringLiteral("Trend_Open"), QStringLiteral("读数趋势"), {158, 142, 70, 28});

    // Reference calibrations.
    QGroupBox *calibration = makeGroup(this, QStringLiteral("基准校准"), {298, 208, 236, 60});
    RssiModi = makeButton(calibration, QStringLiteral("RssiModi"), QStringLiteral("场强调整"), {8, 24, 70, 26});
    SetPower = makeButton(calibration, QStringLiteral("SetPower"), QStringLiteral("功率基准"), {83, 24, 70, 26});
    AlarmSet = makeButton(calibration, QStringLiteral("AlarmSet"), QStringLiteral("告警设置"), {158, 24, 70, 26});
    Record_Save = makeButton(this, QStringLiteral("Record_Save"), QStringLiteral("保存测试记录..."), {298, 274, 236, 28});
}

void TestPage::applyAccess(bool limited)
{
    for (int i = 0; i < kRows; ++i)
        if (kRowInfo[i].locked)
            VR[i]->setEnabled(!limited);
    AlarmSet->setEnabled(!limited);
    SetPower->setEnabled(!limited);
    RssiModi->setEnabled(!limited);
}

void TestPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit shown();
}

} // namespace qm
