// The safety net around the pages, end to end: undo and redo of what the
// program does to a page, backups of every read, the comparison and the
// checks around a write; the real window against the simulated radio
// qmsim, Timer3 ticked by the test (reads beside the page tick themselves).
#include "app/backuplistform.h"
#include "app/compareform.h"
#include "app/comparepage.h"
#include "app/unitreader.h"
#include "app/writechecks.h"
#include "app/mainform.h"
#include "app/safetynet.h"
#include "app/simulator.h"
#include "common/backupstore.h"
#include "common/fieldaccess.h"
#include "common/fieldtable.h"
#include "common/memoryfields.h"
#include "common/pagehistory.h"
#include "link/exchange.h"
#include "link/protocolstate.h"
#include "radio/dk618fields.h"
#include "radio/dk618page.h"
#include "testpage/testpage.h"
#include "units/mlr4800page.h"
#include "headless/families.h"
#include "simwindow.h"
#include "testprompts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace qm;

namespace {
// A file dialog runs its own event loop: what the window has queued runs
// while it is open, before the file is loaded.
class ModalPrompts : public TestPrompts {
public:
    QString openFileName() override
    {
        QTest::qWait(20);
        return TestPrompts::openFileName();
    }
};

const FieldTable &tableOf(const QString &family)
{
    return FindFamily(family)->table();
}
} // namespace

class TestSafetyNet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A data folder of this run alone: backups are counted, and other
        // runs of the suite may be at work at the same time.
        QVERIFY(dataHome_.isValid());
        qputenv("XDG_DATA_HOME", dataHome_.path().toLocal8Bit());
        QCoreApplication::setApplicationName(QStringLiteral("qmset-test"));
    }
    void init() { QDir(BackupFolder()).removeRecursively(); }
    void cleanup();
    void undoGivesTheTypedPageBack_data();
    void undoGivesTheTypedPageBack();
    void undoRedoAcrossLoadAndRead();
    void undoBringsBackEveryPageItChanged_data();
    void undoBringsBackEveryPageItChanged();
    void undoRefusedWhileAnExchangeRuns();
    void readBackupBelongsToItsFamily_data();
    void readBackupBelongsToItsFamily();
    void compareRefusesAFileWithoutTheSection_data();
    void compareRefusesAFileWithoutTheSection();
    void historyKeepsItsDepthAndDropsRedo();
    void backupThatCannotBeWrittenLeavesTheRead();
    void oldBackupsArePruned_data();
    void oldBackupsArePruned();
    void compareShowsTheChangedFields_data();
    void compareShowsTheChangedFields();
    void windowClosedDuringAReadBeside();
    void verifyAfterWrite_data();
    void verifyAfterWrite();
    void backupBeforeWrite_data();
    void backupBeforeWrite();

private:
    void startRadio(const QStringList &simArgs = {}) { startUnit(QStringLiteral("dk618"), simArgs); }
    void startUnit(const QString &family, const QStringList &simArgs);
    void runExchange();
    void typeValues(int base);
    // Distinct values on all three family pages.
    void typeEveryPage();
    // Every family page as it stands.
    QList<PageState> pages();
    void show(QWidget *page) { window_->findChild<QTabWidget *>(QStringLiteral("PageControl"))->setCurrentWidget(page); }
    QString panel2() const { return window_->findChild<QLabel *>(QStringLiteral("StatusPanel2"))->text(); }
    // Waits for the read beside the page to end.
    bool readerDone() { return QTest::qWaitFor([&] { return !window_->unitReader().busy(); }, 20000); }
    PageState page() { return CapturePage(Dk618Fields(), window_->fields()); }
    QString memo() const { return window_->findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"))->toPlainText(); }

    QTemporaryDir dataHome_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    Dk618Page *page_ = nullptr;
};

void TestSafetyNet::startUnit(const QString &family, const QStringList &simArgs)
{
    dir_ = std::make_unique<QTemporaryDir>();
    sim_ = StartSimulator(family, simArgs);
    QVERIFY(sim_);
    prompts_ = std::make_unique<ModalPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    window_ = OpenWindowOn(sim_->linkPath(), prompts_.get(), family);
    page_ = window_->dk618Page();
    QVERIFY(window_->link().port().isOpen());
}

void TestSafetyNet::cleanup()
{
    window_.reset();
    sim_.reset();
    errors_.reset();
}

void TestSafetyNet::runExchange()
{
    RunExchangeToItsEnd(*window_);
}

void TestSafetyNet::typeValues(int base)
{
    for (int i = 0; i < 10; ++i) {
        page_->TxFreq[i]->setText(QString::number(base + 125 * i));
        page_->RxFreq[i]->setText(QString::number(base + 250 * i));
    }
    page_->Dk618_Address->setText(QString::number(base % 200));
    page_->Ptttime->setText(QStringLiteral("95"));
    page_->BType->setChecked(true);
    page_->Dk618_Checkmode->setCurrentIndex(1);
}

void TestSafetyNet::typeEveryPage()
{
    typeValues(4312345);
    FieldAccess &f = window_->fields();
    f.setText(QStringLiteral("Mlb4800_Address"), QStringLiteral("17"));
    f.setText(QStringLiteral("Mlb4800_CurrentChannel"), QStringLiteral("3"));
    f.setText(tableOf(QStringLiteral("mlb4800")).fields.at(5).name, QStringLiteral("4350250"));
    f.setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("77"));
    f.setText(QStringLiteral("TxFreq30"), QStringLiteral("4330500"));
    f.setText(QStringLiteral("RxFreq31"), QStringLiteral("4380250"));
}

QList<PageState> TestSafetyNet::pages()
{
    QList<PageState> all;
    for (const QString &family : FamilyNames())
        all << CapturePage(tableOf(family), window_->fields());
    return all;
}

void TestSafetyNet::undoGivesTheTypedPageBack_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("read answered") << QStringList() << QStringLiteral("读取成功！");
    QTest::newRow("read unanswered") << QStringList{QStringLiteral("--silent-on"), QStringLiteral("0x67")} << QString();
}

void TestSafetyNet::undoGivesTheTypedPageBack()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, outcome);
    startRadio(simArgs);
    typeValues(4312345);
    const PageState typed = page();
    page_->Dk618_Read_Data->click();
    runExchange();
    const QString panel2 = window_->findChild<QLabel *>(QStringLiteral("StatusPanel2"))->text();
    if (!outcome.isEmpty())
        QCOMPARE(panel2, outcome);
    else
        QVERIFY(panel2 != QStringLiteral("读取成功！"));
    QVERIFY(page() != typed);

    window_->safetyNet().UndoPageClick();
    QCOMPARE(page(), typed);
    QCOMPARE(page_->TxFreq[9]->text(), QStringLiteral("4313470"));
    QCOMPARE(page_->Dk618_Checkmode->currentIndex(), 1);
    QVERIFY(page_->BType->isChecked());
    QVERIFY(memo().endsWith(QStringLiteral("已撤销：读取数据")));
    QVERIFY(!window_->safetyNet().undoAction()->isEnabled());

    // A successful read leaves one backup that loads back as the page read.
    const QList<BackupEntry> backups = ListBackups(BackupFolder());
    QCOMPARE(backups.size(), outcome.isEmpty() ? 0 : 1);
    if (!backups.isEmpty()) {
        QCOMPARE(backups[0].family, QStringLiteral("dk618"));
        QCOMPARE(backups[0].model, QStringLiteral("DK618-450"));
        window_->safetyNet().RedoPageClick();
        MemoryFields back(Dk618Fields());
        LoadFieldsFromFile(Dk618Fields(), back, backups[0].path);
        QCOMPARE(Differences(Dk618Fields(), Snapshot(Dk618Fields(), back), Snapshot(Dk618Fields(), window_->fields()), StoredFields).size(), 0);
        QCOMPARE(backups[0].address, page_->Dk618_Address->text());
        // Loaded back from the list over a typed page, and undone again.
        window_->safetyNet().UndoPageClick();
        window_->safetyNet().BackupListClick();
        auto *list = window_->safetyNet().backupListForm();
        QCOMPARE(list->findChild<QTableWidget *>(QStringLiteral("BackupTable"))->rowCount(), 1);
        list->findChild<QPushButton *>(QStringLiteral("BackupLoad"))->click();
        QCoreApplication::processEvents();
        QCOMPARE(Differences(Dk618Fields(), Snapshot(Dk618Fields(), back), Snapshot(Dk618Fields(), window_->fields()), StoredFields).size(), 0);
        window_->safetyNet().UndoPageClick();
        QCOMPARE(page(), typed);
        QVERIFY(memo().endsWith(QStringLiteral("已撤销：载入备份 ") + QFileInfo(backups[0].path).fileName()));
    }
}

void TestSafetyNet::undoRedoAcrossLoadAndRead()
{
    startRadio();
    typeValues(4400000);
    const QString file = dir_->filePath(QStringLiteral("saved.ini"));
    prompts_->fileNames.enqueue(file);
    page_->Dk618_Save_File->click();
    const PageState saved = page();
    typeValues(4411000);
    const PageState typed = page();

    prompts_->fileNames.enqueue(file);
    page_->Dk618_Read_File->click();
    QCoreApplication::processEvents();
    QCOMPARE(page(), saved);
    // A load cancelled in its dialog changes nothing and is not recorded.
    page_->Dk618_Read_File->click();
    QCoreApplication::processEvents();
    page_->Dk618_Read_Data->click();
    runExchange();
    const PageState read = page();
    QVERIFY(read != saved);

    SafetyNet &net = window_->safetyNet();
    net.UndoPageClick();
    QCOMPARE(page(), saved);
    net.UndoPageClick();
    QCOMPARE(page(), typed);
    QVERIFY(memo().endsWith(QStringLiteral("已撤销：读取数据\n已撤销：读取文档 ") + file));
    net.UndoPageClick(); // nothing more
    QCOMPARE(page(), typed);
    net.RedoPageClick();
    QCOMPARE(page(), saved);
    net.RedoPageClick();
    QCOMPARE(page(), read);
    QVERIFY(memo().endsWith(QStringLiteral("已重做：读取文档 %1\n已重做：读取数据").arg(file)));
    QVERIFY(!net.redoAction()->isEnabled());
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

void TestSafetyNet::historyKeepsItsDepthAndDropsRedo()
{
    PageHistory h(20);
    for (int i = 0; i < 25; ++i)
        h.record(QString::number(i), {{QStringLiteral("f"), QString::number(i)}});
    QCOMPARE(h.undoCount(), 20);
    const auto step = h.undo({{QStringLiteral("f"), QStringLiteral("now")}});
    QCOMPARE(step.label, QStringLiteral("24"));
    QVERIFY(h.canRedo());
    h.record(QStringLiteral("new"), {});
    QVERIFY(!h.canRedo());
    while (h.canUndo())
        h.undo({});
    QCOMPARE(h.undoCount(), 0);
}

void TestSafetyNet::backupThatCannotBeWrittenLeavesTheRead()
{
    // A file where the folder should be.
    QDir().mkpath(QFileInfo(BackupFolder()).path());
    QFile blocker(BackupFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    startRadio();
    page_->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(window_->findChild<QLabel *>(QStringLiteral("StatusPanel2"))->text(), QStringLiteral("读取成功！"));
    QCOMPARE(memo().count(QStringLiteral("备份失败")), 1);
    QVERIFY(memo().endsWith(QStringLiteral("读取成功！")) || memo().contains(QStringLiteral("读取成功！\n备份失败")));
    QFile::remove(BackupFolder());
}

// Backups older than a year go, by their name's date and their file's date
// both (a clock set ahead, or one set back when they were written, makes
// either say nothing), and never the newest 20 of a family.
void TestSafetyNet::oldBackupsArePruned_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("nameAge");
    QTest::addColumn<int>("fileAge");
    QTest::addColumn<int>("left");
    QTest::newRow("clock set ahead: a family's few backups stay") << 3 << 2000 << 2000 << 3;
    QTest::newRow("more than 20 older than a year") << 25 << 366 << 366 << 20;
    QTest::newRow("exactly a year old") << 25 << 365 << 365 << 25;
    QTest::newRow("old names, recent files") << 25 << 400 << 10 << 25;
    QTest::newRow("recent names, old files") << 25 << 10 << 400 << 25;
}

void TestSafetyNet::oldBackupsArePruned()
{
    QFETCH(int, count);
    QFETCH(int, nameAge);
    QFETCH(int, fileAge);
    QFETCH(int, left);
    const QString folder = BackupFolder();
    QVERIFY(QDir().mkpath(folder));
    const QDate today(2026, 12, 8);
    const QDateTime noon(today, QTime(12, 0));
    const auto make = [&](const QString &name, int fileAgeDays) {
        QFile f(QDir(folder).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.setFileTime(noon.addDays(-fileAgeDays), QFileDevice::FileModificationTime));
    };
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << BackupFileName(noon.addDays(-nameAge).addSecs(-60 * i), QStringLiteral("mlr4800"), QStringLiteral("a_b/c"), QStringLiteral("9"));
        make(names.last(), fileAge);
    }
    // Another family's only backup, and a file that is no backup.
    make(BackupFileName(noon.addDays(-900), QStringLiteral("mlb4800"), QString(), QStringLiteral("7")), 900);
    make(QStringLiteral("notes.ini"), 900);

    QCOMPARE(PruneBackups(folder, today), count - left);
    // The newest stay.
    for (int i = 0; i < count; ++i)
        QCOMPARE(QFile::exists(QDir(folder).filePath(names[i])), i < left);
    QCOMPARE(ListBackups(folder, QStringLiteral("mlb4800")).size(), 1);
    QVERIFY(QFile::exists(QDir(folder).filePath(QStringLiteral("notes.ini"))));
    const QList<BackupEntry> kept = ListBackups(folder, QStringLiteral("mlr4800"));
    QCOMPARE(kept.size(), left);
    QCOMPARE(kept[0].model, QStringLiteral("a-b-c"));
    QCOMPARE(kept[0].path, QDir(folder).filePath(names[0])); // newest first
}

// Every change the program makes is one undo step, taken when the change is
// over (a subscriber read changes nothing at its click; a file is loaded
// after its dialog's own event loop), holding every page it changed: the
// data radio's and the central unit's reads empty all three pages.
void TestSafetyNet::undoBringsBackEveryPageItChanged_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("change"); // read, file or backup
    QTest::addColumn<QList<int>>("changed"); // pages by FamilyNames()
    QTest::newRow("data-radio read") << "dk618" << "read" << QList<int>{0, 1, 2};
    QTest::newRow("central read") << "mlb4800" << "read" << QList<int>{0, 1, 2};
    QTest::newRow("subscriber read") << "mlr4800" << "read" << QList<int>{2};
    QTest::newRow("data-radio file") << "dk618" << "file" << QList<int>{0};
    QTest::newRow("subscriber file") << "mlr4800" << "file" << QList<int>{2};
    QTest::newRow("data-radio backup") << "dk618" << "backup" << QList<int>{0};
    QTest::newRow("central backup") << "mlb4800" << "backup" << QList<int>{1};
}

void TestSafetyNet::undoBringsBackEveryPageItChanged()
{
    QFETCH(QString, family);
    QFETCH(QString, change);
    QFETCH(QList<int>, changed);
    startUnit(family, {});
    const FieldTable &table = tableOf(family);
    QWidget *page = window_->safetyNet().pageOf(family);
    const QString prefix = family == QLatin1String("dk618") ? QStringLiteral("Dk618_") : table.caption.left(1) + table.caption.mid(1).toLower() + QLatin1Char('_');
    // Another file's values, for the file and the backup.
    MemoryFields other(table);
    for (const FieldSpec &fieldSpec : table.fields)
        if (fieldSpec.frequency)
            other.setText(fieldSpec.name, QStringLiteral("4400000"));
    other.setText(prefix + QStringLiteral("Address"), QStringLiteral("99"));
    const QString file = dir_->filePath(QStringLiteral("other.ini"));
    StoreFieldsToFile(table, other, file);
    const QString backup = WriteBackup(BackupFolder(), table, other, QString(), BackupSource::Read, QDateTime::currentDateTime().addDays(-1));
    typeEveryPage();
    const QList<PageState> typed = pages();

    QString label;
    if (change == QLatin1String("read")) {
        window_->findChild<QPushButton *>(prefix + (family == QLatin1String("dk618") ? QStringLiteral("Read_Data") : QStringLiteral("ReadData")))->click();
        runExchange();
        QCOMPARE(panel2(), QStringLiteral("读取成功！"));
        label = QStringLiteral("读取数据");
    } else if (change == QLatin1String("file")) {
        prompts_->fileNames.enqueue(file);
        window_->findChild<QPushButton *>(prefix + (family == QLatin1String("dk618") ? QStringLiteral("Read_File") : QStringLiteral("ReadFile")))->click();
        QCOMPARE(panel2(), QStringLiteral("读取结束！"));
        label = QStringLiteral("读取文档 ") + file;
    } else {
        window_->safetyNet().loadBackup(family, backup);
        label = QStringLiteral("载入备份 ") + QFileInfo(backup).fileName();
    }
    const QList<PageState> after = pages();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(after[i] != typed[i], changed.contains(i));

    QCOMPARE(window_->findChild<QTabWidget *>(QStringLiteral("PageControl"))->currentWidget(), page);
    window_->safetyNet().UndoPageClick();
    QCOMPARE(pages(), typed);
    QVERIFY2(memo().endsWith(QStringLiteral("已撤销：") + label), qPrintable(memo()));
    QVERIFY(!window_->safetyNet().undoAction()->isEnabled());
    // Redo from another page of the change brings all of it back again.
    if (changed.size() > 1)
        show(window_->safetyNet().pageOf(QStringLiteral("mlr4800")));
    window_->safetyNet().RedoPageClick();
    QCOMPARE(pages(), after);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

// While a read runs, undo and redo would put values on the page that the
// read then overwrites: both are refused, on every page the read changes.
void TestSafetyNet::undoRefusedWhileAnExchangeRuns()
{
    startRadio();
    typeEveryPage();
    const QString file = dir_->filePath(QStringLiteral("saved.ini"));
    prompts_->fileNames.enqueue(file);
    page_->Dk618_Save_File->click();
    page_->Dk618_Address->setText(QStringLiteral("55"));
    const QList<PageState> edited = pages();
    prompts_->fileNames.enqueue(file);
    page_->Dk618_Read_File->click();
    // The file holds no subscriber section: its defaults are a change too.
    prompts_->fileNames.enqueue(file);
    window_->mlr4800Page()->Mlr4800_ReadFile->click();
    const QList<PageState> loaded = pages();
    QVERIFY(loaded[0] != edited[0] && loaded[2] != edited[2]);

    page_->Dk618_Read_Data->click();
    QVERIFY(window_->link().state().RadioReadActive);
    const QList<PageState> cleared = pages();
    SafetyNet &net = window_->safetyNet();
    for (QWidget *page : {static_cast<QWidget *>(page_), static_cast<QWidget *>(window_->mlr4800Page())}) {
        show(page);
        net.UndoPageClick();
        QVERIFY(memo().endsWith(QStringLiteral("设备通讯进行中，不能撤销！")));
        net.RedoPageClick();
        QVERIFY(memo().endsWith(QStringLiteral("设备通讯进行中，不能重做！")) || memo().endsWith(QStringLiteral("没有可重做的操作")));
    }
    QCOMPARE(pages(), cleared);
    show(page_);
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("读取成功！"));
    net.UndoPageClick();
    QCOMPARE(pages(), loaded);
    net.UndoPageClick();
    QCOMPARE(pages()[0], edited[0]);
    show(window_->mlr4800Page());
    net.UndoPageClick();
    QCOMPARE(pages(), edited);
    QVERIFY(memo().endsWith(QStringLiteral("已撤销：读取数据\n已撤销：读取文档 %1\n已撤销：读取文档 %1").arg(file)));
}

// A read's backup is its family's, whatever page is shown when the read
// ends, and holds every field the read filled: loading it restores the
// spacing, the series and the PTT limit too. The list names the family as
// its page does, the model, the address and what read it; only its button
// loads, and says which backup.
void TestSafetyNet::readBackupBelongsToItsFamily_data()
{
    QTest::addColumn<QString>("shown");
    QTest::newRow("MLB4800 page shown") << "mlb4800";
    QTest::newRow("test page shown") << "test";
}

void TestSafetyNet::readBackupBelongsToItsFamily()
{
    QFETCH(QString, shown);
    startRadio({QStringLiteral("--model"), QStringLiteral("DK245N-1")});
    page_->Dk618_Read_Data->click();
    if (shown == QLatin1String("mlb4800"))
        window_->MLB4800Click();
    else
        show(window_->testPage());
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("读取成功！"));
    const QList<BackupEntry> backups = ListBackups(BackupFolder());
    QCOMPARE(backups.size(), 1);
    QCOMPARE(backups[0].family, QStringLiteral("dk618"));
    QCOMPARE(backups[0].model, QStringLiteral("DK245N-1"));
    QCOMPARE(backups[0].source, BackupSource::Read);
    const PageState read = page();
    QCOMPARE(read.value(QStringLiteral("Chan_spa1")), QStringLiteral("0"));
    QVERIFY(read.value(QStringLiteral("Ptttime")) != QStringLiteral("0"));

    window_->DataTransClick();
    page_->Ptttime->setText(QStringLiteral("7"));
    page_->Chan_spa1->setChecked(true);
    page_->BType->setChecked(true);
    window_->safetyNet().BackupListClick();
    auto *list = window_->safetyNet().backupListForm();
    auto *table = list->findChild<QTableWidget *>(QStringLiteral("BackupTable"));
    QCOMPARE(table->rowCount(), 1);
    QStringList cells;
    for (int col = 1; col < 5; ++col)
        cells << table->item(0, col)->text();
    QCOMPARE(cells, (QStringList{QStringLiteral("数传电台"), QStringLiteral("DK245N-1"), read.value(QStringLiteral("Dk618_Address")), QStringLiteral("读取")}));
    auto *families = list->findChild<QComboBox *>(QStringLiteral("BackupFamily"));
    QCOMPARE(families->itemText(1), QStringLiteral("数传电台"));
    QCOMPARE(families->itemText(2), QStringLiteral("MLB4800"));
    QVERIFY(list->findChild<QLabel *>(QStringLiteral("BackupChosen"))->text().contains(table->item(0, 0)->text()));
    emit table->cellDoubleClicked(0, 0);
    QVERIFY(page() != read);
    list->findChild<QPushButton *>(QStringLiteral("BackupLoad"))->click();
    QCOMPARE(page(), read);
    QVERIFY(memo().endsWith(QStringLiteral("已载入备份：") + backups[0].path));

    // Compared with its backup, the page differs nowhere, PTT and spacing
    // included.
    window_->comparePage().ComparePageClick();
    TCompare_Form *form = window_->comparePage().form();
    form->findChild<QPushButton *>(QStringLiteral("CompareBackup"))->click();
    QCOMPARE(form->differingRows(), 0);
    QCOMPARE(form->table()->findItems(QStringLiteral("（不比较）"), Qt::MatchExactly).size(), 1); // Modify_Sync alone
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

// A file without the family's section has no values of the family: its
// defaults are no values to compare with.
void TestSafetyNet::compareRefusesAFileWithoutTheSection_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("said");
    QTest::newRow("data-radio page") << "dk618" << QByteArray("[File_MLR4800]\r\n") << "文件中没有数传电台参数：";
    QTest::newRow("subscriber page") << "mlr4800" << QByteArray("[File_DK618]\r\n") << "文件中没有MLR4800参数：";
    QTest::newRow("central page, empty file") << "mlb4800" << QByteArray() << "文件中没有MLB4800参数：";
}

void TestSafetyNet::compareRefusesAFileWithoutTheSection()
{
    QFETCH(QString, family);
    QFETCH(QByteArray, file);
    QFETCH(QString, said);
    startUnit(family, {});
    const QString path = dir_->filePath(QStringLiteral("other.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    window_->comparePage().ComparePageClick();
    TCompare_Form *form = window_->comparePage().form();
    prompts_->fileNames.enqueue(path);
    form->findChild<QPushButton *>(QStringLiteral("CompareFile"))->click();
    QCOMPARE(form->findChild<QLabel *>(QStringLiteral("CompareSummary"))->text(), said + path);
    QCOMPARE(form->table()->rowCount(), 0);
}

void TestSafetyNet::compareShowsTheChangedFields_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("unit") << QStringLiteral("unit");
    QTest::newRow("file") << QStringLiteral("file");
    QTest::newRow("backup") << QStringLiteral("backup");
}

void TestSafetyNet::compareShowsTheChangedFields()
{
    QFETCH(QString, source);
    startRadio();
    // The page as the unit holds it (the read leaves a backup), saved to a
    // file too; then two fields changed on the page.
    page_->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("读取成功！"));
    const QString file = dir_->filePath(QStringLiteral("unit.ini"));
    prompts_->fileNames.enqueue(file);
    page_->Dk618_Save_File->click();
    page_->TxFreq[3]->setText(QStringLiteral("4301250"));
    page_->Dk618_Address->setText(QStringLiteral("123"));
    if (source == QLatin1String("unit")) {
        // The two fields changed in the unit instead: written, and the page
        // loaded back from the file.
        page_->Dk618_Write_Data->click();
        runExchange();
        QCOMPARE(panel2(), QStringLiteral("写录成功！"));
        prompts_->fileNames.enqueue(file);
        page_->Dk618_Read_File->click();
    }
    const PageState changed = page();

    window_->findChild<QAction *>(QStringLiteral("ComparePage"))->trigger();
    TCompare_Form *form = window_->comparePage().form();
    QVERIFY(form && form->isVisible());
    if (source == QLatin1String("unit")) {
        // The page's own ticks go on meanwhile and must keep off the line.
        window_->findChild<QTimer *>(QStringLiteral("Timer3"))->start();
        form->findChild<QPushButton *>(QStringLiteral("CompareUnit"))->click();
        QVERIFY(readerDone());
    } else if (source == QLatin1String("file")) {
        prompts_->fileNames.enqueue(file);
        form->findChild<QPushButton *>(QStringLiteral("CompareFile"))->click();
    } else {
        QCOMPARE(form->findChild<QComboBox *>(QStringLiteral("CompareBackupChoice"))->count(), 1);
        form->findChild<QPushButton *>(QStringLiteral("CompareBackup"))->click();
    }
    QCoreApplication::processEvents();
    QCOMPARE(page(), changed);
    QCOMPARE(form->differingRows(), 2);
    QTableWidget *table = form->table();
    const int headerColumn = 1;
    QStringList marked;
    form->findChild<QCheckBox *>(QStringLiteral("CompareOnlyDifferences"))->setChecked(true);
    for (int row = 0; row < table->rowCount(); ++row)
        if (!table->isRowHidden(row))
            marked << table->item(row, headerColumn)->text();
    QCOMPARE(marked, (QStringList{QStringLiteral("信道3发射频率"), QStringLiteral("设备地址")}));
    QVERIFY(table->findItems(QStringLiteral("4301250 (430.1250 MHz)"), Qt::MatchExactly).size() == 1);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

void TestSafetyNet::windowClosedDuringAReadBeside()
{
    startRadio({QStringLiteral("--silent-on"), QStringLiteral("63")});
    window_->comparePage().ComparePageClick();
    window_->comparePage().form()->findChild<QPushButton *>(QStringLiteral("CompareUnit"))->click();
    QVERIFY(window_->unitReader().busy());
    QTest::qWait(150);
    window_.reset(); // the link goes before the read (checked under the sanitizers)
    QVERIFY(errors_->errors.isEmpty());
}

void TestSafetyNet::verifyAfterWrite_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("differing");
    const QStringList ignoreAddress{QStringLiteral("--ignore-write"), QStringLiteral("65")};
    const QString failed = QStringLiteral("已写录，校验失败：1项不一致！");
    QTest::newRow("dk618 keeps everything") << QStringLiteral("dk618") << QStringList() << QStringLiteral("写录成功，校验通过！") << QString();
    QTest::newRow("dk618 ignores the address") << QStringLiteral("dk618") << ignoreAddress << failed << QStringLiteral("校验不符：设备地址 页面 77，设备 ");
    QTest::newRow("mlb4800 ignores the address") << QStringLiteral("mlb4800") << ignoreAddress << failed << QStringLiteral("校验不符：设备地址 页面 77，设备 ");
    QTest::newRow("mlr4800 keeps everything") << QStringLiteral("mlr4800") << QStringList() << QStringLiteral("写录成功，校验通过！") << QString();
    QTest::newRow("mlr4800 ignores the address") << QStringLiteral("mlr4800") << ignoreAddress << failed << QStringLiteral("校验不符：终端设备地址 页面 77，设备 ");
}

void TestSafetyNet::verifyAfterWrite()
{
    QFETCH(QString, family);
    QFETCH(QStringList, simArgs);
    QFETCH(QString, outcome);
    QFETCH(QString, differing);
    startUnit(family, simArgs);
    const FieldTable &table = window_->familyOfPage(window_->findChild<QTabWidget *>(QStringLiteral("PageControl"))->currentWidget())->table();
    const QString prefix = family == QLatin1String("dk618") ? QStringLiteral("Dk618_") : family.left(1).toUpper() + family.mid(1) + QLatin1Char('_');
    const auto button = [&](const QString &what) {
        return window_->findChild<QPushButton *>(prefix + (family == QLatin1String("dk618") ? what + QStringLiteral("_Data") : what + QStringLiteral("Data")));
    };
    button(QStringLiteral("Read"))->click();
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("读取成功！"));
    FieldAccess &fields = window_->fields();
    fields.setText(prefix + QStringLiteral("Address"), QStringLiteral("77"));
    const FieldValues written = Snapshot(table, fields);
    window_->writeChecks().verifyAction()->setChecked(true);
    button(QStringLiteral("Write"))->click();
    runExchange();
    QVERIFY(QTest::qWaitFor([&] { return panel2().contains(QStringLiteral("校验")) && !panel2().contains(QStringLiteral("正在")); }, 20000));
    QCOMPARE(panel2(), outcome);
    // The verdict leads; the differing fields follow it.
    const QStringList lines = memo().split(u'\n');
    const qsizetype verdict = lines.indexOf(outcome);
    QVERIFY2(verdict >= 0, qPrintable(memo()));
    if (!differing.isEmpty())
        QVERIFY(lines.value(verdict + 1).startsWith(differing));
    QCOMPARE(Snapshot(table, fields), written);
    QCOMPARE(memo().count(QStringLiteral("校验不符：")), differing.isEmpty() ? 0 : 1);
    if (!differing.isEmpty())
        QVERIFY2(memo().contains(differing), qPrintable(memo()));
    // The subscriber unit's base-station frequencies are only in its file.
    QCOMPARE(memo().contains(QStringLiteral("不读回、未校验：基站发射频率、基站接收频率")), family == QLatin1String("mlr4800"));
    QCOMPARE(memo().count(QStringLiteral("不读回、未校验：")), family == QLatin1String("mlr4800") ? 1 : 0);
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

void TestSafetyNet::backupBeforeWrite_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<bool>("folderBlocked");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("backup read and stored") << QStringList() << false << QStringLiteral("写录成功！");
    QTest::newRow("unit lost during the backup read")
        << QStringList{QStringLiteral("--hangup-on"), QStringLiteral("63"), QStringLiteral("--hangup-pause"), QStringLiteral("60000")} << false
        << QStringLiteral("未写录：备份读取失败");
    QTest::newRow("backup folder not writable") << QStringList() << true << QStringLiteral("未写录：备份未能保存");
}

void TestSafetyNet::backupBeforeWrite()
{
    QFETCH(QStringList, simArgs);
    QFETCH(bool, folderBlocked);
    QFETCH(QString, outcome);
    if (folderBlocked) {
        QDir().mkpath(QFileInfo(BackupFolder()).path());
        QFile blocker(BackupFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    startRadio(simArgs);
    page_->TxFreq[0]->setText(QStringLiteral("4350000"));
    page_->Dk618_Address->setText(QStringLiteral("77"));
    const PageState typed = page();
    window_->writeChecks().backupAction()->setChecked(true);
    page_->Dk618_Write_Data->click();
    QVERIFY(readerDone());
    QCOMPARE(page(), typed);
    runExchange();
    QCOMPARE(panel2(), outcome);
    const bool written = outcome == QStringLiteral("写录成功！");
    QCOMPARE(memo().contains(QStringLiteral("写录数据...")), written);
    if (written) {
        const QList<BackupEntry> backups = ListBackups(BackupFolder());
        QCOMPARE(backups.size(), 1);
        QVERIFY(memo().contains(QStringLiteral("已备份：") + backups[0].path));
    }
    if (folderBlocked)
        QFile::remove(BackupFolder());
}

QTEST_MAIN(TestSafetyNet)
#include "tst_safetynet.moc"
