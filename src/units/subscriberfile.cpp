#include "units/subscriberfile.h"

#include "common/filecommands.h"
#include "units/mlr4800fields.h"

namespace qm {

SubscriberFile::SubscriberFile(FieldAccess &fields, Report &report, Prompts &prompts)
    : f_(fields)
    , report_(report)
    , prompts_(prompts)
{
}

bool SubscriberFile::Mlr4800_SaveFileClick()
{
    return StoreParameterFile(report_, prompts_, [this](const QString &path) { Store(path); });
}

bool SubscriberFile::Mlr4800_ReadFileClick()
{
    return LoadParameterFile(report_, prompts_, [this](const QString &path) { Load(path); });
}

void SubscriberFile::Store(const QString &path)
{
    StoreFieldsToFile(Mlr4800Fields(), f_, path);
}

// A rate text selects the list entry it names (the page's lists do), so
// that the code written and the rate the tool then follows agree; a text
// that names no entry is shown as it is, with nothing selected.
void SubscriberFile::Load(const QString &path)
{
    LoadFieldsFromFile(Mlr4800Fields(), f_, path);
}

} // namespace qm
