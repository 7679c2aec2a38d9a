#include "common/fieldsetting.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/fieldtable.h"
#include "common/inifile.h"

namespace qm {

namespace {

bool isChoice(const FieldSpec &fieldSpec)
{
    return fieldSpec.kind == FieldKind::Check || fieldSpec.kind == FieldKind::RadioPair;
}

// The two texts a check box or radio pair without a key stands for.
QStringList choiceTexts(const FieldSpec &fieldSpec)
{
    if (fieldSpec.onValue.isEmpty() && fieldSpec.offValue.isEmpty())
        return {QStringLiteral("1"), QStringLiteral("0")};
    return {DecodeGbk(fieldSpec.onValue), DecodeGbk(fieldSpec.offValue)};
}

} // namespace

bool ParseSetting(const QString &text, FieldSetting *setting)
{
    const qsizetype at = text.indexOf(QLatin1Char('='));
    if (at < 0)
        return false;
    setting->key = text.left(at).trimmed();
    setting->value = text.mid(at + 1).trimmed();
    return !setting->key.isEmpty();
}

const FieldSpec *FieldOfKey(const FieldTable &table, const QString &key)
{
    if (const FieldSpec *stored = table.findKey(EncodeGbk(key)))
        return stored;
    for (const FieldSpec &fieldSpec : table.fields)
        if (!fieldSpec.stored() && fieldSpec.name == key)
            return &fieldSpec;
    return nullptr;
}

QString CheckSetting(const FieldTable &table, const FieldSetting &setting)
{
    const FieldSpec *fieldSpec = FieldOfKey(table, setting.key);
    if (!fieldSpec)
        return QStringLiteral("%1: not a key of [%2], nor the name of a field without one")
            .arg(setting.key, DecodeGbk(table.section));
    if (fieldSpec->stored())
        return CheckFileValue(*fieldSpec, EncodeGbk(setting.value));
    const auto refuse = [&](const QString &reason) { return QStringLiteral("%1=%2: %3").arg(setting.key, setting.value, reason); };
    if (!fieldSpec->sent)
        return refuse(QStringLiteral("a write does not send this field"));
    if (isChoice(*fieldSpec)) {
        const QStringList texts = choiceTexts(*fieldSpec);
        return texts.contains(setting.value) ? QString() : refuse(QStringLiteral("not one of %1").arg(texts.join(QStringLiteral(", "))));
    }
    if (fieldSpec->kind == FieldKind::Combo && fieldSpec->listOnly && !fieldSpec->items.contains(setting.value))
        return refuse(QStringLiteral("not one of %1").arg(fieldSpec->items.join(QStringLiteral(", "))));
    if (HoldsNumber(*fieldSpec)) {
        try {
            StrToInt(setting.value);
        } catch (const Error &e) {
            return refuse(e.message());
        }
    }
    return {};
}

void ApplySetting(const FieldTable &table, const FieldSetting &setting, FieldAccess &fields)
{
    const FieldSpec *fieldSpec = FieldOfKey(table, setting.key);
    if (!fieldSpec)
        return;
    if (fieldSpec->stored())
        LoadFileValue(*fieldSpec, fields, EncodeGbk(setting.value));
    else
        SetControlValue(*fieldSpec, fields, setting.value);
}

void SetControlValue(const FieldSpec &fieldSpec, FieldAccess &fields, const QString &value)
{
    switch (fieldSpec.kind) {
    case FieldKind::Edit:
        fields.setText(fieldSpec.name, value);
        break;
    case FieldKind::Combo: {
        const qsizetype item = fieldSpec.items.indexOf(value);
        if (item >= 0)
            fields.setItemIndex(fieldSpec.name, int(item));
        else
            fields.setText(fieldSpec.name, value);
        break;
    }
    case FieldKind::Check:
        fields.setChecked(fieldSpec.name, value == choiceTexts(fieldSpec).constFirst());
        break;
    case FieldKind::RadioPair:
        // Checking one button of the pair unchecks the other.
        fields.setChecked(value == choiceTexts(fieldSpec).constFirst() ? fieldSpec.name : fieldSpec.partner, true);
        break;
    }
}

} // namespace qm
