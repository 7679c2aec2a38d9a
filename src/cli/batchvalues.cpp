#include "cli/batchvalues.h"

#include "cli/commands.h"
#include "common/fieldsetting.h"
#include "common/fieldtable.h"
#include "headless/families.h"

namespace qm::cli {

BatchValues::BatchValues(const Family &family)
    : family_(family)
    , base_(family.table())
{
}

bool BatchValues::load(const Options &o, Progress &progress, QString *error, int *code)
{
    const FieldTable &table = family_.table();
    const FieldSpec &addressField = AddressField(table);
    *code = ExitUsage;
    if (o.addressFrom >= 0) {
        if (o.addressFrom > addressField.maximum) {
            *error = QStringLiteral("--address-from: a %1 address is at most %2, not %3")
                         .arg(family_.title)
                         .arg(addressField.maximum)
                         .arg(o.addressFrom);
            return false;
        }
        for (const FieldSetting &setting : o.settings)
            if (FieldOfKey(table, setting.key) == &addressField) {
                *error = QStringLiteral("--address-from gives each unit its address; --set %1 cannot as well").arg(setting.key);
                return false;
            }
    }
    *code = ExitInput;
    if (!LoadWriteInput(family_, o, base_, progress, error))
        return false;
    if (o.units.isEmpty())
        return true;
    UnitsTable units;
    if (!LoadUnitsTable(table, o.units, &units, error))
        return false;
    if (o.addressFrom >= 0)
        for (const QString &key : units.keys)
            if (FieldOfKey(table, key) == &addressField) {
                *code = ExitUsage;
                *error = QStringLiteral("--address-from gives each unit its address; the column %1 of %2 cannot as well")
                             .arg(key, o.units);
                return false;
            }
    table_ = units;
    // Each row as its unit will be written; a series' address is one the
    // field takes.
    QStringList problems;
    for (const UnitsRow &row : table_->rows) {
        MemoryFields values(table);
        QString problem;
        if (!forUnitRow(row, o.addressFrom >= 0 ? std::optional(qint32(o.addressFrom)) : std::nullopt, &values, &problem))
            problems << QStringLiteral("%1 row %2: %3").arg(o.units).arg(row.number).arg(problem);
    }
    if (!problems.isEmpty()) {
        *error = problems.join(QLatin1Char('\n'));
        return false;
    }
    return true;
}

const UnitsRow *BatchValues::row() const
{
    return hasTable() && next_ < table_->rows.size() ? &table_->rows[next_] : nullptr;
}

bool BatchValues::forUnit(std::optional<qint32> address, MemoryFields *values, QString *error) const
{
    static const UnitsRow none;
    const UnitsRow *next = row();
    return forUnitRow(next ? *next : none, address, values, error);
}

bool BatchValues::forUnitRow(const UnitsRow &row, std::optional<qint32> address, MemoryFields *values, QString *error) const
{
    const FieldTable &table = family_.table();
    *values = base_;
    for (const FieldSetting &setting : row.settings)
        ApplySetting(table, setting, *values);
    if (address)
        ApplySetting(table, {AddressField(table).keyText(), QString::number(*address)}, *values);
    *error = CheckWritable(table, *values);
    return error->isEmpty();
}

} // namespace qm::cli
