#include "app/setform.h"

#include "pagekit/widgetmaker.h"

#include <QComboBox>
#include <QPushButton>

namespace qm {

TSet_Form::TSet_Form(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Set_Form"));
    setWindowTitle(QStringLiteral("系统参数设置"));
    setFixedSize(320, 183);
    setModal(true);

    makeLabel(this, QStringLiteral("通讯端口"), {40, 26});
    Comport = makeCombo(this, QStringLiteral("Comport"), {120, 20, 150, 24},
                        {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4")},
                        false);
    makeLabel(this, QStringLiteral("通讯速率"), {40, 62});
    Comrate = makeCombo(this, QStringLiteral("Comrate"), {120, 56, 150, 24}, RateItems(), false);
    makeLabel(this, QStringLiteral("校验方式"), {40, 98});
    Checkmode = makeCombo(this, QStringLiteral("Checkmode"), {120, 92, 150, 24}, ParityItems(), false);

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
    // Every time it opens, the dialog starts on its port list, so Tab,
    // the arrows, Return and Escape work at once.
    Comport->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

void TSet_Form::selectCurrent(const LineSettings &line)
{
    shown_ = line;
    auto wrap = [](qint32 value, int count) { return ((value % count) + count) % count; };
    Comport->setCurrentIndex(wrap(line.PortIndex, 4));
    Comrate->setCurrentIndex(wrap(line.RateIndex, kRateCount));
    Checkmode->setCurrentIndex(wrap(line.ParityIndex, kParityCount));
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
