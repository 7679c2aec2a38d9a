#include "units/subscriberfile.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/gbktexts.h"
#include "common/inifile.h"
#include "common/prompts.h"
#include "common/report.h"

namespace qm {

namespace {
// The same progress and outcome texts as the data-radio file.
const QString kStoring = QStringLiteral("存储文档...");
const QString kStoringWait = QStringLiteral("正在存储文档...");
const QString kStored = QStringLiteral("存储成功！");
const QString kLoading = QStringLiteral("读取文档...");
const QString kLoadingWait = QStringLiteral("正在读取文档...");
const QString kLoaded = QStringLiteral("读取结束！");
const QString kCancelled = QStringLiteral("用户取消");

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
    report_.memo(kStoring);
    report_.panel(2, kStoringWait);
    const QString path = prompts_.saveFileName();
    if (path.isEmpty()) {
        report_.memo(kCancelled);
        report_.panel(2, kCancelled);
        return;
    }
    Store(path);
    report_.memo(kStored);
    report_.panel(2, kStored);
}

void SubscriberFile::Mlr4800_ReadFileClick()
{
    report_.memo(kLoading);
    report_.panel(2, kLoadingWait);
    const QString path = prompts_.openFileName();
    if (path.isEmpty()) {
        report_.memo(kCancelled);
        report_.panel(2, kCancelled);
        return;
    }
    Load(path);
    report_.memo(kLoaded);
    report_.panel(2, kLoaded);
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
