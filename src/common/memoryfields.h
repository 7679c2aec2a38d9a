#pragma once
// Page fields held in memory, built from a family's field table, so the
// exchanges and the parameter files run without a window: edits and combo
// boxes hold a text (a combo's item is the one whose text it shows), check
// boxes a state, and checking one button of a radio pair unchecks its
// partner. Every field starts at the page's initial state.
//
// Buttons the exchanges enable and disable are not fields: setEnabled on
// any name is accepted and only remembered, and has() answers for the
// table's fields alone, so an exchange that enables another page's buttons
// only when they exist leaves them be.

#include "common/fieldaccess.h"

#include <QHash>
#include <QSet>
#include <QStringList>

namespace qm {

struct FieldTable;

class MemoryFields : public FieldAccess {
public:
    explicit MemoryFields(const FieldTable &table);
    // Several tables in one store (a window-less front end serving more
    // than one family at once).
    explicit MemoryFields(const QList<const FieldTable *> &tables);

    bool has(const QString &name) const override;
    QString text(const QString &name) const override;
    void setText(const QString &name, const QString &text) override;
    bool checked(const QString &name) const override;
    void setChecked(const QString &name, bool on) override;
    int itemIndex(const QString &name) const override;
    void setItemIndex(const QString &name, int index) override;
    void setEnabled(const QString &name, bool on) override;
    bool enabled(const QString &name) const { return !disabled_.contains(name); }

    // What the window's ClearFields does to these fields: every edit "0".
    void clearEdits();

private:
    enum class Kind { Edit, Check, Radio, Combo };
    struct Field {
        Kind kind = Kind::Edit;
        QString text;
        bool checked = false;
        QString partner;   // Radio
        QStringList items; // Combo
    };
    void add(const FieldTable &table);
    // Throws std::logic_error for a name that is no field, as the window's
    // fields do: an exchange asking for one is a programming error.
    Field &field(const QString &name);
    const Field &field(const QString &name) const;

    QHash<QString, Field> fields_;
    QSet<QString> disabled_;
};

} // namespace qm
