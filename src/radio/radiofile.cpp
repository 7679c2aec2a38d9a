#include "radio/radiofile.h"

#include "common/filecommands.h"
#include "radio/dk618fields.h"

namespace qm {

int RateItemOfStoredRate(qint32 rate)
{
    qint32 code = rate / 300;
    if (code <= 0 || (code & 1))
        return 0;
    int index = 0;
    while (code >>= 1)
        ++index;
    return index <= 6 ? index : -1;
}

RadioFile::RadioFile(FieldAccess &fields, Report &report, Prompts &prompts)
    : f_(fields)
    , report_(report)
    , prompts_(prompts)
{
}

bool RadioFile::Dk618_Save_FileClick()
{
    return StoreParameterFile(report_, prompts_, [this](const QString &path) { Store(path); });
}

bool RadioFile::Dk618_Read_FileClick(QString *chosen)
{
    return LoadParameterFile(report_, prompts_, Dk618Fields(), [this](const QString &path) { return Load(path); }, chosen);
}

void RadioFile::Store(const QString &path)
{
    StoreFieldsToFile(Dk618Fields(), f_, path);
}

bool RadioFile::Load(const QString &path)
{
    return LoadFieldsFromFile(Dk618Fields(), f_, path);
}

} // namespace qm
