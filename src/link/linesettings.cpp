#include "link/linesettings.h"

namespace qm {

namespace {
constexpr qint32 kRates[kRateCount] = {300, 600, 1200, 2400, 4800, 9600, 19200};
constexpr char kParityLetters[kParityCount] = {'N', 'E', 'O'};
} // namespace

qint32 RateOfIndex(qint32 rateIndex)
{
    return rateIndex >= 0 && rateIndex < kRateCount ? kRates[rateIndex] : 0;
}

QString LineSettingTexts(qint32 index)
{
    if (index < 0 || index >= kRateCount * kParityCount)
        return {};
    return QStringLiteral(",%1,%2,8,1").arg(kRates[index / 3]).arg(QLatin1Char(kParityLetters[index % 3]));
}

QString PortNameOfIndex(qint32 portIndex)
{
    return QStringLiteral("COM%1").arg(((portIndex % 4) + 4) % 4 + 1);
}

QStringList RateItems()
{
    return {QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("1200"), QStringLiteral("2400"),
            QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200")};
}

QStringList ParityItems()
{
    return {QStringLiteral("无校验"), QStringLiteral("偶校验"), QStringLiteral("奇校验")};
}

} // namespace qm
