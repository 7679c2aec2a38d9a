// Data-radio write and read exchanges end to end: the real window and its
// ComPort1 against the simulated radio qmsim on a pseudo terminal. Timer3 is
// stopped and ticked by the test, so a time-out costs no waiting.
#include "common/fieldaccess.h"
#include "app/mainform.h"
#include "app/simulator.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "radio/dk618page.h"
#include "radio/radioexchange.h"
#include "ptypair.h"
#include "simwindow.h"
#include "testprompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QRandomGenerator>
#include <QtTest>

using namespace qm;

class TestRadioExchange : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void writeThenReadRestoresEveryField();
    void writeFramesCarryTheFields();
    void radioSilentOnChannelRequestTimesOut();
    void replyWithBadCheckIsIgnored();
    void modifySyncFollowsTheRadio();
    void modelTextDecidesBandAndSpacing_data();
    void modelTextDecidesBandAndSpacing();
    void writesThatDoNotFitAreRefused_data();
    void writesThatDoNotFitAreRefused();
    void writeFollowsTheRadiosOwnSpacing_data();
    void writeFollowsTheRadiosOwnSpacing();
    void nonNumberStopsTheWriteAtTheClick();
    void readingBackModesAndLimits();
    void protocolChangeFrames_data();
    void protocolChangeFrames();
    void replyOnTheTimeoutTickIsLeftForLater();
    void lostDeviceClosesThePortOnce();
    void anyReplyBytesLeaveThePageSound();
    void rawProtocolBytesGoOutAsTheyStand();
    void fieldChangedDuringWriteEndsIt_data();
    void fieldChangedDuringWriteEndsIt();
    void shortRepliesEndTheRead_data();
    void shortRepliesEndTheRead();
    void bareRepliesNeverReadAsValues();
    void noiseAfterRepliesReadsTrueValues();
    void clicksWaitForOtherExchanges_data();
    void clicksWaitForOtherExchanges();

private:
    // The window on a bare pseudo terminal: the test plays the radio.
    void openOnPty();
    // Bytes from the radio, then one Timer3 tick.
    void answer(const QByteArray &bytes);
    void startRadio(const QStringList &simArgs = {});
    // One Timer3 tick; waits for a reply first when one is expected.
    void tick(bool expectReply);
    // Ticks until the running exchange ends; returns the ticks taken. With
    // repliesExpected each tick first waits for a reply (bounded), else
    // the ticks only let what is on the line arrive.
    int runExchange(bool repliesExpected = true, int limit = 300);
    QList<QByteArray> framesReceivedByRadio() const;
    QByteArray commandsReceivedByRadio() const;
    QString panel(int i) const { return window_->findChild<QLabel *>(QStringLiteral("StatusPanel%1").arg(i))->text(); }
    QString memo() const { return window_->findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"))->toPlainText(); }
    ProtocolState &state() { return window_->link().state(); }
    bool exchangeRunning() { return state().RadioReadActive || state().RadioWriteActive; }

    std::unique_ptr<PtyPair> pty_;
    int settleMs_ = 0; // wait after a reply before the tick, for bytes behind it
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    Dk618Page *page_ = nullptr;
    QString log_;
};

void TestRadioExchange::startRadio(const QStringList &simArgs)
{
    dir_ = std::make_unique<QTemporaryDir>();
    log_ = dir_->filePath(QStringLiteral("radio.log"));
    sim_ = StartSimulator(QStringLiteral("dk618"), QStringList{QStringLiteral("--log"), log_} + simArgs);
    QVERIFY(sim_);
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    window_ = OpenWindowOn(sim_->linkPath(), prompts_.get(), QStringLiteral("dk618"));
    page_ = window_->dk618Page();
    QVERIFY(window_->link().port().isOpen());
    QCOMPARE(window_->link().port().rate(), 19200);
}

void TestRadioExchange::cleanup()
{
    window_.reset();
    sim_.reset();
    pty_.reset();
    errors_.reset();
    settleMs_ = 0;
}

void TestRadioExchange::openOnPty()
{
    pty_ = std::make_unique<PtyPair>();
    QVERIFY2(pty_->isOpen(), qPrintable(pty_->errorString()));
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap.insert(QStringLiteral("COM1"), pty_->slavePath());
    window_ = std::make_unique<TMainForm>(options);
    window_->findChild<QTimer *>(QStringLiteral("Timer3"))->stop();
    page_ = window_->dk618Page();
    QVERIFY(window_->link().port().isOpen());
}

void TestRadioExchange::answer(const QByteArray &bytes)
{
    window_->link().receiveBytes(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size());
    window_->Timer3Timer();
}

void TestRadioExchange::tick(bool expectReply)
{
    if (expectReply) {
        if (QTest::qWaitFor([this] { return state().ReplyReady; }, 2000) && settleMs_ > 0)
            QTest::qWait(settleMs_);
    } else
        QTest::qWait(2);
    window_->Timer3Timer();
}

int TestRadioExchange::runExchange(bool repliesExpected, int limit)
{
    int ticks = 0;
    while (exchangeRunning() && ticks < limit) {
        tick(repliesExpected);
        ++ticks;
    }
    return ticks;
}

QList<QByteArray> TestRadioExchange::framesReceivedByRadio() const
{
    QList<QByteArray> frames;
    QFile f(log_);
    if (!f.open(QIODevice::ReadOnly))
        return frames;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("rx "))
            frames << QByteArray::fromHex(line.mid(3));
    return frames;
}

QByteArray TestRadioExchange::commandsReceivedByRadio() const
{
    QByteArray codes;
    for (const QByteArray &frame : framesReceivedByRadio())
        codes += frame.size() > 3 ? frame[3] : '\0';
    return codes;
}

void TestRadioExchange::writeThenReadRestoresEveryField()
{
    startRadio();
    for (int i = 0; i < 10; ++i) {
        page_->TxFreq[i]->setText(QString::number(4300000 + 750 * i));
        page_->RxFreq[i]->setText(QString::number(4500000 + 250 * i));
    }
    page_->Dk618_CurrentChannel->setText(QStringLiteral("4"));
    page_->Dk618_Address->setText(QStringLiteral("300"));
    page_->ProtocolMode->setChecked(true);
    page_->Select_ANI_Valid->setChecked(true);
    page_->BType->setChecked(true);
    page_->AirRate9600->setChecked(true);
    page_->Ptttime->setText(QStringLiteral("120"));

    page_->Dk618_Write_Data->click();
    QVERIFY(!page_->Dk618_Write_Data->isEnabled());
    QVERIFY(!page_->Dk618_Read_Data->isEnabled());
    const int writeTicks = runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    QVERIFY(writeTicks >= 5 && writeTicks < 20);
    QVERIFY(page_->Dk618_Write_Data->isEnabled());
    QVERIFY(page_->Dk618_Read_Data->isEnabled());

    // Spoil the page, then read it back from the radio.
    page_->TransparentMode->setChecked(true);
    page_->AType->setChecked(true);
    page_->AirRate19200->setChecked(true);
    page_->Dk618_Baudrate->setCurrentIndex(0);
    page_->Dk618_Checkmode->setCurrentIndex(2);
    page_->Dk618_Read_Data->click();
    QCOMPARE(page_->TxFreq[3]->text(), QStringLiteral("0")); // emptied before the first request
    QCOMPARE(panel(0), QString());
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QVERIFY(prompts_->messages.isEmpty());

    for (int i = 0; i < 10; ++i) {
        QCOMPARE(page_->TxFreq[i]->text(), QString::number(4300000 + 750 * i));
        QCOMPARE(page_->RxFreq[i]->text(), QString::number(4500000 + 250 * i));
    }
    QCOMPARE(page_->Dk618_CurrentChannel->text(), QStringLiteral("4"));
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("300"));
    QVERIFY(page_->ProtocolMode->isChecked());
    QVERIFY(page_->Select_ANI_Valid->isChecked());
    QVERIFY(page_->BType->isChecked());
    QVERIFY(!page_->AirRate19200->isEnabled());
    QVERIFY(page_->AirRate9600->isChecked());
    QCOMPARE(page_->Dk618_Baudrate->currentText(), QStringLiteral("19200"));
    QCOMPARE(page_->Dk618_Checkmode->currentText(), QStringLiteral("无校验"));
    QCOMPARE(page_->Ptttime->text(), QStringLiteral("120"));
    QCOMPARE(panel(0), QStringLiteral("DK618-450"));
    QVERIFY(memo().contains(QStringLiteral("写录数据...\n写录成功！\n读取数据...\n读取成功！")));

    QCOMPARE(commandsReceivedByRadio().toHex(' '), QByteArray("99 61 65 69 70 99 63 67 6b 72"));
    // The read starts at address 0 (the emptied field) and goes on to the
    // address the radio reported.
    const auto frames = framesReceivedByRadio();
    QCOMPARE(quint8(frames[6].at(5)), quint8(0));
    QCOMPARE(quint8(frames[7].at(5)), quint8(0));
    QCOMPARE(quint8(frames[8].at(5)), quint8(0x2C));
    QCOMPARE(quint8(frames[9].at(5)), quint8(0x2C));
}

void TestRadioExchange::writeFramesCarryTheFields()
{
    startRadio();
    page_->TxFreq[0]->setText(QStringLiteral("4330000"));
    page_->RxFreq[0]->setText(QStringLiteral("4330250"));
    page_->TxFreq[2]->setText(QStringLiteral("4000000"));
    page_->RxFreq[2]->setText(QStringLiteral("250"));
    page_->Dk618_CurrentChannel->setText(QStringLiteral("2"));
    page_->Dk618_Address->setText(QStringLiteral("300"));
    page_->Ptttime->setText(QStringLiteral("60"));
    page_->TransMode->setChecked(true);
    page_->ProtocolMode->setChecked(true); // relay wins: 0xAA
    page_->Dk618_Write_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    const auto frames = framesReceivedByRadio();
    QCOMPARE(frames.size(), 5);
    QCOMPARE(frames[0].toHex(' '), QByteArray("96 05 80 99 00 2c a6"));
    // Channel table: 4330000 / 250 = 17320 = 0x43A8.
    QCOMPARE(frames[1].size(), 0x2D + 2);
    QCOMPARE(frames[1].mid(0, 8).toHex(' '), QByteArray("96 2d 80 61 00 2c 43 a8"));
    QCOMPARE(frames[1].mid(26, 2).toHex(' '), QByteArray("43 a9"));
    QCOMPARE(frames[2].toHex(' '), QByteArray("96 07 80 65 01 2c 01 2c 74"));
    QCOMPARE(frames[3].mid(0, 15).toHex(' '), QByteArray("96 0e 80 69 00 2c 02 3e 80 00 01 3e 80 00 01"));
    QCOMPARE(frames[4].mid(0, 13).toHex(' '), QByteArray("96 0c 80 70 01 2c 40 cc aa 32 40 00 3c"));
    for (const QByteArray &frame : frames) {
        quint8 x = 0;
        for (char c : frame)
            x ^= quint8(c);
        QCOMPARE(x, quint8(0));
    }
}

void TestRadioExchange::radioSilentOnChannelRequestTimesOut()
{
    startRadio({QStringLiteral("--silent-on"), QStringLiteral("0x6B")});
    page_->Dk618_Read_Data->click();
    int ticks = 0;
    while (state().ExchangeStep < 3 && ticks++ < 50)
        tick(true);
    QCOMPARE(state().ExchangeStep, 3); // 0x6B is out
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("1"));
    for (int i = 0; i < 100; ++i)
        tick(false);
    QVERIFY(state().RadioReadActive);
    tick(false); // the 101st tick without a reply
    QVERIFY(!state().RadioReadActive);
    QCOMPARE(panel(2), QStringLiteral("读取失败！"));
    // What to try follows: the line is the radio's usual one already.
    QVERIFY2(memo().endsWith(QStringLiteral("读取失败！\n当前串口 COM1,19200,N 即数传电台的常用设置；请检查串口线和设备电源，或用 自动 检测")),
             qPrintable(memo()));
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("1"));
    QCOMPARE(page_->TxFreq[0]->text(), QStringLiteral("0"));
    QVERIFY(page_->Dk618_Read_Data->isEnabled());
    QVERIFY(page_->Dk618_Write_Data->isEnabled());
    QVERIFY(prompts_->messages.isEmpty());
}

void TestRadioExchange::replyWithBadCheckIsIgnored()
{
    startRadio({QStringLiteral("--bad-check-on"), QStringLiteral("0x63")});
    page_->Dk618_Read_Data->click();
    tick(true); // identification answered: 0x63 goes out
    QCOMPARE(state().ExchangeStep, 1);
    QTest::qWait(100); // the spoilt reply arrives
    QVERIFY(!state().ReplyReady);
    QCOMPARE(runExchange(false), 101);
    QCOMPARE(panel(2), QStringLiteral("读取失败！"));
}

void TestRadioExchange::modifySyncFollowsTheRadio()
{
    startRadio();
    page_->Dk618_Baudrate->setCurrentIndex(5);  // 9600
    page_->Dk618_Checkmode->setCurrentIndex(1); // even
    page_->Modify_Sync->setChecked(true);
    page_->Dk618_Write_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    QCOMPARE(window_->link().port().rate(), 9600);
    QCOMPARE(window_->link().port().parity(), QSerialPort::EvenParity);
    QCOMPARE(panel(1), QStringLiteral("通讯端口状态：COM1,9600,E,8,1"));
    // The radio now talks at 9600 too.
    page_->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QCOMPARE(page_->Dk618_Baudrate->currentText(), QStringLiteral("9600"));
    QCOMPARE(page_->Dk618_Checkmode->currentText(), QStringLiteral("偶校验"));

    // Without the switch the tool stays where it was and loses the radio.
    page_->Modify_Sync->setChecked(false);
    page_->Dk618_Baudrate->setCurrentIndex(6);
    page_->Dk618_Write_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    QCOMPARE(window_->link().port().rate(), 9600);
    page_->Dk618_Read_Data->click();
    runExchange(false);
    QCOMPARE(panel(2), QStringLiteral("读取失败！"));
}

void TestRadioExchange::modelTextDecidesBandAndSpacing_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<bool>("band800");
    QTest::addColumn<bool>("spacing125");
    QTest::addColumn<QByteArray>("word");
    QTest::newRow("25K radio") << "DK450-A" << "4330000" << false << false << QByteArray("43 a8");
    QTest::newRow("12.5K radio while 25K chosen") << "DK245N" << "4330000" << false << true << QByteArray("87 50");
    QTest::newRow("245 and another letter is 25K") << "DK245W" << "4330000" << false << false << QByteArray("43 a8");
    QTest::newRow("800M radio") << "DK285-8" << "8060000" << true << true << QByteArray("40 60");
}

void TestRadioExchange::modelTextDecidesBandAndSpacing()
{
    QFETCH(QString, model);
    QFETCH(QString, frequency);
    QFETCH(bool, band800);
    QFETCH(bool, spacing125);
    QFETCH(QByteArray, word);
    startRadio({QStringLiteral("--model"), model});
    for (int i = 0; i < 10; ++i) {
        page_->TxFreq[i]->setText(frequency);
        page_->RxFreq[i]->setText(frequency);
    }
    page_->Dk618_Write_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    QCOMPARE(panel(0), model);
    QCOMPARE(page_->Fq800->isChecked(), band800);
    QCOMPARE(page_->Chan_spa2->isChecked(), spacing125);
    QCOMPARE(page_->Chan_spa1->isChecked(), !spacing125);
    QCOMPARE(framesReceivedByRadio().at(1).mid(6, 2).toHex(' '), word);

    // Reading back shows the same frequency.
    page_->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(page_->TxFreq[0]->text(), frequency);
}

void TestRadioExchange::writesThatDoNotFitAreRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty rate") << "Dk618_Baudrate" << "" << "请选择设备通讯速率！";
    QTest::newRow("empty parity") << "Dk618_Checkmode" << "" << "请选择设备校验方式！";
    QTest::newRow("typed rate") << "Dk618_Baudrate" << "1234" << "设备通讯速率“1234”不在列表中，请重新选择！";
    QTest::newRow("typed parity") << "Dk618_Checkmode" << "7" << "设备校验方式“7”不在列表中，请重新选择！";
    QTest::newRow("address") << "Dk618_Address" << "70000" << "设备地址70000超出范围（0～65535）！";
    QTest::newRow("channel") << "Dk618_CurrentChannel" << "12" << "当前信道12超出范围（0～9）！";
    // What no radio could store, whatever the spacing and band it names.
    QTest::newRow("frequency longer than its field") << "TxFreq1" << "44000000" << "信道1发射频率超出范围！";
    QTest::newRow("negative frequency") << "RxFreq4" << "-125" << "信道4接收频率超出范围！";
    QTest::newRow("ptt") << "Ptttime" << "70000" << "PTT时间限制70000超出范围（0～65535）！";
    // The radio would store the next lower channel and read back another value.
    QTest::newRow("frequency off the step") << "TxFreq2" << "4330100" << "信道2发射频率4330100不能被125整除！";
}

void TestRadioExchange::writesThatDoNotFitAreRefused()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    startRadio();
    window_->fields().setText(field, value);
    page_->Dk618_Write_Data->click();
    QCOMPARE(prompts_->messages, QStringList{message});
    QVERIFY(!state().RadioWriteActive);
    QVERIFY(page_->Dk618_Write_Data->isEnabled());
    QTest::qWait(50);
    QVERIFY(framesReceivedByRadio().isEmpty());
}

// The page's spacing and band say nothing of the radio (after start-up or
// a file load): the click refuses only what no radio could store, and the
// write's first step checks the values against the spacing and band the
// radio names, before anything is stored.
void TestRadioExchange::writeFollowsTheRadiosOwnSpacing_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // empty: written
    QTest::newRow("12.5K radio, page at 25K") << "DK245N-1" << "RxFreq0" << "4330125" << "";
    QTest::newRow("25K radio refuses a 12.5K channel") << "DK618-450" << "RxFreq0" << "4330125" << "信道0接收频率4330125不能被250整除！";
    QTest::newRow("beyond the 12.5K words") << "DK245N-1" << "RxFreq7" << "9999875" << "信道7接收频率超出范围！";
    QTest::newRow("below the 800M band") << "DK285-8" << "TxFreq0" << "4330000" << "信道0发射频率超出范围！";
    QTest::newRow("800M radio, page at 25K without 800M") << "DK285-8" << "RxFreq9" << "8060125" << "";
}

void TestRadioExchange::writeFollowsTheRadiosOwnSpacing()
{
    QFETCH(QString, model);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    startRadio({QStringLiteral("--model"), model});
    if (model.startsWith(QLatin1String("DK285")))
        for (int i = 0; i < 10; ++i) {
            page_->TxFreq[i]->setText(QStringLiteral("8060000"));
            page_->RxFreq[i]->setText(QStringLiteral("8060000"));
        }
    window_->fields().setText(field, value);
    QVERIFY(page_->Chan_spa1->isChecked());
    QVERIFY(!page_->Fq800->isChecked());
    page_->Dk618_Write_Data->click();
    QVERIFY(state().RadioWriteActive); // nothing refused at the click
    runExchange();
    QTest::qWait(50); // anything still on its way
    if (message.isEmpty()) {
        QCOMPARE(panel(2), QStringLiteral("写录成功！"));
        QVERIFY(prompts_->messages.isEmpty());
        QVERIFY(page_->Chan_spa2->isChecked());
        QCOMPARE(commandsReceivedByRadio().toHex(' '), QByteArray("99 61 65 69 70"));
        // Read back as written.
        page_->Dk618_Read_Data->click();
        runExchange();
        QCOMPARE(panel(2), QStringLiteral("读取成功！"));
        QCOMPARE(window_->fields().text(field), value);
    } else {
        // Refused by its checks, not unanswered.
        QCOMPARE(panel(2), QStringLiteral("未写录：") + message);
        QCOMPARE(prompts_->messages, QStringList{message});
        QCOMPARE(commandsReceivedByRadio().toHex(' '), QByteArray("99"));
    }
    QVERIFY(errors_->errors.isEmpty());
}

void TestRadioExchange::nonNumberStopsTheWriteAtTheClick()
{
    startRadio();
    page_->Ptttime->setText(QStringLiteral("1 min")); // Ptttime has no key filter
    page_->Dk618_Write_Data->click();
    QCOMPARE(errors_->errors, QStringList{QStringLiteral("'1 min' is not a valid integer value")});
    QVERIFY(!state().RadioWriteActive);
    QVERIFY(page_->Dk618_Write_Data->isEnabled());
    QTest::qWait(50);
    QVERIFY(framesReceivedByRadio().isEmpty());
}

void TestRadioExchange::readingBackModesAndLimits()
{
    startRadio();
    // Protocol transfer without relay is stored as 0xCA; a read must also
    // clear a relay mode the page still shows.
    page_->ProtocolMode->setChecked(true);
    page_->Ptttime->setText(QStringLiteral("1801"));
    page_->Dk618_Write_Data->click();
    runExchange();
    page_->TransMode->setChecked(true);
    page_->Dk618_Read_Data->click();
    runExchange();
    QVERIFY(page_->ProtocolMode->isChecked());
    QVERIFY(!page_->TransMode->isChecked());
    QCOMPARE(page_->Ptttime->text(), QStringLiteral("0")); // above 1800

    // Relay (0xAA) with address selection on (0x23): the read shows
    // transparent transfer, so address selection is refused.
    page_->TransMode->setChecked(true);
    page_->Select_ANI_Valid->setChecked(true);
    QVERIFY(page_->Select_ANI_Valid->isChecked());
    page_->Ptttime->setText(QStringLiteral("1800"));
    page_->Dk618_Write_Data->click();
    runExchange();
    page_->Select_ANI_Invalid->setChecked(true);
    page_->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QVERIFY(page_->TransparentMode->isChecked());
    QVERIFY(page_->TransMode->isChecked());
    QVERIFY(page_->Select_ANI_Invalid->isChecked());
    QCOMPARE(prompts_->messages, QStringList{QStringLiteral("地址有效必须选择协议方式传输！")});
    QCOMPARE(page_->Ptttime->text(), QStringLiteral("1800"));
}

void TestRadioExchange::protocolChangeFrames_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("asked"); // what the question must name
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("railway") << "N1" << "1" << true << "地址 1 的数传电台改为铁道协议（0x7E）" << QByteArray("96 06 80 08 00 01 7e 67");
    QTest::newRow("test") << "T1" << "1" << true << "地址 1 的数传电台改为测试协议（0x00）" << QByteArray("96 06 80 08 00 01 00 19");
    QTest::newRow("railway, low byte") << "N1" << "300" << true << "地址 300（报文中为 44）" << QByteArray("96 06 80 08 00 2c 7e 4a");
    QTest::newRow("railway cancelled") << "N1" << "1" << false << "铁道协议" << QByteArray();
    QTest::newRow("test cancelled") << "T1" << "7" << false << "地址 7" << QByteArray();
    QTest::newRow("raw cancelled") << "O1" << "1" << false << "原始协议" << QByteArray();
}

// A change of protocol goes out only once the user has agreed to it.
void TestRadioExchange::protocolChangeFrames()
{
    QFETCH(QString, item);
    QFETCH(QString, address);
    QFETCH(bool, confirmed);
    QFETCH(QString, asked);
    QFETCH(QByteArray, frame);
    startRadio();
    page_->Dk618_Address->setText(address);
    prompts_->confirmations.enqueue(confirmed);
    window_->findChild<QAction *>(item)->trigger();
    QCOMPARE(prompts_->messages.size(), 1);
    QVERIFY2(prompts_->messages.constFirst().contains(asked), qPrintable(prompts_->messages.constFirst()));
    if (!confirmed) {
        QTest::qWait(200);
        QCOMPARE(framesReceivedByRadio(), QList<QByteArray>());
        return;
    }
    QTRY_COMPARE(framesReceivedByRadio().size(), 1);
    QCOMPARE(framesReceivedByRadio().at(0).toHex(' '), frame);
    QVERIFY(!exchangeRunning());
    // A reply came, and the next exchange start clears it.
    QTRY_VERIFY(state().ReplyReady);
    page_->Dk618_Read_Data->click();
    QVERIFY(!state().ReplyReady);
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
}

void TestRadioExchange::replyOnTheTimeoutTickIsLeftForLater()
{
    ProtocolState s;
    s.ExchangeTicks = 100;
    s.ReplyReady = true;
    QCOMPARE(PollReply(s, true, RadioExchange::kTimeoutTicks), Poll::TimedOut);
    QVERIFY(s.ReplyReady);
    QCOMPARE(s.ExchangeTicks, 0);
    QCOMPARE(PollReply(s, false, RadioExchange::kTimeoutTicks), Poll::Idle);
    QCOMPARE(PollReply(s, true, RadioExchange::kTimeoutTicks), Poll::Reply);
    QVERIFY(!s.ReplyReady);
}

void TestRadioExchange::lostDeviceClosesThePortOnce()
{
    startRadio();
    QSignalSpy lost(&window_->link(), &Link::portLost);
    sim_->stop(); // the far end of the line goes away, like an unplugged adapter
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!window_->link().port().isOpen());
    QVERIFY(panel(1).startsWith(QStringLiteral("通讯口已断开")));
    QCOMPARE(memo().count(QStringLiteral("通讯口已断开")), 1);
    QTest::qWait(100);
    QCOMPARE(lost.count(), 1);
    // The program goes on: a read now fails at the write with a report.
    page_->Dk618_Read_Data->click();
    QCOMPARE(errors_->errors.size(), 1);
}

void TestRadioExchange::anyReplyBytesLeaveThePageSound()
{
    // A peer that answers every request with random frames and noise: the
    // exchanges must neither crash nor leave a field that a write cannot
    // read back as a number.
    openOnPty();
    QRandomGenerator random(618);
    int exchanges = 0;
    for (int round = 0; round < 3000; ++round) {
        if (!exchangeRunning()) {
            ++exchanges;
            if (random.bounded(2))
                page_->Dk618_Read_Data->click();
            else
                page_->Dk618_Write_Data->click();
        }
        QByteArray bytes;
        const int kind = random.bounded(4);
        if (kind == 0) {
            bytes.resize(random.bounded(300));
            random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        } else {
            QByteArray data(random.bounded(kind == 1 ? 4 : 120), '\0');
            for (char &c : data)
                c = char(random.bounded(256));
            bytes = BuildFrame(quint8(random.bounded(256)), data);
        }
        window_->link().receiveBytes(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size());
        window_->Timer3Timer();
        if (round % 200 == 0)
            pty_->drain();
    }
    QVERIFY(exchanges > 20);
    for (int i = 0; i < 10; ++i) {
        StrToInt(page_->TxFreq[i]->text());
        StrToInt(page_->RxFreq[i]->text());
    }
    StrToInt(page_->Dk618_Address->text());
    StrToInt(page_->Dk618_CurrentChannel->text());
    StrToInt(page_->Ptttime->text());
    // Only refusals of values that do not fit, never a failed conversion.
    for (const QString &e : std::as_const(errors_->errors))
        QVERIFY2(!e.contains(QStringLiteral("not a valid integer")), qPrintable(e));
}

void TestRadioExchange::rawProtocolBytesGoOutAsTheyStand()
{
    openOnPty();
    state().MonitorOn = true;
    state().RxReadPos = state().RxWritePos = 17;
    prompts_->confirmations.enqueue(true);
    window_->findChild<QAction *>(QStringLiteral("O1"))->trigger();
    const QByteArray got = pty_->readWhile(10, 2000, [] { QCoreApplication::processEvents(); });
    QCOMPARE(got.toHex(' '), QByteArray("68 7e 02 08 02 96 00 00 a2 7c"));
    // No frame: no check byte, no ring reset, no echo.
    QCOMPARE(state().RxWritePos, 17);
    QCOMPARE(state().RxReadPos, 17);
    QVERIFY(memo().isEmpty());
}

// The fields stay editable during a write: a value changed to one the click
// would refuse ends the write before any frame carries it.
void TestRadioExchange::fieldChangedDuringWriteEndsIt_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("changeAtStep");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("taken"); // what the radio took, said after the outcome
    const QString address = QStringLiteral("设备地址70000超出范围（0～65535）！");
    const QString ptt = QStringLiteral("PTT时间限制70000超出范围（0～65535）！");
    const QString rate = QStringLiteral("设备通讯速率“1920”不在列表中，请重新选择！");
    const QString three = QStringLiteral("设备已写入：信道表、设备地址、当前信道");
    QTest::newRow("address after the click") << "Dk618_Address" << "70000" << 0 << address << QByteArray("99") << QString();
    QTest::newRow("address before its write") << "Dk618_Address" << "70000" << 1 << address << QByteArray("99 61") << "设备已写入：信道表";
    QTest::newRow("address before the channel write") << "Dk618_Address" << "70000" << 2 << address << QByteArray("99 61 65") << "设备已写入：信道表、设备地址";
    QTest::newRow("PTT after the click") << "Ptttime" << "70000" << 0 << ptt << QByteArray("99") << QString();
    QTest::newRow("PTT before the mode write") << "Ptttime" << "70000" << 3 << ptt << QByteArray("99 61 65 69") << three;
    QTest::newRow("rate after the click") << "Dk618_Baudrate" << "1920" << 0 << rate << QByteArray("99") << QString();
    QTest::newRow("rate before the mode write") << "Dk618_Baudrate" << "1920" << 3 << rate << QByteArray("99 61 65 69") << three;
}

void TestRadioExchange::fieldChangedDuringWriteEndsIt()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(int, changeAtStep);
    QFETCH(QString, message);
    QFETCH(QByteArray, sent);
    QFETCH(QString, taken);
    startRadio();
    page_->Dk618_Address->setText(QStringLiteral("300"));
    page_->Ptttime->setText(QStringLiteral("60"));
    page_->Dk618_Write_Data->click();
    int ticks = 0;
    while (state().ExchangeStep < changeAtStep && ticks++ < 20)
        tick(true);
    QCOMPARE(state().ExchangeStep, changeAtStep);
    window_->fields().setText(field, value);
    runExchange();

    // Refused, never "failed" (which says the radio did not answer); what
    // the radio took already is said.
    const QString outcome = (taken.isEmpty() ? QStringLiteral("未写录：") : QStringLiteral("写录中止：")) + message;
    QCOMPARE(panel(2), outcome);
    QCOMPARE(memo(), QStringLiteral("写录数据...\n") + outcome + (taken.isEmpty() ? QString() : u'\n' + taken));
    QCOMPARE(prompts_->messages, QStringList{message});
    QVERIFY(page_->Dk618_Write_Data->isEnabled());
    QVERIFY(page_->Dk618_Read_Data->isEnabled());
    QTest::qWait(100); // anything still on its way
    QCOMPARE(commandsReceivedByRadio().toHex(' '), sent);
    QVERIFY(errors_->errors.isEmpty());
}

// Each read step needs a reply long enough for its values; one byte short
// ends the read as failed and applies nothing of that step. Replies are read
// where they were completed: a stray byte before the first and a noise
// header byte behind the last move nothing.
void TestRadioExchange::shortRepliesEndTheRead_data()
{
    QTest::addColumn<int>("shortAt");
    QTest::newRow("channel table") << 1;
    QTest::newRow("address") << 2;
    QTest::newRow("current channel") << 3;
    QTest::newRow("modes") << 4;
    QTest::newRow("none short: exact lengths are enough") << 5;
}

void TestRadioExchange::shortRepliesEndTheRead()
{
    QFETCH(int, shortAt);
    openOnPty();
    page_->Dk618_Baudrate->setCurrentIndex(0);
    page_->Dk618_Read_Data->click();
    const quint8 codes[5] = {0x99, 0x63, 0x67, 0x6B, 0x72};
    const QByteArray data[5] = {"DK285-8", QByteArray(40, '\x10'), QByteArray::fromHex("012C"),
                                QByteArray::fromHex("0310211022"), QByteArray::fromHex("20CCAC3240003C")};
    int len = 0;
    for (int step = 0; step < 5 && step <= shortAt; ++step) {
        const QByteArray d = step == shortAt ? data[step].chopped(1) : data[step];
        len = int(d.size()) + 5;
        answer((step == 0 ? "\x55" : "") + BuildFrame(codes[step], QByteArray::fromHex("0001") + d) + (step == 4 ? "\x96" : ""));
    }
    QVERIFY(!exchangeRunning());
    QVERIFY(page_->Dk618_Read_Data->isEnabled());
    QCOMPARE(panel(0), QStringLiteral("DK285-8"));
    // One request per handled reply, none after the short one.
    const int requests = std::min(shortAt, 4) + 1;
    QCOMPARE(pty_->readWhile(7 * requests + 1, 300, [] { QCoreApplication::processEvents(); }).size(), 7 * requests);
    const bool ok = shortAt == 5;
    QCOMPARE(panel(2), ok ? QStringLiteral("读取成功！") : QStringLiteral("读取失败！"));
    if (!ok)
        QVERIFY2(memo().endsWith(text::ShortReply(codes[shortAt], len) + QStringLiteral("\n读取失败！")), qPrintable(memo()));
    // Steps before the short one keep what they showed; its own shows nothing.
    QCOMPARE(page_->Dk618_Address->text(), shortAt > 2 ? QStringLiteral("300") : QStringLiteral("0"));
    QCOMPARE(page_->Dk618_CurrentChannel->text(), shortAt > 3 ? QStringLiteral("3") : QStringLiteral("0"));
    QCOMPARE(page_->TxFreq[3]->text(), shortAt > 3 ? QString::number(0x1021 * 125 + 6000000) : QStringLiteral("0"));
    QCOMPARE(page_->Dk618_Baudrate->currentText(), ok ? QStringLiteral("9600") : QStringLiteral("300"));
    QCOMPARE(page_->Ptttime->text(), ok ? QStringLiteral("60") : QStringLiteral("0"));
    QVERIFY(errors_->errors.isEmpty());
}

void TestRadioExchange::bareRepliesNeverReadAsValues()
{
    startRadio({QStringLiteral("--bare-replies")});
    page_->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取失败！"));
    QVERIFY(memo().endsWith(text::ShortReply(0x63, 5) + QStringLiteral("\n读取失败！")));
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("0"));
    QCOMPARE(page_->TxFreq[0]->text(), QStringLiteral("0"));
    QTest::qWait(50);
    QCOMPARE(commandsReceivedByRadio().toHex(' '), QByteArray("99 63"));
}

void TestRadioExchange::noiseAfterRepliesReadsTrueValues()
{
    startRadio({QStringLiteral("--noise-after"), QStringLiteral("96")});
    settleMs_ = 20; // the noise byte lands before the tick, as it does between 100 ms ticks
    page_->Dk618_Address->setText(QStringLiteral("300"));
    page_->Ptttime->setText(QStringLiteral("60"));
    page_->Dk618_Write_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("写录成功！"));
    page_->Dk618_Read_Data->click();
    runExchange();
    QCOMPARE(panel(2), QStringLiteral("读取成功！"));
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("300"));
    QCOMPARE(page_->Dk618_Baudrate->currentText(), QStringLiteral("19200"));
    QCOMPARE(page_->Ptttime->text(), QStringLiteral("60"));
}

// The exchanges share one step counter and one reply flag: the data-radio
// buttons wait while another page's exchange runs, and say which; a pending
// reading of the test page gives way and is dropped.
void TestRadioExchange::clicksWaitForOtherExchanges_data()
{
    QTest::addColumn<int>("running");
    QTest::addColumn<bool>("write");
    const char *names[] = {"central write", "central read", "subscriber write", "subscriber read", "measurement"};
    for (int i = 0; i < 5; ++i) {
        QTest::addRow("write during %s", names[i]) << i << true;
        QTest::addRow("read during %s", names[i]) << i << false;
    }
}

void TestRadioExchange::clicksWaitForOtherExchanges()
{
    QFETCH(int, running);
    QFETCH(bool, write);
    openOnPty();
    ProtocolState &s = state();
    bool ProtocolState::*const flags[] = {&ProtocolState::CentralWriteActive, &ProtocolState::CentralReadActive,
                                          &ProtocolState::SubscriberWriteActive, &ProtocolState::SubscriberReadActive,
                                          &ProtocolState::MeasurePending};
    s.*flags[running] = true;
    s.ExchangeStep = 2;
    s.ExchangeTicks = 7;
    s.ReplyReady = true;
    page_->Dk618_Address->setText(QStringLiteral("44"));
    (write ? page_->Dk618_Write_Data : page_->Dk618_Read_Data)->click();

    if (running == 4) {
        QVERIFY(!s.MeasurePending && (write ? s.RadioWriteActive : s.RadioReadActive) && !s.ReplyReady);
        QCOMPARE(pty_->readWhile(7, 2000, [] { QCoreApplication::processEvents(); }).mid(3, 1), QByteArray("\x99"));
        return;
    }
    const QString said = running < 2 ? QStringLiteral("MLB4800正在读写，请稍候再试！") : QStringLiteral("MLR4800正在读写，请稍候再试！");
    QCOMPARE(panel(2), said);
    QVERIFY(memo().endsWith(said));
    QVERIFY(s.*flags[running] && !s.RadioWriteActive && !s.RadioReadActive && s.ReplyReady);
    QCOMPARE(s.ExchangeStep, 2);
    QCOMPARE(s.ExchangeTicks, 7);
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("44")); // a read did not clear the page
    QCOMPARE(pty_->readWhile(1, 100, [] { QCoreApplication::processEvents(); }), QByteArray());
}

QTEST_MAIN(TestRadioExchange)
#include "tst_radioexchange.moc"
