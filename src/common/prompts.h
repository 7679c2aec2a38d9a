#pragma once
// What the tool asks of the user: plain messages, OK/Cancel confirmations and
// the parameter-file dialogs. The window uses message boxes and file dialogs;
// tests and a command-line front end answer through their own Prompts.

#include <QString>
#include <QStringList>

namespace qm {

class Prompts {
public:
    virtual ~Prompts() = default;
    // A plain message box with one OK button.
    virtual void message(const QString &text) = 0;
    // OK/Cancel box with the exclamation icon; true for OK.
    virtual bool confirm(const QString &caption, const QString &text) = 0;
    // File dialogs of the parameter files; an empty result means cancelled.
    virtual QString saveFileName() = 0;
    virtual QString openFileName() = 0;
    // A save dialog for another kind of file: filter as a file dialog takes
    // it ("CSV 文件 (*.csv)"), suffix added to a name typed without one;
    // replaces: the save replaces a chosen file, so the dialog asks first.
    // Answered like saveFileName() unless a front end knows better.
    virtual QString saveFileNameFor(const QString &filter, const QString &suffix, bool replaces)
    {
        (void)filter;
        (void)suffix;
        (void)replaces;
        return saveFileName();
    }
    // Something would be lost (text says what): 保存 / 不保存 / 取消, with
    // Escape for 取消. Nobody to ask means 取消.
    enum class SaveAnswer { Save, Discard, Cancel };
    virtual SaveAnswer askSave(const QString &text)
    {
        message(text);
        return SaveAnswer::Cancel;
    }
};

// Prompts with nobody to ask (a run without a window, a benchmark): every
// message kept, so the caller can tell what went wrong; confirmations
// refused; file dialogs cancelled.
class RecordingPrompts : public Prompts {
public:
    QStringList messages;
    void message(const QString &text) override { messages << text; }
    bool confirm(const QString &, const QString &text) override
    {
        messages << text;
        return false;
    }
    QString saveFileName() override { return {}; }
    QString openFileName() override { return {}; }
};

} // namespace qm
