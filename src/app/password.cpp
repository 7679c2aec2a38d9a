#include "app/password.h"

#include "common/prompts.h"
#include "pagekit/widgetmaker.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qm {

const QString TPassword::kLimitedPassword = QStringLiteral("580417");
const QString TPassword::kFullPassword = QStringLiteral("tambrelok");

TPassword::TPassword(Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , prompts_(prompts)
{
    setObjectName(QStringLiteral("Password"));
    setWindowTitle(QStringLiteral("密码框"));
    setFixedSize(290, 149);
    setModal(true);

    Label1 = makeLabel(this, QStringLiteral("请输入测试密码："), {36, 24}, QStringLiteral("Label1"));
    PassText = makeEdit(this, QStringLiteral("PassText"), {36, 48, 218, 24}, 0, QString());
    PassText->setEchoMode(QLineEdit::Password);
    // One "*" per character typed, whatever the style's own mask.
    PassText->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Pass_OK = makeButton(this, QStringLiteral("Pass_OK"), QStringLiteral("确定"), {48, 100, 80, 28});
    Pass_Cancel = makeButton(this, QStringLiteral("Pass_Cancel"), QStringLiteral("取消"), {162, 100, 80, 28});
    Pass_OK->setDefault(true);

    connect(Pass_OK, &QPushButton::clicked, this, &TPassword::Pass_OKClick);
    connect(Pass_Cancel, &QPushButton::clicked, this, &TPassword::Pass_CancelClick);
}

void TPassword::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TPassword::FormShow()
{
    PassText->clear();
    PassText->setFocus(Qt::OtherFocusReason);
}

void TPassword::Pass_OKClick()
{
    const QString entry = PassText->text();
    if (entry == kLimitedPassword) {
        testLimited_ = true;
        testAccess_ = true;
    } else {
        testLimited_ = false;
        testAccess_ = entry == kFullPassword;
        if (!testAccess_)
            prompts_.message(QStringLiteral("测试密码错误！"));
    }
    accept();
}

void TPassword::Pass_CancelClick()
{
    reject();
}

} // namespace qm
