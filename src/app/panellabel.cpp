#include "app/panellabel.h"

#include <QPainter>
#include <QStyle>

namespace qm {

PanelLabel::PanelLabel(Qt::TextElideMode mode, QWidget *parent)
    : QLabel(parent)
    , mode_(mode)
{
}

void PanelLabel::setPanelText(const QString &text)
{
    setText(text);
    updateTip();
}

void PanelLabel::setOwnTip(const QString &tip)
{
    ownTip_ = tip;
    updateTip();
}

QString PanelLabel::shownText() const
{
    return fontMetrics().elidedText(text(), mode_, contentsRect().width() - 2 * margin());
}

void PanelLabel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shownText(), foregroundRole());
}

void PanelLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateTip();
}

void PanelLabel::updateTip()
{
    const bool shortened = shownText() != text();
    const QString tip = shortened ? (ownTip_.isEmpty() ? text() : text() + QLatin1Char('\n') + ownTip_) : ownTip_;
    if (toolTip() != tip)
        setToolTip(tip);
}

} // namespace qm
