// The main window on the offscreen platform: start-up, monitor panel, tool
// bar, family choice, the settings dialog (also from the keyboard), the
// error report, the traffic echo and the key sequence that switches it on,
// one exchange through a pseudo terminal, the clock and the sound cue.

#include "app/cueplayer.h"
#include "app/mainform.h"
#include "app/mlbaddrtableform.h"
#include "app/monitormemo.h"
#include "app/panellabel.h"
#include "app/widgetprompts.h"
#include "link/frame.h"
#include "ptypair.h"
#include "findchild.h"
#include "testprompts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QDateTime>
#include <QRegularExpression>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTime>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace qm;

namespace {
// Whether Qt Multimedia is mapped into this process.
bool MultimediaLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia");
}


const QString kPortStatus = QStringLiteral("通讯端口状态：");
const QString kBusy = QStringLiteral("通讯口被占用！");
// A device path that cannot be opened.
const QString kMissingDevice = QStringLiteral("/nonexistent-qmset-test/tty0");


QAction *action(QObject &root, const QString &name)
{
    return child<QAction>(root, name);
}

QString panelText(QObject &root, int index)
{
    return child<QLabel>(root, QStringLiteral("StatusPanel%1").arg(index))->text();
}

QString lastMemoLine(QObject &root)
{
    return child<MonitorMemo>(root, QStringLiteral("Watch_Window"))->document()->lastBlock().text();
}

// One window under test: COM1 on a pseudo terminal of its own (or on a
// device that cannot be opened), prompts and error report recorded.
struct Rig {
    explicit Rig(bool portWorks = true, const QHash<QString, QString> &moreMappings = {})
    {
        MainFormOptions options;
        options.portMap = moreMappings;
        options.portMap.insert(QStringLiteral("COM1"), portWorks ? pty.slavePath() : kMissingDevice);
        options.prompts = &prompts;
        form = std::make_unique<TMainForm>(options);
    }
    bool show()
    {
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }
    TMainForm &w() { return *form; }

    PtyPair pty;
    TestPrompts prompts;
    ErrorCatcher errors;
    std::unique_ptr<TMainForm> form;
};

void selectItem(QDialog &dialog, const QString &list, const QString &item)
{
    auto *combo = child<QComboBox>(dialog, list);
    combo->setCurrentIndex(combo->findText(item));
}

struct Choices {
    QString port, rate, parity;
};

Choices shownChoices(QDialog &dialog)
{
    return {child<QComboBox>(dialog, QStringLiteral("Comport"))->currentText(),
            child<QComboBox>(dialog, QStringLiteral("Comrate"))->currentText(),
            child<QComboBox>(dialog, QStringLiteral("Checkmode"))->currentText()};
}

// Opens the settings dialog as the menu does and runs drive() on it while
// it is up. A dialog that drive() leaves open is cancelled, so a failing
// test cannot hang in exec(). Returns false when no dialog came up.
bool runSettings(TMainForm &w, const std::function<void(QDialog &)> &drive)
{
    bool seen = false;
    QTimer::singleShot(0, &w, [&] {
        auto *dialog = w.findChild<QDialog *>(QStringLiteral("Set_Form"));
        if (!dialog || !dialog->isVisible() || QApplication::activeModalWidget() != dialog)
            return;
        seen = true;
        drive(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    QTimer::singleShot(5000, &w, [&] {
        if (auto *dialog = w.findChild<QDialog *>(QStringLiteral("Set_Form")); dialog && dialog->isVisible())
            dialog->reject();
    });
    w.SetSysConfigClick();
    return seen;
}

void clickButton(QDialog &dialog, const QString &name)
{
    QTest::mouseClick(child<QPushButton>(dialog, name), Qt::LeftButton);
}

bool showsCurrentTime(const QString &text)
{
    const QTime shown = QTime::fromString(text, QStringLiteral("hh:mm:ss"));
    return shown.isValid() && std::abs(shown.secsTo(QTime::currentTime())) <= 2;
}

QString focusName()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void startUp_data();
    void startUp();
    void monitorPanelWidensAndNarrows();
    void clearButtonEmptiesMonitor();
    void monitorRecordMenu_data();
    void monitorRecordMenu();
    void monitorRecordKeepsTheRun_data();
    void monitorRecordKeepsTheRun();
    void monitorRecordInTheFolderLastUsed();
    void frequencyTipInMhz_data();
    void frequencyTipInMhz();
    void longPanelTextElided();
    void menuLettersUniquePerMenu();
    void toolBarToggle_data();
    void toolBarToggle();
    void familyChoice_data();
    void familyChoice();
    void mlr4800ResetsItsListsEveryTime();
    void settingsOk_data();
    void settingsOk();
    void settingsCancelKeepsCurrent();
    void settingsPortThatCannotOpen();
    void settingsListsAcceptNoTyping();
    void autoButton_data();
    void autoButton();
    void writeToClosedPortIsReported();
    void passwordEntryMasked();
    void failedQueuedWriteEndsTheExchange();
    void clearFields();
    void trafficEcho_data();
    void trafficEcho();
    void monitorEmptiesBeyondRowLimit_data();
    void monitorEmptiesBeyondRowLimit();
    void monitorCountsRowsInItsFont_data();
    void monitorCountsRowsInItsFont();
    void exchangeThroughPty();
    void settingsFromKeyboard_data();
    void settingsFromKeyboard();
    void pageFieldsByTab_data();
    void pageFieldsByTab();
    void pageStaysWithoutItsMenuItem_data();
    void pageStaysWithoutItsMenuItem();
    void settingsButtonsByReturn_data();
    void settingsButtonsByReturn();
    void hiddenKeySequence_data();
    void hiddenKeySequence();
    void clockShowsAndHides();
    void toneSynthesis_data();
    void toneSynthesis();
    void cueOnlyWithMusic();
    void dialogsOpenAtTheirSize_data();
    void dialogsOpenAtTheirSize();
    void reportsShownForBenchmarks_data();
    void reportsShownForBenchmarks();
};

void TestMainForm::startUp_data()
{
    QTest::addColumn<bool>("portWorks");
    QTest::newRow("port opens") << true;
    QTest::newRow("port missing") << false;
}

void TestMainForm::startUp()
{
    QFETCH(bool, portWorks);
    Rig rig(portWorks);
    QVERIFY2(rig.pty.isOpen(), qPrintable(rig.pty.errorString()));
    TMainForm &w = rig.w();
    QCOMPARE(w.windowTitle(), QStringLiteral("QM4700终端参数设置软件"));
    QCOMPARE(panelText(w, 0), QStringLiteral("MLR4800A-HV1.20-SV1.23"));
    // Nothing is said before the window is up.
    QVERIFY(rig.prompts.messages.isEmpty());

    QVERIFY(rig.show());
    QVERIFY(!child<QTabWidget>(w, QStringLiteral("PageControl"))->isVisible());
    QCOMPARE(panelText(w, 1), kPortStatus + QStringLiteral("COM1,19200,N,8,1"));
    QCOMPARE(w.link().port().rate(), 19200);
    QCOMPARE(w.link().port().parity(), QSerialPort::NoParity);
    QCOMPARE(w.link().port().isOpen(), portWorks);
    if (portWorks) {
        // The open device itself runs at the new rate.
        QCOMPARE(w.link().port().device().baudRate(), 19200);
        QTest::qWait(20);
        QCOMPARE(rig.prompts.messages, QStringList());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(FirstLines(rig.prompts.messages), QStringList{QStringLiteral("通讯口被占用！请更改通讯端口！")}, 2000);
        // The second line says why, as the monitor does.
        QCOMPARE(rig.prompts.messages.constFirst().section(u'\n', 1), lastMemoLine(w));
        QVERIFY(lastMemoLine(w).startsWith(QStringLiteral("COM1：找不到设备 ") + kMissingDevice));
        // The status panel keeps the port text although the port is closed.
        QCOMPARE(panelText(w, 1), kPortStatus + QStringLiteral("COM1,19200,N,8,1"));
    }
    QVERIFY(rig.errors.errors.isEmpty());

    // A page appears with the first family chosen.
    action(w, QStringLiteral("DataTrans"))->trigger();
    QVERIFY(child<QTabWidget>(w, QStringLiteral("PageControl"))->isVisible());
}

void TestMainForm::monitorPanelWidensAndNarrows()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    auto *watch = child<QFrame>(w, QStringLiteral("Watch_Frame"));
    auto *main = child<QFrame>(w, QStringLiteral("MainPanel"));
    const QSize start = w.size();
    QVERIFY(!watch->isVisible());
    QCOMPARE(start.width(), main->width() + 10);

    for (int round = 0; round < 2; ++round) {
        action(w, QStringLiteral("Watch_Open"))->trigger();
        QVERIFY(watch->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(w.width(), start.width() + watch->width() + 10, 1000);
        QCOMPARE(w.height(), start.height());

        // Closed by the menu action the first time, by the panel's own
        // button the second.
        if (round == 0)
            action(w, QStringLiteral("Watch_Open"))->trigger();
        else
            QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Close_Watch")), Qt::LeftButton);
        QVERIFY(!watch->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(w.width(), main->width() + 10, 1000);
        QCOMPARE(w.size(), start);
    }
}

void TestMainForm::clearButtonEmptiesMonitor()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    action(w, QStringLiteral("Watch_Open"))->trigger();
    auto *memo = child<MonitorMemo>(w, QStringLiteral("Watch_Window"));
    w.memo(QStringLiteral("first"));
    w.memo(QStringLiteral("second"));
    QVERIFY(memo->rowCount() >= 2);
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("SpeedButton1")), Qt::LeftButton);
    QCOMPARE(memo->toPlainText(), QString());
    QCOMPARE(memo->rowCount(), 0);
    w.memo(QStringLiteral("third"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("third"));
}

void TestMainForm::monitorRecordMenu_data()
{
    QTest::addColumn<QString>("fileName"); // empty: the dialog is cancelled
    QTest::addColumn<bool>("saved");
    QTest::newRow("saved") << QStringLiteral("记录.txt") << true;
    QTest::newRow("cancelled") << QString() << false;
    QTest::newRow("folder missing") << QStringLiteral("missing/记录.txt") << false;
}

// Copy and select all work on the memo's text; the record is its lines in
// UTF-8, written only when a file is picked, and a failed write says so.
void TestMainForm::monitorRecordMenu()
{
    QFETCH(QString, fileName);
    QFETCH(bool, saved);
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    auto *memo = child<MonitorMemo>(w, QStringLiteral("Watch_Window"));
    w.memo(QStringLiteral("读取成功！"));
    w.memo(QStringLiteral("96 03 80 99 8C"));
    QTemporaryDir dir;
    const QString path = fileName.isEmpty() ? QString() : dir.filePath(fileName);
    int asked = 0;
    memo->chooseRecordFile = [&] { ++asked; return path; };

    std::unique_ptr<QMenu> menu(memo->createRecordMenu());
    QVERIFY(!child<QAction>(*menu, QStringLiteral("Watch_Copy"))->isEnabled());
    child<QAction>(*menu, QStringLiteral("Watch_SelectAll"))->trigger();
    menu.reset(memo->createRecordMenu());
    auto *copy = child<QAction>(*menu, QStringLiteral("Watch_Copy"));
    QVERIFY(copy->isEnabled());
    copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("读取成功！\n96 03 80 99 8C"));

    child<QAction>(*menu, QStringLiteral("Watch_SaveRecord"))->trigger();
    QCOMPARE(asked, 1);
    QCOMPARE(QFileInfo::exists(path), saved);
    if (saved) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Each line after the time it came.
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.last(), QString());
        const QRegularExpression stamp(QStringLiteral(R"(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})  (.*)$)"));
        const QStringList texts = {QStringLiteral("读取成功！"), QStringLiteral("96 03 80 99 8C")};
        for (int i = 0; i < 2; ++i) {
            const QRegularExpressionMatch m = stamp.match(lines[i]);
            QVERIFY2(m.hasMatch(), qPrintable(lines[i]));
            QCOMPARE(m.captured(2), texts[i]);
            const QDateTime at = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
            QVERIFY(std::abs(at.secsTo(QDateTime::currentDateTime())) < 60);
        }
        QCOMPARE(panelText(w, 2), QStringLiteral("记录已保存：") + path);
    } else {
        QVERIFY(!panelText(w, 2).startsWith(QStringLiteral("记录已保存")));
    }
    QCOMPARE(rig.errors.errors.size(), fileName.contains(u'/') ? 1 : 0);
    if (!rig.errors.errors.isEmpty())
        QVERIFY(rig.errors.errors.constFirst().startsWith(QStringLiteral("无法写入文件：")));
}

namespace {
// The menu letter of a caption ("工具条 (&B)" -> 'B'), or a null character.
QChar menuLetter(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toUpper();
        ++i; // "&&" is a plain ampersand
    }
    return {};
}

// Every pair of items of one menu (and its submenus, each on its own) that
// share a menu letter, as "menu: A twice".
QStringList sharedLetters(const QString &where, const QList<QAction *> &items)
{
    QStringList found;
    QHash<QChar, QString> taken;
    for (QAction *a : items) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        if (const QChar letter = menuLetter(a->text()); !letter.isNull()) {
            if (taken.contains(letter))
                found << QStringLiteral("%1: %2 in %3 and %4").arg(where, letter, taken.value(letter), a->text());
            taken.insert(letter, a->text());
        }
        if (a->menu())
            found << sharedLetters(where + QLatin1Char('/') + a->text(), a->menu()->actions());
    }
    return found;
}
} // namespace

// Whatever the menus hold, no two items of one menu share a letter; help
// comes last; the monitor's own menu has a letter on every item.
void TestMainForm::menuLettersUniquePerMenu()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    const QList<QAction *> bar = w.menuBar()->actions();
    QVERIFY(bar.size() >= 4);
    QCOMPARE(sharedLetters(QStringLiteral("menu bar"), bar), QStringList());
    QCOMPARE(menuLetter(bar.last()->text()), u'H');
    int edit = -1;
    for (int i = 0; i < bar.size(); ++i)
        if (menuLetter(bar[i]->text()) == u'E')
            edit = i;
    QCOMPARE(edit, int(bar.size()) - 2);

    std::unique_ptr<QMenu> monitor(child<MonitorMemo>(w, QStringLiteral("Watch_Window"))->createRecordMenu());
    QCOMPARE(sharedLetters(QStringLiteral("monitor"), monitor->actions()), QStringList());
    for (QAction *a : monitor->actions())
        QVERIFY2(a->isSeparator() || !menuLetter(a->text()).isNull(), qPrintable(a->text()));
}

// The record holds every line of the run, also those the capped memo has
// dropped and those 清显示区 took away; beyond its own bound the oldest go,
// and the record says how many.
void TestMainForm::monitorRecordKeepsTheRun_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("limit"); // characters; 0: the memo's own
    QTest::addColumn<int>("kept");
    QTest::newRow("beyond the display") << 1000 << 0 << 1000;
    QTest::newRow("beyond the bound") << 1000 << 100 * 8 << 100;
}

void TestMainForm::monitorRecordKeepsTheRun()
{
    QFETCH(int, lines);
    QFETCH(int, limit);
    QFETCH(int, kept);
    Rig rig;
    TMainForm &w = rig.w();
    auto *memo = child<MonitorMemo>(w, QStringLiteral("Watch_Window"));
    if (limit)
        memo->setRunLogLimit(limit);
    // After what start-up said, lines of eight characters each.
    memo->clearAll();
    const qsizetype before = memo->runLogLines();
    for (int i = 0; i < lines; ++i) {
        w.memo(QStringLiteral("line%1").arg(i, 4, 10, QLatin1Char('0')));
        if (i == lines / 2)
            QTest::mouseClick(child<QPushButton>(w, QStringLiteral("SpeedButton1")), Qt::LeftButton);
    }
    QVERIFY(memo->document()->blockCount() <= MonitorMemo::kMaxRows + 1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.txt"));
    memo->saveRecord(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList saved = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    if (limit) {
        QCOMPARE(saved.takeFirst(), QStringLiteral("（本次运行更早的 %1 行超出记录上限，未保存）").arg(before + lines - kept));
    } else {
        saved = saved.mid(before);
    }
    QCOMPARE(saved.size(), kept);
    for (int i = 0; i < kept; ++i)
        QVERIFY2(saved[i].endsWith(QStringLiteral("  line%1").arg(lines - kept + i, 4, 10, QLatin1Char('0'))), qPrintable(saved[i]));
}

// The record's dialog opens where the window's file dialogs went last.
void TestMainForm::monitorRecordInTheFolderLastUsed()
{
    PtyPair pty;
    MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
    TMainForm w(options); // the window's own dialogs
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTemporaryDir dir;
    auto *own = dynamic_cast<WidgetPrompts *>(&w.prompts());
    QVERIFY(own);
    own->useFolder(dir.path()); // as a parameter file stored there leaves it
    QString shown;
    QTimer::singleShot(0, &w, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            shown = dialog->objectName() + u' ' + dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    std::unique_ptr<QMenu> menu(child<MonitorMemo>(w, QStringLiteral("Watch_Window"))->createRecordMenu());
    child<QAction>(*menu, QStringLiteral("Watch_SaveRecord"))->trigger();
    QCOMPARE(shown, QStringLiteral("SaveRecordDialog ") + QDir(dir.path()).absolutePath());
}

void TestMainForm::frequencyTipInMhz_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("tip");
    QTest::newRow("radio transmit") << "TxFreq0" << "4330750" << "433.0750 MHz";
    QTest::newRow("radio receive, 800M") << "RxFreq9" << "8060125" << "806.0125 MHz";
    QTest::newRow("central downlink") << "TxFreq20" << "2300000" << "230.0000 MHz";
    QTest::newRow("subscriber base station") << "RxFreq31" << "250" << "0.0250 MHz";
}

// Every frequency field tells its value in MHz, typed or set by the program.
void TestMainForm::frequencyTipInMhz()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, tip);
    Rig rig;
    TMainForm &w = rig.w();
    auto *edit = child<QLineEdit>(w, field);
    QCOMPARE(edit->toolTip(), QStringLiteral("0.0000 MHz"));
    edit->clear();
    QCOMPARE(edit->toolTip(), QString());
    QTest::keyClicks(edit, keys);
    QCOMPARE(edit->toolTip(), tip);
    w.ClearFields();
    QCOMPARE(edit->toolTip(), QStringLiteral("0.0000 MHz"));
}

// A status text too long for its panel is shortened with "…", never cut,
// and the tip shows it whole above the panel's own tip.
void TestMainForm::longPanelTextElided()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    auto *port = child<PanelLabel>(w, QStringLiteral("StatusPanel1"));
    const QString ownTip = port->toolTip();
    QVERIFY(ownTip.startsWith(QStringLiteral("COM1：")));
    QCOMPARE(port->shownText(), port->text());

    const QString waiting = QStringLiteral("通讯口已断开，等待设备重新接入：COM1");
    w.panel(1, waiting);
    QCOMPARE(port->text(), waiting);
    const QString shown = port->shownText();
    QVERIFY2(shown.contains(u'…') && shown.startsWith(QStringLiteral("通讯口")) && shown.endsWith(QStringLiteral("COM1")), qPrintable(shown));
    QVERIFY(port->fontMetrics().horizontalAdvance(shown) <= port->contentsRect().width());
    QCOMPARE(port->toolTip(), waiting + u'\n' + ownTip);

    auto *progress = child<PanelLabel>(w, QStringLiteral("StatusPanel2"));
    const QString refused = QStringLiteral("未写录：信道7下行发射频率16384000超出范围！请改正后再写录");
    w.panel(2, refused);
    QVERIFY(progress->shownText().startsWith(QStringLiteral("未写录：")) && progress->shownText().endsWith(u'…'));
    QCOMPARE(progress->toolTip(), refused);
    w.panel(2, QStringLiteral("读取成功！"));
    QCOMPARE(progress->shownText(), QStringLiteral("读取成功！"));
    QCOMPARE(progress->toolTip(), QString());
}

void TestMainForm::toolBarToggle_data()
{
    QTest::addColumn<bool>("monitorOpen");
    QTest::newRow("monitor closed") << false;
    QTest::newRow("monitor open") << true;
}

void TestMainForm::toolBarToggle()
{
    QFETCH(bool, monitorOpen);
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    if (monitorOpen)
        action(w, QStringLiteral("Watch_Open"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 1000);
    auto *bar = child<QToolBar>(w, QStringLiteral("ToolBar"));
    auto *main = child<QFrame>(w, QStringLiteral("MainPanel"));
    auto *watch = child<QFrame>(w, QStringLiteral("Watch_Frame"));
    const QSize start = w.size();
    const int mainTop = main->y();
    QVERIFY(bar->isVisible());
    QVERIFY(mainTop > 0);
    QCOMPARE(watch->y(), mainTop);

    action(w, QStringLiteral("Tools"))->trigger();
    QVERIFY(!bar->isVisible());
    QCOMPARE(main->y(), 0);
    QCOMPARE(watch->y(), 0);
    QCOMPARE(watch->isVisible(), monitorOpen);
    QTRY_COMPARE_WITH_TIMEOUT(w.height(), start.height() - 32, 1000);
    QCOMPARE(w.width(), start.width());

    action(w, QStringLiteral("Tools"))->trigger();
    QVERIFY(bar->isVisible());
    QCOMPARE(main->y(), mainTop);
    QCOMPARE(watch->y(), mainTop);
    QTRY_COMPARE_WITH_TIMEOUT(w.size(), start, 1000);
}

void TestMainForm::familyChoice_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QSerialPort::Parity>("parity");
    // DataTrans and QM4700 keep whatever line the family before set.
    QTest::newRow("DataTrans after MLR4800") << "MLR4800" << "DataTrans" << "Dk618_TabSheet" << "Dk618_ToolButton"
                                             << ",1200,E,8,1" << 1200 << QSerialPort::EvenParity;
    QTest::newRow("QM4700 after MLR4800") << "MLR4800" << "QM4700" << "QM4700_TabSheet" << "QM4700_ToolButton"
                                          << ",1200,E,8,1" << 1200 << QSerialPort::EvenParity;
    QTest::newRow("QM4700 after DataTrans") << "DataTrans" << "QM4700" << "QM4700_TabSheet" << "QM4700_ToolButton"
                                            << ",19200,N,8,1" << 19200 << QSerialPort::NoParity;
    QTest::newRow("MLB4800 after MLR4800") << "MLR4800" << "MLB4800" << "MLB4800_TabSheet" << "MLB4800_ToolButton"
                                           << ",19200,N,8,1" << 19200 << QSerialPort::NoParity;
    QTest::newRow("MLR4800 after MLB4800") << "MLB4800" << "MLR4800" << "MLR4800_TabSheet" << "MLR4800_ToolButton"
                                           << ",1200,E,8,1" << 1200 << QSerialPort::EvenParity;
    QTest::newRow("MLR4800 after DataTrans") << "DataTrans" << "MLR4800" << "MLR4800_TabSheet" << "MLR4800_ToolButton"
                                             << ",1200,E,8,1" << 1200 << QSerialPort::EvenParity;
    QTest::newRow("MLR4800 twice") << "MLR4800" << "MLR4800" << "MLR4800_TabSheet" << "MLR4800_ToolButton"
                                   << ",1200,E,8,1" << 1200 << QSerialPort::EvenParity;
    QTest::newRow("DataTrans twice") << "DataTrans" << "DataTrans" << "Dk618_TabSheet" << "Dk618_ToolButton"
                                     << ",19200,N,8,1" << 19200 << QSerialPort::NoParity;
}

void TestMainForm::familyChoice()
{
    QFETCH(QString, before);
    QFETCH(QString, family);
    QFETCH(QString, page);
    QFETCH(QString, button);
    QFETCH(QString, line);
    QFETCH(int, rate);
    QFETCH(QSerialPort::Parity, parity);

    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    action(w, before)->trigger();
    action(w, family)->trigger();

    auto *pages = child<QTabWidget>(w, QStringLiteral("PageControl"));
    QVERIFY(pages->isVisible());
    QCOMPARE(pages->currentWidget()->objectName(), page);

    const bool dataRadio = family == QLatin1String("DataTrans");
    QCOMPARE(action(w, QStringLiteral("DataTrans"))->isChecked(), dataRadio);
    QCOMPARE(child<QMenu>(w, QStringLiteral("QM4700S"))->menuAction()->isChecked(), !dataRadio);
    for (const QString &series : {QStringLiteral("QM4700"), QStringLiteral("MLB4800"), QStringLiteral("MLR4800")})
        QCOMPARE(action(w, series)->isChecked(), series == family);
    for (const QString &name : {QStringLiteral("Dk618_ToolButton"), QStringLiteral("QM4700_ToolButton"),
                                QStringLiteral("MLB4800_ToolButton"), QStringLiteral("MLR4800_ToolButton")})
        QVERIFY2(child<QToolButton>(w, name)->isChecked() == (name == button), qPrintable(name));

    QCOMPARE(panelText(w, 1), kPortStatus + QStringLiteral("COM1") + line);
    QCOMPARE(w.link().port().rate(), rate);
    QCOMPARE(w.link().port().parity(), parity);
    QCOMPARE(w.link().port().device().baudRate(), rate);
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestMainForm::mlr4800ResetsItsListsEveryTime()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    auto *comRate = child<QComboBox>(w, QStringLiteral("Mlr4800ComRate"));
    auto *airRate = child<QComboBox>(w, QStringLiteral("Mlr4800_Airrate"));
    auto *meter = child<QComboBox>(w, QStringLiteral("Meter_Category"));
    QVERIFY(comRate->count() >= 2 && airRate->count() >= 3 && meter->count() >= 2);

    // Straight again, and after another family in between.
    for (const QString &between : {QString(), QStringLiteral("MLB4800"), QStringLiteral("DataTrans")}) {
        if (!between.isEmpty())
            action(w, between)->trigger();
        action(w, QStringLiteral("MLR4800"))->trigger();
        QCOMPARE(comRate->currentIndex(), 0);
        QCOMPARE(airRate->currentIndex(), 1);
        QCOMPARE(meter->currentIndex(), 0);
        comRate->setCurrentIndex(comRate->count() - 1);
        airRate->setCurrentIndex(2);
        meter->setCurrentIndex(meter->count() - 1);
    }
    action(w, QStringLiteral("MLR4800"))->trigger();
    QCOMPARE(comRate->currentIndex(), 0);
    QCOMPARE(airRate->currentIndex(), 1);
    QCOMPARE(meter->currentIndex(), 0);
}

void TestMainForm::settingsOk_data()
{
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QSerialPort::Parity>("portParity");
    QTest::newRow("9600 even") << "9600" << "偶校验" << ",9600,E,8,1" << QSerialPort::EvenParity;
    QTest::newRow("9600 odd") << "9600" << "奇校验" << ",9600,O,8,1" << QSerialPort::OddParity;
    QTest::newRow("300 odd") << "300" << "奇校验" << ",300,O,8,1" << QSerialPort::OddParity;
    QTest::newRow("2400 none") << "2400" << "无校验" << ",2400,N,8,1" << QSerialPort::NoParity;
}

void TestMainForm::settingsOk()
{
    QFETCH(QString, rate);
    QFETCH(QString, parity);
    QFETCH(QString, line);
    QFETCH(QSerialPort::Parity, portParity);

    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    QVERIFY(runSettings(w, [&](QDialog &d) {
        selectItem(d, QStringLiteral("Comport"), QStringLiteral("COM1"));
        selectItem(d, QStringLiteral("Comrate"), rate);
        selectItem(d, QStringLiteral("Checkmode"), parity);
        clickButton(d, QStringLiteral("Set_ComOK"));
    }));
    QCOMPARE(panelText(w, 1), kPortStatus + QStringLiteral("COM1") + line);
    QCOMPARE(w.link().port().rate(), rate.toInt());
    QCOMPARE(w.link().port().parity(), portParity);
    QVERIFY(w.link().port().isOpen());
    QCOMPARE(w.link().port().device().baudRate(), rate.toInt());
    QVERIFY(rig.prompts.messages.isEmpty());
    QVERIFY(rig.errors.errors.isEmpty());

    // The next time the dialog shows what is now in force.
    Choices shown;
    QVERIFY(runSettings(w, [&](QDialog &d) {
        shown = shownChoices(d);
        clickButton(d, QStringLiteral("Set_ComEsc"));
    }));
    QCOMPARE(shown.port, QStringLiteral("COM1"));
    QCOMPARE(shown.rate, rate);
    QCOMPARE(shown.parity, parity);
}

void TestMainForm::settingsCancelKeepsCurrent()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    // First a setting of our own, so "current" is not the start-up default.
    QVERIFY(runSettings(w, [&](QDialog &d) {
        selectItem(d, QStringLiteral("Comrate"), QStringLiteral("4800"));
        selectItem(d, QStringLiteral("Checkmode"), QStringLiteral("偶校验"));
        clickButton(d, QStringLiteral("Set_ComOK"));
    }));
    const QString status = panelText(w, 1);
    QCOMPARE(status, kPortStatus + QStringLiteral("COM1,4800,E,8,1"));

    QVERIFY(runSettings(w, [&](QDialog &d) {
        selectItem(d, QStringLiteral("Comport"), QStringLiteral("COM3"));
        selectItem(d, QStringLiteral("Comrate"), QStringLiteral("300"));
        selectItem(d, QStringLiteral("Checkmode"), QStringLiteral("奇校验"));
        clickButton(d, QStringLiteral("Set_ComEsc"));
    }));
    QCOMPARE(panelText(w, 1), status);
    QCOMPARE(w.link().port().rate(), 4800);
    QCOMPARE(w.link().port().parity(), QSerialPort::EvenParity);
    QCOMPARE(w.link().port().portName(), QStringLiteral("COM1"));
    QVERIFY(w.link().port().isOpen());

    Choices shown;
    QVERIFY(runSettings(w, [&](QDialog &d) {
        shown = shownChoices(d);
        clickButton(d, QStringLiteral("Set_ComEsc"));
    }));
    QCOMPARE(shown.port, QStringLiteral("COM1"));
    QCOMPARE(shown.rate, QStringLiteral("4800"));
    QCOMPARE(shown.parity, QStringLiteral("偶校验"));

    // The automatic button works from the lists too: after a cancel it
    // must apply the settings in force, not the ones thrown away.
    QVERIFY(runSettings(w, [&](QDialog &d) {
        selectItem(d, QStringLiteral("Comrate"), QStringLiteral("600"));
        clickButton(d, QStringLiteral("Set_ComEsc"));
    }));
    // The settings in force come first; then the detection starts at 300 N.
    QSignalSpy applied(&w.link(), &Link::portStatus);
    QTest::mouseClick(child<QToolButton>(w, QStringLiteral("ToolButton6")), Qt::LeftButton);
    QVERIFY(!applied.isEmpty());
    QCOMPARE(applied.first().first().toString(), status);
    QVERIFY(rig.prompts.messages.isEmpty());
}

void TestMainForm::settingsPortThatCannotOpen()
{
    Rig rig(true, {{QStringLiteral("COM2"), kMissingDevice}});
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    QVERIFY(w.link().port().isOpen());
    QVERIFY(runSettings(w, [&](QDialog &d) {
        selectItem(d, QStringLiteral("Comport"), QStringLiteral("COM2"));
        selectItem(d, QStringLiteral("Comrate"), QStringLiteral("9600"));
        clickButton(d, QStringLiteral("Set_ComOK"));
    }));
    QCOMPARE(rig.prompts.messages, QStringList{kBusy + u'\n' + lastMemoLine(w)});
    QVERIFY(lastMemoLine(w).startsWith(QStringLiteral("COM2：找不到设备 ")));
    QCOMPARE(panelText(w, 1), kBusy);
    QVERIFY(!w.link().port().isOpen());
    QVERIFY(rig.errors.errors.isEmpty());

    // A family that sets the line shows the port text again, port or not.
    action(w, QStringLiteral("MLB4800"))->trigger();
    QCOMPARE(panelText(w, 1), kPortStatus + QStringLiteral("COM2,19200,N,8,1"));
    QVERIFY(!w.link().port().isOpen());
    QCOMPARE(FirstLines(rig.prompts.messages), QStringList{kBusy});
}

void TestMainForm::settingsListsAcceptNoTyping()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());

    // Keys a plain list would use to jump to another item.
    struct Case {
        QString list;
        QString text;
        Qt::Key key;
    };
    const QList<Case> cases = {
        {QStringLiteral("Comport"), QStringLiteral("c"), Qt::Key_C},
        {QStringLiteral("Comrate"), QStringLiteral("6"), Qt::Key_6},
        {QStringLiteral("Comrate"), QStringLiteral("3"), Qt::Key_3},
        {QStringLiteral("Comrate"), QStringLiteral("9"), Qt::Key_9},
        {QStringLiteral("Checkmode"), QStringLiteral("奇"), Qt::Key_unknown},
        {QStringLiteral("Checkmode"), QStringLiteral("偶"), Qt::Key_unknown},
    };
    auto press = [](QWidget *target, const Case &c) {
        QKeyEvent down(QEvent::KeyPress, c.key, Qt::NoModifier, c.text);
        QKeyEvent up(QEvent::KeyRelease, c.key, Qt::NoModifier, c.text);
        QApplication::sendEvent(target, &down);
        QApplication::sendEvent(target, &up);
    };

    QStringList changed;
    int controlsMoved = 0;
    QVERIFY(runSettings(w, [&](QDialog &d) {
        for (const Case &c : cases) {
            auto *list = child<QComboBox>(d, c.list);
            list->setFocus();
            const int before = list->currentIndex();
            press(list, c);
            if (list->currentIndex() != before)
                changed << c.list + QLatin1Char(' ') + c.text;

            // The same key on an unguarded list of the same items does move
            // the selection, so the key is one that would matter.
            QComboBox control(&d);
            for (int i = 0; i < list->count(); ++i)
                control.addItem(list->itemText(i));
            control.setCurrentIndex(before);
            control.show();
            press(&control, c);
            if (control.currentIndex() != before)
                ++controlsMoved;
        }
        clickButton(d, QStringLiteral("Set_ComEsc"));
    }));
    QCOMPARE(changed, QStringList());
    QCOMPARE(controlsMoved, int(cases.size()));
    QCOMPARE(panelText(w, 1), kPortStatus + QStringLiteral("COM1,19200,N,8,1"));
}

void TestMainForm::autoButton_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("reading"); // a data-radio read waits for its reply
    QTest::newRow("port opens") << "COM1" << true << false;
    QTest::newRow("port cannot open") << "COM2" << false << false;
    QTest::newRow("refused during a read") << "COM1" << true << true;
}

void TestMainForm::autoButton()
{
    QFETCH(QString, port);
    QFETCH(bool, opens);
    QFETCH(bool, reading);
    Rig rig(true, {{QStringLiteral("COM2"), kMissingDevice}});
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    if (reading) {
        action(w, QStringLiteral("DataTrans"))->trigger();
        child<QPushButton>(w, QStringLiteral("Dk618_Read_Data"))->click();
    }
    auto *dialog = child<QDialog>(w, QStringLiteral("Set_Form"));
    selectItem(*dialog, QStringLiteral("Comport"), port);
    selectItem(*dialog, QStringLiteral("Comrate"), QStringLiteral("4800"));
    selectItem(*dialog, QStringLiteral("Checkmode"), QStringLiteral("奇校验"));
    const QString panel2 = panelText(w, 2);
    QSignalSpy applied(&w.link(), &Link::portStatus);

    bool dialogShown = false;
    QTimer::singleShot(3000, &w, [&] {
        if (dialog->isVisible()) {
            dialogShown = true;
            dialog->reject();
        }
    });
    QTest::mouseClick(child<QToolButton>(w, QStringLiteral("ToolButton6")), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialogShown);
    if (reading) { // said, and the line left as it was
        QCOMPARE(lastMemoLine(w), QStringLiteral("数传电台正在读写，请稍候再试！"));
        QCOMPARE(panelText(w, 2), lastMemoLine(w));
        QVERIFY(!child<QDialog>(w, QStringLiteral("AutoSet_Form"))->isVisible());
        QVERIFY(applied.isEmpty());
        QCOMPARE(w.link().port().rate(), 19200);
        QCOMPARE(w.link().port().parity(), QSerialPort::NoParity);
        QVERIFY(w.link().state().RadioReadActive);
        return;
    }

    QCOMPARE(w.link().port().isOpen(), opens);
    QVERIFY(!applied.isEmpty());
    QCOMPARE(applied.first().first().toString(), kPortStatus + port + QStringLiteral(",4800,O,8,1"));
    // Only an open port starts the detection, at 300 bit/s without parity.
    QCOMPARE(child<QDialog>(w, QStringLiteral("AutoSet_Form"))->isVisible(), opens);
    if (opens) {
        QCOMPARE(panelText(w, 1), kPortStatus + QStringLiteral("COM1,300,N,8,1"));
        QCOMPARE(lastMemoLine(w), QStringLiteral("设置串口..."));
        QCOMPARE(panelText(w, 2), QStringLiteral("正在设置串口，请稍候..."));
        QVERIFY(rig.prompts.messages.isEmpty());
    } else {
        QCOMPARE(w.link().port().rate(), 4800);
        QCOMPARE(w.link().port().parity(), QSerialPort::OddParity);
        QCOMPARE(panelText(w, 1), kBusy);
        QVERIFY(!child<MonitorMemo>(w, QStringLiteral("Watch_Window"))->toPlainText().contains(QStringLiteral("设置串口...")));
        QCOMPARE(panelText(w, 2), panel2);
        QCOMPARE(FirstLines(rig.prompts.messages), QStringList{kBusy});
    }
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestMainForm::writeToClosedPortIsReported()
{
    Rig rig(false);
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    QVERIFY(!w.link().port().isOpen());
    w.link().state().MonitorOn = true;
    auto *memo = child<MonitorMemo>(w, QStringLiteral("Watch_Window"));

    rig.prompts.confirmations.enqueue(true);
    action(w, QStringLiteral("N1"))->trigger();
    QCOMPARE(rig.errors.errors.size(), 1);
    QVERIFY(!rig.errors.errors.first().isEmpty());
    // A refused write is not echoed as sent.
    QVERIFY(!memo->toPlainText().contains(QStringLiteral("P->T")));

    // The window goes on working.
    action(w, QStringLiteral("MLB4800"))->trigger();
    QCOMPARE(child<QTabWidget>(w, QStringLiteral("PageControl"))->currentWidget()->objectName(), QStringLiteral("MLB4800_TabSheet"));
    rig.prompts.confirmations.enqueue(true);
    action(w, QStringLiteral("T1"))->trigger();
    QCOMPARE(rig.errors.errors.size(), 2);
    QVERIFY(w.isVisible());
}

// The entry shows one "*" per character; a wrong password gets a plain box.
void TestMainForm::passwordEntryMasked()
{
    PtyPair pty;
    MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
    TMainForm w(options); // the window's own message boxes
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QString shown, boxText;
    int icon = -1;
    QTimer::singleShot(0, &w, [&] {
        auto *dialog = child<QDialog>(w, QStringLiteral("Password"));
        auto *entry = child<QLineEdit>(*dialog, QStringLiteral("PassText"));
        QTest::keyClicks(entry, QStringLiteral("abc"));
        shown = entry->displayText();
        QTimer::singleShot(0, &w, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                icon = box->icon();
                boxText = box->text();
                box->accept();
            }
        });
        child<QPushButton>(*dialog, QStringLiteral("Pass_OK"))->click();
    });
    w.ConfigTestClick();
    QCOMPARE(shown, QStringLiteral("***"));
    QCOMPARE(boxText, QStringLiteral("测试密码错误！"));
    QCOMPARE(icon, int(QMessageBox::NoIcon));
}

// The port takes a frame and fails to send it later: the exchange waiting
// for its reply ends at once, and the failure is reported once.
void TestMainForm::failedQueuedWriteEndsTheExchange()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    action(w, QStringLiteral("DataTrans"))->trigger();
    child<QPushButton>(w, QStringLiteral("Dk618_Read_Data"))->click();
    QVERIFY(w.link().state().RadioReadActive);
    QSerialPort &device = w.link().port().device();
    emit device.errorOccurred(QSerialPort::WriteError);
    emit device.errorOccurred(QSerialPort::WriteError);
    QCOMPARE(rig.errors.errors.size(), 1);
    QVERIFY(!w.link().state().RadioReadActive);
    QCOMPARE(panelText(w, 2), QStringLiteral("读取失败！"));
    QVERIFY(child<QPushButton>(w, QStringLiteral("Dk618_Read_Data"))->isEnabled());
    QVERIFY(w.link().port().isOpen()); // the port itself is still there
}

void TestMainForm::clearFields()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    action(w, QStringLiteral("DataTrans"))->trigger();

    // The pages' edits are fields; a dialog's entry (the test password) is not.
    QList<QLineEdit *> fields, dialogEdits;
    for (QLineEdit *edit : w.findChildren<QLineEdit *>()) {
        if (!qobject_cast<QComboBox *>(edit->parentWidget()))
            (edit->window() == &w ? fields : dialogEdits) << edit;
    }
    QStringList names;
    for (QLineEdit *edit : fields + dialogEdits) {
        edit->setText(QStringLiteral("7"));
        names << edit->objectName();
    }
    for (const char *name : {"TxFreq0", "RxFreq9", "Ptttime", "Dk618_Address", "Dk618_CurrentChannel", "VR1_Text", "VR9_Text", "PassText"})
        QVERIFY2(names.contains(QLatin1String(name)), name);
    auto *baud = child<QComboBox>(w, QStringLiteral("Dk618_Baudrate"));
    auto *check = child<QComboBox>(w, QStringLiteral("Dk618_Checkmode"));
    const QString baudText = baud->currentText();
    const QString checkText = check->currentText();
    QCOMPARE(baudText, QStringLiteral("19200"));

    w.ClearFields();
    for (QLineEdit *edit : fields)
        QVERIFY2(edit->text() == QLatin1String("0"), qPrintable(edit->objectName() + QLatin1String(": ") + edit->text()));
    for (QLineEdit *edit : dialogEdits)
        QCOMPARE(edit->text(), QStringLiteral("7"));
    QCOMPARE(panelText(w, 0), QString());
    QCOMPARE(baud->currentText(), baudText);
    QCOMPARE(baud->lineEdit()->text(), baudText);
    QCOMPARE(check->currentText(), checkText);
}

void TestMainForm::trafficEcho_data()
{
    QTest::addColumn<bool>("monitorOn");
    QTest::newRow("monitor on") << true;
    QTest::newRow("monitor off") << false;
}

void TestMainForm::trafficEcho()
{
    QFETCH(bool, monitorOn);
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    QVERIFY(w.link().port().isOpen());
    auto *memo = child<MonitorMemo>(w, QStringLiteral("Watch_Window"));
    w.link().state().MonitorOn = monitorOn;
    const QString before = memo->toPlainText();
    const int blocks = memo->document()->blockCount();

    rig.prompts.confirmations.enqueue(true);
    action(w, QStringLiteral("N1"))->trigger();
    QVERIFY(rig.errors.errors.isEmpty());
    if (monitorOn) {
        QCOMPARE(memo->document()->blockCount(), before.isEmpty() ? 1 : blocks + 1);
        QCOMPARE(lastMemoLine(w), QStringLiteral("P->T: 96 06 80 08 00 01       7E 67 "));
    } else {
        QCOMPARE(memo->toPlainText(), before);
    }
    // Echo or not, the frame goes out.
    const QByteArray sent = rig.pty.readWhile(8, 2000, [] { QCoreApplication::processEvents(); });
    QCOMPARE(sent.toHex(' '), QByteArray("96 06 80 08 00 01 7e 67"));
}

void TestMainForm::monitorEmptiesBeyondRowLimit_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("one-row lines") << QStringLiteral("x");
    const quint8 frame[12] = {0x96, 0x0A, 0x80, 0x70, 0x00, 0x01, 0x20, 0xCC, 0xAC, 0x32, 0x40, 0x00};
    QTest::newRow("wrapped traffic lines") << TrafficText(frame, 12, true);
}

void TestMainForm::monitorEmptiesBeyondRowLimit()
{
    QFETCH(QString, line);
    MonitorMemo memo;
    memo.resize(201, 285);
    int appended = 0;
    // Up to and including 300 rows nothing is lost.
    while (memo.rowCount() <= MonitorMemo::kMaxRows && appended < 2000) {
        memo.appendLine(line);
        ++appended;
        QCOMPARE(memo.document()->blockCount(), appended);
    }
    QVERIFY(memo.rowCount() > MonitorMemo::kMaxRows);

    // The next line starts a fresh memo.
    memo.appendLine(QStringLiteral("next"));
    QCOMPARE(memo.toPlainText(), QStringLiteral("next"));
    QCOMPARE(memo.rowCount(), 1);
    memo.appendLine(line);
    QCOMPARE(memo.document()->blockCount(), 2);
}

void TestMainForm::monitorCountsRowsInItsFont_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("pointSize"); // 0: the memo's own font
    const QByteArray reply = BuildFrame(0x63, QByteArray(42, '\x43'));
    const QString traffic = TrafficText(reinterpret_cast<const quint8 *>(reply.constData()), int(reply.size()), true);
    QTest::newRow("one row") << QStringLiteral("P->T: 96 05") << 0;
    QTest::newRow("channel-table echo") << traffic << 0;
    QTest::newRow("outcome line") << QStringLiteral("读取成功！") << 0;
    QTest::newRow("mixed, long") << QStringLiteral("设置串口... ").repeated(12) << 0;
    QTest::newRow("after a font change") << traffic << 14;
}

void TestMainForm::monitorCountsRowsInItsFont()
{
    QFETCH(QString, line);
    QFETCH(int, pointSize);
    MonitorMemo memo;
    memo.resize(201, 285);
    memo.appendLine(line);
    if (pointSize) {
        QFont font = memo.font();
        font.setPointSize(pointSize);
        memo.setFont(font);
        memo.clearAll();
        memo.appendLine(line);
    }
    // The rows the whole line takes at the wrap width, as the font lays it
    // out now.
    const qreal width = QFontMetricsF(memo.font()).horizontalAdvance(line);
    QCOMPARE(memo.rowCount(), std::max(1, int(std::ceil(width / MonitorMemo::kWrapWidth))));
}

void TestMainForm::exchangeThroughPty()
{
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    QVERIFY(w.link().port().isOpen());
    action(w, QStringLiteral("DataTrans"))->trigger();
    QCOMPARE(child<QLineEdit>(w, QStringLiteral("Dk618_Address"))->text(), QStringLiteral("1"));
    rig.pty.drain();

    rig.prompts.confirmations.enqueue(true);
    action(w, QStringLiteral("N1"))->trigger();
    const QByteArray sent = rig.pty.readWhile(8, 2000, [] { QCoreApplication::processEvents(); });
    QCOMPARE(sent.toHex(' '), QByteArray::fromHex("96068008""00017e67").toHex(' '));
    // Nothing more than the one frame.
    QCOMPARE(rig.pty.readWhile(1, 100, [] { QCoreApplication::processEvents(); }), QByteArray());

    w.link().state().MonitorOn = true;
    QSignalSpy received(&w.link(), &Link::frameReceived);
    QVERIFY(!w.link().state().ReplyReady);
    const QByteArray reply = BuildFrame(0x08, QByteArray::fromHex("0001"));
    QVERIFY2(rig.pty.write(reply), qPrintable(rig.pty.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(w.link().state().ReplyReady, 2000);
    QCOMPARE(received.count(), 1);
    const ProtocolState &s = w.link().state();
    QCOMPARE(s.RxFrameLen + 2, int(reply.size()));
    QCOMPARE(lastMemoLine(w),
             TrafficText(reinterpret_cast<const quint8 *>(reply.constData()), int(reply.size()), true));
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestMainForm::settingsFromKeyboard_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<Qt::Key>("arrow");
    QTest::addColumn<Qt::Key>("closeKey");
    QTest::addColumn<QString>("line");
    const QString unchanged = QStringLiteral("COM1,19200,N,8,1");
    QTest::newRow("port list, Return") << 0 << Qt::Key_Down << Qt::Key_Return << "COM2,19200,N,8,1";
    QTest::newRow("rate list, Return") << 1 << Qt::Key_Up << Qt::Key_Return << "COM1,9600,N,8,1";
    QTest::newRow("parity list, Enter") << 2 << Qt::Key_Down << Qt::Key_Enter << "COM1,19200,E,8,1";
    QTest::newRow("port list, Escape") << 0 << Qt::Key_Down << Qt::Key_Escape << unchanged;
    QTest::newRow("rate list, Escape") << 1 << Qt::Key_Up << Qt::Key_Escape << unchanged;
    QTest::newRow("parity list, Escape") << 2 << Qt::Key_Down << Qt::Key_Escape << unchanged;
}

void TestMainForm::settingsFromKeyboard()
{
    QFETCH(int, tabs);
    QFETCH(Qt::Key, arrow);
    QFETCH(Qt::Key, closeKey);
    QFETCH(QString, line);
    PtyPair second;
    Rig rig(true, {{QStringLiteral("COM2"), second.slavePath()}});
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    QStringList focus;
    bool closed = false;
    QVERIFY(runSettings(w, [&](QDialog &d) {
        if (!QTest::qWaitFor([&d] { return QApplication::activeWindow() == &d; }, 5000))
            return;
        focus << focusName();
        for (int i = 0; i < tabs; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            focus << focusName();
        }
        QTest::keyClick(QApplication::focusWidget(), arrow);
        QTest::keyClick(QApplication::focusWidget(), closeKey);
        closed = !d.isVisible();
    }));
    const QStringList lists = {QStringLiteral("Comport"), QStringLiteral("Comrate"), QStringLiteral("Checkmode")};
    QCOMPARE(focus, lists.mid(0, tabs + 1));
    QVERIFY(closed);
    QCOMPARE(panelText(w, 1), kPortStatus + line);
    QVERIFY(w.link().port().isOpen());
    QVERIFY(rig.prompts.messages.isEmpty());
}

void TestMainForm::pageFieldsByTab_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second"); // a channel's frequencies come one after the other
    QTest::addColumn<QString>("last");
    QTest::newRow("data radio") << "DataTrans" << "TxFreq0" << "RxFreq0" << "Dk618_Read_File";
    QTest::newRow("central unit") << "MLB4800" << "TxFreq10" << "RxFreq10" << "ReadRssi";
    QTest::newRow("subscriber unit") << "MLR4800" << "TxFreq30" << "RxFreq30" << "Mlr4800_ReadFile";
}

// A technician without a mouse chooses the page from the menu and reaches
// every field with Tab: the first Tab enters the page, Tab goes round the
// page and back to its first field, Shift+Tab comes back.
void TestMainForm::pageFieldsByTab()
{
    QFETCH(QString, family);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, last);
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    action(w, family)->trigger();
    auto tab = [&w](Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
        QTest::keyClick(target, Qt::Key_Tab, modifiers);
        return focusName();
    };
    QCOMPARE(tab(), first);
    QStringList round{first};
    do
        round << tab();
    while (round.constLast() != first && round.size() < 80);
    QCOMPARE(round.constLast(), first);
    QCOMPARE(round.at(1), second);
    QVERIFY2(round.contains(last), qPrintable(round.join(QLatin1Char(' '))));
    auto *page = child<QTabWidget>(w, QStringLiteral("PageControl"))->currentWidget();
    for (const QString &name : round)
        QVERIFY2(page->findChild<QWidget *>(name), qPrintable(name + QStringLiteral(" is not on the page")));
    QCOMPARE(tab(Qt::ShiftModifier), last);
    QSignalSpy clicked(child<QPushButton>(w, last), &QPushButton::clicked);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(clicked.count(), 1);
}

void TestMainForm::pageStaysWithoutItsMenuItem_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key"); // 0: the wheel
    QTest::addColumn<int>("modifiers");
    const int ctrl = Qt::ControlModifier;
    const int ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("Ctrl+Shift+Tab, data radio") << "DataTrans" << "Dk618_Address" << int(Qt::Key_Backtab) << ctrlShift;
    QTest::newRow("Ctrl+Tab, data radio") << "DataTrans" << "TxFreq0" << int(Qt::Key_Tab) << ctrl;
    QTest::newRow("Ctrl+Tab, subscriber unit") << "MLR4800" << "TxFreq30" << int(Qt::Key_Tab) << ctrl;
    QTest::newRow("Ctrl+PgDown, central unit") << "MLB4800" << "TxFreq10" << int(Qt::Key_PageDown) << ctrl;
    QTest::newRow("Ctrl+PgUp, central unit") << "MLB4800" << "Mlb4800_Address" << int(Qt::Key_PageUp) << ctrl;
    QTest::newRow("Ctrl+Tab on a button") << "MLB4800" << "Mlb4800_ReadData" << int(Qt::Key_Tab) << ctrl;
    QTest::newRow("wheel, data radio") << "DataTrans" << "Dk618_Address" << 0 << 0;
}

// Pages change only through their menu items and tool buttons: the test
// page needs its password, and the unit pages set their line on the way.
void TestMainForm::pageStaysWithoutItsMenuItem()
{
    QFETCH(QString, family);
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    Rig rig;
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    action(w, family)->trigger();
    auto *pages = child<QTabWidget>(w, QStringLiteral("PageControl"));
    QWidget *page = pages->currentWidget();
    const QString line = panelText(w, 1);
    auto *target = child<QWidget>(w, field);
    target->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(target->hasFocus());
    for (int i = 0; i < 3; ++i) {
        QWidget *focus = QApplication::focusWidget();
        if (key) {
            QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        } else {
            const QPointF at(focus->width() / 2.0, focus->height() / 2.0);
            QWheelEvent wheel(at, focus->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(focus, &wheel);
        }
        QCOMPARE(pages->currentWidget(), page);
    }
    QCOMPARE(panelText(w, 1), line);
    QCOMPARE(rig.pty.readWhile(1, 100, [] { QCoreApplication::processEvents(); }), QByteArray());
}

void TestMainForm::settingsButtonsByReturn_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("line");
    QTest::newRow("OK") << "Set_ComOK" << "COM2,19200,N,8,1";
    QTest::newRow("Cancel") << "Set_ComEsc" << "COM1,19200,N,8,1";
}

// Return clicks the button that has the focus, not the dialog's default.
void TestMainForm::settingsButtonsByReturn()
{
    QFETCH(QString, button);
    QFETCH(QString, line);
    PtyPair second;
    Rig rig(true, {{QStringLiteral("COM2"), second.slavePath()}});
    TMainForm &w = rig.w();
    QVERIFY(rig.show());
    bool closed = false;
    QVERIFY(runSettings(w, [&](QDialog &d) {
        if (!QTest::qWaitFor([&d] { return QApplication::activeWindow() == &d; }, 5000))
            return;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        for (int i = 0; i < 8 && focusName() != button; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (focusName() != button)
            return;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        closed = !d.isVisible();
    }));
    QVERIFY(closed);
    QCOMPARE(panelText(w, 1), kPortStatus + line);
}

void TestMainForm::hiddenKeySequence_data()
{
    QTest::addColumn<QString>("field"); // where the keys are typed
    QTest::addColumn<QString>("keys"); // "\r" is the Enter key
    QTest::addColumn<bool>("echo");
    QTest::newRow("after start-up") << "Dk618_Address" << "qorvel" << true;
    QTest::newRow("after Enter") << "Dk618_Address" << "ab\rqorvel" << true;
    QTest::newRow("after a whole block") << "Dk618_Address" << "abcdefqorvel" << true;
    QTest::newRow("typed twice") << "Dk618_Address" << "qorvelqorvel" << true;
    // A check box passes letters on to its parents: each counts once.
    QTest::newRow("on a check box") << "Fq800" << "qorvel" << true;
    QTest::newRow("one character before") << "Dk618_Address" << "xqorvel" << false;
    QTest::newRow("upper case") << "Dk618_Address" << "QORVEL" << false;
    QTest::newRow("Enter inside") << "Fq800" << "qor\rvel" << false;
    // A key that moves the focus is no typed character.
    QTest::newRow("Enter, Tab, then the letters") << "Dk618_Address" << "\r\tqorvel" << true;
    QTest::newRow("Tab inside") << "TxFreq0" << "qo\trvel" << true;
    // Typed into the open drop-down list of a list.
    QTest::newRow("open list") << "Dk618_Checkmode" << "qorvel" << true;
}

void TestMainForm::hiddenKeySequence()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(bool, echo);
    Rig rig;
    TMainForm &w = rig.w();
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    action(w, QStringLiteral("DataTrans"))->trigger();
    auto *target = child<QWidget>(w, field);
    QTest::mouseClick(target, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(target->hasFocus(), 1000);
    if (QTest::currentDataTag() == QLatin1String("open list")) {
        static_cast<QComboBox *>(target)->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
    }
    // Each key to where the focus is when it is typed.
    for (QChar c : keys) {
        QWidget *popup = QApplication::activePopupWidget();
        QWidget *to = popup ? (popup->focusWidget() ? popup->focusWidget() : popup) : QApplication::focusWidget();
        QTest::keyClick(to, c.toLatin1());
    }
    if (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    // Seen by the window first, then refused by the digit field.
    QCOMPARE(child<QLineEdit>(w, QStringLiteral("Dk618_Address"))->text(), QStringLiteral("1"));
    QCOMPARE(w.link().state().MonitorOn, echo);

    rig.prompts.confirmations.enqueue(true);
    action(w, QStringLiteral("N1"))->trigger();
    if (echo)
        QCOMPARE(lastMemoLine(w), QStringLiteral("P->T: 96 06 80 08 00 01       7E 67 "));
    else
        QVERIFY(!child<MonitorMemo>(w, QStringLiteral("Watch_Window"))->toPlainText().contains(QStringLiteral("P->T")));
}

void TestMainForm::toneSynthesis_data()
{
    QTest::addColumn<int>("f1");
    QTest::addColumn<int>("f2");
    QTest::addColumn<int>("d");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::newRow("clock double click") << 1000 << 3000 << 60 << 48000 << 1;
    QTest::newRow("odd values, stereo") << 437 << 1303 << 301 << 44100 << 2;
    QTest::newRow("third tone above half the rate: silent") << 3000 << 500 << 90 << 16000 << 1;
}

void TestMainForm::toneSynthesis()
{
    QFETCH(int, f1);
    QFETCH(int, f2);
    QFETCH(int, d);
    QFETCH(int, rate);
    QFETCH(int, channels);
    const QByteArray pcm = SynthesizeTones(CueTones(f1, f2, d), rate, channels);
    const auto *at = reinterpret_cast<const qint16 *>(pcm.constData());
    const auto *end = at + pcm.size() / 2;
    // Three times: f1 for d/3 ms, f2 for d/2 ms, 3*f1 for 2*d ms.
    for (int i = 0; i < 9; ++i) {
        const int f = i % 3 == 0 ? f1 : i % 3 == 1 ? f2 : 3 * f1;
        const qint64 frames = qint64(i % 3 == 0 ? d / 3 : i % 3 == 1 ? d / 2 : 2 * d) * rate / 1000;
        QVERIFY(end - at >= frames * channels);
        int crossings = 0;
        for (qint64 n = 0; n < frames * channels; ++n) {
            QCOMPARE(at[n], at[n - n % channels]); // the same in every channel
            crossings += n >= channels && (at[n] < 0) != (at[n - channels] < 0);
        }
        crossings /= channels;
        // A square wave changes sign twice per period; above half the
        // rate there is silence, not an alias tone.
        const double expected = 2 * f < rate ? 2.0 * f * frames / rate : 0;
        QVERIFY2(std::abs(crossings - expected) <= 2, qPrintable(QStringLiteral("tone %1: %2 sign changes, %3 expected")
                                                                     .arg(i).arg(crossings).arg(expected)));
        QCOMPARE(*std::max_element(at, at + frames * channels) > 0, 2 * f < rate && frames > 0);
        at += frames * channels;
    }
    QVERIFY(at == end);
}

void TestMainForm::cueOnlyWithMusic()
{
    Rig rig;
    QVERIFY(rig.show());
    auto *clock = child<QLabel>(rig.w(), QStringLiteral("TimerDisp"));
    auto *button = child<QToolButton>(rig.w(), QStringLiteral("Music_Button"));
    QSignalSpy cues(child<CuePlayer>(rig.w(), QStringLiteral("CuePlayer")), &CuePlayer::requested);
    const QImage silent = button->icon().pixmap(24).toImage();

    QTest::mouseDClick(clock, Qt::LeftButton);
    QCOMPARE(cues.count(), 0);
    // The audio libraries are loaded with the first cue, not at start-up.
    QVERIFY(!MultimediaLoaded());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(child<QAction>(rig.w(), QStringLiteral("Music"))->isChecked());
    QVERIFY(button->icon().pixmap(24).toImage() != silent);
    QTest::mouseDClick(clock, Qt::LeftButton);
    QCOMPARE(cues.count(), 1);
    const QList<Tone> once = {{1000, 20}, {3000, 30}, {3000, 120}};
    QCOMPARE(cues.at(0).at(0).value<QList<Tone>>(), once + once + once);
    QVERIFY(MultimediaLoaded());
    // Heard or not (there is no audio output here), nothing is said.
    QTest::qWait(50);
    QVERIFY(rig.errors.errors.isEmpty() && rig.prompts.messages.isEmpty());

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->icon().pixmap(24).toImage(), silent);
    QTest::mouseDClick(clock, Qt::LeftButton);
    QCOMPARE(cues.count(), 1);
}

void TestMainForm::reportsShownForBenchmarks_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ends");
    QTest::newRow("quit") << QStringLiteral("quit") << true;
    QTest::newRow("stay") << QStringLiteral("stay") << false;
}

void TestMainForm::reportsShownForBenchmarks()
{
    QFETCH(QString, value);
    QFETCH(bool, ends);
    PtyPair pty;
    QVERIFY(pty.isOpen());
    QProcess qmset;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QMSET_REPORT_SHOWN"), value);
    qmset.setProcessEnvironment(env);
    qmset.start(QStringLiteral(QMSET_PATH), {QStringLiteral("--port"), QStringLiteral("COM1=") + pty.slavePath()});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += qmset.readAllStandardOutput()).contains("shown\n"), 20000);
    if (ends) {
        QTRY_COMPARE_WITH_TIMEOUT(qmset.state(), QProcess::NotRunning, 20000);
        QCOMPARE(qmset.exitStatus(), QProcess::NormalExit);
        QCOMPARE(qmset.exitCode(), 0);
    } else {
        QVERIFY(!qmset.waitForFinished(300));
        qmset.terminate();
        QVERIFY(qmset.waitForFinished(20000));
    }
    QCOMPARE(out + qmset.readAllStandardOutput(), QByteArray("shown\n"));
}

void TestMainForm::clockShowsAndHides()
{
    Rig rig;
    QVERIFY(rig.show());
    auto *clock = child<QLabel>(rig.w(), QStringLiteral("TimerDisp"));
    auto *bar = child<QToolBar>(rig.w(), QStringLiteral("ToolBar"));
    QAction *item = child<QAction>(rig.w(), QStringLiteral("Disp_Timer"));
    QAction *tools = child<QAction>(rig.w(), QStringLiteral("Tools"));
    QTRY_VERIFY_WITH_TIMEOUT(showsCurrentTime(clock->text()), 2000);
    QVERIFY(clock->isVisible());
    // Red digits, as the tool bar shows them.
    const QImage shown = clock->grab().toImage();
    bool red = false;
    for (int y = 0; y < shown.height() && !red; ++y)
        for (int x = 0; x < shown.width() && !red; ++x) {
            const QColor c = shown.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    QVERIFY(red);

    item->trigger();
    // Hidden also after the tool bar has been laid out afresh.
    tools->trigger();
    tools->trigger();
    QTest::qWait(20);
    QVERIFY(bar->isVisible() && !clock->isVisible());
    // Not updated while hidden: the seconds move on, the text does not.
    const QString frozen = clock->text();
    QTest::qWait(1200);
    QCOMPARE(clock->text(), frozen);

    item->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != frozen && showsCurrentTime(clock->text()), 2000);
    QVERIFY(clock->isVisible());
}

void TestMainForm::dialogsOpenAtTheirSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("caption");
    QTest::newRow("settings") << "Set_Form" << QSize(320, 183) << "系统参数设置";
    QTest::newRow("detection") << "AutoSet_Form" << QSize(329, 92) << "";
    QTest::newRow("address table") << "MlbAddrTable_Form" << QSize(331, 224) << "MLB4800蜂窝中心地址列表";
    QTest::newRow("version") << "VersionInfo" << QSize(394, 162) << "VersionInfo";
    QTest::newRow("password") << "Password" << QSize(290, 149) << "密码框";
}

void TestMainForm::dialogsOpenAtTheirSize()
{
    // Every dialog is made at start-up; shown, each has its own client size
    // and caption, whatever the type or the desktop.
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QString, caption);
    Rig rig;
    QVERIFY(rig.show());
    QDialog *dialog = rig.w().findChild<QDialog *>(name);
    if (!dialog) // the address table is a window of its own
        dialog = rig.w().mlbAddrTableForm();
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), name);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->size(), size);
    QCOMPARE(dialog->windowTitle(), caption);
    dialog->hide();
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
