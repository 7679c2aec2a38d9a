#include "app/registerdbform.h"

#include "register/unitregister.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qm {

TRegisterDb_Form::TRegisterDb_Form(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("RegisterDb_Form"));
    setWindowTitle(QStringLiteral("记录数据库"));
    RegisterLocal = new QRadioButton(QStringLiteral("本机 SQLite 文件 (&L)"), this);
    RegisterLocal->setObjectName(QStringLiteral("RegisterLocal"));
    auto *localPath = new QLabel(DefaultRegisterPath(), this);
    localPath->setObjectName(QStringLiteral("RegisterLocalPath"));
    localPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    RegisterServer = new QRadioButton(QStringLiteral("PostgreSQL 服务器，生产线各工位共用 (&P)："), this);
    RegisterServer->setObjectName(QStringLiteral("RegisterServer"));
    RegisterUrl = new QLineEdit(this);
    RegisterUrl->setObjectName(QStringLiteral("RegisterUrl"));
    RegisterUrl->setPlaceholderText(QStringLiteral("postgresql://用户@主机:端口/数据库"));
    RegisterUrl->setMinimumWidth(380);
    auto *note = new QLabel(QStringLiteral("只对本次运行有效，程序不保存这项设置。服务器无法连接时，记录暂存本机，恢复后自动发送。"), this);
    note->setWordWrap(true);
    RegisterStatus = new QLabel(this);
    RegisterStatus->setObjectName(QStringLiteral("RegisterStatus"));
    RegisterStatus->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    auto *test = buttons->addButton(QStringLiteral("测试连接 (&T)"), QDialogButtonBox::ActionRole);
    test->setObjectName(QStringLiteral("RegisterTest"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(RegisterLocal);
    layout->addWidget(localPath);
    layout->addWidget(RegisterServer);
    layout->addWidget(RegisterUrl);
    layout->addWidget(note);
    layout->addWidget(RegisterStatus);
    layout->addWidget(buttons);

    connect(RegisterServer, &QRadioButton::toggled, RegisterUrl, &QLineEdit::setEnabled);
    connect(RegisterUrl, &QLineEdit::textEdited, this, [this] { RegisterServer->setChecked(true); });
    connect(test, &QPushButton::clicked, this, [this] { RegisterTestClick(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    RegisterLocal->setChecked(true);
    RegisterUrl->setEnabled(false);
}

void TRegisterDb_Form::select(const RegisterTarget &current)
{
    RegisterStatus->clear();
    if (current.isServer()) {
        RegisterServer->setChecked(true);
        RegisterUrl->setText(current.display());
    } else {
        RegisterLocal->setChecked(true);
    }
    chosen_ = current;
}

bool TRegisterDb_Form::target(RegisterTarget *target, QString *error) const
{
    if (RegisterLocal->isChecked()) {
        *target = RegisterTarget::local();
        return true;
    }
    if (!RegisterTarget::parse(RegisterUrl->text(), target, error) || !target->isServer()) {
        *error = QStringLiteral("服务器地址应为 postgresql://用户@主机[:端口]/数据库");
        return false;
    }
    return true;
}

void TRegisterDb_Form::RegisterTestClick()
{
    RegisterTarget t;
    QString error;
    if (!target(&t, &error)) {
        RegisterStatus->setText(error);
        return;
    }
    RegisterStatus->setText(QStringLiteral("正在连接..."));
    RegisterStatus->repaint();
    UnitRegister reg(t);
    RegisterStatus->setText(reg.open(&error) ? QStringLiteral("连接成功：%1").arg(t.display())
                                             : QStringLiteral("无法连接：%1").arg(error));
}

void TRegisterDb_Form::accept()
{
    QString error;
    if (!target(&chosen_, &error)) {
        RegisterStatus->setText(error);
        RegisterUrl->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace qm
