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

bool SubscriberFile::Mlr4800_ReadFileClick(QString *chosen)
{
    return LoadParameterFile(report_, prompts_, Mlr4800Fields(), [this](const QString &path) { return Load(path); }, chosen);
}

void SubscriberFile::Store(const QString &path)
{
    StoreFieldsToFile(Mlr4800Fields(), f_, path);
}

// A rate text selects the list entry it names (the page's lists do), so
// that the code written and the rate the tool then follows agree; a text
// that names no entry is shown as it is, with nothing selected.
bool SubscriberFile::Load(const QString &path)
{
    return LoadFieldsFromFile(Mlr4800Fields(), f_, path);
}

} // namespace qm
