#pragma once
// A panel of the status bar: a text too long for the panel is shortened
// with "…" (at the end, or in the middle where both ends matter) instead
// of being cut off, and then its tool tip shows the whole text above the
// panel's own tip. text() is always the whole text; set it through
// setPanelText() so the tip follows.

#include <QLabel>

namespace qm {

class PanelLabel : public QLabel {
    Q_OBJECT
public:
    PanelLabel(Qt::TextElideMode mode, QWidget *parent);
    void setPanelText(const QString &text);
    // The tip the panel has whatever its text (the port panel's device).
    void setOwnTip(const QString &tip);
    // The text as the panel shows it.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateTip();
    Qt::TextElideMode mode_;
    QString ownTip_;
};

} // namespace qm
