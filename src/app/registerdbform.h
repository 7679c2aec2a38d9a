#pragma once
// 设置 → 记录数据库: where the window keeps its records for the rest of the
// run, the SQLite file of the data folder or a PostgreSQL server shared by
// a line. The dialog hands back the target; the window applies it. Like
// the port chosen in 系统参数, nothing is stored between runs: a station
// that always uses a server names it in QMSET_DB.

#include "register/registertarget.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace qm {

class TRegisterDb_Form : public QDialog {
    Q_OBJECT
public:
    explicit TRegisterDb_Form(QWidget *parent = nullptr);

    // Shows current as the choice.
    void select(const RegisterTarget &current);
    // The choice; valid after accept().
    RegisterTarget chosen() const { return chosen_; }
    // Connects to the choice and says whether that worked.
    void RegisterTestClick();

protected:
    void accept() override;

private:
    // The target the dialog shows; false with the reason.
    bool target(RegisterTarget *target, QString *error) const;

    RegisterTarget chosen_;
    QRadioButton *RegisterLocal, *RegisterServer;
    QLineEdit *RegisterUrl;
    QLabel *RegisterStatus;
};

} // namespace qm
