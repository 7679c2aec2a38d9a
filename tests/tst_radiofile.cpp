// The data-radio parameter file: storing and loading the page through the
// real window's fields and real INI files.
#include "common/fieldaccess.h"
#include "common/gbktexts.h"
#include "common/inifile.h"
#include "app/mainform.h"
#include "radio/dk618page.h"
#include "radio/radiofile.h"
#include "testprompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace qm;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

class TestRadioFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void storeThenLoadRestoresEveryField();
    void storedBytesAreGbk();
    void storeKeepsOtherSectionsAndComments();
    void missingFileLoadsDefaults();
    void transferModeIsLoadedBeforeAddressMode_data();
    void transferModeIsLoadedBeforeAddressMode();
    void storedRateAndParityTexts_data();
    void storedRateAndParityTexts();
    void nonNumberStopsLoadingAtItsKey();
    void valuesBeyondFieldLimitsAreShownWhole();
    void unwritableFileKeepsOldContent();
    void cancelledDialogsChangeNothing();
    void rateItemOfStoredRate();

private:
    QString memoText() const { return window_->findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"))->toPlainText(); }
    QString panel2() const { return window_->findChild<QLabel *>(QStringLiteral("StatusPanel2"))->text(); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    Dk618Page *page_ = nullptr;
};

void TestRadioFile::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap.insert(QStringLiteral("COM1"), dir_->filePath(QStringLiteral("no-such-port")));
    window_ = std::make_unique<TMainForm>(options);
    page_ = window_->dk618Page();
}

void TestRadioFile::cleanup()
{
    window_.reset();
    errors_.reset();
}

void TestRadioFile::storeThenLoadRestoresEveryField()
{
    for (int i = 0; i < 10; ++i) {
        page_->TxFreq[i]->setText(QString::number(4300000 + 250 * i));
        page_->RxFreq[i]->setText(QString::number(4400000 + 500 * i));
    }
    page_->Dk618_CurrentChannel->setText(QStringLiteral("7"));
    page_->Dk618_Address->setText(QStringLiteral("0300"));
    page_->ProtocolMode->setChecked(true);
    page_->Select_ANI_Valid->setChecked(true);
    page_->Dk618_Baudrate->setCurrentIndex(3);
    page_->Dk618_Checkmode->setCurrentIndex(1);
    page_->AirRate9600->setChecked(true);
    page_->TransMode->setChecked(true);
    const QString path = dir_->filePath(QStringLiteral("radio.ini"));
    prompts_->fileNames.enqueue(path);
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Save_File"))->click();
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QCOMPARE(panel2(), QStringLiteral("存储成功！"));
    QVERIFY(memoText().endsWith(QStringLiteral("存储文档...\n存储文档：%1\n存储成功！").arg(path)));

    window_->ClearFields();
    page_->TransparentMode->setChecked(true);
    page_->Select_ANI_Invalid->setChecked(true);
    page_->Dk618_Baudrate->setCurrentIndex(6);
    page_->Dk618_Checkmode->setCurrentIndex(0);
    page_->AirRate19200->setChecked(true);
    page_->TransMode->setChecked(false);
    page_->Ptttime->setText(QStringLiteral("42"));

    prompts_->fileNames.enqueue(path);
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Read_File"))->click();
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QCOMPARE(panel2(), QStringLiteral("读取结束！"));
    QVERIFY(memoText().endsWith(QStringLiteral("读取文档...\n读取文档：%1\n读取结束！").arg(path)));
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(page_->TxFreq[i]->text(), QString::number(4300000 + 250 * i));
        QCOMPARE(page_->RxFreq[i]->text(), QString::number(4400000 + 500 * i));
    }
    QCOMPARE(page_->Dk618_CurrentChannel->text(), QStringLiteral("7"));
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("300")); // leading zero gone
    QVERIFY(page_->ProtocolMode->isChecked());
    QVERIFY(page_->Select_ANI_Valid->isChecked());
    QCOMPARE(page_->Dk618_Baudrate->currentText(), QStringLiteral("2400"));
    QCOMPARE(page_->Dk618_Checkmode->currentText(), QStringLiteral("偶校验"));
    QVERIFY(page_->AirRate9600->isChecked());
    QVERIFY(page_->TransMode->isChecked());
    QCOMPARE(page_->Ptttime->text(), QStringLiteral("42")); // not stored, left alone
    QVERIFY(prompts_->messages.isEmpty());
}

void TestRadioFile::storedBytesAreGbk()
{
    page_->TxFreq[0]->setText(QStringLiteral("4330000"));
    const QString path = dir_->filePath(QStringLiteral("gbk.ini"));
    RadioFile(window_->fields(), *window_, window_->prompts()).Store(path);
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.startsWith("[File_DK618]\r\n"));
    // 信道0发射频率=4330000 in code page 936
    QVERIFY(bytes.contains(QByteArray::fromHex("d0c5b5c030b7a2c9e4c6b5c2ca") + "=4330000\r\n"));
    // 设备校验方式=无校验, 传输方式=透明
    QVERIFY(bytes.contains(gbk::KeyParity + "=" + gbk::ValueNoParity + "\r\n"));
    QVERIFY(bytes.contains(gbk::KeyTransferMode + "=" + gbk::ValueTransparent + "\r\n"));
    QCOMPARE(bytes.count("\r\n"), 29);
}

void TestRadioFile::storeKeepsOtherSectionsAndComments()
{
    const QString path = dir_->filePath(QStringLiteral("shared.ini"));
    const QByteArray other = "; kept\n[File_MLR4800]\n" + gbk::KeyUnitAddress + "=12\n\n";
    writeAll(path, other + "[File_DK618]\n" + gbk::KeyDeviceAddress + "=9\n");
    page_->Dk618_Address->setText(QStringLiteral("44"));
    RadioFile(window_->fields(), *window_, window_->prompts()).Store(path);
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.startsWith(other + "[File_DK618]\n" + gbk::KeyDeviceAddress + "=44\n"));
    QCOMPARE(bytes.count(gbk::KeyDeviceAddress + "="), 2); // one per section, none added
}

void TestRadioFile::missingFileLoadsDefaults()
{
    page_->TxFreq[4]->setText(QStringLiteral("5000"));
    page_->Dk618_Address->setText(QStringLiteral("77"));
    page_->ProtocolMode->setChecked(true);
    page_->AirRate9600->setChecked(true);
    page_->Dk618_Checkmode->setCurrentIndex(2);
    const QString path = dir_->filePath(QStringLiteral("only-other.ini"));
    writeAll(path, "[File_MLR4800]\n" + gbk::KeyUnitAddress + "=12\n");
    for (const QString &file : {path, dir_->filePath(QStringLiteral("missing.ini"))}) {
        QVERIFY(!RadioFile(window_->fields(), *window_, window_->prompts()).Load(file));
        QCOMPARE(page_->TxFreq[4]->text(), QStringLiteral("0"));
        QCOMPARE(page_->Dk618_CurrentChannel->text(), QStringLiteral("0"));
        QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("1"));
        QCOMPARE(page_->Dk618_Baudrate->currentText(), QStringLiteral("9600"));
        QCOMPARE(page_->Dk618_Checkmode->currentText(), QStringLiteral("无校验"));
        QVERIFY(page_->TransparentMode->isChecked());
        QVERIFY(page_->Select_ANI_Invalid->isChecked());
        QVERIFY(page_->AirRate19200->isChecked());
        QVERIFY(!page_->TransMode->isChecked());
    }
    // The page's own load says that the defaults stand, in the memo and the
    // panel.
    const QString said = QStringLiteral("文件中没有数传电台参数，已取默认值：") + path;
    prompts_->fileNames.enqueue(path);
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Read_File"))->click();
    QCOMPARE(panel2(), said);
    QVERIFY(memoText().endsWith(QStringLiteral("读取结束！\n") + said));
}

void TestRadioFile::transferModeIsLoadedBeforeAddressMode_data()
{
    QTest::addColumn<QByteArray>("transfer");
    QTest::addColumn<bool>("protocol");
    QTest::addColumn<bool>("selectionOn");
    QTest::addColumn<bool>("warned");
    QTest::newRow("protocol with selection") << gbk::ValueProtocol << true << true << false;
    QTest::newRow("transparent with selection") << gbk::ValueTransparent << false << false << true;
    QTest::newRow("unknown transfer text means protocol") << QByteArray("xyz") << true << true << false;
}

void TestRadioFile::transferModeIsLoadedBeforeAddressMode()
{
    QFETCH(QByteArray, transfer);
    QFETCH(bool, protocol);
    QFETCH(bool, selectionOn);
    QFETCH(bool, warned);
    const QString path = dir_->filePath(QStringLiteral("modes.ini"));
    writeAll(path, "[File_DK618]\r\n" + gbk::KeyTransferMode + "=" + transfer + "\r\n" + gbk::KeyAddressMode + "="
                       + gbk::ValueValid + "\r\n");
    RadioFile(window_->fields(), *window_, window_->prompts()).Load(path);
    QCOMPARE(page_->ProtocolMode->isChecked(), protocol);
    QCOMPARE(page_->Select_ANI_Valid->isChecked(), selectionOn);
    QCOMPARE(page_->Select_ANI_Invalid->isChecked(), !selectionOn);
    QCOMPARE(prompts_->messages.contains(QStringLiteral("地址有效必须选择协议方式传输！")), warned);
}

void TestRadioFile::storedRateAndParityTexts_data()
{
    QTest::addColumn<QByteArray>("rate");
    QTest::addColumn<QByteArray>("parity");
    QTest::addColumn<QString>("rateShown");
    QTest::addColumn<QString>("parityShown");
    QTest::newRow("19200 even") << QByteArray("19200") << gbk::ValueEvenParity << "19200" << "偶校验";
    QTest::newRow("38400 selects nothing") << QByteArray("38400") << gbk::ValueOddParity << "" << "奇校验";
    QTest::newRow("100 is 300") << QByteArray("100") << QByteArray("none") << "300" << "奇校验";
    QTest::newRow("hex rate") << QByteArray("$4B0") << gbk::ValueNoParity << "1200" << "无校验";
    QTest::newRow("odd multiple reads as 300") << QByteArray("900") << gbk::ValueNoParity << "300" << "无校验";
}

void TestRadioFile::storedRateAndParityTexts()
{
    QFETCH(QByteArray, rate);
    QFETCH(QByteArray, parity);
    QFETCH(QString, rateShown);
    QFETCH(QString, parityShown);
    const QString path = dir_->filePath(QStringLiteral("rate.ini"));
    writeAll(path, "[File_DK618]\n" + gbk::KeyBaudRate + "=" + rate + "\n" + gbk::KeyParity + "=" + parity + "\n");
    RadioFile(window_->fields(), *window_, window_->prompts()).Load(path);
    QCOMPARE(page_->Dk618_Baudrate->currentText(), rateShown);
    QCOMPARE(page_->Dk618_Checkmode->currentText(), parityShown);
}

void TestRadioFile::nonNumberStopsLoadingAtItsKey()
{
    const QString path = dir_->filePath(QStringLiteral("broken.ini"));
    writeAll(path, "[File_DK618]\n" + gbk::TxFreqKeys[0] + "=4330000\n" + gbk::KeyDeviceAddress + "=12a\n"
                       + gbk::KeyAirRate + "=9600\n");
    page_->RxFreq[9]->setText(QStringLiteral("250"));
    prompts_->fileNames.enqueue(path);
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Read_File"))->click();
    QCOMPARE(errors_->errors, QStringList{QStringLiteral("'12a' is not a valid integer value")});
    QCOMPARE(page_->TxFreq[0]->text(), QStringLiteral("4330000"));
    QCOMPARE(page_->RxFreq[9]->text(), QStringLiteral("0")); // before the address: loaded
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("1"));
    QVERIFY(page_->AirRate19200->isChecked()); // after it: untouched
    QCOMPARE(panel2(), QStringLiteral("正在读取文档..."));
    QVERIFY(!memoText().contains(QStringLiteral("读取结束！")));
}

void TestRadioFile::valuesBeyondFieldLimitsAreShownWhole()
{
    // Judged at the next write, not cut at loading.
    const QString path = dir_->filePath(QStringLiteral("wide.ini"));
    writeAll(path, "[File_DK618]\n" + gbk::TxFreqKeys[0] + "=44000000\n" + gbk::KeyCurrentChannel + "=12\n"
                       + gbk::KeyDeviceAddress + "=123456\n");
    RadioFile(window_->fields(), *window_, window_->prompts()).Load(path);
    QCOMPARE(page_->TxFreq[0]->text(), QStringLiteral("44000000"));
    QCOMPARE(page_->Dk618_CurrentChannel->text(), QStringLiteral("12"));
    QCOMPARE(page_->Dk618_Address->text(), QStringLiteral("123456"));
}

void TestRadioFile::unwritableFileKeepsOldContent()
{
    const QString path = dir_->filePath(QStringLiteral("locked.ini"));
    const QByteArray old = "[File_DK618]\n" + gbk::KeyDeviceAddress + "=5\n";
    writeAll(path, old);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    prompts_->fileNames.enqueue(path);
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Save_File"))->click();
    QCOMPARE(errors_->errors.size(), 1);
    QVERIFY(errors_->errors.constFirst().contains(path));
    QCOMPARE(readAll(path), old);
    QCOMPARE(panel2(), QStringLiteral("正在存储文档..."));
    QVERIFY(!memoText().contains(QStringLiteral("存储成功！")));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

void TestRadioFile::cancelledDialogsChangeNothing()
{
    page_->TxFreq[1]->setText(QStringLiteral("750"));
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Read_File"))->click();
    QCOMPARE(panel2(), QStringLiteral("用户取消"));
    QVERIFY(memoText().endsWith(QStringLiteral("读取文档...\n用户取消")));
    window_->findChild<QPushButton *>(QStringLiteral("Dk618_Save_File"))->click();
    QVERIFY(memoText().endsWith(QStringLiteral("存储文档...\n用户取消")));
    QCOMPARE(page_->TxFreq[1]->text(), QStringLiteral("750"));
    QVERIFY(errors_->errors.isEmpty());
}

void TestRadioFile::rateItemOfStoredRate()
{
    QCOMPARE(RateItemOfStoredRate(300), 0);
    QCOMPARE(RateItemOfStoredRate(9600), 5);
    QCOMPARE(RateItemOfStoredRate(19200), 6);
    QCOMPARE(RateItemOfStoredRate(38400), -1);
    QCOMPARE(RateItemOfStoredRate(0), 0);
    QCOMPARE(RateItemOfStoredRate(-600), 0);
    QCOMPARE(RateItemOfStoredRate(1800), 2); // code 6: integer log2
}

QTEST_MAIN(TestRadioFile)
#include "tst_radiofile.moc"
