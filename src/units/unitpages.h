#pragma once
// The central-unit (MLB4800) and subscriber-unit (MLR4800) pages. Their
// exchanges come later; the subscriber page already carries the three lists
// that choosing its family resets.

#include <QWidget>

class QComboBox;

namespace qm {

// The two heading labels of a unit page: "终端类型：" and the series text.
void AddPageHeading(QWidget *page, const QString &series);

// A page with those two heading labels and nothing else.
QWidget *makeHeadedPage(const QString &objectName, const QString &series, QWidget *parent = nullptr);

class Mlr4800Page : public QWidget {
    Q_OBJECT
public:
    explicit Mlr4800Page(QWidget *parent = nullptr);
    QComboBox *Mlr4800ComRate;
    QComboBox *Mlr4800_Airrate;
    QComboBox *Meter_Category;
};

} // namespace qm
