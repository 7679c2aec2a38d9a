#pragma once
// The page fields as the exchange steps and the parameter files see them:
// by control name. The window answers from its widgets; a front end without
// a window can answer from its own store.

#include <QString>

namespace qm {

class FieldAccess {
public:
    virtual ~FieldAccess() = default;
    virtual bool has(const QString &name) const = 0;
    // Text of an edit, a combo box or a label.
    virtual QString text(const QString &name) const = 0;
    virtual void setText(const QString &name, const QString &text) = 0;
    // Radio buttons and check boxes. Checking a radio button unchecks its
    // partner and runs the button's click handler, as a click would.
    virtual bool checked(const QString &name) const = 0;
    virtual void setChecked(const QString &name, bool on) = 0;
    // Combo boxes: the index of the item whose text is the current text, or
    // -1. Setting an index outside the list selects nothing and empties the
    // text.
    virtual int itemIndex(const QString &name) const = 0;
    virtual void setItemIndex(const QString &name, int index) = 0;
    virtual void setEnabled(const QString &name, bool on) = 0;
};

} // namespace qm
