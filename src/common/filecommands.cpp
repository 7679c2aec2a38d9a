#include "common/filecommands.h"

#include "common/prompts.h"
#include "common/report.h"

namespace qm {

namespace {
void say(Report &report, const QString &text)
{
    report.memo(text);
    report.panel(2, text);
}

// The dialog has been answered with path (empty: cancelled).
bool finish(Report &report, const QString &path, const FileWork &work, const QString &done)
{
    if (path.isEmpty()) {
        say(report, QStringLiteral("用户取消"));
        return false;
    }
    work(path);
    say(report, done);
    return true;
}
} // namespace

bool StoreParameterFile(Report &report, Prompts &prompts, const FileWork &store)
{
    report.memo(QStringLiteral("存储文档..."));
    report.panel(2, QStringLiteral("正在存储文档..."));
    return finish(report, prompts.saveFileName(), store, QStringLiteral("存储成功！"));
}

bool LoadParameterFile(Report &report, Prompts &prompts, const FileWork &load)
{
    report.memo(QStringLiteral("读取文档..."));
    report.panel(2, QStringLiteral("正在读取文档..."));
    return finish(report, prompts.openFileName(), load, QStringLiteral("读取结束！"));
}

} // namespace qm
