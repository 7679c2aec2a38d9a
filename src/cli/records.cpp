#include "cli/records.h"

#include "cli/progress.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "register/recordfields.h"

namespace qm::cli {

UnitRecord CommandRecord(UnitSession &session, const QString &action, const QString &result, const QString &detail,
                         const MemoryFields *values)
{
    const FieldTable &table = session.family().table();
    UnitRecord r;
    r.port = session.link().port().deviceFor(session.port());
    r.family = table.family;
    r.model = DecodeGbk(session.modelText());
    r.action = action;
    r.result = result;
    r.detail = detail;
    r.backupFile = session.backupPath();
    if (values)
        TakeFieldValues(table, *values, r);
    return r;
}

UnitRecord SessionRecord(UnitSession &session, const QString &action, UnitSession::Result result,
                         const MemoryFields *fields)
{
    const bool ok = result == UnitSession::Result::Ok;
    UnitRecord r = CommandRecord(session, action, ResultText(result), ok ? QString() : session.detail(), ok ? fields : nullptr);
    if (!ok)
        r.backupFile.clear();
    return r;
}

bool RunRegister::choose(const QString &db, QString *error)
{
    RegisterTarget target;
    if (!RegisterTarget::choose(db, &target, error))
        return false;
    reg_ = std::make_unique<UnitRegister>(target);
    return true;
}

UnitRegister::Kept RunRegister::keep(UnitRecord record, Progress &progress)
{
    QString error;
    const UnitRegister::Kept kept = reg_->add(record, &error);
    switch (kept) {
    case UnitRegister::Kept::InRegister:
        break;
    case UnitRegister::Kept::InSpool:
        progress.note(QStringLiteral("register not reached: %1").arg(error));
        break;
    case UnitRegister::Kept::Lost:
        progress.note(QStringLiteral("record not kept: %1").arg(error));
        break;
    }
    return kept;
}

void KeepRecord(const QString &db, UnitRecord record, Progress &progress)
{
    RunRegister reg;
    QString error;
    if (!reg.choose(db, &error)) {
        progress.note(QStringLiteral("record not kept: %1").arg(error));
        return;
    }
    reg.keep(std::move(record), progress);
}

} // namespace qm::cli
