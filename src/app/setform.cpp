#include "app/setform.h"

#include "link/portlist.h"
#include "pagekit/widgetmaker.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace qm {

TSet_Form::TSet_Form(const PortLister &lister, QWidget *parent)
    : QDialog(parent)
    , lister_(lister)
    , watch_(this)
{
    setObjectName(QStringLiteral("Set_Form"));
    setWindowTitle(QStringLiteral("系统参数设置"));
    setFixedSize(320, 183);
    setModal(true);

    makeLabel(this, QStringLiteral("通讯端口"), {24, 26});
    Comport = makeCombo(this, QStringLiteral("Comport"), {84, 20, 72, 24},
                        {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4")},
                        false);
    makeLabel(this, QStringLiteral("通讯速率"), {24, 62});
    Comrate = makeCombo(this, QStringLiteral("Comrate"), {84, 56, 150, 24}, RateItems(), false);
    makeLabel(this, QStringLiteral("校验方式"), {24, 98});
    Checkmode = makeCombo(this, QStringLiteral("Checkmode"), {84, 92, 150, 24}, ParityItems(), false);
    // After the three lists in the Tab order, so that Tab goes down them as
    // it always has.
    makeLabel(this, QStringLiteral("设备："), {164, 26});
    Set_Device = makeCombo(this, QStringLiteral("Set_Device"), {200, 20, 108, 24}, {}, true);
    Set_Device->setToolTip(QStringLiteral("COM 口对应的串口设备；可从列表选择，也可输入路径，或网络串口 rfc2217://主机:端口、socket://主机:端口"));
    connect(Comport, &QComboBox::currentIndexChanged, this, [this] { showDeviceOfPort(); });
    connect(&watch_, &DeviceWatch::changed, this, &TSet_Form::refreshDevices);

    Set_ComOK = makeButton(this, QStringLiteral("Set_ComOK"), QStringLiteral("确定"), {24, 136, 80, 28});
    Set_ComAuto = makeButton(this, QStringLiteral("Set_ComAuto"), QStringLiteral("自动"), {120, 136, 80, 28});
    Set_ComEsc = makeButton(this, QStringLiteral("Set_ComEsc"), QStringLiteral("取消"), {216, 136, 80, 28});
    Set_ComOK->setDefault(true);

    connect(Set_ComOK, &QPushButton::clicked, this, [this] {
        emit okPressed();
        accept();
    });
    connect(Set_ComAuto, &QPushButton::clicked, this, [this] {
        accept();
        emit autoPressed();
    });
    connect(Set_ComEsc, &QPushButton::clicked, this, &QDialog::reject);
    // Cancel leaves the lists on the settings in force, so that the tool
    // button that presses "自动" without showing the dialog sees those.
    connect(this, &QDialog::rejected, this, [this] { selectCurrent(shown_); });

    selectCurrent(LineSettings{});
}

void TSet_Form::showEvent(QShowEvent *event)
{
    refreshDevices();
    watch_.start();
    // Every time it opens, the dialog starts on its port list, so Tab,
    // the arrows, Return and Escape work at once.
    Comport->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

void TSet_Form::hideEvent(QHideEvent *event)
{
    watch_.stop();
    QDialog::hideEvent(event);
}

void TSet_Form::refreshDevices()
{
    const QString text = Set_Device->currentText();
    const QSignalBlocker quiet(Set_Device);
    Set_Device->clear();
    int widest = Set_Device->width();
    for (const PortDescription &port : lister_.ports()) {
        if (IsPseudoTerminal(port.location))
            continue;
        const QString item = PortItemText(port);
        Set_Device->addItem(item);
        Set_Device->setItemData(Set_Device->count() - 1, item, Qt::ToolTipRole);
        widest = std::max(widest, Set_Device->fontMetrics().horizontalAdvance(item) + 32);
    }
    // The list may stand out of the narrow choice to show whole items.
    Set_Device->view()->setMinimumWidth(widest);
    Set_Device->setEditText(text);
}

void TSet_Form::showDeviceOfPort()
{
    deviceShown_ = deviceOf_ ? deviceOf_(Comport->currentText()) : QString();
    Set_Device->setEditText(deviceShown_);
    Set_Device->lineEdit()->setCursorPosition(0);
}

QString TSet_Form::chosenDevice() const
{
    const QString text = Set_Device->currentText();
    if (text == deviceShown_)
        return {};
    return PortPathOfItem(text);
}

void TSet_Form::selectCurrent(const LineSettings &line)
{
    shown_ = line;
    auto wrap = [](qint32 value, int count) { return ((value % count) + count) % count; };
    Comport->setCurrentIndex(wrap(line.PortIndex, 4));
    Comrate->setCurrentIndex(wrap(line.RateIndex, kRateCount));
    Checkmode->setCurrentIndex(wrap(line.ParityIndex, kParityCount));
    showDeviceOfPort();
}

LineSettings TSet_Form::chosen() const
{
    LineSettings line = shown_;
    line.PortIndex = Comport->currentIndex();
    line.RateIndex = Comrate->currentIndex();
    line.ParityIndex = Checkmode->currentIndex();
    return line;
}

QString TSet_Form::portText() const
{
    return Comport->currentText();
}

} // namespace qm
