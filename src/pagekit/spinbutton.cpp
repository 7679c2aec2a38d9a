#include "pagekit/spinbutton.h"

#include <QKeyEvent>
#include <QPainter>
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
    // Tab only: a click on an arrow leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    connect(up_, &QToolButton::clicked, this, &SpinButton::upClicked);
    connect(down_, &QToolButton::clicked, this, &SpinButton::downClicked);
}

void SpinButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // One pixel all round is left for the focus frame.
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    const int half = inner.height() / 2;
    up_->setGeometry(inner.x(), inner.y(), inner.width(), half);
    down_->setGeometry(inner.x(), inner.y() + half, inner.width(), inner.height() - half);
}

bool SpinButton::arrowKey(const QKeyEvent *event)
{
    if (event->modifiers() & ~Qt::KeypadModifier)
        return false;
    if (event->key() != Qt::Key_Up && event->key() != Qt::Key_Down)
        return false;
    // The keyboard repeats a held key at its own rate, often faster than the
    // line carries a frame: repeats pass at the arrows' pace only.
    if (!event->isAutoRepeat()) {
        held_.start();
        repeats_ = 0;
    } else if (!held_.isValid() || held_.elapsed() < kRepeatDelayMs + qint64(repeats_) * kRepeatIntervalMs) {
        return true;
    } else {
        ++repeats_;
    }
    if (event->key() == Qt::Key_Up)
        emit upClicked();
    else
        emit downClicked();
    return true;
}

void SpinButton::keyPressEvent(QKeyEvent *event)
{
    if (!arrowKey(event))
        QWidget::keyPressEvent(event);
}

void SpinButton::paintEvent(QPaintEvent *)
{
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace qm
