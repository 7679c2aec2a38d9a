#include "pagekit/widgetfields.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <stdexcept>

namespace qm {

WidgetFields::WidgetFields(QWidget *root)
    : root_(root)
{
}

QWidget *WidgetFields::find(const QString &name) const
{
    auto it = cache_.constFind(name);
    if (it != cache_.constEnd())
        return it.value();
    QWidget *w = root_->objectName() == name ? root_ : root_->findChild<QWidget *>(name);
    if (w)
        cache_.insert(name, w);
    return w;
}

bool WidgetFields::has(const QString &name) const
{
    return find(name) != nullptr;
}

namespace {
[[noreturn]] void unknown(const QString &name)
{
    throw std::logic_error("no field named " + name.toStdString());
}
} // namespace

QString WidgetFields::text(const QString &name) const
{
    QWidget *w = find(name);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    unknown(name);
}

void WidgetFields::setText(const QString &name, const QString &text)
{
    QWidget *w = find(name);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->setText(text);
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        const int index = combo->findText(text, Qt::MatchExactly);
        if (combo->isEditable()) {
            combo->setCurrentIndex(index);
            combo->setEditText(text);
        } else {
            combo->setCurrentIndex(index);
        }
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(text);
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        button->setText(text);
    } else {
        unknown(name);
    }
}

bool WidgetFields::checked(const QString &name) const
{
    auto *button = qobject_cast<QAbstractButton *>(find(name));
    if (!button)
        unknown(name);
    return button->isChecked();
}

void WidgetFields::setChecked(const QString &name, bool on)
{
    auto *button = qobject_cast<QAbstractButton *>(find(name));
    if (!button)
        unknown(name);
    button->setChecked(on);
}

int WidgetFields::itemIndex(const QString &name) const
{
    auto *combo = qobject_cast<QComboBox *>(find(name));
    if (!combo)
        unknown(name);
    return combo->findText(combo->currentText(), Qt::MatchExactly);
}

void WidgetFields::setItemIndex(const QString &name, int index)
{
    auto *combo = qobject_cast<QComboBox *>(find(name));
    if (!combo)
        unknown(name);
    if (index < 0 || index >= combo->count()) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable())
            combo->setEditText(QString());
    } else {
        combo->setCurrentIndex(index);
    }
}

void WidgetFields::setEnabled(const QString &name, bool on)
{
    QWidget *w = find(name);
    if (!w)
        unknown(name);
    w->setEnabled(on);
}

} // namespace qm
