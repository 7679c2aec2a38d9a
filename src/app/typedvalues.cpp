#include "app/typedvalues.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace qm {

TypedValues::TypedValues(FieldAccess &fields, QObject *parent)
    : QObject(parent)
    , fields_(fields)
{
}

void TypedValues::addPage(QWidget *page, const FieldTable &table, const QString &name)
{
    pages_.insert(page, Page{&table, name, Snapshot(table, fields_), false});
    order_ << page;
    // Only signals a user's edit raises: textEdited, activated, clicked.
    const auto edited = [this, page] { pages_[page].edited = true; };
    for (const FieldSpec &field : table.fields) {
        for (const QString &name : {field.name, field.partner}) {
            QWidget *widget = name.isEmpty() ? nullptr : page->findChild<QWidget *>(name);
            if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
                connect(edit, &QLineEdit::textEdited, this, edited);
            } else if (auto *list = qobject_cast<QComboBox *>(widget)) {
                connect(list, &QComboBox::activated, this, edited);
                if (QLineEdit *text = list->lineEdit())
                    connect(text, &QLineEdit::textEdited, this, edited);
            } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
                connect(button, &QAbstractButton::clicked, this, edited);
            }
        }
    }
}

void TypedValues::settle(QWidget *page)
{
    auto it = pages_.find(page);
    if (it == pages_.end())
        return;
    it->baseline = Snapshot(*it->table, fields_);
    it->edited = false;
}

bool TypedValues::changed(QWidget *page) const
{
    const auto it = pages_.constFind(page);
    return it != pages_.constEnd() && it->edited && Snapshot(*it->table, fields_) != it->baseline;
}

QList<QWidget *> TypedValues::changedPages() const
{
    QList<QWidget *> pages;
    for (QWidget *page : order_)
        if (changed(page))
            pages << page;
    return pages;
}

} // namespace qm
