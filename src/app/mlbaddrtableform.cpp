#include "app/mlbaddrtableform.h"

#include "pagekit/widgetmaker.h"

#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWindow>

namespace qm {

TMlbAddrTable_Form::TMlbAddrTable_Form(QWidget *owner)
    : QDialog(nullptr)
    , owner_(owner)
{
    setObjectName(QStringLiteral("MlbAddrTable_Form"));
    setWindowTitle(QStringLiteral("MLB4800蜂窝中心地址列表"));
    setFixedSize(331, 224);
    setModal(true);
    if (owner)
        setFont(owner->font());

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(4, 4, 323, 216);

    StringGrid1 = new QTableWidget(8, 2, Panel1);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(8, 8, 164, 200);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setColumnWidth(0, 64);
    StringGrid1->setColumnWidth(1, 76);

    Edit1 = makeEdit(Panel1, QStringLiteral("Edit1"), {182, 12, 58, 21}, 5, QStringLiteral("65535"));
    Label1 = makeLabel(Panel1, QStringLiteral("~"), {246, 15}, QStringLiteral("Label1"));
    Edit2 = makeEdit(Panel1, QStringLiteral("Edit2"), {258, 12, 58, 21}, 5, QStringLiteral("65535"));
    SetwithBlock = makeCheck(Panel1, QStringLiteral("SetwithBlock"), QStringLiteral("地址连续设置"), {182, 44});
    SetAddress = makeButton(Panel1, QStringLiteral("SetAddress"), QStringLiteral("设置地址"), {182, 80, 134, 28});
    ReadAddress = makeButton(Panel1, QStringLiteral("ReadAddress"), QStringLiteral("读取地址"), {182, 116, 134, 28});
    Close_SetAddr = makeButton(Panel1, QStringLiteral("Close_SetAddr"), QStringLiteral("关闭窗口"), {182, 180, 134, 28});
}

void TMlbAddrTable_Form::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!owner_)
        return;
    if (windowHandle() && owner_->windowHandle())
        windowHandle()->setTransientParent(owner_->windowHandle());
    QRect frame(QPoint(), frameGeometry().size());
    frame.moveCenter(owner_->frameGeometry().center());
    move(frame.topLeft());
}

} // namespace qm
