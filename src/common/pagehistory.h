#pragma once
// The program's changes of a page, kept so they can be taken back: before a
// read, a load or a clearing the page's state is captured through its field
// table; undo brings the last captured state back and keeps the state it
// replaced for redo. Typing is not recorded here: an edit has its own undo.

#include <QList>
#include <QMap>
#include <QString>
#include <QtGlobal>

namespace qm {

class FieldAccess;
struct FieldTable;

// objectName -> the control's own state: an edit's or combo's text, "1" /
// "0" for a check box or the named button of a radio pair.
using PageState = QMap<QString, QString>;

PageState CapturePage(const FieldTable &table, const FieldAccess &fields);
// Puts every field of table back as state holds it; a combo whose text is
// one of its items gets that item. Fields missing from state are left alone.
void RestorePage(const FieldTable &table, FieldAccess &fields, const PageState &state);

class PageHistory {
public:
    explicit PageHistory(int depth = 50)
        : depth_(depth)
    {
    }

    struct Step {
        QString label; // what the change was: "读取数据", "读取文档 FILE", ...
        PageState state;
        // One change of several pages puts a step with the same group into
        // each page's history, so that they are undone together; 0 for a
        // change of this page alone.
        quint64 group = 0;
    };

    // The page as it was before the change called label. A new change
    // ends what could be redone; the oldest steps go beyond depth.
    void record(const QString &label, const PageState &before, quint64 group = 0);
    bool canUndo() const { return !undo_.isEmpty(); }
    bool canRedo() const { return !redo_.isEmpty(); }
    // The step undo() or redo() would take; call only when it can.
    const Step &nextUndo() const { return undo_.last(); }
    const Step &nextRedo() const { return redo_.last(); }
    // The state to put back and the change it takes back; current (the
    // page now) is kept for redo. Call only when canUndo().
    Step undo(const PageState &current);
    // The state the last undo replaced; current is kept for undo again.
    Step redo(const PageState &current);
    int undoCount() const { return int(undo_.size()); }

private:
    int depth_;
    QList<Step> undo_, redo_;
};

} // namespace qm
