#include "cli/records.h"

#include "cli/progress.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "register/recordfields.h"
#include "register/unitregister.h"

namespace qm::cli {

UnitRecord SessionRecord(UnitSession &session, const QString &action, UnitSession::Result result,
                         const MemoryFields *fields)
{
    const FieldTable &table = session.family().table();
    UnitRecord r;
    r.port = session.link().port().deviceFor(session.port());
    r.family = table.family;
    r.model = DecodeGbk(session.modelText());
    r.action = action;
    r.result = ResultText(result);
    if (result != UnitSession::Result::Ok)
        r.detail = session.detail();
    else
        r.backupFile = session.backupPath();
    if (fields && result == UnitSession::Result::Ok)
        TakeFieldValues(table, *fields, r);
    return r;
}

void KeepRecord(const QString &db, UnitRecord record, Progress &progress)
{
    RegisterTarget target;
    QString error;
    if (!RegisterTarget::choose(db, &target, &error)) {
        progress.note(QStringLiteral("record not kept: %1").arg(error));
        return;
    }
    UnitRegister reg(target);
    switch (reg.add(record, &error)) {
    case UnitRegister::Kept::InRegister:
        break;
    case UnitRegister::Kept::InSpool:
        progress.note(QStringLiteral("register not reached: %1").arg(error));
        break;
    case UnitRegister::Kept::Lost:
        progress.note(QStringLiteral("record not kept: %1").arg(error));
        break;
    }
}

} // namespace qm::cli
