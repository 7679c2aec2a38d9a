#include "app/safetynet.h"

#include "app/backuplistform.h"

#include "common/backupstore.h"
#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/fieldtable.h"
#include "common/report.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace qm {

SafetyNet::SafetyNet(QWidget *window, FieldAccess &fields, Report &report, std::function<QWidget *()> currentPage)
    : QObject(window)
    , window_(window)
    , fields_(fields)
    , report_(report)
    , currentPage_(std::move(currentPage))
{
    UndoPage = new QAction(QStringLiteral("撤销 (&U)"), window);
    UndoPage->setObjectName(QStringLiteral("UndoPage"));
    UndoPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    RedoPage = new QAction(QStringLiteral("重做 (&R)"), window);
    RedoPage->setObjectName(QStringLiteral("RedoPage"));
    RedoPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    // A window shortcut: a line edit with the focus takes Ctrl+Z for its
    // own typing first (it overrides the shortcut), so these only act when
    // no edit holds the focus, or from the menu.
    for (QAction *a : {UndoPage, RedoPage}) {
        a->setShortcutContext(Qt::WindowShortcut);
        window->addAction(a);
    }
    connect(UndoPage, &QAction::triggered, this, [this] { UndoPageClick(); });
    connect(RedoPage, &QAction::triggered, this, [this] { RedoPageClick(); });
    BackupList = new QAction(QStringLiteral("备份记录 (&B)..."), window);
    BackupList->setObjectName(QStringLiteral("BackupList"));
    connect(BackupList, &QAction::triggered, this, [this] { BackupListClick(); });
    updateActions();
    PruneBackups(BackupFolder(), QDate::currentDate());
}

QString SafetyNet::readSucceeded(QWidget *page, const QString &model)
{
    auto it = pages_.find(page);
    if (it == pages_.end())
        return {};
    try {
        return WriteBackup(BackupFolder(), *it->table, fields_, model);
    } catch (const Error &e) {
        report_.memo(e.message());
    }
    return {};
}

void SafetyNet::addPage(QWidget *page, const FieldTable &table, const QHash<QString, QString> &changes)
{
    pages_[page].table = &table;
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        auto *button = page->findChild<QPushButton *>(it.key());
        if (!button)
            continue;
        const QString label = it.value();
        connect(button, &QPushButton::clicked, this, [this, page, label] { record(page, label); });
    }
}

void SafetyNet::record(QWidget *page, const QString &label)
{
    auto it = pages_.find(page);
    if (it == pages_.end())
        return;
    const PageState before = CapturePage(*it->table, fields_);
    // Kept only when the change did change the page (a load cancelled in
    // its file dialog or a read refused at once leaves nothing to undo);
    // the click's own handler has run by the time this is looked at.
    QTimer::singleShot(0, this, [this, page, label, before] {
        auto p = pages_.find(page);
        if (p == pages_.end() || CapturePage(*p->table, fields_) == before)
            return;
        p->history.record(label, before);
        updateActions();
    });
}

void SafetyNet::addActions(QMenu *menu)
{
    menu->addAction(UndoPage);
    menu->addAction(RedoPage);
    menu->addSeparator();
    menu->addAction(BackupList);
    connect(menu, &QMenu::aboutToShow, this, [this] { updateActions(); });
}

void SafetyNet::BackupListClick()
{
    if (!backupList_)
        backupList_ = new TBackupList_Form([this](const QString &family, const QString &path) { loadBackup(family, path); }, window_);
    backupList_->refresh();
    backupList_->show();
    backupList_->raise();
}

QWidget *SafetyNet::pageOf(const QString &family) const
{
    for (auto it = pages_.begin(); it != pages_.end(); ++it)
        if (it->table->family == family)
            return it.key();
    return nullptr;
}

void SafetyNet::loadBackup(const QString &family, const QString &path)
{
    QWidget *page = pageOf(family);
    if (!page)
        return;
    record(page, QStringLiteral("载入备份"));
    try {
        LoadFieldsFromFile(*pages_[page].table, fields_, path);
        report_.memo(QStringLiteral("已载入备份：%1").arg(path));
    } catch (const Error &e) {
        report_.memo(e.message());
    }
}

SafetyNet::Page *SafetyNet::current()
{
    auto it = pages_.find(currentPage_());
    return it == pages_.end() ? nullptr : &*it;
}

void SafetyNet::UndoPageClick()
{
    walk(true);
}

void SafetyNet::RedoPageClick()
{
    walk(false);
}

void SafetyNet::walk(bool back)
{
    Page *page = current();
    if (!page || !(back ? page->history.canUndo() : page->history.canRedo())) {
        report_.memo(back ? QStringLiteral("没有可撤销的操作") : QStringLiteral("没有可重做的操作"));
        return;
    }
    const PageState now = CapturePage(*page->table, fields_);
    const auto step = back ? page->history.undo(now) : page->history.redo(now);
    RestorePage(*page->table, fields_, step.state);
    report_.memo((back ? QStringLiteral("已撤销：%1") : QStringLiteral("已重做：%1")).arg(step.label));
    updateActions();
}

void SafetyNet::updateActions()
{
    Page *page = current();
    UndoPage->setEnabled(page && page->history.canUndo());
    RedoPage->setEnabled(page && page->history.canRedo());
}

} // namespace qm
