#include "units/unitpages.h"

#include "pagekit/widgetmaker.h"

#include <QComboBox>
#include <QLabel>

namespace qm {

void AddPageHeading(QWidget *page, const QString &series)
{
    makeLabel(page, QStringLiteral("终端类型："), {10, 8});
    QLabel *label = makeLabel(page, series, {80, 8});
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->adjustSize();
}

QWidget *makeHeadedPage(const QString &objectName, const QString &series, QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(objectName);
    AddPageHeading(page, series);
    return page;
}

Mlr4800Page::Mlr4800Page(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MLR4800_TabSheet"));
    AddPageHeading(this, QStringLiteral("QM--4700系列之MLR4800"));
    makeLabel(this, QStringLiteral("终端通讯速率"), {10, 44});
    Mlr4800ComRate = makeCombo(this, QStringLiteral("Mlr4800ComRate"), {96, 40, 90, 22},
                               {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                                QStringLiteral("9600"), QStringLiteral("19200")},
                               false);
    Mlr4800ComRate->setCurrentIndex(-1);
    makeLabel(this, QStringLiteral("终端空中速率"), {10, 74});
    Mlr4800_Airrate = makeCombo(this, QStringLiteral("Mlr4800_Airrate"), {96, 70, 90, 22},
                                {QStringLiteral("19200A"), QStringLiteral("9600A"), QStringLiteral("9600B")}, false);
    Mlr4800_Airrate->setCurrentIndex(-1);
    Mlr4800_Airrate->setPlaceholderText(QStringLiteral("Mlr4800_Airrate"));
    makeLabel(this, QStringLiteral("电表类型"), {10, 104});
    Meter_Category = makeCombo(this, QStringLiteral("Meter_Category"), {96, 100, 90, 22},
                               {QStringLiteral("DL/T 645"), QStringLiteral("其他")}, false);
}

} // namespace qm
