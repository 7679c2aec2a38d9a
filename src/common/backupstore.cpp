#include "common/backupstore.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/fieldtable.h"
#include "common/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

namespace qm {

namespace {
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss-zzz");

QString addressField(const FieldTable &table)
{
    for (const FieldSpec &fieldSpec : table.fields)
        if (fieldSpec.name.endsWith(QLatin1String("_Address")))
            return fieldSpec.name;
    return {};
}

struct SourceName {
    BackupSource source;
    const char *name;
};
constexpr SourceName kSourceNames[] = {
    {BackupSource::Read, "read"},
    {BackupSource::BeforeWrite, "prewrite"},
    {BackupSource::Verify, "verify"},
    {BackupSource::Compare, "compare"},
};

QString safePart(QString text)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9.+-]"));
    text.replace(unsafe, QStringLiteral("-"));
    return text.left(40);
}
} // namespace

QString BackupFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("backups"));
}

QString BackupSourceText(BackupSource source)
{
    switch (source) {
    case BackupSource::Unknown: break;
    case BackupSource::Read: return QStringLiteral("读取");
    case BackupSource::BeforeWrite: return QStringLiteral("写录前备份");
    case BackupSource::Verify: return QStringLiteral("写录后校验");
    case BackupSource::Compare: return QStringLiteral("比较");
    }
    return {};
}

QString BackupFileName(const QDateTime &time, const QString &family, const QString &model, const QString &address,
                       BackupSource source)
{
    const QString name = QStringLiteral("%1_%2_%3_%4").arg(time.toString(kTimeFormat), safePart(family), safePart(model), safePart(address));
    for (const SourceName &s : kSourceNames)
        if (s.source == source)
            return name + QLatin1Char('_') + QLatin1String(s.name) + QStringLiteral(".ini");
    return name + QStringLiteral(".ini");
}

bool ParseBackupFileName(const QString &name, BackupEntry *entry)
{
    if (!name.endsWith(QLatin1String(".ini")))
        return false;
    const QStringList parts = name.chopped(4).split(QLatin1Char('_'));
    if (parts.size() != 4 && parts.size() != 5)
        return false;
    const QDateTime time = QDateTime::fromString(parts[0], kTimeFormat);
    if (!time.isValid() || parts[1].isEmpty())
        return false;
    BackupSource source = BackupSource::Unknown;
    if (parts.size() == 5) {
        const auto known = std::find_if(std::begin(kSourceNames), std::end(kSourceNames),
                                        [&](const SourceName &s) { return parts[4] == QLatin1String(s.name); });
        if (known == std::end(kSourceNames))
            return false;
        source = known->source;
    }
    entry->time = time;
    entry->family = parts[1];
    entry->model = parts[2];
    entry->address = parts[3];
    entry->source = source;
    return true;
}

QString WriteBackup(const QString &folder, const FieldTable &table, const FieldAccess &fields, const QString &model,
                    BackupSource source, const QDateTime &time)
{
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("备份失败：不能建立文件夹 %1").arg(QDir::toNativeSeparators(folder)));
    const QString address = addressField(table);
    const QString path = QDir(folder).filePath(BackupFileName(time, table.family, model.isEmpty() ? table.defaultModel : model,
                                                              address.isEmpty() ? QString() : fields.text(address), source));
    try {
        IniDocument doc = IniDocument::loadParameters(path, true);
        StoreBackupFields(table, fields, doc);
        doc.save();
    } catch (const Error &e) {
        throw Error(QStringLiteral("备份失败：%1").arg(e.message()));
    }
    return path;
}

QList<BackupEntry> ListBackups(const QString &folder, const QString &family)
{
    QList<BackupEntry> out;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.ini")}, QDir::Files)) {
        BackupEntry e;
        if (!ParseBackupFileName(name, &e) || (!family.isEmpty() && e.family != family))
            continue;
        e.path = dir.filePath(name);
        out.append(e);
    }
    std::sort(out.begin(), out.end(), [](const BackupEntry &a, const BackupEntry &b) { return a.time > b.time; });
    return out;
}

int PruneBackups(const QString &folder, const QDate &today, int days, int keep)
{
    int removed = 0;
    const QDate oldest = today.addDays(-days);
    // Newest first: the first keep of each family stay whatever the dates
    // say, so that a clock set ahead never leaves a family without backups.
    QHash<QString, int> seen;
    for (const BackupEntry &e : ListBackups(folder)) {
        if (++seen[e.family] <= keep || e.time.date() >= oldest)
            continue;
        // A name is only what the clock said when it was written; the file
        // system's own date must agree that the file is old.
        const QDateTime modified = QFileInfo(e.path).lastModified();
        if (!modified.isValid() || modified.date() >= oldest)
            continue;
        if (QFile::remove(e.path))
            ++removed;
    }
    return removed;
}

} // namespace qm
