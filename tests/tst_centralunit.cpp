// The central unit end to end: the real window and its ComPort1 against the
// simulated unit (qmsim --family mlb4800) on a pseudo terminal, or against
// replies the test puts into the receive path itself. Timer1 is stopped and
// ticked by the test, so a time-out costs no waiting.
#include "app/mainform.h"
#include "mlb4800model.h"
#include "app/mlbaddrtableform.h"
#include "app/simulator.h"
#include "link/exchange.h"
#include "common/fieldaccess.h"
#include "radio/dk618page.h"
#include "units/mlb4800page.h"
#include "findchild.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QtWidgets>
#include <QtTest>

using namespace qm;

namespace {
// A frame laid out by hand: 0x96, LEN, selector, command, data, XOR check.
QByteArray frame(quint8 command, const QByteArray &data, quint8 selector = 0x80)
{
    QByteArray f = QByteArray::fromHex("9600") + char(selector) + char(command) + data;
    f[1] = char(data.size() + 3);
    char check = 0;
    for (char c : f)
        check ^= c;
    return f + check;
}
QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
// The read requests, in the order of the read steps.
constexpr quint8 kReads[4] = {0x63, 0x67, 0x6B, 0x73};
QByteArray words(const QList<int> &list)
{
    QByteArray out;
    for (int w : list)
        out += char(w >> 8) + QByteArray(1, char(w & 0xFF));
    return out;
}
} // namespace

class TestCentralUnit : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void fullWriteThenFullRead();
    void shortExchangesTouchOnlyTheCurrentChannel();
    void unitSilentOnAirRateFailsOnThe36thTick();
    void refusedClicksSendNothing_data();
    void refusedClicksSendNothing();
    void playedRepliesTooShortEndTheRead_data();
    void playedRepliesTooShortEndTheRead();
    void addressTableIsAWindowOfItsOwn();
    void simulatedUnitIgnoresWhatItCannotTake_data();
    void simulatedUnitIgnoresWhatItCannotTake();

private:
    void openWindow(const QStringList &simArgs = {}, bool simulated = true);
    void tick(bool expectReply = false)
    {
        if (expectReply)
            (void)QTest::qWaitFor([this] { return state().ReplyReady; }, 2000);
        window_->Timer1Timer();
    }
    void runExchange()
    {
        for (int ticks = 0; running() && ticks < 100; ++ticks)
            tick(true);
    }
    // A reply played by the test, straight into the receive path.
    void reply(quint8 command, const QByteArray &data)
    {
        const QByteArray f = frame(command, data);
        window_->link().receiveBytes(reinterpret_cast<const quint8 *>(f.constData()), f.size());
    }
    bool nothingSent() { return pty_->readWhile(1, 100, [] { QCoreApplication::processEvents(); }).isEmpty(); }
    QList<QByteArray> framesReceivedByUnit() const
    {
        QList<QByteArray> frames;
        QFile f(dir_.filePath(QStringLiteral("unit.log")));
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n'))
                if (line.startsWith("rx "))
                    frames << QByteArray::fromHex(line.mid(3));
        return frames;
    }
    QString panel2() const { return child<QLabel>(*window_, QStringLiteral("StatusPanel2"))->text(); }
    QString memo() const { return child<QPlainTextEdit>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }
    ProtocolState &state() { return window_->link().state(); }
    bool running() { return state().CentralReadActive || state().CentralWriteActive; }
    // Fields in table order: uplink tx, uplink rx, downlink tx, downlink rx.
    QLineEdit *entry(int i) const
    {
        QLineEdit *const *columns[4] = {page_->UpTx, page_->UpRx, page_->DownTx, page_->DownRx};
        return columns[i / 10][i % 10];
    }

    QTemporaryDir dir_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<PtyPair> pty_;
    TestPrompts prompts_;
    ErrorCatcher errors_;
    std::unique_ptr<TMainForm> window_;
    Mlb4800Page *page_ = nullptr;
};

void TestCentralUnit::openWindow(const QStringList &simArgs, bool simulated)
{
    QString device;
    if (simulated) {
        QFile::remove(dir_.filePath(QStringLiteral("unit.log")));
        sim_ = std::make_unique<Simulator>();
        sim_->setProgram(QStringLiteral(QMSIM_PATH));
        QVERIFY2(sim_->start(QStringLiteral("mlb4800"), QStringList{"--log", dir_.filePath("unit.log"), "--delay-ms", "1"} + simArgs),
                 qPrintable(sim_->errorString()));
        device = sim_->linkPath();
    } else {
        pty_ = std::make_unique<PtyPair>();
        device = pty_->slavePath();
    }
    prompts_.messages.clear();
    errors_.errors.clear();
    MainFormOptions options;
    options.prompts = &prompts_;
    options.portMap.insert(QStringLiteral("COM1"), device);
    window_ = std::make_unique<TMainForm>(options);
    child<QTimer>(*window_, QStringLiteral("Timer1"))->stop();
    child<QTimer>(*window_, QStringLiteral("Timer3"))->stop();
    window_->MLB4800Click(); // 19200 bit/s, no parity
    page_ = window_->mlb4800Page();
    QVERIFY(window_->link().port().isOpen());
}

void TestCentralUnit::cleanup()
{
    window_.reset();
    sim_.reset();
    pty_.reset();
}

void TestCentralUnit::fullWriteThenFullRead()
{
    openWindow();
    QList<int> table;
    for (int i = 0; i < 40; ++i) {
        entry(i)->setText(QString::number(2300000 + 1750 * i));
        table << (2300000 + 1750 * i) / 250;
    }
    entry(5)->setText(QStringLiteral("12250")); // word 49; off the step a write is refused
    table[5] = 49;
    page_->Mlb4800_CurrentChannel->setText(QStringLiteral("3"));
    page_->Mlb4800_Address->setText(QStringLiteral("65836")); // the unit keeps the low byte, 0x2C
    page_->ComTrans->setChecked(true);
    page_->Mlb4800_Airrate->setCurrentIndex(2);
    page_->Mlb_TransParent->setChecked(true);
    page_->Mlb4800_WriteData->click();
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("写录成功！"));
    QCOMPARE(framesReceivedByUnit(), (QList<QByteArray>{frame(0x61, hex("002c") + words(table) + char(3)), frame(0x65, hex("002c2c")),
                                                         frame(0x69, hex("002c03") + words({table[3], table[13], table[23], table[33]})),
                                                         frame(0x71, hex("002c805a"))}));

    // Spoil the page, then read it back.
    page_->AirTrans->setChecked(true);
    page_->Mlb4800_Airrate->setCurrentIndex(0);
    page_->Mlb_TransParent->setChecked(false);
    page_->Mlb4800_ReadData->click();
    QCOMPARE(entry(17)->text(), QStringLiteral("0"));
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("读取成功！"));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(entry(i)->text(), QString::number(table[i] * 250));
    QCOMPARE(entry(5)->text(), QStringLiteral("12250"));
    QCOMPARE(page_->Mlb4800_Address->text(), QStringLiteral("44"));
    QCOMPARE(page_->Mlb4800_CurrentChannel->text(), QStringLiteral("3"));
    QVERIFY(page_->ComTrans->isChecked() && page_->Mlb_TransParent->isChecked());
    QCOMPARE(page_->Mlb4800_Airrate->currentText(), QStringLiteral("9600B"));
    QVERIFY(memo().contains(QStringLiteral("写录数据...\n写录成功！\n读取数据...\n读取成功！")));
    // Read requests go to address 0 until the unit has told its own.
    QCOMPARE(framesReceivedByUnit().mid(4), (QList<QByteArray>{frame(0x63, hex("0000")), frame(0x67, hex("0000")),
                                                                frame(0x6B, hex("002c")), frame(0x73, hex("002c"))}));
    QVERIFY(prompts_.messages.isEmpty() && errors_.errors.isEmpty());
}

void TestCentralUnit::shortExchangesTouchOnlyTheCurrentChannel()
{
    openWindow();
    for (int i = 0; i < 40; ++i)
        entry(i)->setText(QString::number(4000000 + 250 * i));
    page_->Mlb4800_CurrentChannel->setText(QStringLiteral("2"));
    page_->Mlb4800_Operate->setChecked(true);
    page_->Mlb4800_WriteData->click(); // the air rate still shows its design text
    QTest::qWait(50);
    QVERIFY(framesReceivedByUnit().isEmpty()); // 0x65 leaves on the next tick
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("写录成功！"));
    QCOMPARE(framesReceivedByUnit(), (QList<QByteArray>{frame(0x65, hex("000101")),
                                                         frame(0x69, hex("000102") + words({16002, 16012, 16022, 16032})),
                                                         frame(0x71, hex("0001c0a5"))}));

    // The current channel comes from the unit; the other 36 fields show the
    // table of the write click, neither the page nor "0".
    for (int i = 0; i < 40; ++i)
        entry(i)->setText(QStringLiteral("250"));
    page_->Mlb4800_ReadData->click();
    page_->Mlb4800_Operate->setChecked(false); // the exchange keeps the kind of its click
    runExchange();
    QCOMPARE(panel2(), QStringLiteral("读取成功！"));
    QCOMPARE(framesReceivedByUnit().value(3), frame(0x67, hex("0000")));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(entry(i)->text(), QString::number(4000000 + 250 * i));
    QCOMPARE(page_->Mlb4800_Airrate->currentText(), QStringLiteral("9600A"));
}

void TestCentralUnit::unitSilentOnAirRateFailsOnThe36thTick()
{
    openWindow({QStringLiteral("--silent-on"), QStringLiteral("0x71")});
    page_->Mlb4800_WriteData->click();
    while (state().ExchangeStep < 3 && state().CentralWriteActive)
        tick(true);
    QCOMPARE(state().ExchangeStep, 3); // 0x71 is out
    // The side buttons only leave their line, also during an exchange.
    for (QPushButton *button : {page_->Mlb4800_SaveFile, page_->Mlb4800_ReadFile, page_->Mlb4800_AddressTable, page_->ReadRssi})
        button->click();
    QVERIFY(memo().endsWith(QStringLiteral("写录数据...\n存储文档...\n读取文档...\n更改地址列表...\n更改地址列表...")));
    for (int i = 0; i < 35; ++i)
        tick();
    QVERIFY(state().CentralWriteActive);
    tick();
    QVERIFY(!state().CentralWriteActive);
    QCOMPARE(panel2(), QStringLiteral("写录失败！"));
    QVERIFY2(memo().endsWith(QStringLiteral("更改地址列表...\n写录失败！\n当前串口 COM1,19200,N 即MLB4800的常用设置；请检查串口线和设备电源")),
             qPrintable(memo()));
    QTRY_COMPARE(framesReceivedByUnit().size(), 4);
}

void TestCentralUnit::refusedClicksSendNothing_data()
{
    QTest::addColumn<QString>("owner"); // the exchange already running, if any
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("message");
    const QString radio = text::LineHeldBy(ExchangeOwner::Radio);
    QTest::newRow("data radio runs, write") << "radio" << "" << "" << true << radio;
    QTest::newRow("data radio runs, read") << "radio" << "" << "" << false << radio;
    QTest::newRow("subscriber unit runs") << "subscriber" << "" << "" << true << text::LineHeldBy(ExchangeOwner::Subscriber);
    QTest::newRow("word above 65535") << "" << "TxFreq27" << "16384000" << true << "信道7下行发射频率超出范围！";
    QTest::newRow("negative frequency") << "" << "RxFreq12" << "-250" << true << "信道2上行接收频率超出范围！";
    QTest::newRow("frequency off the step") << "" << "TxFreq10" << "4330100" << true << "信道0上行发射频率4330100不能被250整除！";
    QTest::newRow("channel") << "" << "Mlb4800_CurrentChannel" << "10" << true << "当前信道10超出范围（0～9）！";
    QTest::newRow("empty address") << "" << "Mlb4800_Address" << "" << true << "'' is not a valid integer value";
}

void TestCentralUnit::refusedClicksSendNothing()
{
    QFETCH(QString, owner);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, write);
    QFETCH(QString, message);
    openWindow({}, false);
    if (owner == QLatin1String("radio")) {
        window_->dk618Page()->Dk618_Read_Data->click();
        QCOMPARE(pty_->readWhile(7, 2000, [] { QCoreApplication::processEvents(); }).size(), 7); // its 0x99
    } else if (!owner.isEmpty()) {
        state().SubscriberReadActive = true;
    }
    window_->fields().setText(field.isEmpty() ? QStringLiteral("Mlb4800_Address") : field, field.isEmpty() ? QStringLiteral("9") : value);
    const auto before = state().Area;
    const QString memoBefore = memo();
    (write ? page_->Mlb4800_WriteData : page_->Mlb4800_ReadData)->click();
    if (owner.isEmpty()) { // a message box, or the error report after the progress line
        QCOMPARE(prompts_.messages + errors_.errors, QStringList{message});
        const bool conversion = !errors_.errors.isEmpty();
        const QString progress = memoBefore.isEmpty() ? text::Writing : memoBefore + QLatin1Char('\n') + text::Writing;
        // A refusal of its checks is the outcome: "未写录：REASON".
        const QString refused = (memoBefore.isEmpty() ? QString() : memoBefore + u'\n') + text::NotWrittenPrefix + message;
        QCOMPARE(memo(), conversion ? progress : refused);
        QCOMPARE(panel2(), conversion ? text::WritingWait : text::NotWrittenPrefix + message);
    } else { // one memo line and the progress panel
        QCOMPARE(memo(), memoBefore.isEmpty() ? message : memoBefore + QLatin1Char('\n') + message);
        QCOMPARE(panel2(), message);
        QCOMPARE(page_->Mlb4800_Address->text(), QStringLiteral("9")); // a read would have emptied it
    }
    QVERIFY(!running());
    QVERIFY(state().Area == before);
    QVERIFY(nothingSent());
}

void TestCentralUnit::playedRepliesTooShortEndTheRead_data()
{
    QTest::addColumn<int>("shortStep");
    QTest::addColumn<int>("len");
    QTest::newRow("table without mode byte") << 0 << 0x55;
    QTest::newRow("address missing") << 1 << 4;
    QTest::newRow("last word cut") << 2 << 0x0D;
    QTest::newRow("transparent byte missing") << 3 << 6;
}

void TestCentralUnit::playedRepliesTooShortEndTheRead()
{
    QFETCH(int, shortStep);
    QFETCH(int, len);
    openWindow({}, false);
    // Mode byte 0 means wireless; channel 12 has no place in the table.
    const QByteArray full[4] = {hex("0007") + words(QList<int>(40, 0x1234)) + char(0), hex("0007"),
                                hex("00070c") + words({1, 2, 3, 4}), hex("0007405a")};
    page_->ComTrans->setChecked(true);
    page_->Mlb4800_ReadData->click();
    for (int step = 0; step <= shortStep; ++step) {
        reply(kReads[step], full[step].left(step == shortStep ? len - 3 : 200));
        tick();
    }
    QVERIFY(!running());
    QCOMPARE(panel2(), QStringLiteral("读取失败！"));
    QVERIFY(memo().endsWith(text::ShortReply(kReads[shortStep], len) + QStringLiteral("\n读取失败！")));
    // What the steps before took stays; nothing of the short reply is used.
    QCOMPARE(page_->AirTrans->isChecked(), shortStep > 0);
    QCOMPARE(page_->Mlb4800_Address->text(), shortStep > 1 ? QStringLiteral("7") : QStringLiteral("0"));
    QCOMPARE(page_->Mlb4800_CurrentChannel->text(), shortStep > 2 ? QStringLiteral("12") : QStringLiteral("0"));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(entry(i)->text(), shortStep > 2 ? QString::number(0x1234 * 250) : QStringLiteral("0"));
    QCOMPARE(page_->Mlb4800_Airrate->currentText(), QStringLiteral("Mlb4800_Airrate"));
}

void TestCentralUnit::addressTableIsAWindowOfItsOwn()
{
    openWindow({}, false);
    TMlbAddrTable_Form *dialog = window_->mlbAddrTableForm();
    QVERIFY(dialog && !dialog->isVisible());
    // Lookups by name below the main window never reach the dialog, and
    // emptying the page fields leaves it alone.
    for (QWidget *w : window_->findChildren<QWidget *>())
        QVERIFY(w->window() != dialog);
    window_->ClearFields();
    QCOMPARE(dialog->Edit1->text(), QStringLiteral("65535"));
    window_->show();
    dialog->show();
    QVERIFY((dialog->frameGeometry().center() - window_->frameGeometry().center()).manhattanLength() < 4);
}

void TestCentralUnit::simulatedUnitIgnoresWhatItCannotTake_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("acknowledged");
    QTest::newRow("subscriber selector") << frame(0x69, hex("000104") + QByteArray(8, 1), 0x81) << false;
    QTest::newRow("table one byte short") << frame(0x61, QByteArray(82, 1)) << false;
    QTest::newRow("air rate without transparency") << frame(0x71, hex("000140")) << false;
    QTest::newRow("data-radio identification") << frame(0x99, hex("0001")) << false;
    QTest::newRow("length byte beyond the frame") << frame(0x73, hex("0001")).left(6) << false;
    QTest::newRow("channel the unit lacks") << frame(0x69, hex("00010a") + QByteArray(8, 1)) << true;
}

void TestCentralUnit::simulatedUnitIgnoresWhatItCannotTake()
{
    // The model on its own, frame by frame.
    QFETCH(QByteArray, request);
    QFETCH(bool, acknowledged);
    qmsim::Mlb4800Model m;
    QCOMPARE(m.answer(request).value_or("<silent>"), acknowledged ? frame(request[3], hex("0001")) : QByteArray("<silent>"));
    // Nothing stored: channel 0 and the air rate read back as they were.
    QCOMPARE(*m.answer(frame(0x6B, hex("0000"))), frame(0x6B, hex("00010023f02580258023f0")));
    QCOMPARE(*m.answer(frame(0x73, hex("0000"))), frame(0x73, hex("0001c0a5")));
}

QTEST_MAIN(TestCentralUnit)
#include "tst_centralunit.moc"
