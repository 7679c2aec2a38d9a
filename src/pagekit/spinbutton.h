#pragma once
// A spin button: an up and a down arrow stacked, each repeating its click
// while held (the first repeat 400 ms after the press, then every 100 ms).
// The arrows are named after the button ("VR1Up", "VR1Down") so tests and
// key maps can reach them.

#include <QWidget>

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

private:
    QToolButton *up_;
    QToolButton *down_;
};

} // namespace qm
