#include "headless/families.h"

#include "link/frame.h"
#include "link/linesettings.h"
#include "radio/dk618fields.h"
#include "units/mlb4800fields.h"
#include "units/mlr4800fields.h"

namespace qm {

namespace {
const Family kFamilies[] = {
    {QStringLiteral("dk618"), QStringLiteral("DK618"), Dk618Fields, 6, 0, 0x99, kSelector, 6, 2, 2, QStringLiteral("10.1 s"),
     {QStringLiteral("0x99 identification"), QStringLiteral("0x63 channel table"), QStringLiteral("0x67 address"),
      QStringLiteral("0x6B current channel"), QStringLiteral("0x72 operating modes")},
     {QStringLiteral("0x99 identification"), QStringLiteral("0x61 channel table write"), QStringLiteral("0x65 address write"),
      QStringLiteral("0x69 current channel write"), QStringLiteral("0x70 operating modes write")}},
    {QStringLiteral("mlb4800"), QStringLiteral("MLB4800"), Mlb4800Fields, 6, 0, 0x67, kSelector, 5, 1, 1, QStringLiteral("3.6 s"),
     {QStringLiteral("0x63 channel table"), QStringLiteral("0x67 address"), QStringLiteral("0x6B current channel"),
      QStringLiteral("0x73 air rate and transparency")},
     {QStringLiteral("0x61 channel table write"), QStringLiteral("0x65 address write"), QStringLiteral("0x69 current channel write"),
      QStringLiteral("0x71 air rate and transparency write")}},
    {QStringLiteral("mlr4800"), QStringLiteral("MLR4800"), Mlr4800Fields, 2, 1, 0x67, kSubscriberSelector, 6, 2, 1, QStringLiteral("3.6 s"),
     {QStringLiteral("0x63 uplink frequencies"), QStringLiteral("0x67 address"), QStringLiteral("0x73 rates and meter type")},
     {QStringLiteral("0x61 uplink frequencies write"), QStringLiteral("0x65 address write"),
      QStringLiteral("0x71 air rate and meter type write"), QStringLiteral("0x6D serial rate write")}},
};
} // namespace

const Family *FindFamily(const QString &name)
{
    for (const Family &f : kFamilies)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

QStringList FamilyNames()
{
    QStringList names;
    for (const Family &f : kFamilies)
        names << f.name;
    return names;
}

qint32 RateIndexOfText(const QString &text)
{
    bool ok = false;
    const int rate = text.toInt(&ok);
    for (qint32 i = 0; ok && i < kRateCount; ++i)
        if (RateOfIndex(i) == rate)
            return i;
    return -1;
}

qint32 ParityIndexOfText(const QString &text)
{
    const QString t = text.toLower();
    if (t == QLatin1String("n") || t == QLatin1String("none"))
        return 0;
    if (t == QLatin1String("e") || t == QLatin1String("even"))
        return 1;
    if (t == QLatin1String("o") || t == QLatin1String("odd"))
        return 2;
    return -1;
}

QChar ParityLetter(qint32 parityIndex)
{
    return QLatin1Char("NEO?"[std::clamp(parityIndex, 0, 3)]);
}

} // namespace qm
