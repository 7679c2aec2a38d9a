#pragma once
// A record's values and the fields of a family: every field of the table
// by its key (FieldSpec::keyText()), and back into the fields, as loading
// a parameter file sets them (the same rules for stored fields; the text
// or state of the others).

#include "common/unitrecord.h"

namespace qm {

class FieldAccess;

// Every field of table with its value (FieldValue), in table order, and the
// address field's value.
void TakeFieldValues(const FieldTable &table, const FieldAccess &fields, UnitRecord &record);
// Sets every field of table that record holds a value for; false with the
// reason, the later fields left as they were, when a value does not fit.
bool LoadRecordValues(const FieldTable &table, const UnitRecord &record, FieldAccess &fields, QString *error);

} // namespace qm
