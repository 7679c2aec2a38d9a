#include "radio/dk618page.h"

#include "pagekit/fieldrules.h"
#include "common/prompts.h"
#include "pagekit/widgetmaker.h"
#include "link/linesettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace qm {

Dk618Page::Dk618Page(Prompts &prompts, FieldRules &rules, QWidget *parent)
    : QWidget(parent)
    , prompts_(prompts)
{
    setObjectName(QStringLiteral("Dk618_TabSheet"));

    makeLabel(this, QStringLiteral("终端类型："), {10, 8});
    QLabel *category = makeLabel(this, QStringLiteral("数传电台系列"), {80, 8}, QStringLiteral("Category"));
    QFont bold = category->font();
    bold.setBold(true);
    category->setFont(bold);
    category->adjustSize();

    // Channel table.
    makeLabel(this, QStringLiteral("发射频率"), {62, 30});
    makeLabel(this, QStringLiteral("接收频率"), {136, 30});
    for (int i = 0; i < kChannels; ++i) {
        const int y = 48 + i * 24;
        makeLabel(this, QStringLiteral("信道%1").arg(i), {10, y + 3});
        TxFreq[i] = makeEdit(this, QStringLiteral("TxFreq%1").arg(i), {52, y, 70, 21}, 7);
        RxFreq[i] = makeEdit(this, QStringLiteral("RxFreq%1").arg(i), {126, y, 70, 21}, 7);
        rules.addFrequencyField(TxFreq[i]);
        rules.addFrequencyField(RxFreq[i]);
    }

    QGroupBox *spacing = makeGroup(this, QStringLiteral("信道间隔"), {206, 26, 172, 46});
    Chan_spa1 = makeRadio(spacing, QStringLiteral("Chan_spa1"), QStringLiteral("25K"), {6, 20}, true);
    Chan_spa2 = makeRadio(spacing, QStringLiteral("Chan_spa2"), QStringLiteral("12.5K"), {52, 20});
    pairUp(Chan_spa1, Chan_spa2);
    Fq800 = makeCheck(spacing, QStringLiteral("Fq800"), QStringLiteral("800M"), {114, 20});
    rules.setRasterSwitch(Fq800);

    QGroupBox *series = makeGroup(this, QStringLiteral("系列"), {384, 26, 150, 46});
    AType = makeRadio(series, QStringLiteral("AType"), QStringLiteral("A系列"), {6, 20}, true);
    BType = makeRadio(series, QStringLiteral("BType"), QStringLiteral("B系列"), {78, 20});
    pairUp(AType, BType);

    makeLabel(this, QStringLiteral("当前信道"), {206, 82});
    Dk618_CurrentChannel = makeEdit(this, QStringLiteral("Dk618_CurrentChannel"), {258, 78, 26, 21}, 1);
    makeLabel(this, QStringLiteral("设备地址"), {296, 82});
    Dk618_Address = makeEdit(this, QStringLiteral("Dk618_Address"), {348, 78, 56, 21}, 5, QStringLiteral("1"));
    TransMode = makeCheck(this, QStringLiteral("TransMode"), QStringLiteral("中转方式"), {420, 80});
    rules.addDigitField(Dk618_CurrentChannel);
    rules.addDigitField(Dk618_Address);
    Dk618_CurrentChannel->installEventFilter(this);
    Dk618_Address->installEventFilter(this);

    makeLabel(this, QStringLiteral("设备通讯速率"), {206, 112});
    Dk618_Baudrate = makeCombo(this, QStringLiteral("Dk618_Baudrate"), {286, 108, 72, 22}, RateItems(), true);
    makeLabel(this, QStringLiteral("设备校验方式"), {366, 112});
    Dk618_Checkmode = makeCombo(this, QStringLiteral("Dk618_Checkmode"), {446, 108, 88, 22}, ParityItems(), true);
    rules.addDigitField(Dk618_Baudrate);
    rules.addDigitField(Dk618_Checkmode);

    makeLabel(this, QStringLiteral("无线速率"), {206, 142});
    AirRate19200 = makeRadio(this, QStringLiteral("AirRate19200"), QStringLiteral("19.2K"), {260, 140}, true);
    AirRate9600 = makeRadio(this, QStringLiteral("AirRate9600"), QStringLiteral("9.6K"), {320, 140});
    pairUp(AirRate19200, AirRate9600);
    makeLabel(this, QStringLiteral("PTT时间限制"), {380, 142});
    Ptttime = makeEdit(this, QStringLiteral("Ptttime"), {456, 138, 52, 21}, 0);
    makeLabel(this, QStringLiteral("秒"), {512, 142});

    QGroupBox *transfer = makeGroup(this, QStringLiteral("传输方式"), {206, 166, 160, 46});
    TransparentMode = makeRadio(transfer, QStringLiteral("TransparentMode"), QStringLiteral("透明方式"), {8, 20}, true);
    ProtocolMode = makeRadio(transfer, QStringLiteral("ProtocolMode"), QStringLiteral("协议方式"), {84, 20});
    pairUp(TransparentMode, ProtocolMode);

    QGroupBox *addressMode = makeGroup(this, QStringLiteral("选址模式"), {372, 166, 162, 46});
    Select_ANI_Invalid = makeRadio(addressMode, QStringLiteral("Select_ANI_Invalid"), QStringLiteral("选址无效"), {8, 20}, true);
    Select_ANI_Valid = makeRadio(addressMode, QStringLiteral("Select_ANI_Valid"), QStringLiteral("选址有效"), {84, 20});
    pairUp(Select_ANI_Invalid, Select_ANI_Valid);

    Modify_Sync = makeCheck(this, QStringLiteral("Modify_Sync"), QStringLiteral("同时改变设备和串口的速率"), {206, 220});

    Dk618_Write_Data = makeButton(this, QStringLiteral("Dk618_Write_Data"), QStringLiteral("写录数据"), {206, 250, 78, 28});
    Dk618_Read_Data = makeButton(this, QStringLiteral("Dk618_Read_Data"), QStringLiteral("读取数据"), {290, 250, 78, 28});
    Dk618_Save_File = makeButton(this, QStringLiteral("Dk618_Save_File"), QStringLiteral("存储文档"), {374, 250, 78, 28});
    Dk618_Read_File = makeButton(this, QStringLiteral("Dk618_Read_File"), QStringLiteral("读取文档"), {458, 250, 78, 28});

    // A radio button checked from code runs its click handler as a click
    // would; replies and files rely on that.
    connect(Select_ANI_Valid, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Select_ANI_ValidClick();
    });
    connect(AType, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            ATypeClick();
    });
    connect(BType, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            BTypeClick();
    });
}

void Dk618Page::Select_ANI_ValidClick()
{
    if (ProtocolMode->isChecked() || !Select_ANI_Valid->isChecked())
        return;
    prompts_.message(QStringLiteral("地址有效必须选择协议方式传输！"));
    Select_ANI_Invalid->setChecked(true);
    Select_ANI_Invalid->setFocus(Qt::OtherFocusReason);
}

void Dk618Page::ATypeClick()
{
    AirRate19200->setEnabled(true);
}

void Dk618Page::BTypeClick()
{
    AirRate19200->setEnabled(false);
}

bool Dk618Page::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving the current-channel or address field empty puts "0" in it.
    if (event->type() == QEvent::FocusOut && (watched == Dk618_CurrentChannel || watched == Dk618_Address)) {
        auto *edit = static_cast<QLineEdit *>(watched);
        if (edit->text().isEmpty())
            edit->setText(QStringLiteral("0"));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qm
