// The factory test page in the real window, offscreen: the password dialog,
// the frames of every test command on a pseudo terminal, the decoding of
// trimming reports and readings, and the page against the simulated radio.
// Timer3 is stopped and ticked by the tests.

#include "app/mainform.h"
#include "app/simulator.h"
#include "common/csvtext.h"
#include "common/fieldaccess.h"
#include "common/inifile.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "pagekit/lamp.h"
#include "pagekit/spinbutton.h"
#include "testpage/testexchange.h"
#include "testpage/testpage.h"
#include "testpage/testrecord.h"
#include "testpage/testruncommands.h"
#include "testpage/trendwindow.h"
#include "testpage/readingsjournal.h"
#include "common/csvtext.h"
#include "findchild.h"
#include "ptypair.h"
#include "scratchdisk.h"
#include "testprompts.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QStandardPaths>
#include <QTableView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtTest>

using namespace qm;

namespace {
const QString kFull = QStringLiteral("tambrelok");
const QStringList kLockedSpins = {"VR1", "VR2", "VR3", "VR6", "VR7", "VR9"};
const QStringList kLockedButtons = {"RssiModi", "SetPower", "AlarmSet"};

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// The window with COM1 on a pseudo terminal, or on qmsim when simArgs are
// given; prompts and the error report recorded.
struct Rig {
    explicit Rig(const std::optional<QStringList> &simArgs = std::nullopt, const QString &family = QStringLiteral("dk618"))
    {
        MainFormOptions options;
        options.prompts = &prompts;
        QString device = pty.slavePath();
        if (simArgs) {
            log = dir.filePath(QStringLiteral("radio.log"));
            sim.setProgram(QStringLiteral(QMSIM_PATH));
            ok = sim.start(family, QStringList{"--log", log, "--delay-ms", "1"} + *simArgs);
            device = sim.linkPath();
        }
        options.portMap.insert(QStringLiteral("COM1"), device);
        options.portMap.insert(QStringLiteral("COM2"), QStringLiteral("/nonexistent-qmset-test/tty0"));
        form = std::make_unique<TMainForm>(options);
        form->findChild<QTimer *>(QStringLiteral("Timer3"))->stop();
        form->show();
        page = form->testPage();
        ok = ok && form->link().port().isOpen();
    }
    ProtocolState &state() { return form->link().state(); }
    FieldAccess &f() { return form->fields(); }
    QTimer *timer4() { return form->findChild<QTimer *>(QStringLiteral("Timer4")); }
    QString memo() { return child<QPlainTextEdit>(*form, QStringLiteral("Watch_Window"))->toPlainText(); }
    void click(const QString &name) { child<QAbstractButton>(*form, name)->click(); }

    // ConfigTest, answering the password dialog with entry (a null entry
    // cancels). Returns whether the dialog came up, and what its entry held.
    bool open(const QString &entry, QString *shownEntry = nullptr)
    {
        auto shown = std::make_shared<bool>(false);
        QTimer::singleShot(0, form.get(), [this, entry, shown, shownEntry] {
            auto *dialog = form->findChild<QDialog *>(QStringLiteral("Password"));
            if (!dialog || !dialog->isVisible())
                return;
            *shown = true;
            if (shownEntry)
                *shownEntry = child<QLineEdit>(*dialog, QStringLiteral("PassText"))->text();
            child<QLineEdit>(*dialog, QStringLiteral("PassText"))->setText(entry.isNull() ? QStringLiteral("x") : entry);
            child<QPushButton>(*dialog, entry.isNull() ? QStringLiteral("Pass_Cancel") : QStringLiteral("Pass_OK"))->click();
        });
        form->ConfigTestClick();
        return *shown;
    }
    // The next frame the tool wrote to the pseudo terminal, or what came.
    QByteArray nextFrame(int timeoutMs = 2000)
    {
        auto spin = [] { QCoreApplication::processEvents(); };
        const QByteArray head = pty.readWhile(2, timeoutMs, spin);
        return head.size() < 2 ? head : head + pty.readWhile(quint8(head[1]), timeoutMs, spin);
    }
    void inject(const QByteArray &frame)
    {
        form->link().receiveBytes(reinterpret_cast<const quint8 *>(frame.constData()), frame.size());
    }
    void tick3(bool waitReply)
    {
        if (waitReply)
            (void)QTest::qWaitFor([this] { return state().ReplyReady; }, 2000);
        form->Timer3Timer();
    }
    // The command codes qmsim received, in order.
    QByteArray radioCommands()
    {
        QFile file(log);
        QByteArray codes;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &line : file.readAll().split('\n'))
                if (line.startsWith("rx ") && QByteArray::fromHex(line.mid(3)).size() > 3)
                    codes += QByteArray::fromHex(line.mid(3)).at(3);
        return codes;
    }

    // A data-radio read to its end, so the model text is known.
    void readRadio()
    {
        click(QStringLiteral("Dk618_Read_Data"));
        for (int i = 0; i < 50 && state().RadioReadActive; ++i)
            tick3(true);
    }
    // A reading button, its answer injected, the tick that decodes it.
    void answer(const QString &button, const QByteArray &frame)
    {
        click(button);
        nextFrame();
        inject(frame);
        tick3(false);
    }
    TrendWindow *openTrend()
    {
        click(QStringLiteral("Trend_Open"));
        return form->testRun().trendWindow();
    }

    PtyPair pty;
    QTemporaryDir dir;
    QString log;
    Simulator sim;
    TestPrompts prompts;
    ErrorCatcher errors;
    std::unique_ptr<TMainForm> form;
    TestPage *page = nullptr;
    bool ok = true;
};
} // namespace

class TestTestPage : public QObject {
    Q_OBJECT
private slots:
    void passwords_data();
    void passwords();
    void commandFrames_data();
    void commandFrames();
    void heldArrowSendsOneFramePerRepeat();
    void spinButtonsFromKeyboard();
    void powerLevelWraps_data();
    void powerLevelWraps();
    void trimmingReportDecoding_data();
    void trimmingReportDecoding();
    void readingsDecoding_data();
    void readingsDecoding();
    void refusedWhileAnotherExchangeRuns();
    void commandsOnClosedPortChangeNothing();
    void trimmingReadBackFromRadio();
    void automaticCycleAgainstRadio();
    void answersAfterLineNoise();
    void exchangesDuringAutomaticReading_data();
    void exchangesDuringAutomaticReading();
    void automaticReadingStops_data();
    void automaticReadingStops();
    void model150RenamesRowsOneAndTwo();
    void trendFollowsDecodedReadings_data();
    void trendFollowsDecodedReadings();
    void trendClosesFromTheKeyboard();
    void trendAgainstRadio_data();
    void trendAgainstRadio();
    void readingsLogKeepsADay_data();
    void readingsLogKeepsADay();
    void readingsGoToTheirDailyFile_data();
    void readingsGoToTheirDailyFile();
    void trendFollowsAClockSetBack();
    void failedExportKeepsTheOldFile_data();
    void failedExportKeepsTheOldFile();
    void calibrationRecord_data();
    void calibrationRecord();
    void recordHoldsOnlyTheRadioNowConnected_data();
    void recordHoldsOnlyTheRadioNowConnected();
    void olderRecordFileGainsTheNewColumn();
    void csvCells_data();
    void csvCells();
};

void TestTestPage::passwords_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("access");
    QTest::addColumn<bool>("limited");
    QTest::newRow("limited") << "580417" << true << true;
    QTest::newRow("full") << kFull << true << false;
    QTest::newRow("wrong, case counts") << "TAMBRELOK" << false << false;
    QTest::newRow("cancel") << QString() << false << false;
}

void TestTestPage::passwords()
{
    QFETCH(QString, entry);
    QFETCH(bool, access);
    QFETCH(bool, limited);
    Rig rig;
    QVERIFY(rig.ok);
    auto *pages = child<QTabWidget>(*rig.form, QStringLiteral("PageControl"));
    child<QLineEdit>(*rig.form, QStringLiteral("PassText"))->setText(QStringLiteral("left over"));
    QString shownEntry;
    QVERIFY(rig.open(entry, &shownEntry));
    QCOMPARE(shownEntry, QString());
    const bool wrong = !access && !entry.isNull();
    QCOMPARE(rig.prompts.messages, wrong ? QStringList{"测试密码错误！"} : QStringList{});
    if (!access) {
        QVERIFY(!pages->isVisible());
        QCOMPARE(rig.nextFrame(200), QByteArray());
        QVERIFY(rig.open(kFull)); // asked again next time
        QCOMPARE(pages->currentWidget(), rig.page);
        return;
    }
    QCOMPARE(pages->currentWidget(), rig.page);
    QCOMPARE(rig.nextFrame().mid(3, 1), bytes({0xD0}));
    for (QWidget *w : rig.page->findChildren<QWidget *>()) {
        bool locked = false; // the control, or the spin button of an arrow
        for (QWidget *p = w; p != rig.page; p = p->parentWidget())
            locked = locked || kLockedSpins.contains(p->objectName()) || kLockedButtons.contains(p->objectName());
        QVERIFY2(w->isEnabled() == !(locked && limited), qPrintable(w->objectName()));
    }
    // Asked once per run; the page already shown sends nothing, but its
    // access is applied again.
    rig.page->VR[0]->setEnabled(true);
    QVERIFY(!rig.open(kFull));
    QCOMPARE(rig.nextFrame(200), QByteArray());
    QCOMPARE(rig.page->VR[0]->isEnabled(), !limited);
    // From another page it is shown again, read again, and access applied again.
    rig.form->DataTransClick();
    rig.page->VR[0]->setEnabled(true);
    QVERIFY(!rig.open(kFull));
    QCOMPARE(rig.nextFrame().mid(3, 1), bytes({0xD0}));
    QCOMPARE(rig.page->VR[0]->isEnabled(), !limited);
}

void TestTestPage::commandFrames_data()
{
    // TxBuffer holds A0 A1 A2 ... before each command, so a byte the command
    // does not write shows up as its own position. Address 300, power level 3.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("read trimming") << "Read_VR" << "" << "" << "" << QByteArray("96 06 80 d0 00 2c a6 4a");
    QTest::newRow("voice") << "Voice_Tx" << "" << "" << "" << QByteArray("96 06 80 74 00 2c a6 ee");
    QTest::newRow("signalling 1") << "Tx_Signal" << "" << "" << "" << QByteArray("96 06 80 9c 00 2c a6 06");
    QTest::newRow("signalling 2") << "Tx_MSK" << "" << "" << "" << QByteArray("96 06 80 9d 00 2c a6 07");
    QTest::newRow("stop") << "Stop_Tx" << "" << "" << "" << QByteArray("96 06 80 c9 00 2c a6 53");
    QTest::newRow("temperature") << "ReadTemp" << "" << "" << "" << QByteArray("96 06 80 d1 00 2c a6 4b");
    QTest::newRow("field strength") << "GetRssi" << "" << "" << "" << QByteArray("96 06 80 d3 00 2c a6 49");
    QTest::newRow("power") << "ReadPower" << "" << "" << "" << QByteArray("96 06 80 d7 00 2c a6 4d");
    QTest::newRow("voltage") << "ReadVolt" << "" << "" << "" << QByteArray("96 06 80 d9 00 2c a6 43");
    QTest::newRow("field-strength reference") << "RssiModi" << "ok" << "" << "" << QByteArray("96 08 80 f1 00 2c 00 00 a8 6b");
    QTest::newRow("power reference") << "SetPower" << "ok" << "" << "" << QByteArray("96 08 80 f3 00 2c 00 00 a8 69");
    QTest::newRow("alarm setting") << "AlarmSet" << "ok" << "" << "" << QByteArray("96 08 80 f5 00 2c 00 00 a8 6f");
    QTest::newRow("alarm setting cancelled") << "AlarmSet" << "cancel" << "" << "" << QByteArray();
    QTest::newRow("power level") << "SetPwr" << "" << "" << "" << QByteArray("96 07 80 f9 00 2c 03 a7 60");
    QTest::newRow("row 1 up from 255") << "VR1Up" << "VR1_Text" << "255" << "0" << QByteArray("96 08 80 c0 00 2c c1 00 00 33");
    QTest::newRow("row 1 down from 0") << "VR1Down" << "VR1_Text" << "0" << "255" << QByteArray("96 08 80 c0 00 2c c1 ff 00 cc");
    QTest::newRow("row 8 carries the power level") << "VR8Up" << "VR8_Text" << "17" << "18" << QByteArray("96 08 80 c0 00 2c c8 12 03 2b");
    QTest::newRow("typed 300 stepped up") << "VR5Up" << "VR5_Text" << "300" << "301" << QByteArray("96 08 80 c0 00 2c c5 2d 00 1a");
    QTest::newRow("typed -1 stepped down") << "VR9Down" << "VR9_Text" << "-1" << "-2" << QByteArray("96 08 80 c0 00 2c c9 fe 00 c5");
}

void TestTestPage::commandFrames()
{
    QFETCH(QString, control);
    QFETCH(QString, field);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QByteArray, frame);
    Rig rig;
    QVERIFY(rig.ok && rig.open(kFull));
    QCOMPARE(rig.nextFrame().size(), 8); // the read on opening
    rig.f().setText(QStringLiteral("Dk618_Address"), QStringLiteral("300"));
    rig.f().setText(QStringLiteral("Power_lab"), QStringLiteral("3"));
    auto tx = rig.state().TxBuffer();
    for (int i = 0; i < 16; ++i)
        tx[size_t(i)] = quint8(0xA0 + i);
    if (field == QLatin1String("ok") || field == QLatin1String("cancel"))
        rig.prompts.confirmations.enqueue(field == QLatin1String("ok"));
    else if (!field.isEmpty())
        rig.f().setText(field, before);
    rig.click(control);
    QCOMPARE(rig.nextFrame(frame.isEmpty() ? 200 : 2000).toHex(' '), frame);
    if (!after.isEmpty())
        QCOMPARE(rig.f().text(field), after);
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestTestPage::heldArrowSendsOneFramePerRepeat()
{
    Rig rig;
    QVERIFY(rig.ok && rig.open(kFull));
    rig.nextFrame();
    QToolButton *arrow = rig.page->VR[3]->up();
    QSignalSpy clicks(arrow, &QToolButton::clicked);
    QTest::mousePress(arrow, Qt::LeftButton);
    QTest::qWait(SpinButton::kRepeatDelayMs + 5 * SpinButton::kRepeatIntervalMs + 50);
    QTest::mouseRelease(arrow, Qt::LeftButton);
    QVERIFY2(clicks.count() >= 3, qPrintable(QString::number(clicks.count()))); // repeats, then the release
    for (int i = 1; i <= clicks.count(); ++i) {
        const QByteArray frame = rig.nextFrame();
        QCOMPARE(frame.mid(3, 5), bytes({0xC0, 0x00, 0x01, 0xC4, (255 + i) % 256}));
    }
    QCOMPARE(rig.nextFrame(200), QByteArray());
    QCOMPARE(rig.page->VR_Text[3]->text(), QString::number((255 + clicks.count()) % 256));
}

// Without a mouse: Tab from a trimming edit reaches its spin button, and
// Up and Down there step and send like the arrows, a held key no faster
// than a held arrow; in the edit they send nothing, and a locked row is no
// Tab stop.
void TestTestPage::spinButtonsFromKeyboard()
{
    Rig rig;
    QVERIFY(rig.ok && rig.open(QStringLiteral("580417")));
    rig.nextFrame();
    QTRY_VERIFY(!rig.form->findChild<QDialog *>(QStringLiteral("Password"))->isVisible());
    rig.form->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), rig.form.get());
    auto focusAfterTab = [](QWidget *from) {
        from->setFocus(Qt::TabFocusReason);
        QTest::keyClick(from, Qt::Key_Tab);
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    };
    QCOMPARE(focusAfterTab(rig.page->VR_Text[3]), QStringLiteral("VR4"));
    QTest::keyClick(rig.page->VR[3], Qt::Key_Up);
    QCOMPARE(rig.nextFrame().mid(3, 5), bytes({0xC0, 0x00, 0x01, 0xC4, 0x00}));
    QTest::keyClick(rig.page->VR[3], Qt::Key_Down);
    QCOMPARE(rig.nextFrame().mid(3, 5), bytes({0xC0, 0x00, 0x01, 0xC4, 0xFF}));
    QTest::keyClick(rig.page->VR[3], Qt::Key_Up, Qt::ControlModifier); // not an arrow click
    QCOMPARE(rig.nextFrame(200), QByteArray());
    QCOMPARE(rig.page->VR_Text[3]->text(), QStringLiteral("255"));
    // A held key: the keyboard's repeats pass 400 ms after the press, then
    // every 100 ms.
    auto held = [&rig](bool repeat) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(rig.page->VR[3], &key);
    };
    held(false);
    for (int i = 0; i < 10; ++i)
        held(true);
    QTest::qWait(SpinButton::kRepeatDelayMs + 20);
    for (int i = 0; i < 5; ++i)
        held(true);
    QCOMPARE(rig.nextFrame().mid(3, 5), bytes({0xC0, 0x00, 0x01, 0xC4, 0x00}));
    QCOMPARE(rig.nextFrame().mid(3, 5), bytes({0xC0, 0x00, 0x01, 0xC4, 0x01}));
    // In the row's edit Up and Down send nothing.
    for (QLineEdit *edit : {rig.page->VR_Text[3], rig.page->VR_Text[2]}) {
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Up);
    }
    QCOMPARE(rig.nextFrame(200), QByteArray());
    QCOMPARE(rig.page->VR_Text[3]->text(), QStringLiteral("1"));
    QCOMPARE(rig.page->VR_Text[2]->text(), QStringLiteral("255"));
    // Row 3 is locked with the limited password: Tab passes its spin button.
    QCOMPARE(focusAfterTab(rig.page->VR_Text[2]), QStringLiteral("VR4_Text"));
    QCOMPARE(focusAfterTab(rig.page->Power_lab), QStringLiteral("PowerM"));
    rig.page->Power_lab->setText(QStringLiteral("2"));
    QTest::keyClick(rig.page->PowerM, Qt::Key_Down);
    QCOMPARE(rig.page->Power_lab->text(), QStringLiteral("1"));
}

void TestTestPage::powerLevelWraps_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("result");
    QTest::newRow("up from 6") << "6" << true << "1";
    QTest::newRow("down from 1") << "1" << false << "6";
    QTest::newRow("up from 0") << "0" << true << "1";
    QTest::newRow("down from 0") << "0" << false << "6";
    QTest::newRow("up from 3") << "3" << true << "4";
}

void TestTestPage::powerLevelWraps()
{
    QFETCH(QString, level);
    QFETCH(bool, up);
    QFETCH(QString, result);
    Rig rig;
    rig.page->Power_lab->setText(level);
    (up ? rig.page->PowerM->up() : rig.page->PowerM->down())->click();
    QCOMPARE(rig.page->Power_lab->text(), result);
    QCOMPARE(rig.nextFrame(100), QByteArray()); // stepping sends nothing
}

void TestTestPage::trimmingReportDecoding_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("at");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("power");
    const QByteArray values = bytes({0, 1, 10, 20, 30, 40, 50, 60, 70, 4, 90, 80});
    const QString unchanged = QStringLiteral("255 255 255 255 255 255 255 255 255");
    QTest::newRow("report") << BuildFrame(0xDF, values) << 0 << "10 20 30 40 50 60 70 80 90" << "4";
    QTest::newRow("across the ring end") << BuildFrame(0xDF, values) << 995 << "10 20 30 40 50 60 70 80 90" << "4";
    QTest::newRow("power level 7 ignored") << BuildFrame(0xDF, QByteArray(values).replace(9, 1, bytes({7}))) << 0 << "10 20 30 40 50 60 70 80 90" << "1";
    QTest::newRow("power level 0") << BuildFrame(0xDF, QByteArray(values).replace(9, 1, bytes({0}))) << 0 << "10 20 30 40 50 60 70 80 90" << "0";
    QTest::newRow("LEN below 15") << BuildFrame(0xDF, values.left(11)) << 0 << unchanged << "1";
    QTest::newRow("other command") << BuildFrame(0xCF, values) << 0 << unchanged << "1";
}

void TestTestPage::trimmingReportDecoding()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, at);
    QFETCH(QString, rows);
    QFETCH(QString, power);
    Rig rig;
    // Stale bytes where a short report's missing values would stand.
    for (int i = 0; i < 40; ++i)
        rig.state().RxBuffer()[size_t(i)] = 0x33;
    rig.state().RxReadPos = rig.state().RxWritePos = at;
    rig.inject(frame);
    QStringList shown;
    for (QLineEdit *edit : rig.page->VR_Text)
        shown << edit->text();
    QCOMPARE(shown.join(' '), rows);
    QCOMPARE(rig.page->Power_lab->text(), power);
}

void TestTestPage::readingsDecoding_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("lamp");
    QTest::newRow("temperature") << "ReadTemp" << BuildFrame(0xD2, bytes({0, 1, 0x01, 0xB0})) << "Temperature" << "27" << false;
    QTest::newRow("temperature never negative") << "ReadTemp" << BuildFrame(0xD2, bytes({0, 1, 0xFF, 0xF0})) << "Temperature" << "4095" << false;
    QTest::newRow("field strength") << "GetRssi" << BuildFrame(0xD4, bytes({0, 1, 0, 95})) << "RssiValue" << "95" << false;
    QTest::newRow("power with alarm") << "ReadPower" << BuildFrame(0xD8, bytes({0, 1, 35, 5, 0xFF})) << "Power" << "35.5" << true;
    QTest::newRow("power, second number unscaled") << "ReadPower" << BuildFrame(0xD8, bytes({0, 1, 35, 12, 0})) << "Power" << "35.12" << false;
    QTest::newRow("voltage") << "ReadVolt" << BuildFrame(0xDA, bytes({0, 1, 12, 0})) << "Volt" << "12.0" << false;
    QTest::newRow("power answer too short") << "ReadPower" << BuildFrame(0xD8, bytes({0, 1, 36, 5})) << "Power" << "35" << false;
    QTest::newRow("answer to something else") << "GetRssi" << BuildFrame(0xF2, bytes({0, 1, 0, 95})) << "RssiValue" << "110" << false;
    QTest::newRow("trimming report") << "ReadTemp" << BuildFrame(0xDF, bytes({0, 1, 10, 20, 30, 40, 50, 60, 70, 4, 90, 80})) << "Temperature" << "27" << false;
}

void TestTestPage::readingsDecoding()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, answer);
    QFETCH(QString, label);
    QFETCH(QString, shown);
    QFETCH(bool, lamp);
    Rig rig;
    QVERIFY(rig.ok);
    // An acknowledgement nobody consumed must not pass for the answer.
    rig.inject(BuildFrame(0xC0, bytes({0, 1})));
    rig.click(button);
    QCOMPARE(rig.nextFrame().size(), 8);
    rig.tick3(false);
    QVERIFY(rig.state().MeasurePending);
    rig.inject(answer);
    rig.tick3(false);
    QVERIFY(!rig.state().MeasurePending);
    QCOMPARE(rig.f().text(label), shown);
    QCOMPARE(rig.page->Swr_led->lit(), lamp);
    // A trimming report fills the rows whatever was asked.
    QCOMPARE(rig.page->VR_Text[0]->text(), quint8(answer[3]) == 0xDF ? QStringLiteral("10") : QStringLiteral("255"));
}

void TestTestPage::refusedWhileAnotherExchangeRuns()
{
    Rig rig;
    QVERIFY(rig.ok);
    rig.state().CentralReadActive = true;
    for (const char *name : {"ReadTemp", "Voice_Tx", "VR1Up", "Read_VR"})
        rig.click(QLatin1String(name));
    rig.form->testExchange().Timer4Timer();
    QCOMPARE(rig.nextFrame(200), QByteArray());
    QCOMPARE(rig.memo().count(text::LineHeldBy(ExchangeOwner::Central)), 4);
    QCOMPARE(rig.page->VR_Text[0]->text(), QStringLiteral("255"));
    QVERIFY(!rig.state().MeasurePending);
    QCOMPARE(rig.form->testExchange().AutoReadStep, 0);
}

void TestTestPage::commandsOnClosedPortChangeNothing()
{
    Rig rig;
    QVERIFY(rig.ok && rig.open(kFull));
    rig.form->link().port().close();
    const QStringList controls = {"ReadVolt", "GetRssi", "VR1Up", "VR8Down", "Voice_Tx", "SetPwr", "Read_VR"};
    for (const QString &name : controls)
        rig.click(name);
    QCOMPARE(rig.errors.errors.size(), controls.size()); // one report each
    QVERIFY(!rig.state().MeasurePending);
    QCOMPARE(rig.page->Volt->text(), QStringLiteral("13.8"));
    QCOMPARE(rig.page->VR_Text[0]->text(), QStringLiteral("255"));
    QCOMPARE(rig.page->VR_Text[7]->text(), QStringLiteral("255"));
    // Automatic reading can be neither started nor stopped.
    rig.click(QStringLiteral("AutoRead"));
    QCOMPARE(rig.page->AutoRead->text(), text::AutoReadOff);
    QVERIFY(!rig.timer4()->isActive());
    QCOMPARE(rig.errors.errors.size(), controls.size());
}

void TestTestPage::trimmingReadBackFromRadio()
{
    Rig rig(QStringList{});
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    QVERIFY(rig.open(kFull));
    QTRY_COMPARE(rig.page->Power_lab->text(), QStringLiteral("3"));
    QStringList rows;
    for (QLineEdit *edit : rig.page->VR_Text)
        rows << edit->text();
    QCOMPARE(rows.join(' '), QStringLiteral("128 96 140 160 80 110 150 200 130"));

    // Row 8 stores the power level with its value; rows 8 and 9 come back in place.
    rig.page->PowerM->up()->click();
    rig.page->VR[7]->up()->click();
    rig.page->VR[8]->down()->click();
    QTRY_VERIFY(rig.radioCommands().endsWith(bytes({0xC0, 0xC0})));
    for (QLineEdit *edit : rig.page->VR_Text)
        edit->setText(QStringLiteral("0"));
    rig.page->Power_lab->setText(QStringLiteral("1"));
    rig.click(QStringLiteral("Read_VR"));
    QTRY_COMPARE(rig.page->VR_Text[7]->text(), QStringLiteral("201"));
    QCOMPARE(rig.page->VR_Text[8]->text(), QStringLiteral("129"));
    QCOMPARE(rig.page->VR_Text[0]->text(), QStringLiteral("128"));
    QCOMPARE(rig.page->Power_lab->text(), QStringLiteral("4"));
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestTestPage::automaticCycleAgainstRadio()
{
    Rig rig(QStringList{"--steady", "--swr-alarm"});
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    QVERIFY(rig.open(kFull));
    TestExchange &t = rig.form->testExchange();
    bool timer4 = false;
    t.switchTimer4 = [&timer4](bool on) { timer4 = on; };
    auto cycle = [&](int ticks) {
        for (int i = 0; i < ticks; ++i) {
            t.Timer4Timer();
            rig.tick3(true);
        }
    };
    rig.click(QStringLiteral("AutoRead"));
    QVERIFY(timer4);
    QCOMPARE(rig.page->AutoRead->text(), text::AutoReadOn);
    cycle(2);
    rig.click(QStringLiteral("AutoRead"));
    QVERIFY(!timer4);
    QCOMPARE(rig.page->AutoRead->text(), text::AutoReadOff);
    rig.click(QStringLiteral("AutoRead")); // goes on where it stopped
    cycle(3);
    QCOMPARE(rig.radioCommands().toHex(' '), QByteArray("d0 d9 d3 d1 d7 d9"));
    QCOMPARE(rig.page->Volt->text(), QStringLiteral("12.0"));
    QCOMPARE(rig.page->RssiValue->text(), QStringLiteral("95"));
    QCOMPARE(rig.page->Temperature->text(), QStringLiteral("27"));
    QCOMPARE(rig.page->Power->text(), QStringLiteral("35.5"));
    QVERIFY(rig.page->Swr_led->lit());
    QVERIFY(!rig.state().MeasurePending);
}

void TestTestPage::automaticReadingStops_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<bool>("stops");
    QTest::addColumn<int>("memoLines");
    QTest::addColumn<int>("errors");
    QTest::newRow("port lost") << "lost" << true << 1 << 0;
    QTest::newRow("settings applied, port missing") << "COM2" << true << 1 << 0;
    QTest::newRow("settings applied, port reopened") << "COM1" << false << 0 << 0;
    QTest::newRow("address not a number") << "address" << true << 0 << 1;
}

void TestTestPage::automaticReadingStops()
{
    QFETCH(QString, cause);
    QFETCH(bool, stops);
    QFETCH(int, memoLines);
    QFETCH(int, errors);
    Rig rig(QStringList{});
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    QVERIFY(rig.open(kFull));
    rig.click(QStringLiteral("AutoRead"));
    QVERIFY(rig.timer4()->isActive());
    QTRY_VERIFY(rig.radioCommands().contains(char(0xD9)));
    if (cause == QLatin1String("lost")) {
        rig.sim.stop();
    } else if (cause.startsWith(QLatin1String("COM"))) {
        auto *port = child<QComboBox>(*rig.form, QStringLiteral("Comport"));
        port->setCurrentIndex(port->findText(cause));
        rig.form->Set_ComOKClick();
    } else {
        rig.f().setText(QStringLiteral("Dk618_Address"), QStringLiteral("abc"));
    }
    if (stops)
        QTRY_VERIFY(!rig.timer4()->isActive());
    QTest::qWait(700); // no report on later ticks
    QCOMPARE(rig.timer4()->isActive(), !stops);
    QCOMPARE(rig.page->AutoRead->text(), stops ? text::AutoReadOff : text::AutoReadOn);
    QCOMPARE(rig.memo().count(text::AutoReadStopped), memoLines);
    QCOMPARE(rig.errors.errors.size(), errors);
    if (stops && cause != QLatin1String("address"))
        QVERIFY(!rig.state().MeasurePending);
    if (!stops) { // and the readings go on on the reopened port
        const int asked = int(rig.radioCommands().size());
        QTRY_VERIFY(rig.radioCommands().size() > asked + 1);
    }
}

// A noise byte after every answer: each test-page request starts from a
// fresh recogniser, so every answer is still recognised.
void TestTestPage::answersAfterLineNoise()
{
    Rig rig(QStringList{"--steady", "--noise-after", "96"});
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    QVERIFY(rig.open(kFull));
    QTRY_COMPARE(rig.page->Power_lab->text(), QStringLiteral("3")); // the report, then the noise
    const struct {
        const char *button, *label, *shown;
    } readings[] = {{"ReadVolt", "Volt", "12.0"}, {"GetRssi", "RssiValue", "95"}, {"ReadTemp", "Temperature", "27"}, {"ReadPower", "Power", "35.5"}};
    for (const auto &r : readings) {
        rig.click(QLatin1String(r.button));
        rig.tick3(true);
        QCOMPARE(rig.f().text(QLatin1String(r.label)), QLatin1String(r.shown));
    }
    rig.state().ReplyReady = false;
    rig.page->VR[3]->up()->click();
    QTRY_VERIFY(rig.state().ReplyReady); // its answer in before the next request
    QVERIFY(rig.radioCommands().endsWith(char(0xC0)));
    for (QLineEdit *edit : rig.page->VR_Text)
        edit->setText(QStringLiteral("0"));
    rig.click(QStringLiteral("Read_VR"));
    QTRY_COMPARE(rig.page->VR_Text[3]->text(), QStringLiteral("161"));
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestTestPage::exchangesDuringAutomaticReading_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QByteArray>("requests"); // the exchange's, one after the other
    QTest::newRow("data-radio read") << "dk618" << "Dk618_Read_Data" << "读取成功！" << bytes({0x99, 0x63, 0x67, 0x6B, 0x72});
    QTest::newRow("central read") << "mlb4800" << "Mlb4800_ReadData" << "读取成功！" << bytes({0x63, 0x67, 0x6B, 0x73});
    QTest::newRow("subscriber write") << "mlr4800" << "Mlr4800_WriteData" << "写录成功！" << bytes({0x61, 0x65, 0x71, 0x6D});
}

// Automatic reading pauses while another page's exchange runs (the reading
// pending at the click is dropped) and goes on by itself afterwards.
void TestTestPage::exchangesDuringAutomaticReading()
{
    QFETCH(QString, family);
    QFETCH(QString, button);
    QFETCH(QString, outcome);
    QFETCH(QByteArray, requests);
    Rig rig(QStringList{}, family);
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    if (family == QLatin1String("mlb4800"))
        rig.form->MLB4800Click();
    else if (family == QLatin1String("mlr4800"))
        rig.form->MLR4800Click();
    else
        rig.form->DataTransClick();
    rig.form->findChild<QTimer *>(QStringLiteral("Timer3"))->start();
    rig.click(QStringLiteral("AutoRead"));
    QTRY_VERIFY(rig.state().MeasurePending);
    rig.click(button);
    auto *panel2 = child<QLabel>(*rig.form, QStringLiteral("StatusPanel2"));
    QTRY_COMPARE_WITH_TIMEOUT(panel2->text(), outcome, 8000);
    QVERIFY(rig.prompts.messages.isEmpty() && rig.errors.errors.isEmpty());
    QVERIFY2(rig.radioCommands().contains(requests), qPrintable(rig.radioCommands().toHex(' ')));
    const qsizetype end = rig.radioCommands().indexOf(requests) + requests.size();
    QTRY_VERIFY(rig.radioCommands().size() > end + 1); // the cycle goes on
    QVERIFY(QByteArray("\xD1\xD3\xD7\xD9").contains(rig.radioCommands().at(end)));
    QCOMPARE(rig.page->AutoRead->text(), text::AutoReadOn);
    QVERIFY(rig.timer4()->isActive());
}

void TestTestPage::model150RenamesRowsOneAndTwo()
{
    Rig rig(QStringList{"--model", "DK150-A"});
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    rig.form->DataTransClick();
    auto run = [&rig](const QString &button) {
        rig.click(button);
        for (int i = 0; i < 50 && (rig.state().RadioWriteActive || rig.state().RadioReadActive); ++i)
            rig.tick3(true);
    };
    run(QStringLiteral("Dk618_Write_Data"));
    QCOMPARE(child<QLabel>(*rig.form, QStringLiteral("StatusPanel2"))->text(), QStringLiteral("写录成功！"));
    QCOMPARE(rig.page->RowCaption[0]->text(), QStringLiteral("外接调制频偏："));
    QCOMPARE(rig.page->RowCaption[1]->text(), QStringLiteral("发射话音频偏："));
    run(QStringLiteral("Dk618_Read_Data"));
    QCOMPARE(child<QLabel>(*rig.form, QStringLiteral("StatusPanel2"))->text(), QStringLiteral("读取成功！"));
    QCOMPARE(rig.page->RowCaption[0]->text(), QStringLiteral("最大频偏调节："));
    QCOMPARE(rig.page->RowCaption[1]->text(), QStringLiteral("平衡调制调节："));
    QCOMPARE(child<QLabel>(*rig.form, QStringLiteral("Label70")), rig.page->RowCaption[0]);
    QCOMPARE(child<QLabel>(*rig.form, QStringLiteral("Label77")), rig.page->RowCaption[8]);
}

namespace {
// y values of a series, as text.
QStringList Ys(const QXYSeries *series)
{
    QStringList ys;
    for (const QPointF &p : series->points())
        ys << QString::number(p.y());
    return ys;
}

// What qmsim answered to the readings, by quantity, decoded from its log.
struct Answered {
    QStringList values[kQuantities];
    QStringList alarms;
};
Answered AnsweredReadings(const QString &log)
{
    Answered a;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return a;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QByteArray f = line.startsWith("tx ") ? QByteArray::fromHex(line.mid(3)) : QByteArray();
        if (f.size() < 8)
            continue;
        const auto at = [&f](int i) { return int(quint8(f[i])); };
        switch (at(3)) {
        case 0xD2: a.values[int(Quantity::Temperature)] << QString::number((at(6) * 256 + at(7)) >> 4); break;
        case 0xD4: a.values[int(Quantity::FieldStrength)] << QString::number(-at(7)); break;
        case 0xDA: a.values[int(Quantity::Voltage)] << QString::number(at(6) + at(7) / 10.0); break;
        case 0xD8:
            a.values[int(Quantity::Power)] << QString::number(at(6) + at(7) / 10.0);
            if (at(8) == 0xFF)
                a.alarms << a.values[int(Quantity::Power)].last();
            break;
        default: break;
        }
    }
    return a;
}
} // namespace

// A reading adds its point only when it is shown; the alarm marks the
// power curve where it was lit.
void TestTestPage::trendFollowsDecodedReadings_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("quantity"); // -1: no point anywhere
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("alarm");
    const int none = -1;
    QTest::newRow("temperature") << "ReadTemp" << BuildFrame(0xD2, bytes({0, 1, 0x01, 0xB0})) << int(Quantity::Temperature) << 27.0 << false;
    QTest::newRow("field strength is negative dBm") << "GetRssi" << BuildFrame(0xD4, bytes({0, 1, 0, 95})) << int(Quantity::FieldStrength) << -95.0 << false;
    QTest::newRow("power with alarm") << "ReadPower" << BuildFrame(0xD8, bytes({0, 1, 35, 5, 0xFF})) << int(Quantity::Power) << 35.5 << true;
    QTest::newRow("power without alarm") << "ReadPower" << BuildFrame(0xD8, bytes({0, 1, 36, 12, 0})) << int(Quantity::Power) << 36.12 << false;
    QTest::newRow("voltage") << "ReadVolt" << BuildFrame(0xDA, bytes({0, 1, 13, 8})) << int(Quantity::Voltage) << 13.8 << false;
    QTest::newRow("power answer too short") << "ReadPower" << BuildFrame(0xD8, bytes({0, 1, 36, 5})) << none << 0.0 << false;
    QTest::newRow("answer to a calibration") << "GetRssi" << BuildFrame(0xF2, bytes({0, 1, 0, 95})) << none << 0.0 << false;
    QTest::newRow("trimming report") << "ReadTemp" << BuildFrame(0xDF, bytes({0, 1, 10, 20, 30, 40, 50, 60, 70, 4, 90, 80})) << none << 0.0 << false;
}

void TestTestPage::trendFollowsDecodedReadings()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, answer);
    QFETCH(int, quantity);
    QFETCH(double, value);
    QFETCH(bool, alarm);
    Rig rig;
    QVERIFY(rig.ok && rig.open(kFull));
    rig.nextFrame();
    TrendWindow *trend = rig.openTrend();
    QVERIFY(trend && trend->isVisible());
    rig.answer(button, answer);
    QVERIFY(!rig.state().MeasurePending);
    QTRY_COMPARE(trend->findChild<QTableView *>(QStringLiteral("Trend_Log"))->model()->rowCount(), quantity < 0 ? 0 : 1);
    for (int q = 0; q < kQuantities; ++q)
        QCOMPARE(trend->series(Quantity(q))->count(), q == quantity ? 1 : 0);
    QCOMPARE(trend->alarmMarks()->count(), alarm ? 1 : 0);
    if (quantity >= 0) {
        QCOMPARE(trend->series(Quantity(quantity))->at(0).y(), value);
        const Reading r = rig.form->testRun().run().log.readings().at(0);
        QCOMPARE(qint64(trend->series(Quantity(quantity))->at(0).x()), r.time.toMSecsSinceEpoch());
        QCOMPARE(r.address, QStringLiteral("1"));
    }
    QVERIFY(rig.errors.errors.isEmpty());
}

// The trend window is a window of its own: Escape and Ctrl+W close it, and
// the menu item brings it back.
void TestTestPage::trendClosesFromTheKeyboard()
{
    Rig rig;
    QVERIFY(rig.ok && rig.open(kFull));
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        TrendWindow *trend = rig.openTrend();
        QVERIFY(trend);
        // The offscreen platform leaves the password dialog active.
        QApplication::setActiveWindow(trend);
        QVERIFY(QTest::qWaitForWindowActive(trend));
        QTest::keySequence(trend, keys);
        QVERIFY2(!trend->isVisible(), qPrintable(keys.toString()));
        QVERIFY(rig.form->isVisible());
    }
    child<QAction>(*rig.form, QStringLiteral("Trend_Item"))->trigger();
    QVERIFY(rig.form->testRun().trendWindow()->isVisible());
}

// Automatic reading with the trend open: a point per answer, in its series,
// with the value the radio sent; the export read back by Python's csv.
void TestTestPage::trendAgainstRadio_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::newRow("steady, alarm") << QStringList{"--steady", "--swr-alarm"};
    QTest::newRow("drifting") << QStringList{};
    QTest::newRow("drifting, alarm") << QStringList{"--swr-alarm"};
}

void TestTestPage::trendAgainstRadio()
{
    QFETCH(QStringList, simArgs);
    Rig rig(simArgs);
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    rig.readRadio();
    QVERIFY(rig.open(kFull));
    TrendWindow *trend = rig.openTrend();
    QCOMPARE(trend->rangeMinutes(), 10);
    TestExchange &t = rig.form->testExchange();
    t.switchTimer4 = [](bool) {};
    rig.click(QStringLiteral("AutoRead"));
    for (int i = 0; i < 12; ++i) {
        t.Timer4Timer();
        rig.tick3(true);
    }
    trend->refresh();
    const Answered answered = AnsweredReadings(rig.log);
    for (int q = 0; q < kQuantities; ++q) {
        QCOMPARE(answered.values[q].size(), 3);
        QCOMPARE(Ys(trend->series(Quantity(q))), answered.values[q]);
    }
    QCOMPARE(Ys(trend->alarmMarks()), answered.alarms);
    QCOMPARE(answered.alarms.size(), simArgs.contains("--swr-alarm") ? 3 : 0);
    if (simArgs.contains("--steady")) {
        QCOMPARE(answered.values[int(Quantity::Voltage)].first(), QStringLiteral("12"));
        QCOMPARE(answered.values[int(Quantity::FieldStrength)].first(), QStringLiteral("-95"));
    }

    // The export, as Python's csv module reads it.
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed: the export is not read back");
    const QString csv = rig.dir.filePath(QStringLiteral("readings.csv"));
    rig.prompts.fileNames.enqueue(csv);
    rig.form->testRun().ExportReadings->trigger();
    QVERIFY(rig.memo().endsWith(QStringLiteral("导出成功！")));
    QProcess py;
    py.start(python, {"-c", "import csv,sys\n"
                            "raw=open(sys.argv[1],'rb').read()\n"
                            "assert raw.startswith(b'\\xef\\xbb\\xbf')\n"
                            "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
                            "sys.stdout.buffer.write('\\n'.join('|'.join(r) for r in rows).encode())\n",
                      csv});
    QVERIFY(py.waitForFinished(10000));
    QCOMPARE(py.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput()).split('\n');
    const QList<Reading> &log = rig.form->testRun().run().log.readings();
    QCOMPARE(lines.size(), log.size() + 1);
    QCOMPARE(lines.first(), QStringLiteral("time|model|address|quantity|value|unit"));
    const QString units[kQuantities] = {"V", "dBm", "°C", "dBm"};
    int seen[kQuantities] = {};
    for (qsizetype i = 0; i < log.size(); ++i) {
        const QStringList f = lines[i + 1].split('|');
        const int q = int(log[i].quantity);
        QCOMPARE(f.size(), 6);
        QCOMPARE(QDateTime::fromString(f[0], Qt::ISODateWithMs), log[i].time);
        QCOMPARE(f.mid(1, 2), (QStringList{"DK618-450", "1"}));
        QCOMPARE(f[3], QuantityName(log[i].quantity));
        QCOMPARE(QString::number(f[4].toDouble()), answered.values[q].at(seen[q]++));
        QCOMPARE(f[5], units[q]);
    }
    QVERIFY(rig.errors.errors.isEmpty());
}

// Memory holds the last 24 hours of readings, and never more than a day of
// the fastest automatic reading, also when the clock is set back and the
// times say nothing.
void TestTestPage::readingsLogKeepsADay_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<qint64>("stepMs");
    QTest::addColumn<int>("setBackAt"); // -1: never
    QTest::addColumn<int>("maxReadings");
    QTest::addColumn<int>("kept");
    QTest::newRow("25 hours, one a minute") << 1501 << qint64(60000) << -1 << int(ReadingsLog::kMaxReadings) << 1441;
    QTest::newRow("clock set back a year") << 200 << qint64(300) << 100 << 150 << 150;
    QTest::newRow("an hour at 300 ms") << 12000 << qint64(300) << -1 << int(ReadingsLog::kMaxReadings) << 12000;
}

void TestTestPage::readingsLogKeepsADay()
{
    QFETCH(int, count);
    QFETCH(qint64, stepMs);
    QFETCH(int, setBackAt);
    QFETCH(int, maxReadings);
    QFETCH(int, kept);
    ReadingsLog log(nullptr, maxReadings);
    QDateTime t = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i) {
        if (i == setBackAt)
            t = t.addYears(-1);
        log.append({t, Quantity(i % kQuantities), QString::number(i), false, QStringLiteral("DK618-450"), QStringLiteral("1")});
        t = t.addMSecs(stepMs);
    }
    QCOMPARE(log.readings().size(), kept);
    QCOMPARE(log.dropped(), qint64(count - kept));
    QCOMPARE(log.readings().last().value, QString::number(count - 1));
    QCOMPARE(log.readings().first().value, QString::number(count - kept));
}

// Every reading goes into the file of its day as it comes, with the
// export's columns; the window closed, the file holds every one. A file
// that cannot be written is said once.
void TestTestPage::readingsGoToTheirDailyFile_data()
{
    QTest::addColumn<bool>("blocked");
    QTest::newRow("folder writable") << false;
    QTest::newRow("folder blocked by a file") << true;
}

void TestTestPage::readingsGoToTheirDailyFile()
{
    QFETCH(bool, blocked);
    QTemporaryDir data;
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    const QString folder = ReadingsFolder();
    if (blocked) {
        QVERIFY(QDir().mkpath(QFileInfo(folder).path()));
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    {
        Rig rig;
        qputenv("XDG_DATA_HOME", oldHome);
        QVERIFY(rig.ok);
        for (int i = 0; i < 3; ++i)
            rig.answer(QStringLiteral("ReadVolt"), BuildFrame(0xDA, bytes({0, 1, 12, i})));
        rig.answer(QStringLiteral("GetRssi"), BuildFrame(0xD4, bytes({0, 1, 0, 95})));
        QCOMPARE(rig.memo().count(QStringLiteral("读数记录写入失败：")), blocked ? 1 : 0);
        if (blocked)
            return;
    }
    const ReadingsJournal journal(folder);
    QFile file(journal.pathOf(QDate::currentDate()));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QList<QStringList> rows = ParseCsv(file.readAll());
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0].join(','), QStringLiteral("time,model,address,quantity,value,unit"));
    QCOMPARE(rows[3].mid(3), (QStringList{QStringLiteral("工作电压"), QStringLiteral("12.2"), QStringLiteral("V")}));
    QCOMPARE(rows[4].mid(3), (QStringList{QStringLiteral("当前场强"), QStringLiteral("-95"), QStringLiteral("dBm")}));
    QCOMPARE(QDateTime::fromString(rows[4][0], Qt::ISODateWithMs).date(), QDate::currentDate());

    // A reading of another day goes into that day's file.
    ReadingsJournal other(folder);
    QString error;
    const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
    QVERIFY(other.write({tomorrow, Quantity::Power, QStringLiteral("35.5"), true, {}, QStringLiteral("1")}, &error));
    QFile next(other.pathOf(tomorrow.date()));
    QVERIFY(next.open(QIODevice::ReadOnly));
    QCOMPARE(ParseCsv(next.readAll()).size(), 2);
}

// The clock set back an hour: the readings since then are drawn on an axis
// that follows the clock, not left of an axis an hour ahead. The table
// follows the log as it lets the oldest readings go.
void TestTestPage::trendFollowsAClockSetBack()
{
    ReadingsLog log(nullptr, 50);
    QAction exportReadings(QStringLiteral("导出读数..."), nullptr);
    qint64 now = QDateTime::currentMSecsSinceEpoch();
    TrendWindow trend(log, &exportReadings, nullptr);
    trend.setClock([&now] { return now; });
    const auto add = [&log](qint64 at, const QString &value) {
        log.append({QDateTime::fromMSecsSinceEpoch(at), Quantity::Voltage, value, false, QStringLiteral("DK618-450"), QStringLiteral("1")});
    };
    for (int i = 0; i < 40; ++i) {
        now += 1000;
        add(now, QStringLiteral("12.0"));
    }
    trend.show();
    trend.refresh();
    QCOMPARE(trend.series(Quantity::Voltage)->count(), 40);
    now -= 3600000;
    for (int i = 0; i < 20; ++i) {
        now += 1000;
        add(now, QStringLiteral("13.0"));
    }
    trend.refresh();
    QLineSeries *volts = trend.series(Quantity::Voltage);
    QCOMPARE(volts->count(), 20);
    const auto *axis = static_cast<QDateTimeAxis *>(volts->attachedAxes().first());
    for (int i = 0; i < volts->count(); ++i) {
        QCOMPARE(volts->at(i).y(), 13.0);
        QVERIFY(axis->min().toMSecsSinceEpoch() <= qint64(volts->at(i).x()) && qint64(volts->at(i).x()) <= axis->max().toMSecsSinceEpoch());
    }
    QCOMPARE(log.readings().size(), 50);
    QAbstractItemModel *table = trend.findChild<QTableView *>(QStringLiteral("Trend_Log"))->model();
    QCOMPARE(table->rowCount(), 50);
    QCOMPARE(table->data(table->index(0, 0)).toString(), log.readings().first().time.toString(QStringLiteral("hh:mm:ss.zzz")));
    QCOMPARE(table->data(table->index(49, 2)).toString(), QStringLiteral("13.0 V"));
}

void TestTestPage::failedExportKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("cause");
    QTest::newRow("read-only folder") << "folder";
    QTest::newRow("full disk") << "disk";
}

void TestTestPage::failedExportKeepsTheOldFile()
{
    QFETCH(QString, cause);
    Rig rig;
    QVERIFY(rig.ok);
    for (int i = 0; i < 40; ++i)
        rig.answer(QStringLiteral("ReadVolt"), BuildFrame(0xDA, bytes({0, 1, 13, i % 10})));
    QCOMPARE(rig.form->testRun().run().log.readings().size(), 40);
    SmallDisk disk(rig.dir.filePath(QStringLiteral("disk")));
    if (!disk.mounted)
        QSKIP(qPrintable("a small tmpfs cannot be mounted here: " + disk.error));
    const QString path = disk.filePath(QStringLiteral("readings.csv"));
    const QByteArray old = "time,model,address,quantity,value,unit\r\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    }
    rig.prompts.fileNames.enqueue(cause == QLatin1String("disk") ? path : disk.filePath(QStringLiteral("new.csv")));
    if (cause == QLatin1String("disk")) {
        QVERIFY(disk.fill());
        rig.form->testRun().ExportReadings->trigger();
    } else {
        QVERIFY(QFile::setPermissions(rig.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(disk.folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        AsNobody nobody;
        QVERIFY2(nobody.bound(), "cannot run as another user: the folder would not be locked");
        rig.form->testRun().ExportReadings->trigger();
    }
    QCOMPARE(rig.errors.errors.size(), 1);
    QVERIFY2(rig.errors.errors.first().startsWith(QStringLiteral("无法写入文件：")), qPrintable(rig.errors.errors.first()));
    QVERIFY(rig.memo().endsWith(QStringLiteral("导出失败！")));
    QStringList files = QDir(disk.folder).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(QStringLiteral("filler"));
    QCOMPARE(files, QStringList{"readings.csv"});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
}

// After trimming and one confirmed calibration the record holds what the
// radio reported and the confirmed command, in an INI file beside other
// sections or in a CSV file; a CSV file of something else is refused.
void TestTestPage::calibrationRecord_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("before");
    QTest::newRow("INI file with a parameter section") << "radio.ini" << QByteArray("[File_DK618]\r\nDevice=1\r\n");
    QTest::newRow("new CSV file") << "records.CSV" << QByteArray();
    QTest::newRow("CSV file of something else") << "other.csv" << QByteArray("a,b\r\n1,2\r\n");
}

void TestTestPage::calibrationRecord()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, before);
    Rig rig(QStringList{"--steady"});
    QVERIFY2(rig.ok, qPrintable(rig.sim.errorString()));
    rig.readRadio();
    QVERIFY(rig.open(kFull));
    QTRY_COMPARE(rig.page->Power_lab->text(), QStringLiteral("3"));
    rig.page->VR[7]->up()->click(); // the radio takes 201
    QTRY_VERIFY(rig.radioCommands().endsWith(char(0xC0)));
    rig.page->VR_Text[7]->setText(QStringLiteral("0"));
    rig.click(QStringLiteral("Read_VR"));
    QTRY_COMPARE(rig.page->VR_Text[7]->text(), QStringLiteral("201")); // the report is in
    rig.page->VR_Text[0]->setText(QStringLiteral("7")); // typed, not reported
    rig.state().ReplyReady = false;
    rig.page->VR[7]->up()->click(); // 202 sent, not read back
    QTRY_VERIFY(rig.state().ReplyReady); // its answer in
    QVERIFY(rig.radioCommands().endsWith(bytes({0xD0, 0xC0})));
    rig.state().ReplyReady = false;
    rig.prompts.confirmations << true << false;
    rig.click(QStringLiteral("RssiModi"));
    QTRY_VERIFY(rig.state().ReplyReady); // its answer in before the reading goes out
    rig.click(QStringLiteral("SetPower"));
    rig.click(QStringLiteral("ReadVolt"));
    rig.tick3(true);
    rig.click(QStringLiteral("ReadPower"));
    rig.tick3(true);
    QTRY_VERIFY(rig.radioCommands().endsWith(bytes({0xF1, 0xD9, 0xD7})));

    const QString path = rig.dir.filePath(name);
    if (!before.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    }
    for (int i = 0; i < 2; ++i) {
        rig.prompts.fileNames.enqueue(path);
        child<QPushButton>(*rig.form, QStringLiteral("Record_Save"))->click();
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytesNow = file.readAll();
    if (name.startsWith(QLatin1String("other"))) {
        QCOMPARE(rig.errors.errors.size(), 2);
        QVERIFY(rig.errors.errors.first().startsWith(QStringLiteral("无法写入文件：")));
        QCOMPARE(bytesNow, before);
        return;
    }
    QVERIFY2(rig.errors.errors.isEmpty(), qPrintable(rig.errors.errors.join('\n')));
    QVERIFY(bytesNow.startsWith(before));
    const QList<TestRecord> records = ReadTestRecords(path);
    QCOMPARE(records.size(), 2);
    const TestRecord &r = records.first();
    QStringList rows;
    for (int row = 1; row <= 9; ++row)
        rows << r.value(QStringLiteral("VR%1").arg(row));
    QCOMPARE(rows.join(' '), QStringLiteral("128 96 140 160 80 110 150 201 130"));
    QCOMPARE(r.value("PowerLevel"), QStringLiteral("3"));
    QCOMPARE(r.value("Model"), QStringLiteral("DK618-450"));
    QCOMPARE(r.value("Address"), QStringLiteral("1"));
    QCOMPARE(r.value("Calibrations"), QStringLiteral("0xF1"));
    QCOMPARE(r.value("NotReadBack"), QStringLiteral("VR8 PowerLevel"));
    QVERIFY(rig.memo().endsWith(QStringLiteral("未读回：VR8 PowerLevel（记录中为设备最后报告的值）")));
    QCOMPARE(r.value("Voltage") + ' ' + r.value("Power") + ' ' + r.value("SwrAlarm"), QStringLiteral("12.0 35.5 0"));
    QCOMPARE(r.value("FieldStrength") + r.value("Temperature"), QString());
    QVERIFY(QDateTime::fromString(r.value("Time"), Qt::ISODate).isValid());
    QCOMPARE(records.last().values.mid(1), r.values.mid(1));
    if (name.endsWith(QLatin1String(".ini"))) {
        const IniDocument doc = IniDocument::load(path);
        QCOMPARE(doc.sections().size(), 3); // the parameters and two records named by time
        QCOMPARE(doc.value("File_DK618", "Device", "?"), QByteArray("1"));
        QVERIFY(doc.sections().at(1).startsWith("Test_Record_"));
    } else {
        QVERIFY(bytesNow.startsWith("\xEF\xBB\xBFTime,Model,Address,VR1,"));
    }
    const TestRecordTable table = FormatTestRecords(path);
    QCOMPARE(table.error, QString());
    const QStringList lines = table.text.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.first().startsWith(QStringLiteral("Time ")));
    QVERIFY(lines.at(1).contains(QStringLiteral("DK618-450")) && lines.at(1).contains(QStringLiteral("0xF1 ")) && lines.at(1).endsWith(QStringLiteral("VR8 PowerLevel")));
    QVERIFY(FormatTestRecords(rig.dir.filePath(QStringLiteral("missing.ini"))).error.startsWith(QStringLiteral("无法读取文件：")));

    // Another radio at address 7: its record holds its own reading alone.
    rig.f().setText(QStringLiteral("Dk618_Address"), QStringLiteral("7"));
    rig.click(QStringLiteral("ReadVolt"));
    rig.tick3(true);
    rig.prompts.fileNames.enqueue(path);
    child<QPushButton>(*rig.form, QStringLiteral("Record_Save"))->click();
    const TestRecord other = ReadTestRecords(path).last();
    QCOMPARE(other.value("Address"), QStringLiteral("7"));
    QCOMPARE(other.value("Voltage"), QStringLiteral("12.0"));
    for (const char *key : {"VR8", "PowerLevel", "Calibrations", "Power", "NotReadBack"})
        QCOMPARE(other.value(QLatin1String(key)), QString());
}

// The record holds what the radio connected now reported: a change of the
// model text or the address is another radio, and what came before is
// none of its values, also when the first radio comes back.
void TestTestPage::recordHoldsOnlyTheRadioNowConnected_data()
{
    QTest::addColumn<QStringList>("radios"); // model/address before each event
    QTest::addColumn<QString>("expected");   // VR1 Calibrations Voltage Power NotReadBack
    QTest::newRow("one radio") << QStringList{"A/1", "A/1", "A/1", "A/1", "A/1"} << "10|0xF1|12.0|35.5|VR3";
    QTest::newRow("another model") << QStringList{"A/1", "A/1", "A/1", "A/1", "B/1"} << "||||";
    QTest::newRow("another address before the power") << QStringList{"A/1", "A/1", "A/1", "A/7", "A/7"} << "|||35.5|";
    QTest::newRow("the first radio again") << QStringList{"A/1", "A/1", "B/1", "A/1", "A/1"} << "|||35.5|";
}

void TestTestPage::recordHoldsOnlyTheRadioNowConnected()
{
    QFETCH(QStringList, radios);
    QFETCH(QString, expected);
    TestRun run;
    QString radio;
    run.model = [&radio] { return radio.section('/', 0, 0); };
    run.address = [&radio] { return radio.section('/', 1, 1); };
    const std::function<void()> events[] = {
        [&] { run.trimmingReport({10, 20, 30, 40, 50, 60, 70, 3, 90, 80}); },
        [&] { run.calibrationSent(0xF1); },
        [&] { run.reading(Quantity::Voltage, QStringLiteral("12.0"), false), run.trimmingSent(3); },
        [&] { run.reading(Quantity::Power, QStringLiteral("35.5"), false); },
    };
    for (int i = 0; i < 4; ++i) {
        radio = radios[i];
        events[i]();
    }
    radio = radios[4];
    const TestRecord r = run.record(QDateTime::currentDateTime());
    QCOMPARE(r.value("Model") + '/' + r.value("Address"), radios[4]);
    QCOMPARE(QStringList({r.value("VR1"), r.value("Calibrations"), r.value("Voltage"), r.value("Power"), r.value("NotReadBack")}).join('|'), expected);
    QCOMPARE(run.log.readings().size(), 2); // the trend keeps every radio's readings
}

// A record file of a version without the newest column: its header gains
// it, its lines stay, and both read back.
void TestTestPage::olderRecordFileGainsTheNewColumn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.csv"));
    QStringList header = TestRecord::keys();
    header.removeLast();
    const QByteArray oldLine = "2026-01-02T03:04:05+08:00,DK618-450,1,1,2,3,4,5,6,7,8,9,3,12.0,-95,27,35.5,0,0xF1\r\n";
    const QByteArray old = QByteArray(kUtf8Bom) + header.join(',').toUtf8() + "\r\n" + oldLine;
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
    f.close();
    TestRecord record;
    record.set(QStringLiteral("Time"), QStringLiteral("2026-02-03T04:05:06+08:00"));
    record.set(QStringLiteral("NotReadBack"), QStringLiteral("VR2"));
    StoreTestRecord(path, record);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray now = f.readAll();
    QVERIFY(now.startsWith(QByteArray(kUtf8Bom) + TestRecord::keys().join(',').toUtf8() + "\r\n" + oldLine));
    const QList<TestRecord> records = ReadTestRecords(path);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].value("Calibrations"), QStringLiteral("0xF1"));
    QCOMPARE(records[0].value("NotReadBack"), QString());
    QCOMPARE(records[1].value("NotReadBack"), QStringLiteral("VR2"));
}

void TestTestPage::csvCells_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("number"); // in a number column
    QTest::addColumn<QString>("written");
    QTest::newRow("formula and CR") << "=1+2\rDK618" << false << "\"'=1+2\rDK618\"";
    QTest::newRow("field strength") << "-95" << true << "-95";
    QTest::newRow("reading") << "12.0" << true << "12.0";
    QTest::newRow("minus in a text") << "-95" << false << "'-95";
    QTest::newRow("formula in a number column") << "-1+2" << true << "'-1+2";
    QTest::newRow("plus") << "+5" << true << "'+5";
    QTest::newRow("at") << "@SUM(A1)" << false << "'@SUM(A1)";
    QTest::newRow("tab") << "\tx" << false << "'\tx";
    QTest::newRow("lone CR") << "\r" << false << "\"'\r\"";
    QTest::newRow("comma and quote") << "a,\"b\"" << false << "\"a,\"\"b\"\"\"";
    QTest::newRow("LF") << "a\nb" << false << "\"a\nb\"";
    QTest::newRow("empty") << "" << true << "";
    QTest::newRow("quote mark first") << "'=x" << false << "''=x";
    QTest::newRow("lone quote mark") << "'" << false << "''";
}

// Every CSV file goes through one writer: no cell runs as a formula, a CR
// never ends a row, numbers stay numbers.
void TestTestPage::csvCells()
{
    QFETCH(QString, cell);
    QFETCH(bool, number);
    QFETCH(QString, written);
    const QString line = CsvLine({cell, QStringLiteral("end")}, number ? QList<int>{0} : QList<int>{});
    QCOMPARE(line, written + QStringLiteral(",end\r\n"));
    const QList<QStringList> back = ParseCsv(line.toUtf8());
    QCOMPARE(back.size(), 1);
    QCOMPARE(back[0].size(), 2);
    // Read back as it was given, guard or not.
    QCOMPARE(CsvCellText(back[0][0]), cell);
}

QTEST_MAIN(TestTestPage)
#include "tst_testpage.moc"
