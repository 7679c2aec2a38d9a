#include "units/subscriberfile.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/filecommands.h"
#include "common/gbktexts.h"
#include "common/inifile.h"

namespace qm {

namespace {
struct Key {
    const QByteArray &Name;
    const char *Field;
    const char *Default;
    bool Number; // converted to an integer and shown in decimal
};
// In the order they are written and read.
const Key kKeys[] = {
    {gbk::KeyUplinkTxFreq, "TxFreq30", "0", true},
    {gbk::KeyUplinkRxFreq, "RxFreq30", "0", true},
    {gbk::KeyBaseTxFreq, "TxFreq31", "0", true},
    {gbk::KeyBaseRxFreq, "RxFreq31", "0", true},
    {gbk::KeyUnitAddress, "Mlr4800_Address", "1", true},
    {gbk::KeyUnitBaudRate, "Mlr4800ComRate", "1200", false},
    {gbk::KeyUnitAirRate, "Mlr4800_Airrate", "9600A", false},
};
} // namespace

SubscriberFile::SubscriberFile(FieldAccess &fields, Report &report, Prompts &prompts)
    : f_(fields)
    , report_(report)
    , prompts_(prompts)
{
}

void SubscriberFile::Mlr4800_SaveFileClick()
{
    StoreParameterFile(report_, prompts_, [this](const QString &path) { Store(path); });
}

void SubscriberFile::Mlr4800_ReadFileClick()
{
    LoadParameterFile(report_, prompts_, [this](const QString &path) { Load(path); });
}

void SubscriberFile::Store(const QString &path)
{
    IniDocument doc = IniDocument::loadParameters(path, true);
    for (const Key &key : kKeys)
        doc.setValue(gbk::SectionMlr4800, key.Name, EncodeGbk(f_.text(QLatin1String(key.Field))));
    doc.save();
}

void SubscriberFile::Load(const QString &path)
{
    const IniDocument doc = IniDocument::loadParameters(path, false);
    for (const Key &key : kKeys) {
        const QString text = DecodeGbk(doc.value(gbk::SectionMlr4800, key.Name, key.Default));
        // A rate text selects the list entry it names, so that the code
        // written and the rate the tool then follows agree; a text that
        // names no entry is shown as it is, with nothing selected.
        f_.setText(QLatin1String(key.Field), key.Number ? QString::number(StrToInt(text)) : text);
    }
}

} // namespace qm
