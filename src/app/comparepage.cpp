#include "app/comparepage.h"

#include "app/compareform.h"
#include "app/unitreader.h"
#include "common/backupstore.h"
#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/fieldtable.h"
#include "common/memoryfields.h"
#include "common/prompts.h"
#include "common/report.h"
#include "headless/families.h"

#include <QAction>
#include <QWidget>

namespace qm {

ComparePage::ComparePage(QWidget *window, FieldAccess &fields, Report &report, Prompts &prompts, UnitReader &reader,
                         std::function<const Family *()> family)
    : QObject(window)
    , window_(window)
    , fields_(fields)
    , report_(report)
    , prompts_(prompts)
    , reader_(reader)
    , family_(std::move(family))
{
    ComparePage_ = new QAction(QStringLiteral("比较 (&C)..."), this);
    ComparePage_->setObjectName(QStringLiteral("ComparePage"));
    connect(ComparePage_, &QAction::triggered, this, [this] { ComparePageClick(); });
}

void ComparePage::ComparePageClick()
{
    const Family *family = family_();
    if (!family) {
        report_.memo(QStringLiteral("请先选择数传电台、MLB4800或MLR4800页面，再比较参数"));
        return;
    }
    comparing_ = family;
    if (!form_) {
        form_ = new TCompare_Form(window_);
        connect(form_, &TCompare_Form::unitRequested, this, [this] { compareUnit(); });
        connect(form_, &TCompare_Form::fileRequested, this, [this] {
            const QString path = prompts_.openFileName();
            if (!path.isEmpty())
                compareFile(path, false);
        });
        connect(form_, &TCompare_Form::backupRequested, this, [this](const QString &path) { compareFile(path, true); });
    }
    form_->setWindowTitle(QStringLiteral("比较参数 — %1").arg(family->title));
    form_->setSources(ListBackups(BackupFolder(), family->name));
    form_->showFailure(QStringLiteral("选择与设备、文档或备份比较"));
    form_->show();
    form_->raise();
    form_->activateWindow();
}

void ComparePage::compareUnit()
{
    const Family *family = comparing_;
    if (!family)
        return;
    form_->showFailure(QStringLiteral("正在读取设备参数，请稍候..."));
    const bool started = reader_.read(*family, BackupSource::Compare, [this, family](const UnitRun &run, const MemoryFields &unit) {
        if (!form_ || comparing_ != family)
            return;
        if (run.result() != UnitRun::Result::Ok) {
            report_.addRecord(ReadRecord(run, unit, action::Compare));
            form_->showFailure(QStringLiteral("读取设备失败：%1").arg(ReadFailureText(run)));
            return;
        }
        const FieldTable &table = family->table();
        UnitRecord record = ReadRecord(run, unit, action::Compare);
        record.differences = Differences(table, Snapshot(table, fields_), Snapshot(table, unit), ReturnedFields);
        report_.addRecord(record);
        form_->showComparison(table, Snapshot(table, fields_), QStringLiteral("设备"), Snapshot(table, unit), ReturnedFields);
        // A backup was written by the read; the list shows it.
        form_->setSources(ListBackups(BackupFolder(), family->name));
    });
    if (!started)
        form_->showFailure(QStringLiteral("正在读取设备参数，请稍候再试！"));
}

void ComparePage::compareFile(const QString &path, bool backup)
{
    const Family *family = comparing_;
    if (!family)
        return;
    const FieldTable &table = family->table();
    MemoryFields other(table);
    BackupLoad loaded;
    try {
        loaded = LoadBackupFields(table, other, path);
    } catch (const Error &e) {
        form_->showFailure(e.message());
        return;
    }
    // Without the family's section every value would be a default, not
    // the file's.
    if (!loaded.section) {
        form_->showFailure(MissingSectionText(table, path, false));
        return;
    }
    // A backup holds what its read filled; one written before backups did
    // compares as a parameter file.
    const unsigned scope = backup && loaded.extras ? BackupFields : StoredFields;
    form_->showComparison(table, Snapshot(table, fields_), backup ? QStringLiteral("备份") : QStringLiteral("文档"),
                          Snapshot(table, other), scope);
}

} // namespace qm
