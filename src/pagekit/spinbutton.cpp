#include "pagekit/spinbutton.h"

#include <QToolButton>

namespace qm {

namespace {
QToolButton *makeArrow(QWidget *parent, const QString &name, Qt::ArrowType arrow)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(SpinButton::kRepeatDelayMs);
    button->setAutoRepeatInterval(SpinButton::kRepeatIntervalMs);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

SpinButton::SpinButton(QWidget *parent, const QString &name, QRect rect)
    : QWidget(parent)
    , up_(makeArrow(this, name + QStringLiteral("Up"), Qt::UpArrow))
    , down_(makeArrow(this, name + QStringLiteral("Down"), Qt::DownArrow))
{
    setObjectName(name);
    setGeometry(rect);
    connect(up_, &QToolButton::clicked, this, &SpinButton::upClicked);
    connect(down_, &QToolButton::clicked, this, &SpinButton::downClicked);
}

void SpinButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

} // namespace qm
