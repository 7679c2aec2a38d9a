#pragma once
// The subscriber unit's fields: uplink and base-station frequencies, the
// address, the unit's serial and air rates (the seven keys of section
// File_MLR4800, written and read in this order) and the meter type, which
// the exchanges send and read but the file does not hold.

#include "common/fieldtable.h"

namespace qm {

const FieldTable &Mlr4800Fields();

} // namespace qm
