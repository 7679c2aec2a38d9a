#include "register/recordfields.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/fieldsetting.h"
#include "common/inifile.h"

namespace qm {

void TakeFieldValues(const FieldTable &table, const FieldAccess &fields, UnitRecord &record)
{
    record.values.clear();
    for (const FieldSpec &fieldSpec : table.fields) {
        const QString value = FieldValue(fieldSpec, fields);
        record.values.append({fieldSpec.keyText(), value});
        if (fieldSpec.name.endsWith(QLatin1String("_Address")))
            record.address = value;
    }
}

bool LoadRecordValues(const FieldTable &table, const UnitRecord &record, FieldAccess &fields, QString *error)
{
    // Stored fields go through the parameter file's own loading, so a
    // value means on the page what it means in a file.
    IniDocument doc = IniDocument::fromBytes(QString(), {});
    bool anyStored = false;
    for (const FieldSpec &fieldSpec : table.fields) {
        if (!fieldSpec.stored())
            continue;
        // A key the record lacks takes its default, as in a file.
        for (const auto &[key, value] : record.values)
            if (key == fieldSpec.keyText()) {
                doc.setValue(table.section, fieldSpec.key, EncodeGbk(value));
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
    for (const FieldSpec &fieldSpec : table.fields) {
        if (fieldSpec.stored())
            continue;
        bool present = false;
        QString value;
        for (const auto &[key, v] : record.values)
            if (key == fieldSpec.keyText()) {
                present = true;
                value = v;
            }
        if (!present)
            continue;
        SetControlValue(fieldSpec, fields, value);
    }
    return true;
}

} // namespace qm
