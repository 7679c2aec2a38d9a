#include "register/recordfields.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/inifile.h"

namespace qm {

namespace {
QString onText(const FieldSpec &spec)
{
    return spec.onValue.isEmpty() ? QStringLiteral("1") : DecodeGbk(spec.onValue);
}
} // namespace

void TakeFieldValues(const FieldTable &table, const FieldAccess &fields, UnitRecord &record)
{
    record.values.clear();
    for (const FieldSpec &spec : table.fields) {
        const QString value = FieldValue(spec, fields);
        record.values.append({spec.keyText(), value});
        if (spec.name.endsWith(QLatin1String("_Address")))
            record.address = value;
    }
}

bool LoadRecordValues(const FieldTable &table, const UnitRecord &record, FieldAccess &fields, QString *error)
{
    // Stored fields go through the parameter file's own loading, so a
    // value means on the page what it means in a file.
    IniDocument doc = IniDocument::fromBytes(QString(), {});
    bool anyStored = false;
    for (const FieldSpec &spec : table.fields) {
        if (!spec.stored())
            continue;
        // A key the record lacks takes its default, as in a file.
        for (const auto &[key, value] : record.values)
            if (key == spec.keyText()) {
                doc.setValue(table.section, spec.key, EncodeGbk(value));
                anyStored = true;
            }
    }
    try {
        if (anyStored)
            LoadFields(table, fields, doc);
    } catch (const Error &e) {
        *error = e.message();
        return false;
    }
    for (const FieldSpec &spec : table.fields) {
        if (spec.stored())
            continue;
        bool present = false;
        QString value;
        for (const auto &[key, v] : record.values)
            if (key == spec.keyText()) {
                present = true;
                value = v;
            }
        if (!present)
            continue;
        switch (spec.kind) {
        case FieldKind::Edit:
            fields.setText(spec.name, value);
            break;
        case FieldKind::Combo: {
            const qsizetype item = spec.items.indexOf(value);
            if (item >= 0)
                fields.setItemIndex(spec.name, int(item));
            else
                fields.setText(spec.name, value);
            break;
        }
        case FieldKind::Check:
            fields.setChecked(spec.name, value == onText(spec));
            break;
        case FieldKind::RadioPair:
            // Checking one button of the pair unchecks the other.
            fields.setChecked(value == onText(spec) ? spec.name : spec.partner, true);
            break;
        }
    }
    return true;
}

} // namespace qm
