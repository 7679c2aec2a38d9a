#include "units/mlb4800page.h"

#include "pagekit/fieldrules.h"
#include "pagekit/widgetmaker.h"
#include "units/aircode.h"
#include "units/unitpages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace qm {

namespace {
constexpr int kTableLeft = 52;  // first frequency column
constexpr int kColumn = 68;     // column pitch; edits are 64 wide
constexpr int kTableTop = 50;   // first channel row
constexpr int kRow = 24;
constexpr int kSide = 332;      // left edge of the controls beside the table
} // namespace

Mlb4800Page::Mlb4800Page(FieldRules &rules, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MLB4800_TabSheet"));
    AddPageHeading(this, QStringLiteral("QM--4700系列之MLB4800"));

    // Channel table: four frequencies per channel, names numbered 10..29.
    const QString headings[4] = {QStringLiteral("上行发射"), QStringLiteral("上行接收"), QStringLiteral("下行发射"),
                                 QStringLiteral("下行接收")};
    QLineEdit **columns[4] = {UpTx, UpRx, DownTx, DownRx};
    const QString names[4] = {QStringLiteral("TxFreq1%1"), QStringLiteral("RxFreq1%1"), QStringLiteral("TxFreq2%1"),
                              QStringLiteral("RxFreq2%1")};
    for (int c = 0; c < 4; ++c) {
        QLabel *heading = makeLabel(this, headings[c], {kTableLeft + c * kColumn, kTableTop - 20});
        heading->setFixedWidth(64);
        heading->setAlignment(Qt::AlignCenter);
    }
    // Made row by row, so that Tab goes through a channel's four frequencies
    // before the next channel.
    for (int i = 0; i < kChannels; ++i) {
        for (int c = 0; c < 4; ++c) {
            columns[c][i] = makeEdit(this, names[c].arg(i), {kTableLeft + c * kColumn, kTableTop + i * kRow, 64, 21}, 7);
            rules.addFrequencyField(columns[c][i]);
        }
    }
    for (int i = 0; i < kChannels; ++i)
        makeLabel(this, QStringLiteral("信道%1").arg(i), {10, kTableTop + i * kRow + 3});

    makeLabel(this, QStringLiteral("当前信道"), {kSide, 34});
    Mlb4800_CurrentChannel = makeEdit(this, QStringLiteral("Mlb4800_CurrentChannel"), {kSide + 52, 30, 24, 21}, 1);
    makeLabel(this, QStringLiteral("设备地址"), {kSide + 86, 34});
    Mlb4800_Address = makeEdit(this, QStringLiteral("Mlb4800_Address"), {kSide + 138, 30, 58, 21}, 5, QStringLiteral("1"));
    rules.addDigitField(Mlb4800_CurrentChannel);
    rules.addDigitField(Mlb4800_Address);

    QGroupBox *mode = makeGroup(this, QStringLiteral("传输方式"), {kSide, 60, 164, 46});
    AirTrans = makeRadio(mode, QStringLiteral("AirTrans"), QStringLiteral("无线传输"), {8, 20}, true);
    ComTrans = makeRadio(mode, QStringLiteral("ComTrans"), QStringLiteral("有线传输"), {86, 20});
    pairUp(AirTrans, ComTrans);

    makeLabel(this, QStringLiteral("空中速率"), {kSide, 122});
    Mlb4800_Airrate = makeCombo(this, QStringLiteral("Mlb4800_Airrate"), {kSide + 52, 118, 112, 22},
                                units::AirRateItems(), true);
    // The design text stands in the box until a rate is picked or read.
    Mlb4800_Airrate->setCurrentIndex(-1);
    Mlb4800_Airrate->setEditText(QStringLiteral("Mlb4800_Airrate"));

    Mlb_TransParent = makeCheck(this, QStringLiteral("Mlb_TransParent"), QStringLiteral("纯透明"), {kSide, 150});
    Mlb4800_Operate = makeCheck(this, QStringLiteral("Mlb4800_Operate"), QStringLiteral("只对当前信道读写操作"), {kSide, 174});

    // Field-strength indication: a bar the program never moves.
    Mlb4800_Rssi = new QProgressBar(this);
    Mlb4800_Rssi->setObjectName(QStringLiteral("Mlb4800_Rssi"));
    Mlb4800_Rssi->setOrientation(Qt::Vertical);
    Mlb4800_Rssi->setRange(0, 5);
    Mlb4800_Rssi->setValue(5);
    Mlb4800_Rssi->setTextVisible(false);
    Mlb4800_Rssi->setGeometry(kSide + 188, 60, 14, 134);
    const QString rssiLabels[4] = {QStringLiteral("场"), QStringLiteral("强"), QStringLiteral("指"), QStringLiteral("示")};
    for (int i = 0; i < 4; ++i)
        makeLabel(this, rssiLabels[i], {kSide + 172, 78 + i * 24});

    const QRect button(0, 0, 98, 26);
    Mlb4800_WriteData = makeButton(this, QStringLiteral("Mlb4800_WriteData"), QStringLiteral("写录数据"), button.translated(kSide, 206));
    Mlb4800_ReadData = makeButton(this, QStringLiteral("Mlb4800_ReadData"), QStringLiteral("读取数据"), button.translated(kSide + 104, 206));
    Mlb4800_SaveFile = makeButton(this, QStringLiteral("Mlb4800_SaveFile"), QStringLiteral("存储文档"), button.translated(kSide, 238));
    Mlb4800_ReadFile = makeButton(this, QStringLiteral("Mlb4800_ReadFile"), QStringLiteral("读取文档"), button.translated(kSide + 104, 238));
    Mlb4800_AddressTable = makeButton(this, QStringLiteral("Mlb4800_AddressTable"), QStringLiteral("地址列表"), button.translated(kSide, 270));
    ReadRssi = makeButton(this, QStringLiteral("ReadRssi"), QStringLiteral("读取场强"), button.translated(kSide + 104, 270));
}

} // namespace qm
