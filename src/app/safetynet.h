#pragma once
// The window's undo and redo of what the program does to the pages: every
// read, parameter-file load and backup load is a change that keeps the
// pages it may touch as they were when it began, and when it is over the
// pages it did change make one undo step; "撤销" / "重做" walk back and forth
// through them. A read that empties every page (the data radio's and the
// central unit's) is one step of all of them, undone together.

#include "common/pagehistory.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace qm {

namespace text {
// What a parameter-file load is called in the memo of its undo.
inline const QString LoadFileChange = QStringLiteral("读取文档");
} // namespace text

class FieldAccess;
class Report;
class TBackupList_Form;
struct FieldTable;

class SafetyNet : public QObject {
    Q_OBJECT
public:
    // fields are the window's; currentPage tells which page is shown, busy
    // whether an exchange of a page runs.
    SafetyNet(QWidget *window, FieldAccess &fields, Report &report, std::function<QWidget *()> currentPage,
              std::function<bool(QWidget *page)> busy);

    // A family page and its table. readClearsEveryPage: its read sets every
    // edit of the window to "0" before it asks, so it changes every page.
    void addPage(QWidget *page, const FieldTable &table, bool readClearsEveryPage);
    void addActions(QMenu *menu);

    // ---- Changes the program makes to pages --------------------------------
    // A change called label begins: pages (every family page when empty)
    // are kept as they are now. Returns the change's id for end().
    quint64 begin(const QString &label, const QList<QWidget *> &pages = {});
    // The change is over: the pages it changed make one undo step, named
    // label and detail ("读取文档 FILE"); when none changed, none is kept.
    void end(quint64 id, const QString &detail = {});
    // begin, work, end: a change made at once (a file or a backup loaded, a
    // stored record put into a page). work may name what it loads in
    // *detail; the step is kept also when work throws (a load stopped
    // half-way has changed the page).
    void change(QWidget *page, const QString &label, const std::function<void(QString *detail)> &work);
    // A click of page's read button: click is its handler. The change stays
    // open while the page's exchange runs and ends with it.
    void read(QWidget *page, const std::function<void()> &click);
    // A line of an exchange: the reads that have ended close their change.
    void exchangeReported();

    // A read of page succeeded: its values go into a backup file, whose
    // path is returned; a failure is one memo line (and an empty path).
    QString readSucceeded(QWidget *page, const QString &model);

    void BackupListClick();
    // Loads a backup into its family's page, everything its read filled, as
    // a change that can be undone. The page is not shown by this.
    void loadBackup(const QString &family, const QString &path);
    QWidget *pageOf(const QString &family) const;

    // Both refuse while an exchange of a page they would restore runs.
    void UndoPageClick();
    void RedoPageClick();
    QAction *undoAction() const { return UndoPage; }
    QAction *redoAction() const { return RedoPage; }
    TBackupList_Form *backupListForm() const { return backupList_; }

private:
    struct Page {
        const FieldTable *table = nullptr;
        bool readClearsEveryPage = false;
        PageHistory history;
    };
    struct Change {
        QString label;
        QHash<QWidget *, PageState> before;
        QWidget *reading = nullptr; // a read of this page, open while it runs
        bool clicking = false;      // its click handler has not returned yet
    };
    Page *current();
    // A page being changed now: its exchange runs, or a read that will
    // change it is still open.
    bool changing(QWidget *page) const;
    // One step back (undo) or forward (redo) on the page shown, with the
    // other pages of its change.
    void walk(bool back);
    void updateActions();

    QWidget *window_;
    FieldAccess &fields_;
    Report &report_;
    std::function<QWidget *()> currentPage_;
    std::function<bool(QWidget *)> busy_;
    QHash<QWidget *, Page> pages_;
    QList<QWidget *> order_; // pages as added
    QHash<quint64, Change> open_;
    quint64 nextId_ = 1;
    QAction *UndoPage, *RedoPage, *BackupList;
    TBackupList_Form *backupList_ = nullptr;
};

} // namespace qm
