#pragma once
// What the unit pages share: the heading, and a page that carries nothing
// but its heading.

#include <QWidget>

namespace qm {

// The two heading labels of a unit page: "终端类型：" and the series text.
void AddPageHeading(QWidget *page, const QString &series);

// A page with those two heading labels and nothing else.
QWidget *makeHeadedPage(const QString &objectName, const QString &series, QWidget *parent = nullptr);

} // namespace qm
