#include "common/pagehistory.h"

#include "common/fieldaccess.h"
#include "common/fieldtable.h"

namespace qm {

PageState CapturePage(const FieldTable &table, const FieldAccess &fields)
{
    PageState state;
    for (const FieldSpec &spec : table.fields) {
        if (!fields.has(spec.name))
            continue;
        if (spec.kind == FieldKind::Check || spec.kind == FieldKind::RadioPair)
            state.insert(spec.name, fields.checked(spec.name) ? QStringLiteral("1") : QStringLiteral("0"));
        else
            state.insert(spec.name, fields.text(spec.name));
    }
    return state;
}

void RestorePage(const FieldTable &table, FieldAccess &fields, const PageState &state)
{
    for (const FieldSpec &spec : table.fields) {
        const auto it = state.constFind(spec.name);
        if (it == state.constEnd() || !fields.has(spec.name))
            continue;
        const QString &value = *it;
        switch (spec.kind) {
        case FieldKind::Edit: fields.setText(spec.name, value); break;
        case FieldKind::Check: fields.setChecked(spec.name, value == QLatin1String("1")); break;
        case FieldKind::RadioPair:
            if (value == QLatin1String("1"))
                fields.setChecked(spec.name, true);
            else if (fields.has(spec.partner))
                fields.setChecked(spec.partner, true);
            break;
        case FieldKind::Combo: {
            const int item = int(spec.items.indexOf(value));
            if (item >= 0)
                fields.setItemIndex(spec.name, item);
            else
                fields.setText(spec.name, value);
            break;
        }
        }
    }
}

void PageHistory::record(const QString &label, const PageState &before)
{
    undo_.append({label, before});
    while (undo_.size() > depth_)
        undo_.removeFirst();
    redo_.clear();
}

PageHistory::Step PageHistory::undo(const PageState &current)
{
    Step step = undo_.takeLast();
    redo_.append({step.label, current});
    return step;
}

PageHistory::Step PageHistory::redo(const PageState &current)
{
    Step step = redo_.takeLast();
    undo_.append({step.label, current});
    return step;
}

} // namespace qm
