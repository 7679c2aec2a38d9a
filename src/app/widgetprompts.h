#pragma once
// The window's way of asking: message boxes and the parameter-file dialogs.

#include "common/prompts.h"

class QWidget;

namespace qm {

class WidgetPrompts : public Prompts {
public:
    explicit WidgetPrompts(QWidget *parent);
    void message(const QString &text) override;
    bool confirm(const QString &caption, const QString &text) override;
    QString saveFileName() override;
    QString openFileName() override;
    QString saveFileNameFor(const QString &filter, const QString &suffix, bool replaces) override;
    SaveAnswer askSave(const QString &text) override;
    // The folder the dialogs last used; other dialogs of the window share it.
    QString lastFolder() const { return lastFolder_; }
    void useFolder(const QString &folder) { lastFolder_ = folder; }

private:
    QWidget *parent_;
    QString lastFolder_;
};

} // namespace qm
