#include "common/pagehistory.h"

#include "common/fieldaccess.h"
#include "common/fieldtable.h"

namespace qm {

PageState CapturePage(const FieldTable &table, const FieldAccess &fields)
{
    PageState state;
    for (const FieldSpec &fieldSpec : table.fields) {
        if (!fields.has(fieldSpec.name))
            continue;
        if (fieldSpec.kind == FieldKind::Check || fieldSpec.kind == FieldKind::RadioPair)
            state.insert(fieldSpec.name, fields.checked(fieldSpec.name) ? QStringLiteral("1") : QStringLiteral("0"));
        else
            state.insert(fieldSpec.name, fields.text(fieldSpec.name));
    }
    return state;
}

void RestorePage(const FieldTable &table, FieldAccess &fields, const PageState &state)
{
    for (const FieldSpec &fieldSpec : table.fields) {
        const auto it = state.constFind(fieldSpec.name);
        if (it == state.constEnd() || !fields.has(fieldSpec.name))
            continue;
        const QString &value = *it;
        switch (fieldSpec.kind) {
        case FieldKind::Edit:
        case FieldKind::Combo: SetFieldValue(fieldSpec, fields, value); break;
        case FieldKind::Check: fields.setChecked(fieldSpec.name, value == QLatin1String("1")); break;
        case FieldKind::RadioPair:
            if (value == QLatin1String("1"))
                fields.setChecked(fieldSpec.name, true);
            else if (fields.has(fieldSpec.partner))
                fields.setChecked(fieldSpec.partner, true);
            break;
        }
    }
}

void PageHistory::record(const QString &label, const PageState &before, quint64 group)
{
    undo_.append({label, before, group});
    while (undo_.size() > depth_)
        undo_.removeFirst();
    redo_.clear();
}

PageHistory::Step PageHistory::undo(const PageState &current)
{
    Step step = undo_.takeLast();
    redo_.append({step.label, current, step.group});
    return step;
}

PageHistory::Step PageHistory::redo(const PageState &current)
{
    Step step = redo_.takeLast();
    undo_.append({step.label, current, step.group});
    return step;
}

} // namespace qm
