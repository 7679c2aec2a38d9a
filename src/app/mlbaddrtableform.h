#pragma once
// The central unit's address-table dialog. The tool has no address-table
// command for the central unit, so the dialog is built with the main window
// and kept, but nothing opens it and its buttons do nothing.
//
// It is a window of its own, not a child of the main window: its Edit1 must
// not be what a lookup by name below the main window finds (the subscriber
// page has an Edit1 of its own), and clearing the page fields must not
// reach it.

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace qm {

class TMlbAddrTable_Form : public QDialog {
    Q_OBJECT
public:
    // owner: the window it is centred on when shown.
    explicit TMlbAddrTable_Form(QWidget *owner);

    QFrame *Panel1;
    QTableWidget *StringGrid1;
    QLineEdit *Edit1, *Edit2;
    QLabel *Label1;
    QCheckBox *SetwithBlock;
    QPushButton *SetAddress, *ReadAddress, *Close_SetAddr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPointer<QWidget> owner_;
};

} // namespace qm
