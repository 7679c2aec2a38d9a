#include "units/aircode.h"

namespace qm::units {

QStringList AirRateItems()
{
    return {QStringLiteral("19200A"), QStringLiteral("9600A"), QStringLiteral("9600B")};
}

quint8 AirRateCode(const QString &text)
{
    if (text == QLatin1String("19200A"))
        return 0x40;
    if (text == QLatin1String("9600B"))
        return 0x80;
    return 0xC0;
}

int AirRateItemOfCode(quint8 code)
{
    return code == 0x40 ? 0 : code == 0x80 ? 2 : 1;
}

} // namespace qm::units
