#pragma once
// "比较...": the shown family page against its unit (read into memory, the
// page does not change), a parameter file or a backup, field by field in
// the comparison dialog. The differences are the ones `qmset verify`
// finds (Differences of the field table).

#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace qm {

class FieldAccess;
class Prompts;
class Report;
class TCompare_Form;
class UnitReader;
struct Family;

class ComparePage : public QObject {
    Q_OBJECT
public:
    // family tells the family of the page shown, or null.
    ComparePage(QWidget *window, FieldAccess &fields, Report &report, Prompts &prompts, UnitReader &reader,
                std::function<const Family *()> family);

    QAction *action() const { return ComparePage_; }
    void ComparePageClick();
    TCompare_Form *form() const { return form_; }

private:
    void compareUnit();
    // A parameter file, or a backup (which holds more of the page).
    void compareFile(const QString &path, bool backup);

    QWidget *window_;
    FieldAccess &fields_;
    Report &report_;
    Prompts &prompts_;
    UnitReader &reader_;
    std::function<const Family *()> family_;
    // The family the dialog compares, from its opening on.
    const Family *comparing_ = nullptr;
    QAction *ComparePage_;
    TCompare_Form *form_ = nullptr;
};

} // namespace qm
