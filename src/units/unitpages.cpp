#include "units/unitpages.h"

#include "pagekit/widgetmaker.h"

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

} // namespace qm
