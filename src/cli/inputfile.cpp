#include "cli/inputfile.h"

#include "cli/progress.h"
#include "common/errors.h"
#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "headless/families.h"

#include <QFileInfo>

namespace qm::cli {

bool LoadInput(const Family &family, const QString &path, const InputOptions &options, MemoryFields &fields,
               Progress &progress, QString *error, QSet<QString> *present)
{
    const FieldTable &table = family.table();
    const QString section = DecodeGbk(table.section);
    if (!QFileInfo::exists(path)) {
        *error = QStringLiteral("%1: no such file").arg(path);
        return false;
    }
    try {
        IniDocument doc = IniDocument::loadParameters(path, false);
        // A line break can stand in no value: it marks a key that is not there.
        const QByteArray absent = "\n";
        QStringList missing, missingKept, unknown, refused;
        // A setting of a stored field stands in the file's place, in the
        // document in memory only; the others are set after loading.
        for (const FieldSetting &setting : options.settings) {
            if (const QString problem = CheckSetting(table, setting); !problem.isEmpty()) {
                refused << problem;
                continue;
            }
            const FieldSpec *fieldSpec = FieldOfKey(table, setting.key);
            if (fieldSpec->stored())
                doc.setValue(table.section, fieldSpec->key, EncodeGbk(setting.value));
        }
        int stored = 0;
        for (const FieldSpec &fieldSpec : table.fields) {
            if (!fieldSpec.stored())
                continue;
            ++stored;
            const QByteArray value = doc.value(table.section, fieldSpec.key, absent);
            if (value == absent) {
                missing << fieldSpec.keyText();
                if (!fieldSpec.returned)
                    missingKept << fieldSpec.keyText();
                continue;
            }
            if (present)
                present->insert(fieldSpec.name);
            if (options.use != InputUse::Keep)
                if (const QString problem = CheckFileValue(fieldSpec, value); !problem.isEmpty())
                    refused << problem;
        }
        if (missing.size() == stored) {
            *error = QStringLiteral("%1: no section [%2] with its keys").arg(path, section);
            return false;
        }
        for (const QByteArray &key : doc.keys(table.section))
            if (!table.findKey(key) && !unknown.contains(DecodeGbk(key)))
                unknown << DecodeGbk(key);

        QStringList problems;
        const bool strictKeys = options.use == InputUse::Write && !options.allowDefaults;
        if (strictKeys && !missing.isEmpty())
            problems << QStringLiteral("%1: keys missing from [%2]: %3").arg(path, section, missing.join(QLatin1Char(' ')));
        if ((strictKeys || options.use == InputUse::Compare) && !unknown.isEmpty())
            problems << QStringLiteral("%1: keys that [%2] does not have: %3").arg(path, section, unknown.join(QLatin1Char(' ')));
        if (strictKeys && !problems.isEmpty())
            problems << QStringLiteral("(--allow-defaults takes the defaults of missing keys and passes over unknown ones)");
        problems << refused;
        if (!problems.isEmpty()) {
            *error = problems.join(QLatin1Char('\n'));
            return false;
        }

        const FieldSpec *failed = nullptr;
        try {
            LoadFields(table, fields, doc, &failed);
        } catch (const Error &e) {
            if (!failed)
                throw;
            *error = QStringLiteral("%1=%2: %3").arg(failed->keyText(), DecodeGbk(doc.value(table.section, failed->key, failed->defaultValue)), e.message());
            return false;
        }
        for (const FieldSetting &setting : options.settings)
            if (!FieldOfKey(table, setting.key)->stored())
                ApplySetting(table, setting, fields);

        switch (options.use) {
        case InputUse::Write:
            if (!missing.isEmpty())
                progress.note(QStringLiteral("%1: keys missing, their defaults taken: %2").arg(path, missing.join(QLatin1Char(' '))));
            if (!unknown.isEmpty())
                progress.note(QStringLiteral("%1: keys that [%2] does not have, passed over: %3").arg(path, section, unknown.join(QLatin1Char(' '))));
            break;
        case InputUse::Compare:
            if (!missing.isEmpty())
                progress.note(QStringLiteral("%1: keys missing, not compared: %2").arg(path, missing.join(QLatin1Char(' '))));
            break;
        case InputUse::Keep:
            if (!missingKept.isEmpty())
                progress.note(QStringLiteral("%1: keys missing, their defaults taken: %2").arg(path, missingKept.join(QLatin1Char(' '))));
            break;
        }
    } catch (const Error &e) {
        *error = e.message();
        return false;
    }
    return true;
}

} // namespace qm::cli
