#pragma once
// A spin button: an up and a down arrow stacked, each repeating its click
// while held (the first repeat 400 ms after the press, then every 100 ms).
// The arrows are named after the button ("VR1Up", "VR1Down") so tests and
// key maps can reach them. The button is a Tab stop of its own: with the
// focus on it, the Up and Down keys click its arrows, a held key no faster
// than a held arrow, and a frame in the highlight colour shows the focus.

#include <QElapsedTimer>
#include <QWidget>

class QKeyEvent;
class QToolButton;

namespace qm {

class SpinButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRepeatDelayMs = 400;
    static constexpr int kRepeatIntervalMs = 100;

    SpinButton(QWidget *parent, const QString &name, QRect rect);

    QToolButton *up() const { return up_; }
    QToolButton *down() const { return down_; }

signals:
    // Once per click and once per repeat of a held arrow.
    void upClicked();
    void downClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Clicks an arrow for an unmodified Up or Down key; false for other keys.
    bool arrowKey(const QKeyEvent *event);

    QToolButton *up_;
    QToolButton *down_;
    // Since the press of the key held, and the repeats let through since.
    QElapsedTimer held_;
    int repeats_ = 0;
};

} // namespace qm
