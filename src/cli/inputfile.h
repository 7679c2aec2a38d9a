#pragma once
// The parameter file a command writes, compares or stores into, loaded and
// checked in one place: write, verify and batch refuse the same files in
// the same words, and a value given another way (a script's KEY=VALUE) is
// checked by the same CheckFileValue (common/fieldtable.h).

#include "common/fieldsetting.h"

#include <QSet>
#include <QString>

namespace qm {
struct Family;
class MemoryFields;
} // namespace qm

namespace qm::cli {

class Progress;

enum class InputUse {
    // write and batch: every key of the family's section is in the file
    // and the section holds no key the table does not know, unless
    // defaults are allowed (then missing keys take their defaults and
    // unknown ones are named on stderr); every value is one a file may
    // hold, and passes the checks of a write.
    Write,
    // verify: the keys in the file are compared, missing ones named and
    // left out; unknown keys and values a file may not hold are refused.
    Compare,
    // read --out: the file is stored into; only the values of keys the
    // unit does not report are kept from it.
    Keep,
};

struct InputOptions {
    InputUse use = InputUse::Write;
    bool allowDefaults = false;
    // write and batch: values put over the file's (--set), each checked as
    // the file's are; a key they set counts as present in the file.
    FieldSettings settings{};
};

// Loads the family's section of path into fields, as the page loads it,
// after the checks of use. False with the reason in *error: "KEY=VALUE:
// reason" for a value (one line each), every missing or unknown key named,
// every setting refused.
// present, when given, receives the names of the fields whose key the
// file holds.
bool LoadInput(const Family &family, const QString &path, const InputOptions &options, MemoryFields &fields,
               Progress &progress, QString *error, QSet<QString> *present = nullptr);

} // namespace qm::cli
