#pragma once
// The two check items around a page's write, both off by default so that a
// write stays the page's own exchange: "写录前先读取备份" reads the unit
// into a backup first (the page does not change) and writes only when that
// worked; "写录后校验" reads the unit back after a successful write and
// lists in the memo every field it holds differently from the page.

#include "common/fieldtable.h"

#include <QObject>
#include <functional>

class QAction;
class QMenu;

namespace qm {

class FieldAccess;
class Link;
class Report;
class UnitReader;
struct Family;

class WriteChecks : public QObject {
    Q_OBJECT
public:
    WriteChecks(QObject *owner, Link &link, FieldAccess &fields, Report &report, UnitReader &reader);

    void addActions(QMenu *menu);
    // A click of a family page's write button; write is the page's own
    // click handler.
    void WriteClick(const Family &family, std::function<void()> write);
    // A page write ended with its outcome line.
    void writeEnded(bool ok);

    QAction *backupAction() const { return BackupBeforeWrite; }
    QAction *verifyAction() const { return VerifyAfterWrite; }

private:
    void startWrite(const Family &family, const std::function<void()> &write);
    void verify();

    Link &link_;
    FieldAccess &fields_;
    Report &report_;
    UnitReader &reader_;
    QAction *BackupBeforeWrite, *VerifyAfterWrite;
    // The write under way: its family and the page as it was written.
    const Family *writing_ = nullptr;
    FieldValues written_;
};

} // namespace qm
