#pragma once
// The central unit's fields: the 40 frequencies of its channel table, the
// current channel, the address, the link (wireless or wired), the air rate
// and the pure-transparent switch, with their keys in section File_MLB4800
// (written and read in this order). The window has no file for this page;
// the command line stores and loads it with StoreFieldsToFile and
// LoadFieldsFromFile on this table.

#include "common/fieldtable.h"

namespace qm {

const FieldTable &Mlb4800Fields();

} // namespace qm
