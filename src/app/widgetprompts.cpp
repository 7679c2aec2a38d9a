#include "app/widgetprompts.h"

#include "app/application.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace qm {

WidgetPrompts::WidgetPrompts(QWidget *parent)
    : parent_(parent)
{
}

void WidgetPrompts::message(const QString &text)
{
    // A plain box: the text, one OK button, no icon.
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool WidgetPrompts::confirm(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent_);
    return box.exec() == QMessageBox::Ok;
}

Prompts::SaveAnswer WidgetPrompts::askSave(const QString &text)
{
    QMessageBox box(QMessageBox::Question, kApplicationTitle, text, QMessageBox::NoButton, parent_);
    box.setObjectName(QStringLiteral("AskSave"));
    QPushButton *save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QStringLiteral("不保存"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveAnswer::Save;
    return box.clickedButton() == discard ? SaveAnswer::Discard : SaveAnswer::Cancel;
}

namespace {
// A name typed without an extension gets ".ini" (or the given suffix).
QString withIniSuffix(const QString &name, const QString &suffix = QStringLiteral("ini"))
{
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    return name + QLatin1Char('.') + suffix;
}

QFileDialog *makeDialog(QWidget *parent, const QString &folder, QFileDialog::AcceptMode mode, const char *name,
                        const QString &filter = QStringLiteral("*.ini"), const QString &suffix = QStringLiteral("ini"))
{
    auto *dialog = new QFileDialog(parent, QString(), folder, filter);
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(suffix);
    dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The dialog asks no question when the chosen file exists: storing adds
    // to the file and leaves its other sections alone.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    // Qt's own dialog: in the program's language whatever the desktop's.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    return dialog;
}
} // namespace

QString WidgetPrompts::saveFileName()
{
    std::unique_ptr<QFileDialog> dialog(makeDialog(parent_, lastFolder_, QFileDialog::AcceptSave, "SaveDialog1"));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    const QString name = withIniSuffix(dialog->selectedFiles().constFirst());
    lastFolder_ = QFileInfo(name).absolutePath();
    return name;
}

QString WidgetPrompts::saveFileNameFor(const QString &filter, const QString &suffix, bool replaces)
{
    std::unique_ptr<QFileDialog> dialog(makeDialog(parent_, lastFolder_, QFileDialog::AcceptSave, "SaveDialog2", filter, suffix));
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !replaces);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    const QString name = withIniSuffix(dialog->selectedFiles().constFirst(), suffix);
    lastFolder_ = QFileInfo(name).absolutePath();
    return name;
}

QString WidgetPrompts::openFileName()
{
    std::unique_ptr<QFileDialog> dialog(makeDialog(parent_, lastFolder_, QFileDialog::AcceptOpen, "OpenDialog1"));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    const QString name = dialog->selectedFiles().constFirst();
    lastFolder_ = QFileInfo(name).absolutePath();
    return name;
}

} // namespace qm
