#pragma once
// The window's undo and redo of what the program does to a page: every
// read and parameter-file load of a family page is recorded before it
// changes the page, and "撤销" / "重做" walk back and forth through them.

#include "common/pagehistory.h"

#include <QHash>
#include <QObject>
#include <functional>

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace qm {

class FieldAccess;
class Report;
class TBackupList_Form;
struct FieldTable;

class SafetyNet : public QObject {
    Q_OBJECT
public:
    // fields are the window's; currentPage tells which page is shown.
    SafetyNet(QWidget *window, FieldAccess &fields, Report &report, std::function<QWidget *()> currentPage);

    // A family page and its table. Its buttons named in changes (objectName
    // -> label) record the page before their own click handlers run, so
    // call this before the page's buttons are connected.
    void addPage(QWidget *page, const FieldTable &table, const QHash<QString, QString> &changes);
    // Records page before a change the program makes outside those buttons.
    void record(QWidget *page, const QString &label);
    void addActions(QMenu *menu);
    // A read of page succeeded: its values go into a backup file, whose
    // path is returned; a failure is one memo line (and an empty path).
    QString readSucceeded(QWidget *page, const QString &model);

    void BackupListClick();
    // Loads a backup into its family's page as a parameter-file load
    // does; undoable. The page is not shown by this.
    void loadBackup(const QString &family, const QString &path);
    QWidget *pageOf(const QString &family) const;

    void UndoPageClick();
    void RedoPageClick();
    QAction *undoAction() const { return UndoPage; }
    QAction *redoAction() const { return RedoPage; }
    TBackupList_Form *backupListForm() const { return backupList_; }

private:
    struct Page {
        const FieldTable *table = nullptr;
        PageHistory history;
    };
    Page *current();
    // One step back (undo) or forward (redo) on the page shown.
    void walk(bool back);
    void updateActions();

    QWidget *window_;
    FieldAccess &fields_;
    Report &report_;
    std::function<QWidget *()> currentPage_;
    QHash<QWidget *, Page> pages_;
    QAction *UndoPage, *RedoPage, *BackupList;
    TBackupList_Form *backupList_ = nullptr;
};

} // namespace qm
