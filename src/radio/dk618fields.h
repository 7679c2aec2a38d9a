#pragma once
// The data radio's fields: every control of its page that holds a
// parameter, with its key in section File_DK618 (28 keys, written and read
// in this order), what a write checks and what the exchanges send and fill.

#include "common/fieldtable.h"

namespace qm {

const FieldTable &Dk618Fields();

} // namespace qm
