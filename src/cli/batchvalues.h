#pragma once
// What each unit of a batch is given: the file's values with --set over
// them, then the unit's row of the table of units (--units), then the
// address the register handed out for it (--address-from). Every row is
// checked whole, under the file's values, before the first unit: a table
// with a fault in row 400 is refused before unit 1.

#include "cli/unitstable.h"
#include "common/memoryfields.h"

#include <QString>
#include <optional>

namespace qm {
struct Family;
}

namespace qm::cli {

class Progress;
struct Options;

class BatchValues {
public:
    explicit BatchValues(const Family &family);

    // Loads the file and the table of the options and checks them; false
    // with the reason and the exit code (bad input, or a usage mistake:
    // the address given by the series and by the table or --set at once).
    bool load(const Options &o, Progress &progress, QString *error, int *code);

    bool hasTable() const { return table_.has_value(); }
    // The row the next unit takes: null without a table, or when every row
    // is used up (the batch then ends).
    const UnitsRow *row() const;
    int rowsLeft() const { return hasTable() ? int(table_->rows.size()) - next_ : 0; }
    int rowCount() const { return hasTable() ? int(table_->rows.size()) : 0; }
    // The unit whose write began took the row: the next unit takes the next.
    void useRow() { ++next_; }

    // The values of the next unit, with address in the address field when
    // given; false with "KEY=VALUE: reason" when a write would refuse them.
    bool forUnit(std::optional<qint32> address, MemoryFields *values, QString *error) const;

private:
    bool forUnitRow(const UnitsRow &row, std::optional<qint32> address, MemoryFields *values, QString *error) const;

    const Family &family_;
    MemoryFields base_;
    std::optional<UnitsTable> table_;
    int next_ = 0;
};

} // namespace qm::cli
