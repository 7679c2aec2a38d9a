#include "common/filecommands.h"

#include "common/fieldtable.h"
#include "common/prompts.h"
#include "common/report.h"

namespace qm {

namespace {
void say(Report &report, const QString &text)
{
    report.memo(text);
    report.panel(2, text);
}
} // namespace

bool StoreParameterFile(Report &report, Prompts &prompts, const FileWork &store)
{
    report.memo(QStringLiteral("存储文档..."));
    report.panel(2, QStringLiteral("正在存储文档..."));
    const QString path = prompts.saveFileName();
    if (path.isEmpty()) {
        say(report, QStringLiteral("用户取消"));
        return false;
    }
    report.memo(QStringLiteral("存储文档：%1").arg(path));
    store(path);
    say(report, QStringLiteral("存储成功！"));
    return true;
}

bool LoadParameterFile(Report &report, Prompts &prompts, const FieldTable &table, const LoadWork &load, QString *chosen)
{
    report.memo(QStringLiteral("读取文档..."));
    report.panel(2, QStringLiteral("正在读取文档..."));
    const QString path = prompts.openFileName();
    if (chosen)
        *chosen = path;
    if (path.isEmpty()) {
        say(report, QStringLiteral("用户取消"));
        return false;
    }
    report.memo(QStringLiteral("读取文档：%1").arg(path));
    const bool held = load(path);
    say(report, QStringLiteral("读取结束！"));
    // The defaults stand on the page now: said where the outcome stands.
    if (!held)
        say(report, MissingSectionText(table, path, true));
    return true;
}

} // namespace qm
