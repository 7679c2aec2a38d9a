#pragma once
// What the register keeps of one exchange with a unit: when and where it
// happened, who did it, what the unit is, what was done and how it ended,
// the values written or read (every field of the family's table, by key),
// the differences found and the backup file written. A plain value: the
// window and the command line fill it, the register stores it.

#include "common/fieldtable.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <utility>

namespace qm {

namespace action {
inline const QString Read = QStringLiteral("read");
inline const QString Write = QStringLiteral("write");
// A unit read and compared with what it should hold: the read-back after
// a write, or qmset verify against a file.
inline const QString Verify = QStringLiteral("verify");
inline const QString Compare = QStringLiteral("compare");   // the page against its unit
inline const QString Backup = QStringLiteral("backup");     // the read before a write
inline const QString Calibration = QStringLiteral("calibration"); // the test page's record
inline const QString Batch = QStringLiteral("batch");       // a unit of qmset batch: written and read back
} // namespace action

struct UnitRecord {
    qint64 id = 0;       // given by the register; 0 before
    QString uid{};       // unique across stations; made when the record is stamped
    QDateTime time{};    // the instant, in UTC
    QString zone{};      // the station's time zone (IANA id)
    qint32 utcOffset = 0; // seconds east of UTC at that instant
    QString station{};   // host name
    QString operatorName{}; // user name
    QString port{};
    QString family{};    // "dk618", "mlb4800", "mlr4800"
    QString model{};     // the unit's model text, when it reports one
    QString address{};   // as the unit or the page holds it
    QString action{};    // one of action::*
    QString result{};    // "ok", "no answer", "verify failed", ...
    QString detail{};    // why it failed, when it did
    // Key (FieldSpec::keyText()) and value, in the family table's order.
    QList<std::pair<QString, QString>> values{};
    QList<FieldDifference> differences{};
    QString backupFile{};

    QString value(const QString &key) const
    {
        for (const auto &[k, v] : values)
            if (k == key)
                return v;
        return {};
    }
};

} // namespace qm
