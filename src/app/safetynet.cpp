#include "app/safetynet.h"

#include "app/backuplistform.h"

#include "common/backupstore.h"
#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/fieldtable.h"
#include "common/report.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>

namespace qm {

namespace {
const QString kRead = QStringLiteral("读取数据");
const QString kLoadBackup = QStringLiteral("载入备份");
} // namespace

SafetyNet::SafetyNet(QWidget *window, FieldAccess &fields, Report &report, std::function<QWidget *()> currentPage,
                     std::function<bool(QWidget *page)> busy)
    : QObject(window)
    , window_(window)
    , fields_(fields)
    , report_(report)
    , currentPage_(std::move(currentPage))
    , busy_(std::move(busy))
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

void SafetyNet::addPage(QWidget *page, const FieldTable &table, bool readClearsEveryPage)
{
    Page &p = pages_[page];
    p.table = &table;
    p.readClearsEveryPage = readClearsEveryPage;
    if (!order_.contains(page))
        order_.append(page);
}

void SafetyNet::addActions(QMenu *menu)
{
    menu->addAction(UndoPage);
    menu->addAction(RedoPage);
    menu->addSeparator();
    menu->addAction(BackupList);
    connect(menu, &QMenu::aboutToShow, this, [this] { updateActions(); });
}

quint64 SafetyNet::begin(const QString &label, const QList<QWidget *> &pages)
{
    const quint64 id = nextId_++;
    Change &c = open_[id];
    c.label = label;
    for (QWidget *page : pages.isEmpty() ? order_ : pages)
        if (const auto it = pages_.constFind(page); it != pages_.constEnd())
            c.before.insert(page, CapturePage(*it->table, fields_));
    return id;
}

void SafetyNet::end(quint64 id, const QString &detail)
{
    const auto it = open_.find(id);
    if (it == open_.end())
        return;
    const Change c = *it;
    open_.erase(it);
    const QString label = detail.isEmpty() ? c.label : c.label + QLatin1Char(' ') + detail;
    QList<QWidget *> changed;
    for (auto b = c.before.begin(); b != c.before.end(); ++b)
        if (CapturePage(*pages_[b.key()].table, fields_) != b.value())
            changed << b.key();
    // Pages changed together are undone together; one alone needs no group.
    const quint64 group = changed.size() > 1 ? id : 0;
    for (QWidget *page : changed)
        pages_[page].history.record(label, c.before.value(page), group);
    updateActions();
}

void SafetyNet::change(QWidget *page, const QString &label, const std::function<void(QString *detail)> &work)
{
    const quint64 id = begin(label, {page});
    QString detail;
    try {
        work(&detail);
    } catch (...) {
        end(id, detail);
        throw;
    }
    end(id, detail);
}

void SafetyNet::read(QWidget *page, const std::function<void()> &click)
{
    const auto p = pages_.constFind(page);
    // A click on a read that runs already is ignored by the read itself.
    if (p == pages_.constEnd() || busy_(page)) {
        click();
        return;
    }
    const quint64 id = begin(kRead, p->readClearsEveryPage ? QList<QWidget *>{} : QList<QWidget *>{page});
    open_[id].reading = page;
    // The click's own progress line comes before its exchange runs.
    open_[id].clicking = true;
    const auto clicked = [this, id] {
        if (const auto it = open_.find(id); it != open_.end())
            it->clicking = false;
        // A read refused at once has ended already.
        exchangeReported();
    };
    try {
        click();
    } catch (...) {
        clicked();
        throw;
    }
    clicked();
}

void SafetyNet::exchangeReported()
{
    QList<quint64> ended;
    for (auto it = open_.cbegin(); it != open_.cend(); ++it)
        if (it->reading && !it->clicking && !busy_(it->reading))
            ended << it.key();
    std::sort(ended.begin(), ended.end());
    for (quint64 id : ended)
        end(id);
}

bool SafetyNet::changing(QWidget *page) const
{
    if (busy_(page))
        return true;
    for (const Change &c : open_)
        if (c.reading && c.before.contains(page))
            return true;
    return false;
}

QString SafetyNet::readSucceeded(QWidget *page, const QString &model)
{
    const auto it = pages_.constFind(page);
    if (it == pages_.constEnd())
        return {};
    try {
        return WriteBackup(BackupFolder(), *it->table, fields_, model, BackupSource::Read);
    } catch (const Error &e) {
        report_.memo(e.message());
    }
    return {};
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
    // A page whose exchange runs would take the loaded values half-way.
    if (changing(page)) {
        report_.memo(QStringLiteral("设备通讯进行中，未载入备份：%1").arg(path));
        return;
    }
    const FieldTable &table = *pages_[page].table;
    try {
        change(page, kLoadBackup, [&](QString *detail) {
            *detail = QFileInfo(path).fileName();
            const BackupLoad loaded = LoadBackupFields(table, fields_, path);
            report_.memo(QStringLiteral("已载入备份：%1").arg(path));
            if (!loaded.section) {
                const QString said = MissingSectionText(table, path, true);
                report_.memo(said);
                report_.panel(2, said);
            }
        });
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
    exchangeReported();
    QWidget *shown = currentPage_();
    Page *page = current();
    if (!page || !(back ? page->history.canUndo() : page->history.canRedo())) {
        report_.memo(back ? QStringLiteral("没有可撤销的操作") : QStringLiteral("没有可重做的操作"));
        updateActions();
        return;
    }
    const auto next = [back](const Page &p) -> const PageHistory::Step * {
        if (back ? !p.history.canUndo() : !p.history.canRedo())
            return nullptr;
        return &(back ? p.history.nextUndo() : p.history.nextRedo());
    };
    // The other pages of the same change, where it is their next step too;
    // a page changed again since keeps its own later state.
    const quint64 group = next(*page)->group;
    QList<QWidget *> members{shown};
    if (group != 0)
        for (QWidget *other : order_)
            if (other != shown && next(pages_[other]) && next(pages_[other])->group == group)
                members << other;
    for (QWidget *member : members) {
        if (changing(member)) {
            report_.memo(back ? QStringLiteral("设备通讯进行中，不能撤销！") : QStringLiteral("设备通讯进行中，不能重做！"));
            return;
        }
    }
    const QString label = next(*page)->label;
    for (QWidget *member : members) {
        Page &p = pages_[member];
        const PageState now = CapturePage(*p.table, fields_);
        RestorePage(*p.table, fields_, (back ? p.history.undo(now) : p.history.redo(now)).state);
    }
    report_.memo((back ? QStringLiteral("已撤销：%1") : QStringLiteral("已重做：%1")).arg(label));
    updateActions();
}

void SafetyNet::updateActions()
{
    Page *page = current();
    UndoPage->setEnabled(page && page->history.canUndo());
    RedoPage->setEnabled(page && page->history.canRedo());
}

} // namespace qm
