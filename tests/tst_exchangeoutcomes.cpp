// How a page's read or write ends, as the technician sees it in the real
// window against qmsim: given up with 取消 or Escape (and what a write had
// done by then), unanswered with a line that says what to try. The three
// exchange timers are ticked here.

#include "app/mainform.h"
#include "app/simulator.h"
#include "app/unitreader.h"
#include "app/writechecks.h"
#include "findchild.h"
#include "link/exchange.h"
#include "simwindow.h"
#include "testprompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <limits>
#include <memory>

using namespace qm;

namespace {

struct Page {
    const char *family;
    const char *read, *write;
    void (TMainForm::*choose)();
    void (TMainForm::*tick)();
};

const Page kPages[] = {
    {"dk618", "Dk618_Read_Data", "Dk618_Write_Data", &TMainForm::DataTransClick, &TMainForm::Timer3Timer},
    {"mlb4800", "Mlb4800_ReadData", "Mlb4800_WriteData", &TMainForm::MLB4800Click, &TMainForm::Timer1Timer},
    {"mlr4800", "Mlr4800_ReadData", "Mlr4800_WriteData", &TMainForm::MLR4800Click, &TMainForm::Timer2Timer},
};

const Page &pageOf(const QString &family)
{
    for (const Page &p : kPages)
        if (family == QLatin1String(p.family))
            return p;
    return kPages[0];
}

} // namespace

class TestExchangeOutcomes : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void cancelEndsTheExchange_data();
    void cancelEndsTheExchange();
    void cancelReadBesideThePage();
    void unansweredSaysWhatToTry_data();
    void unansweredSaysWhatToTry();

private:
    bool start(const QString &family, const QStringList &simArgs);
    // Ticks the page's timer, each tick after the awaited reply is in
    // (or 50 ms), until the exchange is at step or over.
    void tickTo(qint32 step, int limit = 60);
    void runToEnd();
    ProtocolState &state() { return window_->link().state(); }
    QString panel(int i) const { return child<QLabel>(*window_, QStringLiteral("StatusPanel%1").arg(i))->text(); }
    QString memo() const { return child<QPlainTextEdit>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }
    QPushButton *button(const char *name) { return child<QPushButton>(*window_, QLatin1String(name)); }
    QPushButton *cancelButton() { return child<QPushButton>(*window_, QStringLiteral("CancelExchange")); }

    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    const Page *page_ = nullptr;
};

bool TestExchangeOutcomes::start(const QString &family, const QStringList &simArgs)
{
    sim_ = StartSimulator(family, simArgs);
    if (!sim_)
        return false;
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    window_ = OpenWindowOn(sim_->linkPath(), prompts_.get(), family);
    for (const char *timer : {"Timer1", "Timer2"})
        child<QTimer>(*window_, QLatin1String(timer))->stop();
    page_ = &pageOf(family);
    return window_->link().port().isOpen();
}

void TestExchangeOutcomes::cleanup()
{
    window_.reset();
    sim_.reset();
    errors_.reset();
}

void TestExchangeOutcomes::tickTo(qint32 step, int limit)
{
    for (int i = 0; i < limit && RunningExchange(state()) != ExchangeOwner::None && state().ExchangeStep < step; ++i) {
        (void)QTest::qWaitFor([&] { return state().ReplyReady; }, 2000);
        (window_.get()->*page_->tick)();
    }
}

void TestExchangeOutcomes::runToEnd()
{
    tickTo(std::numeric_limits<qint32>::max());
}

void TestExchangeOutcomes::cancelEndsTheExchange_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("silentOn"); // the request the unit never answers
    QTest::addColumn<bool>("write");
    QTest::addColumn<bool>("shortWrite"); // the central unit's current channel only
    QTest::addColumn<int>("atStep");
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<QString>("taken"); // what a write says the unit took
    QTest::newRow("radio write, identification in") << "dk618" << "" << true << false << 0 << false << "设备未写入任何参数";
    QTest::newRow("radio write at the channel") << "dk618" << "69" << true << false << 3 << true
                                                << "设备已写入：信道表、设备地址；已发出、未确认：当前信道";
    QTest::newRow("radio read") << "dk618" << "67" << false << false << 2 << true << "";
    QTest::newRow("central write at the address") << "mlb4800" << "65" << true << false << 1 << false
                                                  << "设备已写入：信道表；已发出、未确认：设备地址";
    QTest::newRow("central short write at the channel") << "mlb4800" << "69" << true << true << 2 << true
                                                        << "设备已写入：设备地址；已发出、未确认：当前信道";
    QTest::newRow("central read") << "mlb4800" << "6B" << false << false << 2 << false << "";
    QTest::newRow("subscriber write at the rate") << "mlr4800" << "6D" << true << false << 3 << true
                                                  << "设备已写入：上行频率、终端设备地址、空中速率和电表类型；已发出、未确认：终端通讯速率";
    QTest::newRow("subscriber read") << "mlr4800" << "73" << false << false << 2 << false << "";
}

// 取消 and Escape end the exchange at once; the shared state is left as a
// finished exchange leaves it, so the next click runs to its end.
void TestExchangeOutcomes::cancelEndsTheExchange()
{
    QFETCH(QString, family);
    QFETCH(QString, silentOn);
    QFETCH(bool, write);
    QFETCH(bool, shortWrite);
    QFETCH(int, atStep);
    QFETCH(bool, byKey);
    QFETCH(QString, taken);
    QVERIFY(start(family, silentOn.isEmpty() ? QStringList() : QStringList{QStringLiteral("--silent-on"), silentOn}));
    if (shortWrite)
        child<QCheckBox>(*window_, QStringLiteral("Mlb4800_Operate"))->setChecked(true);
    QVERIFY(cancelButton()->isHidden());
    button(write ? page_->write : page_->read)->click();
    tickTo(atStep);
    QCOMPARE(state().ExchangeStep, atStep);
    // The unit's answer to the request before (or none) is in.
    QTest::qWait(100);
    QCOMPARE(state().ReplyReady, silentOn.isEmpty());
    QTRY_VERIFY(cancelButton()->isVisible());
    const QString before = memo();

    if (byKey) {
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_.get(), Qt::Key_Escape);
    } else {
        QTest::mouseClick(cancelButton(), Qt::LeftButton);
    }
    QCOMPARE(RunningExchange(state()), ExchangeOwner::None);
    QCOMPARE(panel(2), text::Cancelled);
    QCOMPARE(memo(), before + QStringLiteral("\n已取消") + (taken.isEmpty() ? QString() : u'\n' + taken));
    const ProtocolState &s = state();
    QCOMPARE(s.ExchangeStep, 0);
    QCOMPARE(s.ExchangeTicks, 0);
    QVERIFY(!s.ReplyReady);
    QCOMPARE(s.RxState, 0);
    QTRY_VERIFY(cancelButton()->isHidden());
    QVERIFY(button("Dk618_Read_Data")->isEnabled() && button("Dk618_Write_Data")->isEnabled());
    // Ticks on their way change nothing.
    for (int i = 0; i < 3; ++i)
        (window_.get()->*page_->tick)();
    QVERIFY(memo().endsWith(taken.isEmpty() ? text::Cancelled : taken));

    // The other exchange (the silent request is not among its own) runs
    // to its end at once.
    if (shortWrite)
        child<QCheckBox>(*window_, QStringLiteral("Mlb4800_Operate"))->setChecked(false);
    button(write ? page_->read : page_->write)->click();
    runToEnd();
    QCOMPARE(panel(2), write ? text::ReadOk : text::WriteOk);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join(u'\n')));
    QVERIFY(prompts_->messages.isEmpty());
}

// The read for the backup before a write is cancelled too: nothing is
// written.
void TestExchangeOutcomes::cancelReadBesideThePage()
{
    QVERIFY(start(QStringLiteral("dk618"), {QStringLiteral("--silent-on"), QStringLiteral("6B")}));
    window_->writeChecks().backupAction()->setChecked(true);
    button(page_->write)->click();
    QVERIFY(window_->unitReader().busy());
    QTRY_VERIFY(cancelButton()->isVisible());
    QTest::qWait(300); // its own timer has sent 0x6B by now
    QTest::mouseClick(cancelButton(), Qt::LeftButton);
    QVERIFY(!window_->unitReader().busy());
    QCOMPARE(RunningExchange(state()), ExchangeOwner::None);
    QVERIFY2(memo().endsWith(QStringLiteral("已取消\n备份读取失败：读取已中止，未写录！")), qPrintable(memo()));
    QCOMPARE(panel(2), QStringLiteral("未写录：备份读取失败"));
    QTRY_VERIFY(cancelButton()->isHidden());
    QTest::qWait(100);
    QVERIFY(!state().RadioWriteActive);
}

void TestExchangeOutcomes::unansweredSaysWhatToTry_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("before"); // a page chosen first, or a line "rate,parity"
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("hint");
    QTest::newRow("radio read after the MLR4800 page") << "dk618" << "MLR4800" << false
                                                     << "当前串口 COM1,1200,E；数传电台通常为 19200,N，可用 自动 检测";
    QTest::newRow("radio write at 9600 odd") << "dk618" << "5,2" << true << "当前串口 COM1,9600,O；数传电台通常为 19200,N，可用 自动 检测";
    QTest::newRow("central read at 9600") << "mlb4800" << "5,0" << false
                                          << "当前串口 COM1,9600,N；MLB4800通常为 19200,N，重新选择 MLB4800 页面即可恢复";
    QTest::newRow("subscriber write at 19200") << "mlr4800" << "6,0" << true
                                               << "当前串口 COM1,19200,N；MLR4800通常为 1200,E，重新选择 MLR4800 页面即可恢复";
}

// The outcome texts stay as they were; the line after them names the line
// in force, the family's usual one and what to do.
void TestExchangeOutcomes::unansweredSaysWhatToTry()
{
    QFETCH(QString, family);
    QFETCH(QString, before);
    QFETCH(bool, write);
    QFETCH(QString, hint);
    QVERIFY(start(family, {}));
    if (before.contains(u',')) {
        window_->link().line().RateIndex = before.section(u',', 0, 0).toInt();
        window_->link().line().ParityIndex = before.section(u',', 1).toInt();
        window_->link().ApplyLineSettings();
    } else {
        child<QAction>(*window_, before)->trigger();
        (window_.get()->*page_->choose)();
    }
    button(write ? page_->write : page_->read)->click();
    for (int i = 0; i < 120 && RunningExchange(state()) != ExchangeOwner::None; ++i)
        (window_.get()->*page_->tick)();
    const QString outcome = write ? text::WriteFailed : text::ReadFailed;
    QCOMPARE(panel(2), outcome);
    QVERIFY2(memo().endsWith(outcome + u'\n' + hint), qPrintable(memo()));
    QCOMPARE(memo().count(QStringLiteral("当前串口")), 1);
}

QTEST_MAIN(TestExchangeOutcomes)
#include "tst_exchangeoutcomes.moc"
