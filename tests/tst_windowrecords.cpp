// The window's records in the register of units, end to end: the real
// window against the simulated units, its records in a SQLite file of the
// test's own (QMSET_DB). Each read and write of a page leaves one record;
// the reads beside the page (backup before a write, read-back, compare)
// leave theirs; 设备记录 lists them, exports them and loads one into its
// page, which 撤销 takes back.
#include "app/historyform.h"
#include "app/mainform.h"
#include "app/recordkeeper.h"
#include "app/safetynet.h"
#include "app/simulator.h"
#include "app/writechecks.h"
#include "app/compareform.h"
#include "app/comparepage.h"
#include "app/unitreader.h"
#include "common/csvtext.h"
#include "common/fieldaccess.h"
#include "common/pagehistory.h"
#include "headless/families.h"
#include "link/exchange.h"
#include "radio/dk618fields.h"
#include "radio/dk618page.h"
#include "register/recordwriter.h"
#include "register/unitregister.h"
#include "clitools.h"
#include "simwindow.h"
#include "testprompts.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace qm;

class TestWindowRecords : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // A data folder of this test's own: the safety net's tests count
        // the backups in theirs while ctest may run both at once.
        QCoreApplication::setApplicationName(QStringLiteral("qmset-test-records"));
    }
    void init();
    void cleanup();
    void readAndWriteEachLeaveOneRecord_data();
    void readAndWriteEachLeaveOneRecord();
    void readsBesideThePageLeaveTheirRecords();
    void historyLoadsARecordAndUndoTakesItBack();
    void historyOfAUnitWrittenVerifiedAndCalibrated();
    void cancelledAndRefusedExchangesLeaveTheirRecord();

private:
    void startUnit(const QString &family, const QStringList &simArgs = {});
    void startSim(const QString &family, const QStringList &simArgs = {});
    void openWindow();
    void runExchange();
    QList<UnitRecord> records();
    QString prefix() const;
    QPushButton *button(const QString &what) const;
    QString panel2() const { return window_->findChild<QLabel *>(QStringLiteral("StatusPanel2"))->text(); }
    QString memo() const { return window_->findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"))->toPlainText(); }
    const FieldTable &table() const { return FindFamily(family_)->table(); }

    QTemporaryDir dir_;
    RegisterTarget target_;
    QString family_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
};

void TestWindowRecords::init()
{
    static int count = 0;
    target_ = {};
    target_.path = dir_.filePath(QStringLiteral("register-%1.sqlite").arg(++count));
    qputenv("QMSET_DB", target_.path.toUtf8());
}

void TestWindowRecords::cleanup()
{
    window_.reset();
    sim_.reset();
    errors_.reset();
}

void TestWindowRecords::startUnit(const QString &family, const QStringList &simArgs)
{
    startSim(family, simArgs);
    openWindow();
}

void TestWindowRecords::startSim(const QString &family, const QStringList &simArgs)
{
    family_ = family;
    sim_ = StartSimulator(family, simArgs);
    QVERIFY(sim_);
}

void TestWindowRecords::openWindow()
{
    const QString family = family_;
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    window_ = OpenWindowOn(sim_->linkPath(), prompts_.get(), family);
    QVERIFY(window_->link().port().isOpen());
}

void TestWindowRecords::runExchange()
{
    RunExchangeToItsEnd(*window_);
}

QList<UnitRecord> TestWindowRecords::records()
{
    window_->records().writer().flush();
    UnitRegister reg(target_, dir_.filePath(QStringLiteral("spool.sqlite")));
    QList<UnitRecord> found;
    QString error;
    if (!reg.find({}, &found, &error))
        qWarning("register not read: %s", qPrintable(error));
    return found;
}

QString TestWindowRecords::prefix() const
{
    return family_ == QLatin1String("dk618") ? QStringLiteral("Dk618_") : family_.left(1).toUpper() + family_.mid(1) + QLatin1Char('_');
}

QPushButton *TestWindowRecords::button(const QString &what) const
{
    return window_->findChild<QPushButton *>(prefix() + what + (family_ == QLatin1String("dk618") ? QStringLiteral("_Data") : QStringLiteral("Data")));
}

void TestWindowRecords::readAndWriteEachLeaveOneRecord_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("answers");
    QTest::newRow("dk618") << QStringLiteral("dk618") << QStringList() << QStringLiteral("DK618-450") << true;
    QTest::newRow("mlb4800") << QStringLiteral("mlb4800") << QStringList() << QString() << true;
    QTest::newRow("mlr4800") << QStringLiteral("mlr4800") << QStringList() << QString() << true;
    QTest::newRow("dk618 silent") << QStringLiteral("dk618") << QStringList{QStringLiteral("--silent-on"), QStringLiteral("99")} << QString() << false;
}

void TestWindowRecords::readAndWriteEachLeaveOneRecord()
{
    QFETCH(QString, family);
    QFETCH(QStringList, simArgs);
    QFETCH(QString, model);
    QFETCH(bool, answers);
    startUnit(family, simArgs);
    button(QStringLiteral("Read"))->click();
    runExchange();
    QCOMPARE(panel2(), answers ? QStringLiteral("读取成功！") : QStringLiteral("读取失败！"));
    QList<UnitRecord> found = records();
    QCOMPARE(found.size(), 1);
    const UnitRecord read = found[0];
    QCOMPARE(read.action, action::Read);
    QCOMPARE(read.family, family);
    QCOMPARE(read.result, answers ? QStringLiteral("ok") : QStringLiteral("failed"));
    QCOMPARE(read.port, QStringLiteral("COM1=") + sim_->linkPath());
    QVERIFY(!read.station.isEmpty() && !read.operatorName.isEmpty() && !read.zone.isEmpty());
    if (answers) {
        // Every field of the family's table, as the page shows it now.
        QCOMPARE(read.values.size(), table().fields.size());
        QCOMPARE(read.address, window_->fields().text(prefix() + QStringLiteral("Address")));
        QCOMPARE(read.model, model);
        QVERIFY2(QFile::exists(read.backupFile), qPrintable(read.backupFile));
    } else {
        QVERIFY(read.values.isEmpty());
        QVERIFY(read.backupFile.isEmpty());
    }

    window_->fields().setText(prefix() + QStringLiteral("Address"), QStringLiteral("77"));
    button(QStringLiteral("Write"))->click();
    runExchange();
    QVERIFY(QTest::qWaitFor([&] { return RunningExchange(window_->link().state()) == ExchangeOwner::None; }, 20000));
    found = records();
    QCOMPARE(found.size(), 2);
    const UnitRecord &write = found[0];
    QCOMPARE(write.action, action::Write);
    QCOMPARE(write.result, answers ? QStringLiteral("ok") : QStringLiteral("failed"));
    // What was sent: the page as it stood at the click.
    QCOMPARE(write.address, QStringLiteral("77"));
    QCOMPARE(write.values.size(), table().fields.size());
    QCOMPARE(found[1].uid, read.uid);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

void TestWindowRecords::readsBesideThePageLeaveTheirRecords()
{
    // The radio keeps its address when written: the read-back differs.
    startUnit(QStringLiteral("dk618"), {QStringLiteral("--ignore-write"), QStringLiteral("65")});
    FieldAccess &fields = window_->fields();
    fields.setText(QStringLiteral("Dk618_Address"), QStringLiteral("77"));
    window_->writeChecks().backupAction()->setChecked(true);
    window_->writeChecks().verifyAction()->setChecked(true);
    button(QStringLiteral("Write"))->click();
    QVERIFY(QTest::qWaitFor([&] { return !window_->unitReader().busy(); }, 20000));
    runExchange();
    QVERIFY(QTest::qWaitFor([&] { return panel2() == QStringLiteral("已写录，校验失败：1项不一致！"); }, 20000));

    window_->comparePage().ComparePageClick();
    const auto compared = [&] { return records().size() == 4; };
    emit window_->comparePage().form()->unitRequested();
    QVERIFY(QTest::qWaitFor(compared, 20000));

    const QList<UnitRecord> found = records();
    QStringList actions;
    for (const UnitRecord &r : found)
        actions << r.action;
    QCOMPARE(actions, (QStringList{action::Compare, action::Verify, action::Write, action::Backup}));
    const UnitRecord &compare = found[0], &verify = found[1], &backup = found[3];
    QCOMPARE(verify.result, QStringLiteral("verify failed"));
    QCOMPARE(verify.differences.size(), 1);
    QCOMPARE(verify.differences[0].name, QStringLiteral("Dk618_Address"));
    QCOMPARE(verify.differences[0].a, QStringLiteral("77"));
    QCOMPARE(verify.address, verify.differences[0].b);
    QCOMPARE(compare.result, QStringLiteral("ok"));
    QCOMPARE(compare.differences.size(), 1);
    QCOMPARE(compare.differences[0].a, QStringLiteral("77"));
    QCOMPARE(backup.result, QStringLiteral("ok"));
    QVERIFY(QFile::exists(backup.backupFile));
    QCOMPARE(backup.model, QStringLiteral("DK618-450"));
    QCOMPARE(backup.values.size(), Dk618Fields().fields.size());
}

void TestWindowRecords::historyLoadsARecordAndUndoTakesItBack()
{
    startUnit(QStringLiteral("dk618"));
    auto *page = window_->dk618Page();
    page->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("读取成功！"));
    const PageState read = CapturePage(Dk618Fields(), window_->fields());
    const QString address = page->Dk618_Address->text();
    // Typed over, as a technician would before looking the unit up.
    for (int i = 0; i < 10; ++i)
        page->TxFreq[i]->setText(QString::number(4312345 + 125 * i));
    page->Dk618_Address->setText(QStringLiteral("999"));
    page->Ptttime->setText(QStringLiteral("95"));
    page->Dk618_Checkmode->setCurrentIndex(2);
    const PageState typed = CapturePage(Dk618Fields(), window_->fields());

    window_->records().UnitHistoryClick();
    THistory_Form *form = window_->records().historyForm();
    QVERIFY(form && form->isVisible());
    auto *table = form->findChild<QTableWidget *>(QStringLiteral("HistoryTable"));
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 7)->text(), QStringLiteral("读取"));
    QCOMPARE(table->item(0, 8)->text(), QStringLiteral("成功"));
    // The filters are those of qmset history.
    auto *addressFilter = form->findChild<QLineEdit *>(QStringLiteral("HistoryAddress"));
    addressFilter->setText(QString::number(address.toInt() + 1));
    form->HistoryQueryClick();
    QCOMPARE(table->rowCount(), 0);
    addressFilter->setText(address);
    form->findChild<QLineEdit *>(QStringLiteral("HistorySince"))->setText(QStringLiteral("2026-13-40"));
    form->HistoryQueryClick();
    QVERIFY(form->findChild<QLabel *>(QStringLiteral("HistoryStatus"))->text().startsWith(QStringLiteral("日期格式")));
    form->findChild<QLineEdit *>(QStringLiteral("HistorySince"))->setText(QDate::currentDate().addDays(-1).toString(Qt::ISODate));
    form->HistoryQueryClick();
    QCOMPARE(table->rowCount(), 1);

    // Exported as the command line prints it.
    const QString csv = dir_.filePath(QStringLiteral("history.csv"));
    prompts_->fileNames.enqueue(csv);
    form->findChild<QPushButton *>(QStringLiteral("HistoryExport"))->click();
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QStringList> rows = ParseCsv(file.readAll());
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1][7], address);
    QCOMPARE(rows[1][8], action::Read);

    table->selectRow(0);
    form->findChild<QPushButton *>(QStringLiteral("HistoryLoad"))->click();
    QCoreApplication::processEvents();
    QCOMPARE(CapturePage(Dk618Fields(), window_->fields()), read);
    QVERIFY(memo().contains(QStringLiteral("已载入记录到数传电台页面")));
    window_->safetyNet().UndoPageClick();
    QCOMPARE(CapturePage(Dk618Fields(), window_->fields()), typed);
    // The undone step names the record it loaded.
    const QString undone = memo().section(QLatin1Char('\n'), -1);
    QVERIFY2(undone.startsWith(QStringLiteral("已撤销：载入记录 ")) && undone.endsWith(QStringLiteral("读取")), qPrintable(undone));
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

// A unit's whole history from the command line: written and verified by
// qmset on the line, then read and calibrated on the window's test page.
void TestWindowRecords::historyOfAUnitWrittenVerifiedAndCalibrated()
{
    startSim(QStringLiteral("dk618"));
    const QString in = dir_.filePath(QStringLiteral("unit.ini")), should = dir_.filePath(QStringLiteral("unit-1042.ini"));
    clitools::writeFile(in, clitools::section(QStringLiteral("dk618"), {}));
    clitools::writeFile(should, clitools::section(QStringLiteral("dk618"), {{"Dk618_Address", "1042"}}));
    const QStringList unit{QStringLiteral("--family"), QStringLiteral("dk618"), QStringLiteral("--port"), sim_->linkPath()};
    clitools::Run r = clitools::qmset(QStringList{QStringLiteral("write"), QStringLiteral("--in"), in, QStringLiteral("--set"),
                                                  QStringLiteral("设备地址=1042")} + unit);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    r = clitools::qmset(QStringList{QStringLiteral("verify"), QStringLiteral("--in"), should} + unit);
    QVERIFY2(r.code == 0, qPrintable(r.err));

    openWindow();
    window_->dk618Page()->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(window_->fields().text(QStringLiteral("Dk618_Address")), QStringLiteral("1042"));
    QTimer::singleShot(0, window_.get(), [this] {
        auto *dialog = window_->findChild<QDialog *>(QStringLiteral("Password"));
        if (!dialog || !dialog->isVisible())
            return;
        dialog->findChild<QLineEdit *>(QStringLiteral("PassText"))->setText(QStringLiteral("tambrelok"));
        dialog->findChild<QPushButton *>(QStringLiteral("Pass_OK"))->click();
    });
    window_->ConfigTestClick();
    prompts_->fileNames.enqueue(dir_.filePath(QStringLiteral("records.ini")));
    window_->findChild<QPushButton *>(QStringLiteral("Record_Save"))->click();
    window_->records().writer().flush();

    r = clitools::qmset({QStringLiteral("history"), QStringLiteral("--address"), QStringLiteral("1042"), QStringLiteral("--json")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QStringList actions;
    for (const QJsonValue &v : QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("records")).toArray())
        actions << v.toObject().value(QStringLiteral("action")).toString() + QLatin1Char(' ') + v.toObject().value(QStringLiteral("result")).toString();
    QCOMPARE(actions, (QStringList{"calibration ok", "read ok", "verify ok", "write ok"}));
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

// An exchange that ends without an answer or a time-out (cancelled, or a
// write its checks stopped at the radio's first answer) is recorded too,
// with nothing recorded as written.
void TestWindowRecords::cancelledAndRefusedExchangesLeaveTheirRecord()
{
    startUnit(QStringLiteral("dk618"), {QStringLiteral("--silent-on"), QStringLiteral("99")});
    button(QStringLiteral("Read"))->click();
    QTest::qWait(300);
    auto *cancel = window_->findChild<QPushButton *>(QStringLiteral("CancelExchange"));
    QVERIFY(cancel && cancel->isVisible());
    cancel->click();
    QCOMPARE(panel2(), QStringLiteral("已取消"));
    QList<UnitRecord> found = records();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].action, action::Read);
    QCOMPARE(found[0].result, QStringLiteral("cancelled"));
    QVERIFY(found[0].values.isEmpty());

    // A 25K radio and a 12.5K channel: the radio's answer stops the write.
    startUnit(QStringLiteral("dk618"), {QStringLiteral("--model"), QStringLiteral("DK618-450")});
    window_->fields().setText(QStringLiteral("RxFreq0"), QStringLiteral("4330125"));
    button(QStringLiteral("Write"))->click();
    runExchange();
    QVERIFY(QTest::qWaitFor([&] { return RunningExchange(window_->link().state()) == ExchangeOwner::None; }, 20000));
    QVERIFY2(panel2().startsWith(QStringLiteral("未写录：")), qPrintable(panel2()));
    found = records();
    QCOMPARE(found.size(), 2);
    QCOMPARE(found[0].action, action::Write);
    QCOMPARE(found[0].result, QStringLiteral("refused"));
    QVERIFY2(found[0].detail.contains(QStringLiteral("4330125")), qPrintable(found[0].detail));
    QVERIFY(found[0].values.isEmpty());
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

QTEST_MAIN(TestWindowRecords)
#include "tst_windowrecords.moc"
