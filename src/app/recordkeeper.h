#pragma once
// The window's records in the register of units: each read and write of a
// family page (seen through the Report its exchange is given), and what
// the other parts hand in (backups before a write, read-backs, compares,
// calibration records). They go to the register through a writer thread,
// so a slow server never holds up the window. Also 设置 → 记录数据库 and
// 功能 → 设备记录..., whose records load back into their page, undoably.

#include "common/unitrecord.h"

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QWidget;

namespace qm {

class FieldAccess;
class Prompts;
class RecordWriter;
class Report;
class SafetyNet;
class THistory_Form;
class TRegisterDb_Form;
struct Family;
struct RegisterTarget;

class RecordKeeper : public QObject {
    Q_OBJECT
public:
    // port: the port in use as "COM1=/dev/ttyUSB0".
    RecordKeeper(QWidget *window, FieldAccess &fields, Report &report, Prompts &prompts, SafetyNet &safetyNet,
                 std::function<QString()> port);
    ~RecordKeeper() override;

    // What a family page's exchanges report through: every line goes on to
    // next first, and each read and write that ends (answered, unanswered,
    // refused on the way or cancelled) leaves its record. model gives the
    // unit's model text (GBK), backup the backup the last successful read
    // left.
    Report &pageReport(const Family &family, Report &next, std::function<QByteArray()> model, std::function<QString()> backup);

    // A record of the window: port added, then to the register.
    void add(UnitRecord record);
    RecordWriter &writer() { return *writer_; }
    void setTarget(const RegisterTarget &target);
    // Loads a record's values into its family's page (undoable).
    void loadRecord(const UnitRecord &record);

    QAction *RegisterDb, *UnitHistory;
    void RegisterDbClick();
    void UnitHistoryClick();
    THistory_Form *historyForm() const { return history_; }
    TRegisterDb_Form *registerDbForm() const { return registerDb_; }

private:
    class PageReport;

    QWidget *window_;
    FieldAccess &fields_;
    Report &report_;
    Prompts &prompts_;
    SafetyNet &safetyNet_;
    std::function<QString()> port_;
    std::unique_ptr<RecordWriter> writer_;
    std::vector<std::unique_ptr<PageReport>> pageReports_;
    THistory_Form *history_ = nullptr;
    TRegisterDb_Form *registerDb_ = nullptr;
};

} // namespace qm
