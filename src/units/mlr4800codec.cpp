#include "units/mlr4800codec.h"

#include <QStringList>

namespace qm::mlr4800 {

namespace {
struct RateEntry {
    const char *Text;
    quint8 Code;      // written by the tool
    quint8 PlainCode; // also understood when read
    qint32 LineIndex; // RateIndex of the tool's own line
};
// Item 0 ("1200") is whatever no other row claims.
constexpr RateEntry kRates[] = {
    {"1200", 0x2C, 0x2C, 2}, {"2400", 0xC2, 0x02, 3}, {"4800", 0x39, 0x04, 4},
    {"9600", 0x93, 0x08, 5}, {"19200", 0xA5, 0x10, 6},
};
} // namespace

QStringList RateItems()
{
    QStringList items;
    for (const RateEntry &r : kRates)
        items << QString::fromLatin1(r.Text);
    return items;
}

QStringList MeterItems()
{
    return {QStringLiteral("DL/T 645"), QStringLiteral("其他")};
}

quint8 RateCode(const QString &text)
{
    for (const RateEntry &r : kRates)
        if (text == QLatin1String(r.Text))
            return r.Code;
    return kRates[0].Code;
}

int RateItemOfCode(quint8 code)
{
    for (int i = 1; i < int(std::size(kRates)); ++i)
        if (code == kRates[i].Code || code == kRates[i].PlainCode)
            return i;
    return 0;
}

qint32 LineRateIndexOfCode(quint8 code)
{
    return kRates[RateItemOfCode(code)].LineIndex;
}

quint8 MeterTypeCode(int itemIndex)
{
    return itemIndex == 1 ? 0xA5 : 0x5A;
}

int MeterItemOfCode(quint8 code)
{
    return code == 0xA5 ? 1 : 0;
}

} // namespace qm::mlr4800
