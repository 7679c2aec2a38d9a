// The subscriber-unit parameter file: storing and loading the page through
// the real window's buttons and real INI files, beside the data radio's
// section in the same file.
#include "app/mainform.h"
#include "common/fieldaccess.h"
#include "common/gbktexts.h"
#include "units/mlr4800page.h"
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
// The section as the tool writes it, with the file's line ends.
QByteArray section(const QList<QByteArray> &values, const QByteArray &br)
{
    using namespace gbk;
    const QByteArray keys[] = {KeyUplinkTxFreq, KeyUplinkRxFreq, KeyBaseTxFreq, KeyBaseRxFreq, KeyUnitAddress, KeyUnitBaudRate, KeyUnitAirRate};
    QByteArray text = "[File_MLR4800]" + br;
    for (int i = 0; i < 7; ++i)
        text += keys[i] + '=' + values.value(i) + br;
    return text;
}
} // namespace

class TestSubscriberFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sectionBesideTheDataRadios();
    void defaultsFromAFileWithoutTheSection();
    void loadedValues_data();
    void loadedValues();
    void nonNumberStopsLoadingAtItsKey();
    void failedAndCancelledStores();

private:
    void click(const char *button, const QString &path)
    {
        prompts_->fileNames.enqueue(path);
        window_->findChild<QPushButton *>(QLatin1String(button))->click();
    }
    QString memo() const { return window_->findChild<QPlainTextEdit *>(QStringLiteral("Watch_Window"))->toPlainText(); }
    QString panel2() const { return window_->findChild<QLabel *>(QStringLiteral("StatusPanel2"))->text(); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    Mlr4800Page *page_ = nullptr;
    QString path_;
};

void TestSubscriberFile::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    path_ = dir_->filePath(QStringLiteral("units.ini"));
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap.insert(QStringLiteral("COM1"), dir_->filePath(QStringLiteral("no-such-port")));
    window_ = std::make_unique<TMainForm>(options);
    window_->MLR4800Click();
    page_ = window_->mlr4800Page();
}

void TestSubscriberFile::cleanup()
{
    window_.reset();
    errors_.reset();
}

void TestSubscriberFile::sectionBesideTheDataRadios()
{
    click("Dk618_Save_File", path_);
    const QByteArray radio = readAll(path_);
    QVERIFY(radio.startsWith("[File_DK618]"));
    const QByteArray br = radio.contains("\r\n") ? "\r\n" : "\n";
    // Saved right after the page was chosen, fields untouched.
    click("Mlr4800_SaveFile", path_);
    QCOMPARE(panel2(), QStringLiteral("存储成功！"));
    QVERIFY(memo().endsWith(QStringLiteral("存储文档...\n存储成功！")));
    QCOMPARE(readAll(path_), radio + section({"0", "0", "0", "0", "1", "1200", "9600A"}, br));

    // Each family rewrites only its own section.
    window_->fields().setText(QStringLiteral("Dk618_Address"), QStringLiteral("77"));
    click("Dk618_Save_File", path_);
    const QByteArray untouched = section({"0", "0", "0", "0", "1", "1200", "9600A"}, br);
    QByteArray radioNow = readAll(path_);
    QVERIFY(radioNow.endsWith(untouched));
    radioNow.chop(untouched.size());
    QVERIFY(radioNow.contains(gbk::KeyDeviceAddress + "=77" + br));
    page_->TxFreq30->setText(QStringLiteral("4330000"));
    page_->RxFreq31->setText(QStringLiteral("4380250"));
    page_->Mlr4800_Address->setText(QStringLiteral("0300"));
    page_->Mlr4800ComRate->setCurrentIndex(3);
    page_->Mlr4800_Airrate->setCurrentIndex(2);
    click("Mlr4800_SaveFile", path_);
    click("Mlr4800_SaveFile", path_);
    QCOMPARE(readAll(path_), radioNow + section({"4330000", "0", "0", "4380250", "0300", "9600", "9600B"}, br));

    window_->ClearFields();
    page_->Mlr4800ComRate->setCurrentIndex(0);
    page_->Mlr4800_Airrate->setCurrentIndex(0);
    click("Mlr4800_ReadFile", path_);
    QCOMPARE(panel2(), QStringLiteral("读取结束！"));
    QVERIFY(memo().endsWith(QStringLiteral("读取文档...\n读取结束！")));
    QCOMPARE(page_->TxFreq30->text(), QStringLiteral("4330000"));
    QCOMPARE(page_->RxFreq31->text(), QStringLiteral("4380250"));
    QCOMPARE(page_->Mlr4800_Address->text(), QStringLiteral("300"));
    QCOMPARE(page_->Mlr4800ComRate->currentIndex(), 3);
    QCOMPARE(page_->Mlr4800_Airrate->currentIndex(), 2);
    QCOMPARE(window_->fields().text(QStringLiteral("Dk618_Address")), QStringLiteral("0")); // the radio's page is left alone
    QVERIFY(errors_->errors.isEmpty());
}

void TestSubscriberFile::defaultsFromAFileWithoutTheSection()
{
    writeAll(path_, "[File_DK618]\n" + gbk::KeyDeviceAddress + "=12\n" + gbk::KeyBaudRate + "=2400\n");
    for (QLineEdit *edit : {page_->TxFreq30, page_->RxFreq30, page_->TxFreq31, page_->RxFreq31, page_->Mlr4800_Address})
        edit->setText(QStringLiteral("12345"));
    page_->Mlr4800ComRate->setCurrentIndex(4);
    page_->Mlr4800_Airrate->setCurrentIndex(0);
    click("Mlr4800_ReadFile", path_);
    QCOMPARE(panel2(), QStringLiteral("读取结束！"));
    for (QLineEdit *edit : {page_->TxFreq30, page_->RxFreq30, page_->TxFreq31, page_->RxFreq31})
        QCOMPARE(edit->text(), QStringLiteral("0"));
    QCOMPARE(page_->Mlr4800_Address->text(), QStringLiteral("1"));
    QCOMPARE(page_->Mlr4800ComRate->currentIndex(), 0);
    QCOMPARE(page_->Mlr4800_Airrate->currentText(), QStringLiteral("9600A"));
    QCOMPARE(page_->Mlr4800_Airrate->currentIndex(), 1);
}

void TestSubscriberFile::loadedValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("hexadecimal frequency") << gbk::KeyUplinkTxFreq + "=0x10" << "TxFreq30" << "16" << -1;
    QTest::newRow("dollar hexadecimal") << gbk::KeyBaseRxFreq + "=$FA" << "RxFreq31" << "250" << -1;
    QTest::newRow("leading zeros") << gbk::KeyUnitAddress + "=007" << "Mlr4800_Address" << "7" << -1;
    QTest::newRow("rate in the list") << gbk::KeyUnitBaudRate + "=9600" << "Mlr4800ComRate" << "9600" << 3;
    QTest::newRow("rate not in the list") << gbk::KeyUnitBaudRate + "=38400" << "Mlr4800ComRate" << "38400" << -1;
    QTest::newRow("empty rate") << gbk::KeyUnitBaudRate + "=" << "Mlr4800ComRate" << "" << -1;
    QTest::newRow("air rate not in the list") << gbk::KeyUnitAirRate + "=4800C" << "Mlr4800_Airrate" << "4800C" << -1;
}

void TestSubscriberFile::loadedValues()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, index);
    writeAll(path_, "[File_MLR4800]\n" + line + "\n");
    click("Mlr4800_ReadFile", path_);
    QCOMPARE(window_->fields().text(field), text);
    if (auto *list = window_->findChild<QComboBox *>(field))
        QCOMPARE(list->currentIndex(), index);
    // What was loaded is what is saved again.
    click("Mlr4800_SaveFile", path_);
    QVERIFY(readAll(path_).contains(line.left(line.indexOf('=') + 1) + text.toLatin1() + '\n'));
}

void TestSubscriberFile::nonNumberStopsLoadingAtItsKey()
{
    writeAll(path_, section({"4330000", "4380000", "12a", "250", "9", "4800", "19200A"}, "\n"));
    click("Mlr4800_ReadFile", path_);
    QCOMPARE(errors_->errors, QStringList{QStringLiteral("'12a' is not a valid integer value")});
    QCOMPARE(page_->RxFreq30->text(), QStringLiteral("4380000"));
    QCOMPARE(page_->RxFreq31->text(), QStringLiteral("0"));
    QCOMPARE(page_->Mlr4800ComRate->currentText(), QStringLiteral("1200"));
    QVERIFY(!memo().contains(QStringLiteral("读取结束！")));
}

void TestSubscriberFile::failedAndCancelledStores()
{
    click("Mlr4800_SaveFile", dir_->filePath(QStringLiteral("no-such-folder/units.ini")));
    QCOMPARE(errors_->errors.size(), 1);
    QVERIFY(errors_->errors.first().startsWith(QStringLiteral("无法写入文件：")));
    QCOMPARE(panel2(), QStringLiteral("正在存储文档..."));
    QVERIFY(!memo().contains(QStringLiteral("存储成功！")));

    page_->TxFreq30->setText(QStringLiteral("500"));
    click("Mlr4800_ReadFile", QString());
    click("Mlr4800_SaveFile", QString());
    QVERIFY(memo().endsWith(QStringLiteral("读取文档...\n用户取消\n存储文档...\n用户取消")));
    QCOMPARE(panel2(), QStringLiteral("用户取消"));
    QCOMPARE(page_->TxFreq30->text(), QStringLiteral("500"));
    QVERIFY(!QFile::exists(path_));
}

QTEST_MAIN(TestSubscriberFile)
#include "tst_subscriberfile.moc"
