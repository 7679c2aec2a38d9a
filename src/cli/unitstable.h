#pragma once
// The table of units a batch takes its per-unit values from (--units
// TABLE.csv): a header of keys (as in the family's section, or the control
// name of a field without a key, e.g. "设备地址,信道0发射频率"), then one row
// per unit, in the order the units are to be programmed. UTF-8 with or
// without a byte-order mark, or GBK, as a spreadsheet stores it.

#include "common/fieldsetting.h"

#include <QList>
#include <QString>

namespace qm {
struct FieldTable;
}

namespace qm::cli {

struct UnitsRow {
    int number = 0; // 1 for the first row under the header
    FieldSettings settings;
};

struct UnitsTable {
    QString path;
    QStringList keys;
    QList<UnitsRow> rows;
};

// Reads and checks the whole table before any unit: every header key must
// be one of table's, once; every row has a cell for each key, and every
// cell passes CheckSetting. Blank lines are passed over. False with every
// problem found in *error, one a line ("TABLE.csv row 4: KEY=VALUE:
// reason").
bool LoadUnitsTable(const FieldTable &table, const QString &path, UnitsTable *units, QString *error);

} // namespace qm::cli
