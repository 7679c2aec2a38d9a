#pragma once
// Backups of every unit read: one parameter file per read in the user's
// data folder, named by date and time, family, model text and address
// ("20261208-143005-120_dk618_DK618-450_44.ini"), so the folder can be
// listed and pruned from the names alone.

#include <QDateTime>
#include <QList>
#include <QString>

namespace qm {

class FieldAccess;
struct FieldTable;

struct BackupEntry {
    QDateTime time;
    QString family, model, address;
    QString path;
};

// AppDataLocation/backups.
QString BackupFolder();
// The name of a backup; characters of the model text a file name should
// not hold become '-'.
QString BackupFileName(const QDateTime &time, const QString &family, const QString &model, const QString &address);
// The parts of a name BackupFileName made; false for any other name.
bool ParseBackupFileName(const QString &name, BackupEntry *entry);
// Stores the table's fields as a parameter file in folder (made when
// missing) through the INI layer's safe save; returns its path. The address
// is the table's address field. Throws Error when it cannot be written.
QString WriteBackup(const QString &folder, const FieldTable &table, const FieldAccess &fields, const QString &model,
                    const QDateTime &time = QDateTime::currentDateTime());
// Every backup in folder, newest first; family non-empty keeps that one.
QList<BackupEntry> ListBackups(const QString &folder, const QString &family = {});
// Removes the backups whose name's date and file date both lie more than
// days before today, but never the newest keep of a family; returns how
// many went.
int PruneBackups(const QString &folder, const QDate &today, int days = 365, int keep = 20);

} // namespace qm
