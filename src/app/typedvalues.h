#pragma once
// Which family pages hold values the user typed since the program last
// read, loaded, stored or wrote them. A page counts once the user has
// edited one of its fields (typed into an edit, picked a list item, clicked
// a check or radio button; the program's own changes do not count) and
// its fields no longer equal the baseline taken at that last read, load,
// store or write (or at start-up), so a value typed back is no change.

#include "common/fieldtable.h"

#include <QHash>
#include <QList>
#include <QObject>

class QWidget;

namespace qm {

class FieldAccess;

class TypedValues : public QObject {
    Q_OBJECT
public:
    TypedValues(FieldAccess &fields, QObject *parent = nullptr);

    // A family page, its table and the name its question uses; the
    // baseline is the page as it stands now.
    void addPage(QWidget *page, const FieldTable &table, const QString &name);
    // The page has just been read, loaded, stored or written.
    void settle(QWidget *page);
    bool changed(QWidget *page) const;
    // The pages that changed, in the order they were added.
    QList<QWidget *> changedPages() const;
    QString name(QWidget *page) const { return pages_.value(page).name; }

private:
    struct Page {
        const FieldTable *table = nullptr;
        QString name;
        FieldValues baseline;
        bool edited = false;
    };

    FieldAccess &fields_;
    QHash<QWidget *, Page> pages_;
    QList<QWidget *> order_;
};

} // namespace qm
