#pragma once
// One field's value given outside a parameter file: `--set KEY=VALUE` on
// the command line, a cell of a table of units. KEY is the field's key in
// the family's section or, for a field the file does not hold, its control
// name (Ptttime, AType). The value is checked as a file's value is checked
// (a list's value is one of its texts, a number a whole number) and set as
// loading a file sets it; the write's own checks follow, as for a file.

#include <QList>
#include <QString>

namespace qm {

class FieldAccess;
struct FieldSpec;
struct FieldTable;

struct FieldSetting {
    QString key;
    QString value;
};
using FieldSettings = QList<FieldSetting>;

// "KEY=VALUE" split at its first '='; false when there is none or the key
// is empty. Blanks around the key and the value go, as in a file.
bool ParseSetting(const QString &text, FieldSetting *setting);

// The field key names: a stored field by its key in the section, else a
// field without a key by its control name; null for neither.
const FieldSpec *FieldOfKey(const FieldTable &table, const QString &key);

// "KEY=VALUE: reason", "KEY: not a key of [SECTION] ..." or empty. A field
// without a key must be one that a write sends.
QString CheckSetting(const FieldTable &table, const FieldSetting &setting);

// Sets the field named by a setting that passed CheckSetting.
void ApplySetting(const FieldTable &table, const FieldSetting &setting, FieldAccess &fields);

// Sets a field without a key from its value as FieldValue gives it: the
// text of an edit or combo (a combo's item when the text is one), the
// state of a check box or radio pair (onValue or "1" checks it).
void SetControlValue(const FieldSpec &fieldSpec, FieldAccess &fields, const QString &value);

} // namespace qm
