#pragma once
// The test-password dialog: one of two fixed passwords opens the factory
// test page, the six-digit one with limited access. Once access is granted
// it holds for the rest of the run.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

class Prompts;

class TPassword : public QDialog {
    Q_OBJECT
public:
    TPassword(Prompts &prompts, QWidget *parent = nullptr);

    static const QString kLimitedPassword;
    static const QString kFullPassword;

    bool TestAccess() const { return testAccess_; }
    bool TestLimited() const { return testLimited_; }

    void Pass_OKClick();
    void Pass_CancelClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();

    Prompts &prompts_;
    QLabel *Label1;
    QLineEdit *PassText;
    QPushButton *Pass_OK;
    QPushButton *Pass_Cancel;
    bool testAccess_ = false;
    bool testLimited_ = false;
};

} // namespace qm
