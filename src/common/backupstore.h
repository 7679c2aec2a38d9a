#pragma once
// Backups of every unit read: one parameter file per read in the user's
// data folder, named by date and time, family, model text, address and
// what read it ("20261208-143005-120_dk618_DK618-450_44_read.ini"), so the
// folder can be listed and pruned from the names alone. A backup holds
// every field the read filled (StoreBackupFields).

#include <QDateTime>
#include <QList>
#include <QString>

namespace qm {

class FieldAccess;
struct FieldTable;

// What read the unit into the backup.
enum class BackupSource {
    Unknown,     // a backup named before the source was
    Read,        // a page's read, or the command line's
    BeforeWrite, // the read before a write
    Verify,      // the read-back after a write
    Compare,     // the read of a comparison with the unit
};
// "读取", "写录前备份", "写录后校验", "比较"; empty for Unknown.
QString BackupSourceText(BackupSource source);

struct BackupEntry {
    QDateTime time;
    QString family, model, address;
    BackupSource source = BackupSource::Unknown;
    QString path;
};

// AppDataLocation/backups.
QString BackupFolder();
// The name of a backup; characters of the model text a file name should
// not hold become '-'.
QString BackupFileName(const QDateTime &time, const QString &family, const QString &model, const QString &address,
                       BackupSource source = BackupSource::Unknown);
// The parts of a name BackupFileName made; false for any other name.
bool ParseBackupFileName(const QString &name, BackupEntry *entry);
// Stores the table's fields as a backup in folder (made when missing)
// through the INI layer's safe save; returns its path. The address is the
// table's address field; an empty model is the table's defaultModel.
// Throws Error when it cannot be written.
QString WriteBackup(const QString &folder, const FieldTable &table, const FieldAccess &fields, const QString &model,
                    BackupSource source = BackupSource::Read, const QDateTime &time = QDateTime::currentDateTime());
// Every backup in folder, newest first; family non-empty keeps that one.
QList<BackupEntry> ListBackups(const QString &folder, const QString &family = {});
// Removes the backups whose name's date and file date both lie more than
// days before today, but never the newest keep of a family; returns how
// many went.
int PruneBackups(const QString &folder, const QDate &today, int days = 365, int keep = 20);

} // namespace qm
