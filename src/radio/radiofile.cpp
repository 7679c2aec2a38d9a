#include "radio/radiofile.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/filecommands.h"
#include "common/gbktexts.h"
#include "common/inifile.h"

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

void RadioFile::Dk618_Save_FileClick()
{
    StoreParameterFile(report_, prompts_, [this](const QString &path) { Store(path); });
}

void RadioFile::Dk618_Read_FileClick()
{
    LoadParameterFile(report_, prompts_, [this](const QString &path) { Load(path); });
}

void RadioFile::Store(const QString &path)
{
    using namespace gbk;
    IniDocument doc = IniDocument::loadParameters(path, true);
    auto put = [&](const QByteArray &key, const QByteArray &value) { doc.setValue(SectionDk618, key, value); };
    auto putText = [&](const QByteArray &key, const QString &field) { put(key, EncodeGbk(f_.text(field))); };
    for (int i = 0; i < 10; ++i) {
        putText(TxFreqKeys[i], QStringLiteral("TxFreq%1").arg(i));
        putText(RxFreqKeys[i], QStringLiteral("RxFreq%1").arg(i));
    }
    putText(KeyCurrentChannel, QStringLiteral("Dk618_CurrentChannel"));
    putText(KeyDeviceAddress, QStringLiteral("Dk618_Address"));
    put(KeyTransferMode, f_.checked(QStringLiteral("TransparentMode")) ? ValueTransparent : ValueProtocol);
    put(KeyAddressMode, f_.checked(QStringLiteral("Select_ANI_Invalid")) ? ValueInvalid : ValueValid);
    putText(KeyBaudRate, QStringLiteral("Dk618_Baudrate"));
    putText(KeyParity, QStringLiteral("Dk618_Checkmode"));
    put(KeyAirRate, f_.checked(QStringLiteral("AirRate9600")) ? QByteArrayLiteral("9600") : QByteArrayLiteral("19200"));
    put(KeyRelayMode, f_.checked(QStringLiteral("TransMode")) ? ValueValid : ValueInvalid);
    doc.save();
}

void RadioFile::Load(const QString &path)
{
    using namespace gbk;
    const IniDocument doc = IniDocument::loadParameters(path, false);
    auto get = [&](const QByteArray &key, const QByteArray &def) { return doc.value(SectionDk618, key, def); };
    auto number = [&](const QByteArray &key, const QByteArray &def) { return StrToInt(DecodeGbk(get(key, def))); };
    auto loadNumber = [&](const QByteArray &key, const QString &field, const QByteArray &def) {
        f_.setText(field, QString::number(number(key, def)));
    };
    for (int i = 0; i < 10; ++i) {
        loadNumber(TxFreqKeys[i], QStringLiteral("TxFreq%1").arg(i), "0");
        loadNumber(RxFreqKeys[i], QStringLiteral("RxFreq%1").arg(i), "0");
    }
    loadNumber(KeyCurrentChannel, QStringLiteral("Dk618_CurrentChannel"), "0");
    loadNumber(KeyDeviceAddress, QStringLiteral("Dk618_Address"), "1");
    // Transfer mode before address mode: "有效" stands only with "协议".
    f_.setChecked(get(KeyTransferMode, ValueTransparent) == ValueTransparent ? QStringLiteral("TransparentMode")
                                                                             : QStringLiteral("ProtocolMode"),
                  true);
    f_.setChecked(get(KeyAddressMode, ValueInvalid) == ValueInvalid ? QStringLiteral("Select_ANI_Invalid")
                                                                    : QStringLiteral("Select_ANI_Valid"),
                  true);
    f_.setItemIndex(QStringLiteral("Dk618_Baudrate"), RateItemOfStoredRate(number(KeyBaudRate, "9600")));
    const QByteArray parity = get(KeyParity, ValueNoParity);
    f_.setItemIndex(QStringLiteral("Dk618_Checkmode"), parity == ValueNoParity ? 0 : parity == ValueEvenParity ? 1 : 2);
    f_.setChecked(get(KeyAirRate, "19200") == "19200" ? QStringLiteral("AirRate19200") : QStringLiteral("AirRate9600"), true);
    f_.setChecked(QStringLiteral("TransMode"), get(KeyRelayMode, ValueInvalid) == ValueValid);
}

} // namespace qm
