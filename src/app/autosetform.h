#pragma once
// The borderless detection window: it shows the trial of the line-settings
// search and drives it with its own 1.5 s timer. The window is modal but
// does not block its caller; it ends by closing itself.

#include "link/autoset.h"

#include <QDialog>
#include <functional>

class QLabel;
class QTimer;

namespace qm {

class TAutoSet_Form : public QDialog {
    Q_OBJECT
public:
    TAutoSet_Form(Link &link, Report &report, QWidget *parent);

    // Opens the window centred over its parent and starts the search; the
    // port text is the settings dialog's port. Nothing when a search runs.
    void run(const QString &portText);
    // Ends a running search without an outcome (the program is closing):
    // the timer stops, the window closes, nothing more goes out.
    void abort();
    // The user ends the search (取消, Escape): as abort(), and the line
    // settings in force before the search come back, "已取消" in the memo
    // and status panel 2.
    void cancel();
    bool searching() const;

    // The tick of Timer2; public so that a test can drive the search.
    void Timer2Timer();

    // Called once the window has closed on a good reply: starts the read
    // of the radio at the settings found.
    std::function<void()> onFound;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Escape cancels the search.
    void reject() override { cancel(); }

private:
    void FormShow();
    // Stops the timer and closes the window.
    void finish();
    // Runs a step of the search; an error (a write the port refuses) ends
    // the search as failed and reaches the top-level report.
    template <typename F>
    void guarded(F step);

    Link &link_;
    Report &report_;
    AutoSetSearch search_;
    // The line in force when the search began, back after a cancel.
    qint32 rateBefore_ = 0, parityBefore_ = 0;
    QLabel *Auto_Port;
    QLabel *Auto_Check;
    QLabel *Auto_Bps;
    QLabel *Auto_Trial;
    QTimer *Timer2;
    QString portText_;
};

} // namespace qm
