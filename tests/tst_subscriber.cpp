// The subscriber unit: its page's entry rules by real key and focus events,
// its parameter file beside the data radio's, and its exchanges through the
// real ComPort1 against the simulated unit (qmsim --family mlr4800) on a
// pseudo terminal or against replies handed straight to the receive path.
// Timer2 is ticked by the test.
#include "app/mainform.h"
#include "app/simulatedunits.h"
#include "common/fieldaccess.h"
#include "common/gbktexts.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "units/mlr4800page.h"
#include "units/subscriberexchange.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace qm;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
// The file section as the tool writes it, with the file's line ends.
QByteArray section(const QByteArrayList &values, const QByteArray &br)
{
    using namespace gbk;
    const QByteArray keys[] = {KeyUplinkTxFreq, KeyUplinkRxFreq, KeyBaseTxFreq, KeyBaseRxFreq, KeyUnitAddress, KeyUnitBaudRate, KeyUnitAirRate};
    QByteArray text = "[File_MLR4800]" + br;
    for (int i = 0; i < 7; ++i)
        text += keys[i] + '=' + values.value(i) + br;
    return text;
}
} // namespace

class TestSubscriber : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { window_.reset(), sim_.reset(), pty_.reset(), errors_.reset(); }
    void typing_data();
    void typing();
    void frequencyLeaveRule();
    void fileSectionBesideTheDataRadios();
    void loadedValues_data();
    void loadedValues();
    void framesOfWriteAndRead();
    void writeThenReadBack_data();
    void writeThenReadBack();
    void unitSilentOnAirRateTimesOut();
    void clicksThatSendNothing_data();
    void clicksThatSendNothing();
    void addressChangedDuringWriteEndsIt();
    void scriptedReplies_data();
    void scriptedReplies();
    void simulateModeFollowsTheFamilyPage();

private:
    // The shown window on COM1 with the subscriber page chosen (1200 E).
    void openWindow(const QString &com1 = {}, const QHash<QString, QString> &units = {})
    {
        if (com1.isEmpty())
            pty_ = std::make_unique<PtyPair>();
        prompts_ = std::make_unique<TestPrompts>();
        errors_ = std::make_unique<ErrorCatcher>();
        MainFormOptions options;
        options.prompts = prompts_.get();
        options.portMap.insert(QStringLiteral("COM1"), com1.isEmpty() ? pty_->slavePath() : com1);
        options.simulatedUnits = units;
        window_ = std::make_unique<TMainForm>(options);
        page_ = window_->mlr4800Page();
        path_ = dir_.filePath(QStringLiteral("units.ini"));
        QFile::remove(path_);
        window_->findChild<QTimer *>(QStringLiteral("Timer2"))->stop();
        window_->findChild<QTimer *>(QStringLiteral("Timer3"))->stop();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        window_->MLR4800Click();
        QVERIFY(window_->link().port().isOpen());
    }
    void startUnit(const QStringList &simArgs = {})
    {
        log_ = dir_.filePath(QStringLiteral("unit.log"));
        QFile::remove(log_);
        sim_ = std::make_unique<Simulator>();
        sim_->setProgram(QStringLiteral(QMSIM_PATH));
        if (!sim_->start(QStringLiteral("mlr4800"), QStringList{"--log", log_, "--delay-ms", "1"} + simArgs))
            QTest::qFail(qPrintable(sim_->errorString()), __FILE__, __LINE__);
        openWindow(sim_->linkPath()); // a pty of its own when the unit did not start
    }
    void set(const QString &field, const QString &text) { window_->fields().setText(field, text); }
    void tick(bool expectReply)
    {
        if (expectReply)
            (void)QTest::qWaitFor([this] { return state().ReplyReady; }, 2000);
        window_->Timer2Timer();
    }
    void runExchange()
    {
        for (int ticks = 0; running() && ticks < 100; ++ticks)
            tick(true);
    }
    // A reply of the unit handed straight to the receive path, then a tick.
    void reply(quint8 command, const QByteArray &hexData)
    {
        const QByteArray frame = BuildFrame(command, QByteArray::fromHex(hexData), kSubscriberSelector);
        window_->link().receiveBytes(reinterpret_cast<const quint8 *>(frame.constData()), frame.size());
        window_->Timer2Timer();
    }
    QByteArrayList framesReceivedByUnit() const
    {
        QByteArrayList frames;
        QFile f(log_);
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n'))
                if (line.startsWith("rx "))
                    frames << line.mid(3).toLower();
        return frames;
    }
    QString panel(int i) const { return window_->findChild<QLabel *>(QStringLiteral("StatusPanel%1").arg(i))->text(); }
    void fileClick(const char *button)
    {
        prompts_->fileNames.enqueue(path_);
        window_->findChild<QPushButton *>(QLatin1String(button))->click();
    }
    QString text(const QString &field) const { return window_->fields().text(field); }
    QString memo() const { return window_->findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"))->toPlainText(); }
    ProtocolState &state() { return window_->link().state(); }
    bool running() { return state().SubscriberWriteActive || state().SubscriberReadActive; }

    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<PtyPair> pty_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    Mlr4800Page *page_ = nullptr;
    QString log_;
};

void TestSubscriber::typing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::newRow("base receive, seven digits") << "RxFreq31" << "4a3.3-0 0\b0000" << "4330000";
    QTest::newRow("address, five digits") << "Mlr4800_Address" << "6x5535 9" << "65535";
    QTest::newRow("meter number") << "Meter_Number" << "N0.12" << "012";
    QTest::newRow("protocol code") << "Edit1" << "+7e" << "7";
    QTest::newRow("rate list") << "Mlr4800ComRate" << "\b\b38400" << "1200";
    QTest::newRow("air-rate list") << "Mlr4800_Airrate" << "1 9" << "9600A";
    QTest::newRow("meter rate list") << "Meter_Rate" << "\b9600" << "2400";
}

void TestSubscriber::typing()
{
    openWindow();
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QWidget *target = window_->mlr4800Page()->findChild<QWidget *>(field);
    auto *list = qobject_cast<QComboBox *>(target);
    QLineEdit *text = list ? list->lineEdit() : qobject_cast<QLineEdit *>(target);
    if (!list)
        text->clear();
    for (QWidget *to : list ? QList<QWidget *>{list, text} : QList<QWidget *>{text}) { // a list's text part too
        to->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(to, keys);
    }
    QCOMPARE(text->text(), expected);
}

void TestSubscriber::frequencyLeaveRule()
{
    openWindow();
    // The switch lives on the data-radio page and governs every page.
    QLineEdit *edit = window_->mlr4800Page()->RxFreq31, *other = window_->mlr4800Page()->Meter_Number;
    for (bool band800 : {true, false}) {
        window_->findChild<QCheckBox *>(QStringLiteral("Fq800"))->setChecked(band800);
        edit->setFocus(Qt::TabFocusReason);
        QVERIFY(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 1000));
        edit->setText(QStringLiteral("4330375"));
        other->setFocus(Qt::TabFocusReason);
        QTest::qWait(20); // the rule runs once the focus has moved
        QTRY_VERIFY(band800 ? other->hasFocus() : edit->hasFocus());
    }
    QCOMPARE(prompts_->messages, QStringList{QStringLiteral("频率必须整除250!")});
}

void TestSubscriber::fileSectionBesideTheDataRadios()
{
    openWindow();
    fileClick("Dk618_Save_File");
    const QByteArray radio = readAll(path_);
    const QByteArray br = radio.contains("\r\n") ? "\r\n" : "\n";
    // Saved right after the page was chosen, fields untouched.
    fileClick("Mlr4800_SaveFile");
    const QString stored = QStringLiteral("存储文档...\n存储文档：%1\n存储成功！").arg(path_);
    QVERIFY(memo().endsWith(stored + QLatin1Char('\n') + stored));
    const QByteArray untouched = section({"0", "0", "0", "0", "1", "1200", "9600A"}, br);
    QCOMPARE(readAll(path_), radio + untouched);

    // Each family rewrites only its own section.
    window_->fields().setText(QStringLiteral("Dk618_Address"), QStringLiteral("77"));
    fileClick("Dk618_Save_File");
    QByteArray radioNow = readAll(path_);
    QVERIFY(radioNow.endsWith(untouched));
    radioNow.chop(untouched.size());
    QVERIFY(radioNow.contains(gbk::KeyDeviceAddress + "=77" + br));
    auto *page = window_->mlr4800Page();
    page->TxFreq30->setText(QStringLiteral("4330000"));
    page->RxFreq31->setText(QStringLiteral("4380250"));
    page->Mlr4800_Address->setText(QStringLiteral("0300"));
    page->Mlr4800ComRate->setCurrentIndex(3);
    page->Mlr4800_Airrate->setCurrentIndex(2);
    fileClick("Mlr4800_SaveFile");
    fileClick("Mlr4800_SaveFile");
    QCOMPARE(readAll(path_), radioNow + section({"4330000", "0", "0", "4380250", "0300", "9600", "9600B"}, br));
    QVERIFY(errors_->errors.isEmpty());
}

void TestSubscriber::loadedValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("page"); // TxFreq30, RxFreq31, address, rate, air rate
    QTest::addColumn<QList<int>>("items"); // selected entries of the two lists
    QTest::addColumn<QString>("error");
    // The defaults stand, and the memo and the panel say so.
    QTest::newRow("only a data-radio section") << "[File_DK618]\n" + gbk::KeyDeviceAddress + "=12\n"
                                               << QStringList{"0", "0", "1", "1200", "9600A"} << QList<int>{0, 1} << "no section";
    QTest::newRow("hexadecimal, leading zeros, rate in the list")
        << section({"0x10", "0", "0", "$FA", "007", "9600", "19200A"}, "\n") << QStringList{"16", "250", "7", "9600", "19200A"} << QList<int>{3, 0} << "";
    QTest::newRow("texts naming no entry") << section({"0", "0", "0", "0", "1", "38400", "4800C"}, "\n")
                                           << QStringList{"0", "0", "1", "38400", "4800C"} << QList<int>{-1, -1} << "";
    QTest::newRow("not a number stops at its key") << section({"500", "0", "12a", "250", "9", "4800", "19200A"}, "\n")
                                                   << QStringList{"500", "5", "5", "2400", "9600B"} << QList<int>{1, 2} << "'12a' is not a valid integer value";
}

void TestSubscriber::loadedValues()
{
    openWindow();
    QFETCH(QByteArray, file);
    QFETCH(QStringList, page);
    QFETCH(QList<int>, items);
    QFETCH(QString, error);
    QFile f(path_);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    for (const char *field : {"TxFreq30", "RxFreq31", "Mlr4800_Address"})
        window_->fields().setText(QLatin1String(field), QStringLiteral("5"));
    window_->fields().setItemIndex(QStringLiteral("Mlr4800ComRate"), 1);
    window_->fields().setItemIndex(QStringLiteral("Mlr4800_Airrate"), 2);
    fileClick("Mlr4800_ReadFile");
    const bool noSection = error == QLatin1String("no section");
    QCOMPARE(errors_->errors, error.isEmpty() || noSection ? QStringList() : QStringList{error});
    QCOMPARE(memo().endsWith(QStringLiteral("读取结束！")), error.isEmpty());
    if (noSection) {
        const QString said = QStringLiteral("文件中没有MLR4800参数，已取默认值：") + path_;
        QVERIFY(memo().endsWith(QStringLiteral("读取结束！\n") + said));
        QCOMPARE(window_->findChild<QLabel *>(QStringLiteral("StatusPanel2"))->text(), said);
    }
    QCOMPARE((QStringList{text("TxFreq30"), text("RxFreq31"), text("Mlr4800_Address"), text("Mlr4800ComRate"), text("Mlr4800_Airrate")}), page);
    const Mlr4800Page *shown = window_->mlr4800Page();
    QCOMPARE((QList<int>{shown->Mlr4800ComRate->currentIndex(), shown->Mlr4800_Airrate->currentIndex()}), items);
}

void TestSubscriber::framesOfWriteAndRead()
{
    startUnit();
    set("TxFreq30", "4330000");
    set("RxFreq30", "4380250");
    set("TxFreq31", "4500000"); // file only, never on the line
    set("Mlr4800_Address", "300");
    page_->Mlr4800_Airrate->setCurrentIndex(0);
    page_->Meter_Category->setCurrentIndex(1);
    page_->Mlr4800_WriteData->click();
    runExchange();
    page_->Mlr4800_ReadData->click();
    runExchange();
    QVERIFY(memo().endsWith(QStringLiteral("写录数据...\n写录成功！\n读取数据...\n读取成功！")));
    QCOMPARE(framesReceivedByUnit(), QByteArrayList({"96 09 80 61 00 2c 43 a8 44 71 8c", "96 07 81 65 00 2c 01 2c 74",
                                                     "96 07 81 71 00 2c 40 a5 a8", "96 06 81 6d 00 2c 2c 7c", "96 05 80 63 00 2c 5c",
                                                     "96 05 81 67 00 2c 59", "96 05 81 73 00 2c 4d"}));
}

void TestSubscriber::writeThenReadBack_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("rate");     // text of Mlr4800ComRate
    QTest::addColumn<QByteArray>("frame"); // the last one written
    QTest::addColumn<qint32>("lineRate");  // the tool's and the unit's line afterwards
    QTest::newRow("19200") << "1" << "19200" << QByteArray("96 06 81 6d 00 01 a5 d8") << 19200;
    QTest::newRow("4800, unsigned address") << "40000" << "4800" << QByteArray("96 06 81 6d 00 40 39 05") << 4800;
    QTest::newRow("text naming no entry") << "7" << "38400" << QByteArray("96 06 81 6d 00 07 2c 57") << 1200;
}

void TestSubscriber::writeThenReadBack()
{
    QFETCH(QString, address);
    QFETCH(QString, rate);
    QFETCH(QByteArray, frame);
    QFETCH(qint32, lineRate);
    startUnit();
    set("Mlr4800ComRate", rate);
    set("Mlr4800_Address", address);
    set("RxFreq30", "16383750"); // the highest word
    page_->Mlr4800_WriteData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    QCOMPARE(framesReceivedByUnit().last(), frame);
    QCOMPARE(window_->link().port().parity(), QSerialPort::EvenParity);
    QCOMPARE(panel(1), QStringLiteral("通讯端口状态：COM1,%1,E,8,1").arg(lineRate));

    // The unit answers at its new rate.
    set("Mlr4800_Address", "99");
    set("RxFreq30", "0");
    page_->Mlr4800ComRate->setCurrentIndex(-1);
    page_->Mlr4800_ReadData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QCOMPARE(page_->Mlr4800_Address->text(), address);
    QCOMPARE(page_->RxFreq30->text(), QStringLiteral("16383750"));
    QCOMPARE(page_->Mlr4800ComRate->currentText(), QString::number(lineRate));
    QVERIFY(errors_->errors.isEmpty() && prompts_->messages.isEmpty());
}

void TestSubscriber::unitSilentOnAirRateTimesOut()
{
    startUnit({"--silent-on", "71"});
    page_->Mlr4800ComRate->setCurrentIndex(4);
    page_->Mlr4800_WriteData->click();
    while (state().ExchangeStep < 2 && running())
        tick(true);
    QTRY_COMPARE(framesReceivedByUnit().size(), 3); // 0x71 is out
    for (int i = 0; i < SubscriberExchange::kTimeoutTicks; ++i)
        tick(false);
    QVERIFY(state().SubscriberWriteActive);
    tick(false); // the 36th tick without a reply
    QVERIFY(!running());
    QVERIFY2(memo().endsWith(QStringLiteral("写录失败！\n当前串口 COM1,1200,E 即MLR4800的常用设置；请检查串口线和设备电源")), qPrintable(memo()));
    QCOMPARE(panel(2), QStringLiteral("写录失败！"));
    QCOMPARE(window_->link().port().rate(), 1200); // the line follows only a write that succeeded
}

void TestSubscriber::clicksThatSendNothing_data()
{
    QTest::addColumn<QString>("setup"); // another exchange running, or field=value
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("said");  // status panel 2, or the message naming the field
    QTest::newRow("write, radio reading") << "radio" << true << "数传电台正在读写，请稍候再试！";
    QTest::newRow("read, radio reading") << "radio" << false << "数传电台正在读写，请稍候再试！";
    QTest::newRow("write, central unit writing") << "central" << true << "MLB4800正在读写，请稍候再试！";
    QTest::newRow("transmit word") << "TxFreq30=16384000" << true << "上行发射频率16384000超出范围！";
    QTest::newRow("negative receive") << "RxFreq30=-250" << true << "上行接收频率-250超出范围！";
    QTest::newRow("receive off the step") << "RxFreq30=4330100" << true << "上行接收频率4330100不能被250整除！";
    QTest::newRow("address") << "Mlr4800_Address=65536" << true << "终端设备地址65536超出范围（0～65535）！";
    QTest::newRow("read, empty address") << "Mlr4800_Address=" << false << "'' is not a valid integer value";
    QTest::newRow("write, empty receive") << "RxFreq30=" << true << "'' is not a valid integer value";
}

void TestSubscriber::clicksThatSendNothing()
{
    QFETCH(QString, setup);
    QFETCH(bool, write);
    QFETCH(QString, said);
    startUnit();
    if (setup == QLatin1String("radio"))
        window_->findChild<QPushButton *>(QStringLiteral("Dk618_Read_Data"))->click();
    else if (setup.contains(QLatin1Char('=')))
        set(setup.section(QLatin1Char('='), 0, 0), setup.section(QLatin1Char('='), 1));
    else
        state().CentralWriteActive = true;
    state().ExchangeStep = 2;
    state().ExchangeTicks = 7;
    (write ? page_->Mlr4800_WriteData : page_->Mlr4800_ReadData)->click();
    QVERIFY(!running());
    QCOMPARE(setup.contains(QLatin1Char('=')) ? (prompts_->messages + errors_->errors).value(0) : panel(2), said);
    if (!errors_->errors.isEmpty()) // the click's progress text came before the conversion
        QCOMPARE(panel(2), write ? text::WritingWait : text::ReadingWait);
    else if (setup.contains(QLatin1Char('=')))
        QCOMPARE(panel(2), text::NotWrittenPrefix + said);
    QCOMPARE(state().ExchangeStep, 2); // the other exchange's counters are untouched
    QCOMPARE(state().ExchangeTicks, 7);
    QTest::qWait(50);
    for (const QByteArray &frame : framesReceivedByUnit())
        QVERIFY(frame.startsWith("96 05 80 99")); // only the radio's request went out
}

void TestSubscriber::addressChangedDuringWriteEndsIt()
{
    startUnit();
    page_->Mlr4800_WriteData->click();
    set("Mlr4800_Address", "70000");
    tick(true);
    QVERIFY(!running());
    QCOMPARE(panel(2), QStringLiteral("写录中止：终端设备地址70000超出范围（0～65535）！"));
    QVERIFY(memo().endsWith(QStringLiteral("\n设备已写入：上行频率")));
    QCOMPARE(prompts_->messages, QStringList{"终端设备地址70000超出范围（0～65535）！"});
    QTest::qWait(50);
    QCOMPARE(framesReceivedByUnit().size(), 1); // the frequencies only
}

void TestSubscriber::scriptedReplies_data()
{
    // Data of the replies to 0x63, 0x67 and 0x73, the last one given may
    // be short; then the memo's end and the page.
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QStringList>("page"); // TxFreq30, address, the three lists
    const QByteArray words = "0001 ffff 0001", address = "0001 8000";
    const QString ok = QStringLiteral("读取成功！");
    QTest::newRow("plain 9600") << QByteArrayList{words, address, "0000 08 40 a5"} << ok << QStringList{"16383750", "32768", "9600", "19200A", "其他"};
    QTest::newRow("written 1200") << QByteArrayList{words, address, "0000 2c 80 5a"} << ok << QStringList{"16383750", "32768", "1200", "9600B", "DL/T 645"};
    QTest::newRow("unknown codes") << QByteArrayList{words, address, "0000 00 00 00"} << ok << QStringList{"16383750", "32768", "1200", "9600A", "DL/T 645"};
    QTest::newRow("plain 19200") << QByteArrayList{words, address, "0000 10 c0 01"} << ok << QStringList{"16383750", "32768", "19200", "9600A", "DL/T 645"};
    QTest::newRow("short 0x63") << QByteArrayList{"0001 0010"} << "应答0x63过短（LEN 7）\n读取失败！" << QStringList{"0", "1", "4800", "19200A", "其他"};
    QTest::newRow("short 0x67") << QByteArrayList{words, "0001"} << "应答0x67过短（LEN 5）\n读取失败！" << QStringList{"16383750", "1", "4800", "19200A", "其他"};
    QTest::newRow("short 0x73") << QByteArrayList{words, address, "0000 08 40"} << "应答0x73过短（LEN 7）\n读取失败！" << QStringList{"16383750", "32768", "4800", "19200A", "其他"};
}

void TestSubscriber::scriptedReplies()
{
    QFETCH(QByteArrayList, replies);
    QFETCH(QString, outcome);
    QFETCH(QStringList, page);
    openWindow();
    page_->Mlr4800ComRate->setCurrentIndex(2);
    page_->Mlr4800_Airrate->setCurrentIndex(0);
    page_->Meter_Category->setCurrentIndex(1);
    page_->Mlr4800_ReadData->click();
    for (int i = 0; i < replies.size(); ++i)
        reply(quint8(0x63 + 4 * i), replies[i]);
    if (replies.size() == 3) // 0x73 went to the address just read
        QCOMPARE(quint8(state().TxBuffer()[5]), quint8(0x00));
    QVERIFY(!running());
    QVERIFY(memo().endsWith(outcome));
    QCOMPARE((QStringList{page_->TxFreq30->text(), page_->Mlr4800_Address->text(), page_->Mlr4800ComRate->currentText(),
                          page_->Mlr4800_Airrate->currentText(), page_->Meter_Category->currentText()}),
             page);
}

void TestSubscriber::simulateModeFollowsTheFamilyPage()
{
    SimulatedUnits units;
    units.setProgram(QStringLiteral(QMSIM_PATH));
    QVERIFY2(units.start(SimulatedUnits::Families()), qPrintable(units.errorString()));
    auto links = units.links();
    QCOMPARE(links.size(), SimulatedUnits::Families().size());
    links.remove(QStringLiteral("mlb4800")); // a family without a unit of its own
    openWindow(links.value(QStringLiteral("dk618")), links);
    page_->Mlr4800_ReadData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));

    window_->DataTransClick();
    QCOMPARE(window_->link().port().deviceFor(QStringLiteral("COM1")), links.value(QStringLiteral("dk618")));
    QVERIFY(window_->link().port().isOpen());
    window_->MLB4800Click(); // no unit of its own: COM1 stays
    QCOMPARE(window_->link().port().deviceFor(QStringLiteral("COM1")), links.value(QStringLiteral("dk618")));
    QVERIFY(!units.start({QStringLiteral("dk618"), QStringLiteral("nosuch")}));
    QVERIFY(units.errorString().startsWith(QStringLiteral("nosuch: ")));
    QVERIFY(units.links().isEmpty());
}

QTEST_MAIN(TestSubscriber)
#include "tst_subscriber.moc"
