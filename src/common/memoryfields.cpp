#include "common/memoryfields.h"

#include "common/fieldtable.h"

#include <stdexcept>

namespace qm {

MemoryFields::MemoryFields(const FieldTable &table)
{
    add(table);
}

MemoryFields::MemoryFields(const QList<const FieldTable *> &tables)
{
    for (const FieldTable *table : tables)
        add(*table);
}

void MemoryFields::add(const FieldTable &table)
{
    for (const FieldSpec &fieldSpec : table.fields) {
        Field f;
        switch (fieldSpec.kind) {
        case FieldKind::Edit:
            f.kind = Kind::Edit;
            f.text = fieldSpec.initial;
            break;
        case FieldKind::Combo:
            f.kind = Kind::Combo;
            f.text = fieldSpec.initial;
            f.items = fieldSpec.items;
            break;
        case FieldKind::Check:
            f.kind = Kind::Check;
            f.checked = fieldSpec.initial == QLatin1String("1");
            break;
        case FieldKind::RadioPair: {
            f.kind = Kind::Radio;
            f.checked = fieldSpec.initial == QLatin1String("1");
            f.partner = fieldSpec.partner;
            Field other = f;
            other.checked = !f.checked;
            other.partner = fieldSpec.name;
            fields_.insert(fieldSpec.partner, other);
            break;
        }
        }
        fields_.insert(fieldSpec.name, f);
    }
}

MemoryFields::Field &MemoryFields::field(const QString &name)
{
    auto it = fields_.find(name);
    if (it == fields_.end())
        throw std::logic_error("no field named " + name.toStdString());
    return it.value();
}

const MemoryFields::Field &MemoryFields::field(const QString &name) const
{
    auto it = fields_.constFind(name);
    if (it == fields_.constEnd())
        throw std::logic_error("no field named " + name.toStdString());
    return it.value();
}

bool MemoryFields::has(const QString &name) const
{
    return fields_.contains(name);
}

QString MemoryFields::text(const QString &name) const
{
    return field(name).text;
}

void MemoryFields::setText(const QString &name, const QString &text)
{
    field(name).text = text;
}

bool MemoryFields::checked(const QString &name) const
{
    const Field &f = field(name);
    if (f.kind != Kind::Check && f.kind != Kind::Radio)
        throw std::logic_error(name.toStdString() + " is not a button");
    return f.checked;
}

void MemoryFields::setChecked(const QString &name, bool on)
{
    Field &f = field(name);
    if (f.kind == Kind::Check) {
        f.checked = on;
    } else if (f.kind == Kind::Radio) {
        // One of a pair is always checked: unchecking does nothing, as with
        // an exclusive pair of radio buttons.
        if (!on)
            return;
        f.checked = true;
        field(f.partner).checked = false;
    } else {
        throw std::logic_error(name.toStdString() + " is not a button");
    }
}

int MemoryFields::itemIndex(const QString &name) const
{
    const Field &f = field(name);
    if (f.kind != Kind::Combo)
        throw std::logic_error(name.toStdString() + " is not a combo box");
    // As a combo box finds its current text among its items: exactly, but
    // with letters in either case.
    for (qsizetype i = 0; i < f.items.size(); ++i)
        if (f.items.at(i).compare(f.text, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void MemoryFields::setItemIndex(const QString &name, int index)
{
    Field &f = field(name);
    if (f.kind != Kind::Combo)
        throw std::logic_error(name.toStdString() + " is not a combo box");
    f.text = index >= 0 && index < f.items.size() ? f.items.at(index) : QString();
}

void MemoryFields::setEnabled(const QString &name, bool on)
{
    if (on)
        disabled_.remove(name);
    else
        disabled_.insert(name);
}

void MemoryFields::clearEdits()
{
    for (Field &f : fields_)
        if (f.kind == Kind::Edit)
            f.text = QStringLiteral("0");
}

} // namespace qm
