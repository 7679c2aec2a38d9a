#include "common/fieldtable.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/inifile.h"

namespace qm {

QString FieldSpec::keyText() const
{
    return key.isEmpty() ? name : DecodeGbk(key);
}

const FieldSpec *FieldTable::find(const QString &name) const
{
    for (const FieldSpec &fieldSpec : fields)
        if (fieldSpec.name == name || (fieldSpec.kind == FieldKind::RadioPair && fieldSpec.partner == name))
            return &fieldSpec;
    return nullptr;
}

const FieldSpec *FieldTable::findKey(const QByteArray &key) const
{
    for (const FieldSpec &fieldSpec : fields)
        if (fieldSpec.stored() && IniDocument::SameName(fieldSpec.key, key))
            return &fieldSpec;
    return nullptr;
}

namespace {

bool isChoice(const FieldSpec &fieldSpec)
{
    return fieldSpec.kind == FieldKind::Check || fieldSpec.kind == FieldKind::RadioPair;
}

// The GBK bytes a stored field is written as.
QByteArray storedBytes(const FieldSpec &fieldSpec, const FieldAccess &fields)
{
    if (fieldSpec.rule == FileRule::Choice)
        return fields.checked(fieldSpec.name) ? fieldSpec.onValue : fieldSpec.offValue;
    return EncodeGbk(fields.text(fieldSpec.name));
}

} // namespace

void LoadFileValue(const FieldSpec &fieldSpec, FieldAccess &fields, const QByteArray &value)
{
    switch (fieldSpec.rule) {
    case FileRule::None:
        return;
    case FileRule::Number:
        fields.setText(fieldSpec.name, QString::number(StrToInt(DecodeGbk(value))));
        return;
    case FileRule::Text:
        fields.setText(fieldSpec.name, DecodeGbk(value));
        return;
    case FileRule::Choice: {
        const bool on = fieldSpec.loadMatchesOn ? value == fieldSpec.onValue : value != fieldSpec.offValue;
        if (fieldSpec.kind == FieldKind::RadioPair)
            fields.setChecked(on ? fieldSpec.name : fieldSpec.partner, true);
        else
            fields.setChecked(fieldSpec.name, on);
        return;
    }
    case FileRule::NumberToItem:
        fields.setItemIndex(fieldSpec.name, fieldSpec.itemOfNumber(StrToInt(DecodeGbk(value))));
        return;
    case FileRule::ValueToItem: {
        const qsizetype index = fieldSpec.valueItems.indexOf(value);
        fields.setItemIndex(fieldSpec.name, index >= 0 ? int(index) : fieldSpec.fallbackItem);
        return;
    }
    }
}

void StoreFields(const FieldTable &table, const FieldAccess &fields, IniDocument &doc)
{
    for (const FieldSpec &fieldSpec : table.fields)
        if (fieldSpec.stored())
            doc.setValue(table.section, fieldSpec.key, storedBytes(fieldSpec, fields));
}

bool LoadFields(const FieldTable &table, FieldAccess &fields, const IniDocument &doc, const FieldSpec **failedAt)
{
    for (const FieldSpec &fieldSpec : table.fields) {
        if (!fieldSpec.stored())
            continue;
        if (failedAt)
            *failedAt = &fieldSpec;
        LoadFileValue(fieldSpec, fields, doc.value(table.section, fieldSpec.key, fieldSpec.defaultValue));
    }
    if (failedAt)
        *failedAt = nullptr;
    return HoldsSection(table, doc);
}

namespace {
// A line break can stand in no value: the default of a key that is not there.
const QByteArray kAbsent = "\n";
} // namespace

bool HoldsSection(const FieldTable &table, const IniDocument &doc)
{
    for (const FieldSpec &fieldSpec : table.fields)
        if (fieldSpec.stored() && doc.value(table.section, fieldSpec.key, kAbsent) != kAbsent)
            return true;
    return false;
}

QString MissingSectionText(const FieldTable &table, const QString &path, bool defaultsTaken)
{
    return QStringLiteral("文件中没有%1参数%2：%3").arg(table.caption, defaultsTaken ? QStringLiteral("，已取默认值") : QString(), path);
}

bool BackedUp(const FieldSpec &fieldSpec)
{
    return fieldSpec.stored() || fieldSpec.returned;
}

void StoreBackupFields(const FieldTable &table, const FieldAccess &fields, IniDocument &doc)
{
    StoreFields(table, fields, doc);
    for (const FieldSpec &fieldSpec : table.fields)
        if (BackedUp(fieldSpec) && !fieldSpec.stored())
            doc.setValue(table.section, fieldSpec.name.toLatin1(), EncodeGbk(FieldValue(fieldSpec, fields)));
}

BackupLoad LoadBackupFields(const FieldTable &table, FieldAccess &fields, const QString &path)
{
    const IniDocument doc = IniDocument::loadParameters(path, false);
    BackupLoad loaded;
    loaded.section = LoadFields(table, fields, doc);
    loaded.extras = true;
    for (const FieldSpec &fieldSpec : table.fields) {
        if (!BackedUp(fieldSpec) || fieldSpec.stored())
            continue;
        const QByteArray value = doc.value(table.section, fieldSpec.name.toLatin1(), kAbsent);
        if (value == kAbsent) {
            loaded.extras = false;
            continue;
        }
        SetFieldValue(fieldSpec, fields, DecodeGbk(value));
    }
    return loaded;
}

void StoreFieldsToFile(const FieldTable &table, const FieldAccess &fields, const QString &path)
{
    IniDocument doc = IniDocument::loadParameters(path, true);
    StoreFields(table, fields, doc);
    doc.save();
}

bool LoadFieldsFromFile(const FieldTable &table, FieldAccess &fields, const QString &path, const FieldSpec **failedAt)
{
    if (failedAt)
        *failedAt = nullptr;
    const IniDocument doc = IniDocument::loadParameters(path, false);
    return LoadFields(table, fields, doc, failedAt);
}

QString FieldValue(const FieldSpec &fieldSpec, const FieldAccess &fields)
{
    if (fieldSpec.stored())
        return DecodeGbk(storedBytes(fieldSpec, fields));
    if (isChoice(fieldSpec)) {
        const bool on = fields.checked(fieldSpec.name);
        if (fieldSpec.onValue.isEmpty() && fieldSpec.offValue.isEmpty())
            return on ? QStringLiteral("1") : QStringLiteral("0");
        return DecodeGbk(on ? fieldSpec.onValue : fieldSpec.offValue);
    }
    return fields.text(fieldSpec.name);
}

void SetFieldValue(const FieldSpec &fieldSpec, FieldAccess &fields, const QString &value)
{
    if (!fields.has(fieldSpec.name))
        return;
    switch (fieldSpec.kind) {
    case FieldKind::Edit:
        fields.setText(fieldSpec.name, value);
        return;
    case FieldKind::Combo: {
        const int item = int(fieldSpec.items.indexOf(value));
        if (item >= 0)
            fields.setItemIndex(fieldSpec.name, item);
        else
            fields.setText(fieldSpec.name, value);
        return;
    }
    case FieldKind::Check:
    case FieldKind::RadioPair:
        break;
    }
    const bool plain = fieldSpec.onValue.isEmpty() && fieldSpec.offValue.isEmpty();
    const QString on = plain ? QStringLiteral("1") : DecodeGbk(fieldSpec.onValue);
    const QString off = plain ? QStringLiteral("0") : DecodeGbk(fieldSpec.offValue);
    if (value != on && value != off)
        return;
    if (fieldSpec.kind == FieldKind::Check)
        fields.setChecked(fieldSpec.name, value == on);
    else if (value == on)
        fields.setChecked(fieldSpec.name, true);
    else if (fields.has(fieldSpec.partner))
        fields.setChecked(fieldSpec.partner, true);
}

FieldValues Snapshot(const FieldTable &table, const FieldAccess &fields)
{
    FieldValues values;
    for (const FieldSpec &fieldSpec : table.fields)
        values.insert(fieldSpec.name, FieldValue(fieldSpec, fields));
    return values;
}

bool InScope(const FieldSpec &fieldSpec, unsigned scope)
{
    return (!(scope & StoredFields) || fieldSpec.stored()) && (!(scope & SentFields) || fieldSpec.sent)
        && (!(scope & ReturnedFields) || fieldSpec.returned) && (!(scope & BackupFields) || BackedUp(fieldSpec));
}

namespace {
// Two values of a field are the same when their texts are, or, for a field
// holding a whole number, when their numbers are ("0433" typed, 433 read).
bool sameValue(const FieldSpec &fieldSpec, const QString &a, const QString &b)
{
    if (a == b)
        return true;
    const bool number = fieldSpec.rule == FileRule::Number || (fieldSpec.kind == FieldKind::Edit && fieldSpec.maximum >= fieldSpec.minimum);
    if (!number)
        return false;
    try {
        return StrToInt(a) == StrToInt(b);
    } catch (const Error &) {
        return false;
    }
}
} // namespace

QList<FieldDifference> Differences(const FieldTable &table, const FieldValues &a, const FieldValues &b, unsigned scope)
{
    QList<FieldDifference> out;
    for (const FieldSpec &fieldSpec : table.fields) {
        if (!InScope(fieldSpec, scope))
            continue;
        const QString va = a.value(fieldSpec.name);
        const QString vb = b.value(fieldSpec.name);
        if (!sameValue(fieldSpec, va, vb))
            out.append({fieldSpec.name, fieldSpec.keyText(), fieldSpec.caption, va, vb});
    }
    return out;
}

QList<FieldDifference> Differences(const FieldTable &table, const FieldAccess &a, const FieldAccess &b, unsigned scope)
{
    return Differences(table, Snapshot(table, a), Snapshot(table, b), scope);
}

QString FrequencyMhzText(const QString &value)
{
    qint64 n = 0;
    try {
        n = StrToInt(value);
    } catch (const Error &) {
        return {};
    }
    const qint64 magnitude = n < 0 ? -n : n;
    return QStringLiteral("%1%2.%3 MHz")
        .arg(n < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
}

QList<QByteArray> FileTexts(const FieldSpec &fieldSpec)
{
    if (isChoice(fieldSpec))
        return {fieldSpec.onValue, fieldSpec.offValue};
    QList<QByteArray> texts;
    if (fieldSpec.kind == FieldKind::Combo)
        for (const QString &item : fieldSpec.items)
            texts.append(EncodeGbk(item));
    return texts;
}

bool HoldsNumber(const FieldSpec &fieldSpec)
{
    return fieldSpec.rule == FileRule::Number || fieldSpec.rule == FileRule::NumberToItem
        || (fieldSpec.kind == FieldKind::Edit && fieldSpec.maximum >= fieldSpec.minimum);
}

namespace {
QString listText(const QStringList &texts)
{
    return QStringLiteral("not one of %1").arg(texts.join(QStringLiteral(", ")));
}
} // namespace

QString CheckFileValue(const FieldSpec &fieldSpec, const QByteArray &value)
{
    const auto refuse = [&](const QString &reason) {
        return QStringLiteral("%1=%2: %3").arg(fieldSpec.keyText(), DecodeGbk(value), reason);
    };
    if (const QList<QByteArray> texts = FileTexts(fieldSpec); !texts.isEmpty()) {
        if (texts.contains(value))
            return {};
        QStringList shown;
        for (const QByteArray &text : texts)
            shown << DecodeGbk(text);
        return refuse(listText(shown));
    }
    if (fieldSpec.rule == FileRule::Number) {
        try {
            StrToInt(DecodeGbk(value));
        } catch (const Error &e) {
            return refuse(e.message());
        }
    }
    return {};
}

QString CheckFileValue(const FieldTable &table, const QByteArray &key, const QByteArray &value)
{
    const FieldSpec *fieldSpec = table.findKey(key);
    if (!fieldSpec)
        return QStringLiteral("%1: not a key of [%2]").arg(DecodeGbk(key), DecodeGbk(table.section));
    return CheckFileValue(*fieldSpec, value);
}

QString CheckWritable(const FieldTable &table, const FieldAccess &fields)
{
    for (const FieldSpec &fieldSpec : table.fields) {
        if (!fieldSpec.sent)
            continue;
        const QString value = FieldValue(fieldSpec, fields);
        const auto refuse = [&](const QString &reason) { return QStringLiteral("%1=%2: %3").arg(fieldSpec.keyText(), value, reason); };
        if (fieldSpec.kind == FieldKind::Edit && fieldSpec.maximum >= fieldSpec.minimum) {
            qint64 n = 0;
            try {
                n = StrToInt(fields.text(fieldSpec.name));
            } catch (const Error &) {
                return refuse(QStringLiteral("not a whole number"));
            }
            if (n < fieldSpec.minimum || n > fieldSpec.maximum)
                return refuse(QStringLiteral("outside %1..%2").arg(fieldSpec.minimum).arg(fieldSpec.maximum));
            if (fieldSpec.multipleOf > 0 && n % fieldSpec.multipleOf != 0)
                return refuse(QStringLiteral("not a multiple of %1").arg(fieldSpec.multipleOf));
        }
        if (fieldSpec.kind == FieldKind::Combo && fieldSpec.listOnly && fields.itemIndex(fieldSpec.name) < 0)
            return refuse(listText(fieldSpec.items));
    }
    return table.crossCheck ? table.crossCheck(fields) : QString();
}

} // namespace qm
