#include "app/unitreader.h"

#include "common/inifile.h"
#include "register/recordfields.h"

#include "common/memoryfields.h"
#include "common/report.h"
#include "common/fieldaccess.h"
#include "link/link.h"

namespace qm {

namespace {
struct PageButtons {
    const char *family, *read, *write;
};
constexpr PageButtons kButtons[] = {
    {"dk618", "Dk618_Read_Data", "Dk618_Write_Data"},
    {"mlb4800", "Mlb4800_ReadData", "Mlb4800_WriteData"},
    {"mlr4800", "Mlr4800_ReadData", "Mlr4800_WriteData"},
};
} // namespace

UnitReader::UnitReader(Link &link, FieldAccess &buttons, Report &report, QObject *parent)
    : QObject(parent)
    , link_(link)
    , buttons_(buttons)
    , report_(report)
{
}

UnitReader::~UnitReader() = default;

bool UnitReader::busy() const
{
    return run_ && run_->running();
}

void UnitReader::cancel()
{
    if (!busy())
        return;
    // Clean before done runs: it may start the next exchange.
    link_.AbandonReply();
    run_->stop();
}

void UnitReader::setButtons(const Family &family, bool on)
{
    for (const PageButtons &b : kButtons) {
        if (family.name != QLatin1String(b.family))
            continue;
        for (const char *name : {b.read, b.write})
            if (buttons_.has(QLatin1String(name)))
                buttons_.setEnabled(QLatin1String(name), on);
    }
}

bool UnitReader::read(const Family &family, BackupSource source, Done done)
{
    if (busy())
        return false;
    // The previous run may still be on the stack of its own finished().
    if (run_)
        run_.release()->deleteLater();
    run_ = std::make_unique<UnitRun>(family, link_);
    run_->setBackupSource(source);
    fields_ = std::make_unique<MemoryFields>(family.table());
    UnitRun *run = run_.get();
    connect(run, &UnitRun::finished, this, [this, run, done, &family] {
        setButtons(family, true);
        if (!run->backupError().isEmpty())
            report_.memo(run->backupError());
        done(*run, *fields_);
    });
    if (!run->start(*fields_, false)) {
        done(*run, *fields_);
        return true;
    }
    setButtons(family, false);
    return true;
}

QString ReadFailureText(const UnitRun &run)
{
    switch (run.result()) {
    case UnitRun::Result::Ok: return QStringLiteral("读取成功");
    case UnitRun::Result::NoAnswer:
        return QStringLiteral("设备无应答（%1）").arg(run.failedStep().section(QLatin1Char(' '), 0, 0));
    case UnitRun::Result::Interrupted: return QStringLiteral("读取已中止");
    case UnitRun::Result::Refused:
    case UnitRun::Result::PortLost: break;
    }
    return run.detail().isEmpty() ? QStringLiteral("通讯口错误") : run.detail();
}

UnitRecord ReadRecord(const UnitRun &run, const MemoryFields &fields, const QString &action)
{
    UnitRecord r;
    r.family = run.family().name;
    r.model = DecodeGbk(run.modelText());
    r.action = action;
    r.result = ResultText(run.result());
    if (run.result() != UnitRun::Result::Ok) {
        r.detail = run.detail();
        return r;
    }
    TakeFieldValues(run.family().table(), fields, r);
    r.backupFile = run.backupPath();
    return r;
}

} // namespace qm
