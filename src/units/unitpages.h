#pragma once
// The central-unit (MLB4800) and subscriber-unit (MLR4800) pages. Their
// exchanges come later; the subscriber page already carries the three lists
// that choosing its family resets.

#include <QWidget>

class QComboBox;

namespace qm {

// A page with the two heading labels "终端类型：" and its series text.
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
