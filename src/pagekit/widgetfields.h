#pragma once
// The page fields as the widgets of a window hold them, found by objectName.

#include "common/fieldaccess.h"

#include <QHash>

class QWidget;

namespace qm {

// Fields found by objectName below a root widget.
class WidgetFields : public FieldAccess {
public:
    explicit WidgetFields(QWidget *root);
    bool has(const QString &name) const override;
    QString text(const QString &name) const override;
    void setText(const QString &name, const QString &text) override;
    bool checked(const QString &name) const override;
    void setChecked(const QString &name, bool on) override;
    int itemIndex(const QString &name) const override;
    void setItemIndex(const QString &name, int index) override;
    void setEnabled(const QString &name, bool on) override;

private:
    QWidget *find(const QString &name) const;
    QWidget *root_;
    mutable QHash<QString, QWidget *> cache_;
};

} // namespace qm
