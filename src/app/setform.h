#pragma once
// The serial settings dialog: port, rate and parity lists, OK, automatic and
// cancel. It only holds the choices; the main window applies them.

#include "link/linesettings.h"

#include <QDialog>

class QComboBox;
class QPushButton;

namespace qm {

class TSet_Form : public QDialog {
    Q_OBJECT
public:
    explicit TSet_Form(QWidget *parent = nullptr);

    // Selects the given settings in the three lists. The lists always hold
    // valid selections, from start-up on.
    void selectCurrent(const LineSettings &line);
    // The port, rate and parity chosen in the lists.
    LineSettings chosen() const;
    QString portText() const;

signals:
    void okPressed();
    void autoPressed();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QComboBox *Comport;
    QComboBox *Comrate;
    QComboBox *Checkmode;
    QPushButton *Set_ComOK;
    QPushButton *Set_ComAuto;
    QPushButton *Set_ComEsc;
    LineSettings shown_;
};

} // namespace qm
