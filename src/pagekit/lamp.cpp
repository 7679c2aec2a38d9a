#include "pagekit/lamp.h"

#include <QPainter>

namespace qm {

Lamp::Lamp(QWidget *parent, const QString &name, QRect rect, const QColor &litColour)
    : QAbstractButton(parent)
    , lit_(litColour)
{
    setObjectName(name);
    setGeometry(rect);
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRectF disc((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const QColor face = isChecked() ? lit_ : lit_.darker(400);
    QRadialGradient shine(disc.center() - QPointF(side / 5.0, side / 5.0), side / 1.4);
    shine.setColorAt(0, face.lighter(isChecked() ? 170 : 140));
    shine.setColorAt(1, face);
    painter.setBrush(shine);
    painter.setPen(QPen(palette().color(QPalette::Dark), 1));
    painter.drawEllipse(disc);
}

} // namespace qm
