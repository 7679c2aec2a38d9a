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
    for (const FieldSpec &spec : fields)
        if (spec.name == name || (spec.kind == FieldKind::RadioPair && spec.partner == name))
            return &spec;
    return nullptr;
}

namespace {

bool isChoice(const FieldSpec &spec)
{
    return spec.kind == FieldKind::Check || spec.kind == FieldKind::RadioPair;
}

// The GBK bytes a stored field is written as.
QByteArray storedBytes(const FieldSpec &spec, const FieldAccess &fields)
{
    if (spec.rule == FileRule::Choice)
        return fields.checked(spec.name) ? spec.onValue : spec.offValue;
    return EncodeGbk(fields.text(spec.name));
}

void loadValue(const FieldSpec &spec, FieldAccess &fields, const QByteArray &value)
{
    switch (spec.rule) {
    case FileRule::None:
        return;
    case FileRule::Number:
        fields.setText(spec.name, QString::number(StrToInt(DecodeGbk(value))));
        return;
    case FileRule::Text:
        fields.setText(spec.name, DecodeGbk(value));
        return;
    case FileRule::Choice: {
        const bool on = spec.loadMatchesOn ? value == spec.onValue : value != spec.offValue;
        if (spec.kind == FieldKind::RadioPair)
            fields.setChecked(on ? spec.name : spec.partner, true);
        else
            fields.setChecked(spec.name, on);
        return;
    }
    case FileRule::NumberToItem:
        fields.setItemIndex(spec.name, spec.itemOfNumber(StrToInt(DecodeGbk(value))));
        return;
    case FileRule::ValueToItem: {
        const qsizetype index = spec.valueItems.indexOf(value);
        fields.setItemIndex(spec.name, index >= 0 ? int(index) : spec.fallbackItem);
        return;
    }
    }
}

} // namespace

void StoreFields(const FieldTable &table, const FieldAccess &fields, IniDocument &doc)
{
    for (const FieldSpec &spec : table.fields)
        if (spec.stored())
            doc.setValue(table.section, spec.key, storedBytes(spec, fields));
}

void LoadFields(const FieldTable &table, FieldAccess &fields, const IniDocument &doc, const FieldSpec **failedAt)
{
    for (const FieldSpec &spec : table.fields) {
        if (!spec.stored())
            continue;
        if (failedAt)
            *failedAt = &spec;
        loadValue(spec, fields, doc.value(table.section, spec.key, spec.defaultValue));
    }
    if (failedAt)
        *failedAt = nullptr;
}

void StoreFieldsToFile(const FieldTable &table, const FieldAccess &fields, const QString &path)
{
    IniDocument doc = IniDocument::loadParameters(path, true);
    StoreFields(table, fields, doc);
    doc.save();
}

void LoadFieldsFromFile(const FieldTable &table, FieldAccess &fields, const QString &path, const FieldSpec **failedAt)
{
    if (failedAt)
        *failedAt = nullptr;
    const IniDocument doc = IniDocument::loadParameters(path, false);
    LoadFields(table, fields, doc, failedAt);
}

QString FieldValue(const FieldSpec &spec, const FieldAccess &fields)
{
    if (spec.stored())
        return DecodeGbk(storedBytes(spec, fields));
    if (isChoice(spec)) {
        const bool on = fields.checked(spec.name);
        if (spec.onValue.isEmpty() && spec.offValue.isEmpty())
            return on ? QStringLiteral("1") : QStringLiteral("0");
        return DecodeGbk(on ? spec.onValue : spec.offValue);
    }
    return fields.text(spec.name);
}

FieldValues Snapshot(const FieldTable &table, const FieldAccess &fields)
{
    FieldValues values;
    for (const FieldSpec &spec : table.fields)
        values.insert(spec.name, FieldValue(spec, fields));
    return values;
}

bool InScope(const FieldSpec &spec, unsigned scope)
{
    return (!(scope & StoredFields) || spec.stored()) && (!(scope & SentFields) || spec.sent)
        && (!(scope & ReturnedFields) || spec.returned);
}

QList<FieldDifference> Differences(const FieldTable &table, const FieldValues &a, const FieldValues &b, unsigned scope)
{
    QList<FieldDifference> out;
    for (const FieldSpec &spec : table.fields) {
        if (!InScope(spec, scope))
            continue;
        const QString va = a.value(spec.name);
        const QString vb = b.value(spec.name);
        if (va != vb)
            out.append({spec.name, spec.keyText(), spec.caption, va, vb});
    }
    return out;
}

QList<FieldDifference> Differences(const FieldTable &table, const FieldAccess &a, const FieldAccess &b, unsigned scope)
{
    return Differences(table, Snapshot(table, a), Snapshot(table, b), scope);
}

QString CheckWritable(const FieldTable &table, const FieldAccess &fields)
{
    for (const FieldSpec &spec : table.fields) {
        if (!spec.sent)
            continue;
        const QString value = FieldValue(spec, fields);
        const auto refuse = [&](const QString &reason) { return QStringLiteral("%1=%2: %3").arg(spec.keyText(), value, reason); };
        if (spec.kind == FieldKind::Edit && spec.maximum >= spec.minimum) {
            qint64 n = 0;
            try {
                n = StrToInt(fields.text(spec.name));
            } catch (const Error &) {
                return refuse(QStringLiteral("not a whole number"));
            }
            if (n < spec.minimum || n > spec.maximum)
                return refuse(QStringLiteral("outside %1..%2").arg(spec.minimum).arg(spec.maximum));
            if (spec.multipleOf > 0 && n % spec.multipleOf != 0)
                return refuse(QStringLiteral("not a multiple of %1").arg(spec.multipleOf));
        }
        if (spec.kind == FieldKind::Combo && spec.listOnly && fields.itemIndex(spec.name) < 0)
            return refuse(QStringLiteral("not one of %1").arg(spec.items.join(QLatin1Char(' '))));
    }
    return table.crossCheck ? table.crossCheck(fields) : QString();
}

} // namespace qm
