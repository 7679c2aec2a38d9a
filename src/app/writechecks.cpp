#include "app/writechecks.h"

#include "app/unitreader.h"
#include "common/fieldaccess.h"
#include "common/memoryfields.h"
#include "common/report.h"
#include "headless/families.h"
#include "link/exchange.h"
#include "link/link.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

namespace qm {

namespace {
const QString kBusy = QStringLiteral("正在读取设备参数，请稍候再试！");
} // namespace

WriteChecks::WriteChecks(QObject *owner, Link &link, FieldAccess &fields, Report &report, UnitReader &reader)
    : QObject(owner)
    , link_(link)
    , fields_(fields)
    , report_(report)
    , reader_(reader)
{
    BackupBeforeWrite = new QAction(QStringLiteral("写录前先读取备份 (&K)"), this);
    BackupBeforeWrite->setObjectName(QStringLiteral("BackupBeforeWrite"));
    VerifyAfterWrite = new QAction(QStringLiteral("写录后校验 (&V)"), this);
    VerifyAfterWrite->setObjectName(QStringLiteral("VerifyAfterWrite"));
    for (QAction *a : {BackupBeforeWrite, VerifyAfterWrite}) {
        a->setCheckable(true);
        a->setChecked(false);
    }
}

void WriteChecks::addActions(QMenu *menu)
{
    menu->addAction(BackupBeforeWrite);
    menu->addAction(VerifyAfterWrite);
}

void WriteChecks::WriteClick(const Family &family, std::function<void()> write)
{
    if (reader_.busy()) {
        report_.memo(kBusy);
        return;
    }
    if (!BackupBeforeWrite->isChecked()) {
        startWrite(family, write);
        return;
    }
    // A click another exchange would refuse is left to the write itself,
    // which says what holds the line.
    if (const ExchangeOwner owner = RunningExchange(link_.state()); owner != ExchangeOwner::None && owner != ExchangeOwner::Measurement) {
        startWrite(family, write);
        return;
    }
    report_.memo(QStringLiteral("写录前先读取备份..."));
    report_.panel(2, QStringLiteral("正在读取备份，请稍候..."));
    reader_.read(family, BackupSource::BeforeWrite, [this, &family, write](const UnitRun &run, const MemoryFields &unit) {
        report_.addRecord(ReadRecord(run, unit, action::Backup));
        if (run.result() != UnitRun::Result::Ok) {
            report_.memo(QStringLiteral("备份读取失败：%1，未写录！").arg(ReadFailureText(run)));
            report_.panel(2, QStringLiteral("未写录：备份读取失败"));
            return;
        }
        if (run.backupPath().isEmpty()) {
            // The reader said why in the memo already.
            report_.memo(QStringLiteral("备份未能保存，未写录！"));
            report_.panel(2, QStringLiteral("未写录：备份未能保存"));
            return;
        }
        report_.memo(QStringLiteral("已备份：%1").arg(run.backupPath()));
        startWrite(family, write);
    });
}

void WriteChecks::startWrite(const Family &family, const std::function<void()> &write)
{
    writing_ = nullptr;
    const FieldValues page = Snapshot(family.table(), fields_);
    write();
    // A click its checks refused sends nothing and ends nothing.
    if (RunningExchange(link_.state()) == ExchangeOwner::None)
        return;
    writing_ = &family;
    written_ = page;
}

void WriteChecks::writeEnded(bool ok)
{
    if (!writing_)
        return;
    if (!ok || !VerifyAfterWrite->isChecked()) {
        writing_ = nullptr;
        return;
    }
    // After the write's own outcome texts are out.
    QTimer::singleShot(0, this, [this] { verify(); });
}

void WriteChecks::verify()
{
    const Family *family = writing_;
    writing_ = nullptr;
    if (!family)
        return;
    const FieldValues written = written_;
    report_.memo(QStringLiteral("写录后校验：读回设备参数..."));
    report_.panel(2, QStringLiteral("写录成功，正在校验..."));
    const bool started = reader_.read(*family, BackupSource::Verify, [this, family, written](const UnitRun &run, const MemoryFields &back) {
        UnitRecord record = ReadRecord(run, back, action::Verify);
        if (run.result() != UnitRun::Result::Ok) {
            report_.addRecord(record);
            report_.memo(QStringLiteral("校验未完成：%1").arg(ReadFailureText(run)));
            report_.panel(2, QStringLiteral("写录成功，校验未完成！"));
            return;
        }
        const FieldTable &table = family->table();
        const QList<FieldDifference> differences = Differences(table, written, Snapshot(table, back), SentFields | ReturnedFields);
        // The verdict first; the fields it rests on follow.
        const QString outcome = differences.isEmpty() ? QStringLiteral("写录成功，校验通过！")
                                                      : QStringLiteral("已写录，校验失败：%1项不一致！").arg(differences.size());
        report_.memo(outcome);
        report_.panel(2, outcome);
        for (const FieldDifference &d : differences)
            report_.memo(QStringLiteral("校验不符：%1 页面 %2，设备 %3").arg(d.caption, d.a, d.b));
        QStringList notBack;
        for (const FieldSpec &fieldSpec : table.fields)
            // Page values a read does not fill: on the line only one way, or
            // only in the parameter file.
            if (!fieldSpec.returned && (fieldSpec.sent || fieldSpec.stored()))
                notBack << fieldSpec.caption;
        if (!notBack.isEmpty())
            report_.memo(QStringLiteral("不读回、未校验：%1").arg(notBack.join(QStringLiteral("、"))));
        record.differences = differences;
        if (!differences.isEmpty())
            record.result = QStringLiteral("verify failed");
        report_.addRecord(record);
    });
    if (!started)
        report_.memo(kBusy);
}

} // namespace qm
