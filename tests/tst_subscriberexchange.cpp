// Subscriber-unit write and read exchanges: the real window and its ComPort1
// against the simulated unit (qmsim --family mlr4800) on a pseudo terminal,
// or against replies handed straight to the receive path. Timer2 is stopped
// and ticked by the test.
#include "app/mainform.h"
#include "app/simulatedunits.h"
#include "common/fieldaccess.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "units/mlr4800page.h"
#include "units/subscriberexchange.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace qm;

class TestSubscriberExchange : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void framesOfWriteAndRead();
    void writeThenReadBack_data();
    void writeThenReadBack();
    void unitSilentOnAirRateTimesOut();
    void clickWhileAnotherExchangeRuns_data();
    void clickWhileAnotherExchangeRuns();
    void valuesThatDoNotFitAreRefused_data();
    void valuesThatDoNotFitAreRefused();
    void replyCodesSelectListEntries_data();
    void replyCodesSelectListEntries();
    void shortRepliesEndTheRead_data();
    void shortRepliesEndTheRead();
    void simulateModeFollowsTheFamilyPage();

private:
    void openWindow(const QString &com1, const QHash<QString, QString> &units = {});
    void startUnit(const QStringList &simArgs = {});
    void tick(bool expectReply);
    void runExchange(int limit = 100);
    // Feeds a reply of the unit straight into the receive path and ticks.
    void reply(quint8 command, const QByteArray &hexData);
    QList<QByteArray> framesReceivedByUnit() const;
    QString panel(int i) const { return window_->findChild<QLabel *>(QStringLiteral("StatusPanel%1").arg(i))->text(); }
    QString memo() const { return window_->findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"))->toPlainText(); }
    ProtocolState &state() { return window_->link().state(); }
    bool running() { return state().SubscriberWriteActive || state().SubscriberReadActive; }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<PtyPair> pty_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    Mlr4800Page *page_ = nullptr;
    QString log_;
};

void TestSubscriberExchange::openWindow(const QString &com1, const QHash<QString, QString> &units)
{
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap.insert(QStringLiteral("COM1"), com1);
    options.simulatedUnits = units;
    window_ = std::make_unique<TMainForm>(options);
    window_->findChild<QTimer *>(QStringLiteral("Timer2"))->stop();
    window_->findChild<QTimer *>(QStringLiteral("Timer3"))->stop();
    window_->show();
    window_->MLR4800Click(); // 1200 bit/s, even parity
    page_ = window_->mlr4800Page();
    QVERIFY(window_->link().port().isOpen());
}

void TestSubscriberExchange::startUnit(const QStringList &simArgs)
{
    dir_ = std::make_unique<QTemporaryDir>();
    log_ = dir_->filePath(QStringLiteral("unit.log"));
    sim_ = std::make_unique<Simulator>();
    sim_->setProgram(QStringLiteral(QMSIM_PATH));
    QVERIFY2(sim_->start(QStringLiteral("mlr4800"), QStringList{QStringLiteral("--log"), log_, QStringLiteral("--delay-ms"), QStringLiteral("1")} + simArgs),
             qPrintable(sim_->errorString()));
    openWindow(sim_->linkPath());
}

void TestSubscriberExchange::cleanup()
{
    window_.reset();
    sim_.reset();
    pty_.reset();
    errors_.reset();
}

void TestSubscriberExchange::tick(bool expectReply)
{
    if (expectReply)
        (void)QTest::qWaitFor([this] { return state().ReplyReady; }, 2000);
    window_->Timer2Timer();
}

void TestSubscriberExchange::runExchange(int limit)
{
    for (int ticks = 0; running() && ticks < limit; ++ticks)
        tick(true);
}

void TestSubscriberExchange::reply(quint8 command, const QByteArray &hexData)
{
    const QByteArray frame = BuildFrame(command, QByteArray::fromHex(hexData), kSubscriberSelector);
    window_->link().receiveBytes(reinterpret_cast<const quint8 *>(frame.constData()), frame.size());
    window_->Timer2Timer();
}

QList<QByteArray> TestSubscriberExchange::framesReceivedByUnit() const
{
    QList<QByteArray> frames;
    QFile f(log_);
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("rx "))
                frames << QByteArray::fromHex(line.mid(3));
    return frames;
}

void TestSubscriberExchange::framesOfWriteAndRead()
{
    startUnit();
    page_->TxFreq30->setText(QStringLiteral("4330000"));
    page_->RxFreq30->setText(QStringLiteral("4380250"));
    page_->TxFreq31->setText(QStringLiteral("4500000")); // file only, never on the line
    page_->Meter_Number->setText(QStringLiteral("777"));
    page_->Mlr4800_Address->setText(QStringLiteral("300"));
    page_->Mlr4800_Airrate->setCurrentIndex(0);
    page_->Meter_Category->setCurrentIndex(1);
    page_->Mlr4800_WriteData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));

    page_->TxFreq30->setText(QStringLiteral("0"));
    page_->RxFreq30->setText(QStringLiteral("0"));
    page_->Mlr4800_Airrate->setCurrentIndex(1);
    page_->Meter_Category->setCurrentIndex(0);
    page_->Mlr4800_ReadData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QCOMPARE(page_->TxFreq30->text(), QStringLiteral("4330000"));
    QCOMPARE(page_->RxFreq30->text(), QStringLiteral("4380250"));
    QCOMPARE(page_->Mlr4800_Airrate->currentText(), QStringLiteral("19200A"));
    QCOMPARE(page_->Meter_Category->currentText(), QStringLiteral("其他"));
    QCOMPARE(page_->TxFreq31->text(), QStringLiteral("4500000"));
    QVERIFY(memo().endsWith(QStringLiteral("写录数据...\n写录成功！\n读取数据...\n读取成功！")));

    QStringList hex;
    for (const QByteArray &frame : framesReceivedByUnit())
        hex << QString::fromLatin1(frame.toHex(' '));
    QCOMPARE(hex, QStringList({"96 09 80 61 00 2c 43 a8 44 71 8c", "96 07 81 65 00 2c 01 2c 74", "96 07 81 71 00 2c 40 a5 a8",
                               "96 06 81 6d 00 2c 2c 7c", "96 05 80 63 00 2c 5c", "96 05 81 67 00 2c 59", "96 05 81 73 00 2c 4d"}));
}

void TestSubscriberExchange::writeThenReadBack_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("rate");     // text of Mlr4800ComRate
    QTest::addColumn<quint8>("rateCode");  // last byte of data in 0x6D
    QTest::addColumn<qint32>("lineRate");  // the tool's line afterwards
    QTest::addColumn<QString>("rateRead"); // what the read shows
    QTest::addColumn<QString>("frequency");
    QTest::newRow("19200") << "1" << "19200" << quint8(0xA5) << 19200 << "19200" << "4000000";
    QTest::newRow("9600, unsigned address") << "40000" << "9600" << quint8(0x93) << 9600 << "9600" << "16383750";
    QTest::newRow("4800, highest address") << "65535" << "4800" << quint8(0x39) << 4800 << "4800" << "250";
    QTest::newRow("2400, address 0") << "0" << "2400" << quint8(0xC2) << 2400 << "2400" << "0";
    QTest::newRow("text from a file naming no entry") << "7" << "38400" << quint8(0x2C) << 1200 << "1200" << "4330000";
    QTest::newRow("empty text") << "7" << "" << quint8(0x2C) << 1200 << "1200" << "4330000";
}

void TestSubscriberExchange::writeThenReadBack()
{
    QFETCH(QString, address);
    QFETCH(QString, rate);
    QFETCH(quint8, rateCode);
    QFETCH(qint32, lineRate);
    QFETCH(QString, rateRead);
    QFETCH(QString, frequency);
    startUnit();
    window_->fields().setText(QStringLiteral("Mlr4800ComRate"), rate);
    page_->Mlr4800_Address->setText(address);
    page_->RxFreq30->setText(frequency);
    page_->Mlr4800_WriteData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    QCOMPARE(quint8(framesReceivedByUnit().last().at(6)), rateCode);
    QCOMPARE(window_->link().port().rate(), lineRate);
    QCOMPARE(window_->link().port().parity(), QSerialPort::EvenParity);
    QCOMPARE(panel(1), QStringLiteral("通讯端口状态：COM1,%1,E,8,1").arg(lineRate));

    // The unit answers at its new rate.
    page_->Mlr4800_Address->setText(QStringLiteral("99"));
    page_->RxFreq30->setText(QStringLiteral("0"));
    page_->Mlr4800ComRate->setCurrentIndex(-1);
    page_->Mlr4800_ReadData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QCOMPARE(page_->Mlr4800_Address->text(), address);
    QCOMPARE(page_->RxFreq30->text(), frequency);
    QCOMPARE(page_->Mlr4800ComRate->currentText(), rateRead);
    QVERIFY2(errors_->errors.isEmpty() && prompts_->messages.isEmpty(), qPrintable(errors_->errors.join('\n')));
}

void TestSubscriberExchange::unitSilentOnAirRateTimesOut()
{
    startUnit({QStringLiteral("--silent-on"), QStringLiteral("71")});
    page_->Mlr4800ComRate->setCurrentIndex(4);
    page_->Mlr4800_WriteData->click();
    while (state().ExchangeStep < 2 && running())
        tick(true);
    QCOMPARE(state().ExchangeStep, 2); // 0x71 is out
    for (int i = 0; i < SubscriberExchange::kTimeoutTicks; ++i)
        tick(false);
    QVERIFY(state().SubscriberWriteActive);
    tick(false); // the 36th tick without a reply
    QVERIFY(!running());
    QCOMPARE(panel(2), QStringLiteral("写录失败！"));
    QVERIFY(memo().endsWith(QStringLiteral("写录失败！")));
    QCOMPARE(window_->link().port().rate(), 1200); // the line follows only a write that succeeded
    QTRY_COMPARE(framesReceivedByUnit().size(), 3);
    QCOMPARE(quint8(framesReceivedByUnit().last().at(3)), quint8(0x71));
}

void TestSubscriberExchange::clickWhileAnotherExchangeRuns_data()
{
    QTest::addColumn<QString>("other");
    QTest::addColumn<bool>("write");
    QTest::newRow("write, radio read") << "radio" << true;
    QTest::newRow("read, radio read") << "radio" << false;
    QTest::newRow("write, central unit") << "central" << true;
    QTest::newRow("read, measurement") << "measurement" << false;
}

void TestSubscriberExchange::clickWhileAnotherExchangeRuns()
{
    QFETCH(QString, other);
    QFETCH(bool, write);
    startUnit();
    if (other == QLatin1String("radio"))
        window_->findChild<QPushButton *>(QStringLiteral("Dk618_Read_Data"))->click();
    else
        (other == QLatin1String("central") ? state().CentralWriteActive : state().MeasurePending) = true;
    state().ExchangeStep = 2;
    state().ExchangeTicks = 7;
    (write ? page_->Mlr4800_WriteData : page_->Mlr4800_ReadData)->click();
    QVERIFY(!running());
    QCOMPARE(panel(2), text::OtherExchangeRunning);
    QVERIFY(memo().endsWith(text::OtherExchangeRunning));
    QCOMPARE(state().ExchangeStep, 2);
    QCOMPARE(state().ExchangeTicks, 7);
    QVERIFY(RunningExchange(state()) != ExchangeOwner::None);
    QTest::qWait(50);
    for (const QByteArray &frame : framesReceivedByUnit())
        QCOMPARE(quint8(frame.at(3)), quint8(0x99)); // only the radio's request went out
}

void TestSubscriberExchange::valuesThatDoNotFitAreRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("afterClick");
    QTest::newRow("address") << "Mlr4800_Address" << "65536" << "终端设备地址65536超出范围（0～65535）！" << false;
    QTest::newRow("transmit word") << "TxFreq30" << "16384000" << "上行发射频率16384000超出范围！" << false;
    QTest::newRow("negative receive") << "RxFreq30" << "-250" << "上行接收频率-250超出范围！" << false;
    QTest::newRow("address changed after the click") << "Mlr4800_Address" << "70000" << "终端设备地址70000超出范围（0～65535）！" << true;
}

void TestSubscriberExchange::valuesThatDoNotFitAreRefused()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(bool, afterClick);
    startUnit();
    if (!afterClick)
        window_->fields().setText(field, value);
    page_->Mlr4800_WriteData->click();
    if (afterClick) {
        window_->fields().setText(field, value);
        tick(true);
        QCOMPARE(panel(2), QStringLiteral("写录失败！"));
    }
    QCOMPARE(prompts_->messages, QStringList{message});
    QVERIFY(!running());
    QTest::qWait(50);
    QCOMPARE(framesReceivedByUnit().size(), afterClick ? 1 : 0);
}

void TestSubscriberExchange::replyCodesSelectListEntries_data()
{
    QTest::addColumn<QByteArray>("codes"); // data of the reply to 0x73
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("plain 9600") << QByteArray("08 40 a5") << QStringList{"9600", "19200A", "其他"};
    QTest::newRow("written 1200") << QByteArray("2c 80 5a") << QStringList{"1200", "9600B", "DL/T 645"};
    QTest::newRow("unknown codes") << QByteArray("00 00 00") << QStringList{"1200", "9600A", "DL/T 645"};
    QTest::newRow("plain 2400") << QByteArray("02 c0 01") << QStringList{"2400", "9600A", "DL/T 645"};
    QTest::newRow("written 4800") << QByteArray("39 40 5a") << QStringList{"4800", "19200A", "DL/T 645"};
    QTest::newRow("plain 19200") << QByteArray("10 80 a5") << QStringList{"19200", "9600B", "其他"};
}

void TestSubscriberExchange::replyCodesSelectListEntries()
{
    QFETCH(QByteArray, codes);
    QFETCH(QStringList, texts);
    pty_ = std::make_unique<PtyPair>();
    openWindow(pty_->slavePath());
    page_->Mlr4800_ReadData->click();
    reply(0x63, "0001 ffff 0001");
    reply(0x67, "0001 8000");
    QCOMPARE(quint8(state().TxBuffer()[5]), quint8(0x00)); // 0x73 goes to the address just read
    reply(0x73, "0000" + codes);
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QCOMPARE(page_->TxFreq30->text(), QStringLiteral("16383750"));
    QCOMPARE(page_->RxFreq30->text(), QStringLiteral("250"));
    QCOMPARE(page_->Mlr4800_Address->text(), QStringLiteral("32768"));
    QCOMPARE((QStringList{page_->Mlr4800ComRate->currentText(), page_->Mlr4800_Airrate->currentText(),
                          page_->Meter_Category->currentText()}),
             texts);
}

void TestSubscriberExchange::shortRepliesEndTheRead_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("shortData");
    QTest::addColumn<QString>("line");
    QTest::newRow("0x63 with one word") << 0 << QByteArray("0001 0010") << "应答0x63过短（LEN 7）";
    QTest::newRow("0x67 without address") << 1 << QByteArray("0001") << "应答0x67过短（LEN 5）";
    QTest::newRow("0x73 without meter type") << 2 << QByteArray("0001 9340") << "应答0x73过短（LEN 7）";
}

void TestSubscriberExchange::shortRepliesEndTheRead()
{
    QFETCH(int, step);
    QFETCH(QByteArray, shortData);
    QFETCH(QString, line);
    pty_ = std::make_unique<PtyPair>();
    openWindow(pty_->slavePath());
    page_->Mlr4800_ReadData->click();
    const QByteArray full[] = {"0001 0010 0020", "0001 0005", "0001 93 40 a5"};
    for (int i = 0; i < step; ++i)
        reply(quint8(0x63 + 4 * i), full[i]);
    reply(quint8(0x63 + 4 * step), shortData);
    QVERIFY(!running());
    QCOMPARE(panel(2), QStringLiteral("读取失败！"));
    QVERIFY(memo().endsWith(line + QStringLiteral("\n读取失败！")));
    // Nothing of the short reply reached the page.
    QCOMPARE(page_->TxFreq30->text(), step > 0 ? QStringLiteral("4000") : QStringLiteral("0"));
    QCOMPARE(page_->Mlr4800_Address->text(), step > 1 ? QStringLiteral("5") : QStringLiteral("1"));
    QCOMPARE(page_->Mlr4800ComRate->currentText(), QStringLiteral("1200"));
}

void TestSubscriberExchange::simulateModeFollowsTheFamilyPage()
{
    SimulatedUnits units;
    units.setProgram(QStringLiteral(QMSIM_PATH));
    QVERIFY2(units.start(SimulatedUnits::Families()), qPrintable(units.errorString()));
    auto links = units.links();
    QCOMPARE(links.size(), SimulatedUnits::Families().size());
    links.remove(QStringLiteral("mlb4800"));
    openWindow(links.value(QStringLiteral("dk618")), links);
    QCOMPARE(window_->link().port().deviceFor(QStringLiteral("COM1")), links.value(QStringLiteral("mlr4800")));
    page_->Mlr4800_ReadData->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));

    window_->DataTransClick();
    QCOMPARE(window_->link().port().deviceFor(QStringLiteral("COM1")), links.value(QStringLiteral("dk618")));
    QVERIFY(window_->link().port().isOpen());
    window_->link().line().RateIndex = 6; // the radio talks at 19200 N
    window_->link().line().ParityIndex = 0;
    window_->link().ApplyLineSettings();
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Read_Data"))->click();
    for (int ticks = 0; state().RadioReadActive && ticks < 100; ++ticks) {
        (void)QTest::qWaitFor([this] { return state().ReplyReady; }, 2000);
        window_->Timer3Timer();
    }
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QCOMPARE(panel(0), QStringLiteral("DK618-450"));

    // A family without a simulated unit leaves COM1 where it is.
    window_->MLB4800Click();
    QCOMPARE(window_->link().port().deviceFor(QStringLiteral("COM1")), links.value(QStringLiteral("dk618")));
    QVERIFY(!units.start({QStringLiteral("dk618"), QStringLiteral("nosuch")}));
    QVERIFY(units.errorString().startsWith(QStringLiteral("nosuch: ")));
    QVERIFY(units.links().isEmpty());
}

QTEST_MAIN(TestSubscriberExchange)
#include "tst_subscriberexchange.moc"
