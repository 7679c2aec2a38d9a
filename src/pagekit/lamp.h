#pragma once
// An indicator lamp: a round light, lit in its colour or dark. It is a
// checkable button to the page fields (checked = lit) but takes neither
// clicks nor focus: only the program switches it.

#include <QAbstractButton>
#include <QColor>

namespace qm {

class Lamp : public QAbstractButton {
    Q_OBJECT
public:
    Lamp(QWidget *parent, const QString &name, QRect rect, const QColor &litColour = Qt::red);

    bool lit() const { return isChecked(); }
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor lit_;
};

} // namespace qm
