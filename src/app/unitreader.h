#pragma once
// Reads of a family's unit into memory beside the pages, for the compare
// dialog and the write checks: the page does not change, and while a read
// runs the window keeps its page exchanges off the line (it skips their
// ticks) and the family's read and write buttons are disabled.

#include "common/unitrecord.h"
#include "headless/unitrun.h"

#include <QObject>
#include <functional>
#include <memory>

namespace qm {

class FieldAccess;
class Link;
class MemoryFields;
class Report;

class UnitReader : public QObject {
    Q_OBJECT
public:
    // buttons: the page fields whose read and write buttons are disabled
    // while a read runs.
    UnitReader(Link &link, FieldAccess &buttons, Report &report, QObject *parent = nullptr);
    ~UnitReader() override;

    // The outcome of a read: run.result() Ok means every value in fields
    // came from the unit's replies.
    using Done = std::function<void(const UnitRun &run, const MemoryFields &fields)>;
    // Reads family's unit; done is called when the read ends, at once when
    // it was refused (another exchange holds the line, the port is closed).
    // The backup of the read is named as made by source; one that could not
    // be written is one memo line. False, and done not called, while
    // another read of this reader runs.
    bool read(const Family &family, BackupSource source, Done done);
    bool busy() const;
    // Ends a running read now; its done follows with the run interrupted.
    void cancel();

private:
    void setButtons(const Family &family, bool on);

    Link &link_;
    FieldAccess &buttons_;
    Report &report_;
    std::unique_ptr<UnitRun> run_;
    std::unique_ptr<MemoryFields> fields_;
};

// Why a read failed, for a memo line: "无应答：no answer to 0x63 channel
// table within 10.1 s" and the like.
QString ReadFailureText(const UnitRun &run);

// The register's record of a read beside the page: the family, model
// text, result and, when it succeeded, every value read and its backup.
UnitRecord ReadRecord(const UnitRun &run, const MemoryFields &fields, const QString &action);

} // namespace qm
