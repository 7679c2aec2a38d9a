// Leaving the program without losing anything: values typed on a family
// page since its last read, load, store or write, and test readings the user
// has not exported, are asked about (保存 / 不保存 / 取消) when the window
// closes, and saved on 保存.
#include "app/mainform.h"
#include "app/mainformwiring.h"

#include "app/autosetform.h"
#include "app/typedvalues.h"
#include "common/errors.h"
#include "common/filecommands.h"
#include "common/prompts.h"
#include "link/exchange.h"
#include "pagekit/widgetfields.h"
#include "radio/dk618fields.h"
#include "radio/dk618page.h"
#include "radio/radiofile.h"
#include "testpage/testruncommands.h"
#include "units/mlb4800fields.h"
#include "units/mlb4800page.h"
#include "units/mlr4800fields.h"
#include "units/mlr4800page.h"
#include "units/subscriberfile.h"

#include <QApplication>
#include <QCloseEvent>

namespace qm {

void TMainForm::wireTypedValues()
{
    typed_ = new TypedValues(*fields_, this);
    typed_->addPage(dk618_, Dk618Fields(), QStringLiteral("数传电台"));
    typed_->addPage(mlb4800_, Mlb4800Fields(), QStringLiteral("MLB4800"));
    typed_->addPage(mlr4800_, Mlr4800Fields(), QStringLiteral("MLR4800"));
}

void TMainForm::startExchange(QWidget *page, const std::function<void()> &click)
{
    click();
    // A click its checks refused, or that another exchange held off,
    // started nothing.
    const ExchangeOwner owner = RunningExchange(link_.state());
    if (owner != ExchangeOwner::None && owner != ExchangeOwner::Measurement)
        exchangePage_ = page;
}

void TMainForm::exchangeOutcome(const QString &line)
{
    // The page as read or written is what a later quit compares with.
    if ((line == text::ReadOk || line == text::WriteOk) && exchangePage_ && typed_)
        typed_->settle(exchangePage_);
}

void TMainForm::fileDone(QWidget *page, bool done)
{
    if (done)
        typed_->settle(page);
}

QStringList TMainForm::unsavedWork() const
{
    QStringList unsaved;
    for (QWidget *page : typed_->changedPages())
        unsaved << QStringLiteral("%1页面有输入的数值尚未保存").arg(typed_->name(page));
    if (const qsizetype readings = testRun_->unexportedReadings(); readings > 0)
        unsaved << QStringLiteral("%1 条测试读数尚未导出").arg(readings);
    return unsaved;
}

bool TMainForm::mayQuit()
{
    const QStringList unsaved = unsavedWork();
    if (unsaved.isEmpty())
        return true;
    const QString question = QStringLiteral("%1。\n退出前保存吗？").arg(unsaved.join(QStringLiteral("；\n")));
    switch (prompts_->askSave(question)) {
    case Prompts::SaveAnswer::Discard: return true;
    case Prompts::SaveAnswer::Cancel: return false;
    case Prompts::SaveAnswer::Save: break;
    }
    return saveBeforeQuit();
}

bool TMainForm::saveBeforeQuit()
{
    // Each in turn, with its own file dialog; one not saved keeps the
    // window open, so nothing goes without the user's word.
    const auto run = [](const std::function<bool()> &work) {
        bool done = false;
        Guard([&] { done = work(); });
        return done;
    };
    for (QWidget *page : typed_->changedPages()) {
        const QString said = QStringLiteral("退出前保存%1页面...").arg(typed_->name(page));
        memo(said);
        panel(2, said);
        bool done = false;
        if (page == dk618_)
            done = run([this] { return radioFile_->Dk618_Save_FileClick(); });
        else if (page == mlr4800_)
            done = run([this] { return subscriberFile_->Mlr4800_SaveFileClick(); });
        else // the central unit's section, as the command line reads it
            done = run([this] {
                return StoreParameterFile(*this, *prompts_, [this](const QString &path) { StoreFieldsToFile(Mlb4800Fields(), *fields_, path); });
            });
        fileDone(page, done);
        if (!done)
            return false;
    }
    if (testRun_->unexportedReadings() > 0 && !run([this] { return testRun_->ExportReadingsClick(); }))
        return false;
    return true;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (!mayQuit()) {
        memo(QStringLiteral("未退出"));
        event->ignore();
        return;
    }
    // A detection still running sends nothing once the window is gone.
    AutoSet_Form->abort();
    link_.port().close();
    QMainWindow::closeEvent(event);
}

void TMainForm::Exit_ProClick()
{
    // The port closes with the window, and only when it does.
    if (close())
        QApplication::quit();
}

} // namespace qm
