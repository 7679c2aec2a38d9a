#include "cli/unitstable.h"

#include "common/csvtext.h"
#include "common/fieldtable.h"
#include "common/inifile.h"

#include <QFile>
#include <QSet>

namespace qm::cli {

namespace {
// Far more than the rows of any production run; a larger file is no table
// of units.
constexpr qint64 kLargestTable = 64 * 1024 * 1024;
} // namespace

bool LoadUnitsTable(const FieldTable &table, const QString &path, UnitsTable *units, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the table of units %1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() > kLargestTable) {
        *error = QStringLiteral("%1: %2 bytes, too large for a table of units").arg(path).arg(file.size());
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError) {
        *error = QStringLiteral("cannot read the table of units %1: %2").arg(path, file.errorString());
        return false;
    }
    switch (IniDocument::DetectEncoding(bytes)) {
    case IniDocument::Encoding::NotText:
        *error = QStringLiteral("%1: not UTF-8 or GBK text").arg(path);
        return false;
    case IniDocument::Encoding::Gbk:
        bytes = DecodeGbk(bytes).toUtf8();
        break;
    case IniDocument::Encoding::Utf8:
    case IniDocument::Encoding::Utf8Bom:
        break;
    }
    QString why;
    const QList<QStringList> records = ParseCsv(bytes, &why);
    if (!why.isEmpty()) {
        *error = QStringLiteral("%1: not CSV (%2)").arg(path, why);
        return false;
    }
    if (records.isEmpty()) {
        *error = QStringLiteral("%1: no header of keys").arg(path);
        return false;
    }
    UnitsTable out;
    out.path = path;
    QStringList problems;
    QSet<const FieldSpec *> named;
    for (const QString &cell : records.first()) {
        const QString key = cell.trimmed();
        out.keys << key;
        const FieldSpec *fieldSpec = FieldOfKey(table, key);
        if (!fieldSpec)
            problems << QStringLiteral("%1, header: %2: not a key of [%3], nor the name of a field without one")
                            .arg(path, key, DecodeGbk(table.section));
        else if (named.contains(fieldSpec))
            problems << QStringLiteral("%1, header: %2 given twice").arg(path, key);
        named.insert(fieldSpec);
    }
    if (problems.isEmpty()) {
        for (qsizetype r = 1; r < records.size(); ++r) {
            const QStringList &cells = records[r];
            const QString where = QStringLiteral("%1 row %2").arg(path).arg(r);
            if (cells.size() != out.keys.size()) {
                problems << QStringLiteral("%1: %2 cells, the header has %3").arg(where).arg(cells.size()).arg(out.keys.size());
                continue;
            }
            UnitsRow row;
            row.number = int(r);
            for (qsizetype k = 0; k < cells.size(); ++k) {
                const FieldSetting setting{out.keys[k], cells[k].trimmed()};
                if (const QString problem = CheckSetting(table, setting); !problem.isEmpty())
                    problems << QStringLiteral("%1: %2").arg(where, problem);
                row.settings << setting;
            }
            out.rows << row;
        }
        if (out.rows.isEmpty())
            problems << QStringLiteral("%1: no row of a unit under the header").arg(path);
    }
    if (!problems.isEmpty()) {
        // A table with a fault in every row says so in a few lines.
        constexpr qsizetype kShown = 20;
        if (problems.size() > kShown) {
            const qsizetype more = problems.size() - kShown;
            problems.resize(kShown);
            problems << QStringLiteral("... and %1 more").arg(more);
        }
        *error = problems.join(QLatin1Char('\n'));
        return false;
    }
    *units = out;
    return true;
}

} // namespace qm::cli
