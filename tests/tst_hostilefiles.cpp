// Parameter files as users and accidents make them: re-saved by a text
// editor in another encoding, cut short, doubled, huge or not text at all.
// Both pages load them through the real window; a file is either loaded as
// meant or refused with a message that leaves the page as it was, and a
// store never spoils a file it cannot write in the file's own encoding.
#include "common/fieldaccess.h"
#include "common/gbktexts.h"
#include "common/inifile.h"
#include "app/mainform.h"
#include "radio/dk618page.h"
#include "units/mlr4800page.h"
#include "findchild.h"
#include "testprompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace qm;

namespace {
// Both sections, every value unlike its default; lines end in "\n" here.
QString ParameterText()
{
    QString text = QStringLiteral("[File_DK618]\n");
    for (int i = 0; i < 10; ++i)
        text += QStringLiteral("信道%1发射频率=%2\n信道%1接收频率=%3\n").arg(i).arg(4300000 + 250 * i).arg(4400000 + 500 * i);
    return text + QStringLiteral("当前信道=7\n设备地址=300\n传输方式=协议\n地址模式=有效\n设备通讯速率=4800\n设备校验方式=偶校验\n"
                                 "无线速率=9600\n中转方式=有效\n\n[File_MLR4800]\n上行发射频率=4330000\n上行接收频率=4380250\n"
                                 "基站发射频率=4330500\n基站接收频率=4380750\n设备地址=1234\n设备通讯速率=9600\n设备空中速率=9600B\n");
}

// The file as the tool stores it (GBK) and as an editor re-saves it.
QByteArray Gbk(const QByteArray &br = "\r\n")
{
    return EncodeGbk(ParameterText()).replace("\n", br);
}

QByteArray Utf8(const QByteArray &br)
{
    return ParameterText().toUtf8().replace("\n", br);
}

QByteArray Utf16Le(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void loading_data();
    void loading();
    void storing_data();
    void storing();

private:
    // Every field, list and button of both pages, by control name.
    QMap<QString, QString> snapshot() const;
    // Values no test file holds.
    void fillPages();
    void loadBoth(const QString &path);
    void storeBoth(const QString &path);
    void clickWithFile(const char *button, const QString &path);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    QString path_;
};

void TestHostileFiles::initTestCase()
{
    // The test files are made through the codec; without one a UTF-8 file
    // is refused, which the INI tests cover.
    if (!GbkCodecAvailable())
        QSKIP("no GBK codec in this Qt build");
}

void TestHostileFiles::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    prompts_ = std::make_unique<TestPrompts>();
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = prompts_.get();
    options.portMap.insert(QStringLiteral("COM1"), dir_->filePath(QStringLiteral("no-such-port")));
    window_ = std::make_unique<TMainForm>(options);
    path_ = dir_->filePath(QStringLiteral("params.ini"));
}

void TestHostileFiles::cleanup()
{
    window_.reset();
    errors_.reset();
}

QMap<QString, QString> TestHostileFiles::snapshot() const
{
    QMap<QString, QString> shot;
    for (QWidget *page : std::initializer_list<QWidget *>{window_->dk618Page(), window_->mlr4800Page()}) {
        for (QLineEdit *edit : page->findChildren<QLineEdit *>())
            if (!qobject_cast<QComboBox *>(edit->parentWidget()))
                shot.insert(edit->objectName(), edit->text());
        for (QComboBox *list : page->findChildren<QComboBox *>())
            shot.insert(list->objectName(), QStringLiteral("%1 #%2").arg(list->currentText()).arg(list->currentIndex()));
        for (QAbstractButton *button : page->findChildren<QAbstractButton *>())
            if (button->isCheckable())
                shot.insert(button->objectName(), button->isChecked() ? QStringLiteral("on") : QStringLiteral("off"));
    }
    return shot;
}

void TestHostileFiles::fillPages()
{
    FieldAccess &f = window_->fields();
    for (int i = 0; i < 10; ++i) {
        f.setText(QStringLiteral("TxFreq%1").arg(i), QStringLiteral("4500250"));
        f.setText(QStringLiteral("RxFreq%1").arg(i), QStringLiteral("4500500"));
    }
    for (const char *name : {"Dk618_CurrentChannel", "Dk618_Address", "TxFreq30", "RxFreq30", "TxFreq31", "RxFreq31", "Mlr4800_Address"})
        f.setText(QLatin1String(name), QStringLiteral("3"));
    for (const char *name : {"TransparentMode", "Select_ANI_Invalid", "AirRate19200"})
        f.setChecked(QLatin1String(name), true);
    f.setChecked(QStringLiteral("TransMode"), false);
    f.setItemIndex(QStringLiteral("Dk618_Baudrate"), 1);
    f.setItemIndex(QStringLiteral("Dk618_Checkmode"), 2);
    f.setItemIndex(QStringLiteral("Mlr4800ComRate"), 4);
    f.setItemIndex(QStringLiteral("Mlr4800_Airrate"), 0);
}

void TestHostileFiles::clickWithFile(const char *button, const QString &path)
{
    prompts_->fileNames.enqueue(path);
    child<QPushButton>(*window_, QLatin1String(button))->click();
}

void TestHostileFiles::loadBoth(const QString &path)
{
    clickWithFile("Dk618_Read_File", path);
    clickWithFile("Mlr4800_ReadFile", path);
}

void TestHostileFiles::storeBoth(const QString &path)
{
    clickWithFile("Dk618_Save_File", path);
    clickWithFile("Mlr4800_SaveFile", path);
}

// Outcomes: "meant" loads what the plain GBK file loads, "defaults" what a
// file without the sections loads, "refused" an error naming the file for
// each page and both pages untouched. A row may name fields that differ
// from "meant".
void TestHostileFiles::loading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QStringList>("differs"); // name=value

    const QByteArray crlf = Gbk();
    QTest::newRow("CR LF") << crlf << "meant" << QStringList();
    QTest::newRow("LF") << Gbk("\n") << "meant" << QStringList();
    QTest::newRow("lone CR") << Gbk("\r") << "meant" << QStringList();
    QTest::newRow("CR LF and LF mixed") << QByteArray(crlf).replace("=300\r\n", "=300\n") << "meant" << QStringList();
    QTest::newRow("no final newline") << crlf.chopped(2) << "meant" << QStringList();
    // What a text editor makes of it when told to save as UTF-8: this
    // loaded as all defaults and wiped the page.
    QTest::newRow("UTF-8 with BOM, CR LF") << "\xEF\xBB\xBF" + Utf8("\r\n") << "meant" << QStringList();
    QTest::newRow("UTF-8 with BOM, LF") << "\xEF\xBB\xBF" + Utf8("\n") << "meant" << QStringList();
    QTest::newRow("UTF-8 without BOM, CR LF") << Utf8("\r\n") << "meant" << QStringList();
    QTest::newRow("UTF-8 without BOM, LF") << Utf8("\n") << "meant" << QStringList();

    // "协议" loses its last byte (anything but "透明" still means protocol),
    // and the file ends half-way through the last key.
    QByteArray cut = crlf;
    cut.replace(gbk::ValueProtocol, gbk::ValueProtocol.left(3));
    cut.truncate(cut.lastIndexOf(gbk::KeyUnitAirRate) + 5);
    QTest::newRow("GBK cut inside characters") << cut << "meant" << QStringList{"Mlr4800_Airrate=9600A #1"};
    QTest::newRow("key repeated: the first counts")
        << QByteArray(crlf).replace("=300\r\n", "=300\r\n" + gbk::KeyDeviceAddress + "=500\r\n") << "meant" << QStringList();
    // The radio's section in two parts with another between them; the
    // second part repeats two keys with other values.
    const qsizetype middle = crlf.indexOf(gbk::KeyCurrentChannel);
    const QByteArray split = crlf.left(middle) + "[Other]\r\nx=1\r\n[File_DK618]\r\n" + crlf.mid(middle).replace("=300\r\n", "=300\r\n" + gbk::TxFreqKeys[0] + "=1\r\n");
    QTest::newRow("section repeated: keys from both") << split << "meant" << QStringList();

    QTest::newRow("empty") << QByteArray() << "defaults" << QStringList();
    QTest::newRow("other sections only") << QByteArray("[File_MLB4800]\r\na=1\r\n") << "defaults" << QStringList();
    QRandomGenerator rng(4700);
    QByteArray noise(4096, '\0');
    for (char &c : noise)
        c = char(rng.bounded(1, 256));
    QTest::newRow("garbage without NUL bytes") << noise << "defaults" << QStringList();
    for (char &c : noise)
        c = char(rng.bounded(256));
    noise[100] = '\0';
    QTest::newRow("binary garbage") << noise << "refused" << QStringList();
    QTest::newRow("parameter file with a NUL byte") << crlf + QByteArray(1, '\0') << "refused" << QStringList();
    QTest::newRow("UTF-16 with BOM") << Utf16Le(ParameterText()) << "refused" << QStringList();
    QTest::newRow("50 MB") << crlf + QByteArray(50 * 1024 * 1024, ';') << "refused" << QStringList();
}

void TestHostileFiles::loading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, outcome);
    QFETCH(QStringList, differs);
    const QString reference = dir_->filePath(QStringLiteral("reference.ini"));
    QVERIFY(WriteFile(reference, outcome == QLatin1String("defaults") ? QByteArray() : Gbk()));
    fillPages();
    loadBoth(reference);
    QMap<QString, QString> expected = snapshot();
    for (const QString &pair : differs)
        expected.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));

    QVERIFY(WriteFile(path_, bytes));
    fillPages();
    const QMap<QString, QString> before = snapshot();
    QVERIFY(before != expected);
    const qsizetype memoBefore = child<QPlainTextEdit>(*window_, QStringLiteral("Watch_Window"))->toPlainText().size();
    loadBoth(path_);
    const QString memo = child<QPlainTextEdit>(*window_, QStringLiteral("Watch_Window"))->toPlainText().mid(memoBefore);

    if (outcome == QLatin1String("refused")) {
        QCOMPARE(errors_->errors.size(), 2);
        for (const QString &e : std::as_const(errors_->errors))
            QVERIFY2(e.startsWith(QStringLiteral("无法读取文件：%1（").arg(path_)), qPrintable(e));
        QCOMPARE(snapshot(), before);
        QVERIFY(!memo.contains(QStringLiteral("读取结束！")));
        return;
    }
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QVERIFY(prompts_->messages.isEmpty());
    QCOMPARE(snapshot(), expected);
    QCOMPARE(memo.count(QStringLiteral("读取结束！")), 2);
}

// Storing both pages into a file: a UTF-8 file stays UTF-8 with its
// byte-order mark, its other lines and its line order, and loads back as
// stored; a file that is not text is left byte for byte.
void TestHostileFiles::storing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("stored");
    const QByteArray comment = QStringLiteral("; 编辑器里的注释 ✓").toUtf8();
    QTest::newRow("UTF-8 with BOM, CR LF") << "\xEF\xBB\xBF" + comment + "\r\n" + Utf8("\r\n") << true;
    QTest::newRow("UTF-8 without BOM, LF") << comment + "\n" + Utf8("\n") << true;
    QTest::newRow("UTF-16 with BOM") << Utf16Le(ParameterText()) << false;
    QTest::newRow("binary") << QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0[File_DK618]\n", 22) << false;
}

void TestHostileFiles::storing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, stored);
    QVERIFY(WriteFile(path_, bytes));
    fillPages();
    window_->fields().setText(QStringLiteral("Dk618_Address"), QStringLiteral("4321"));
    window_->fields().setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("8765"));
    const QMap<QString, QString> page = snapshot();
    storeBoth(path_);
    const QByteArray now = ReadFile(path_);
    if (!stored) {
        QCOMPARE(errors_->errors.size(), 2);
        for (const QString &e : std::as_const(errors_->errors))
            QVERIFY2(e.startsWith(QStringLiteral("无法写入文件：%1（").arg(path_)), qPrintable(e));
        QCOMPARE(child<QLabel>(*window_, QStringLiteral("StatusPanel2"))->text(), QStringLiteral("正在存储文档..."));
        QCOMPARE(now, bytes);
        return;
    }
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QStringDecoder utf8(QStringDecoder::Utf8);
    utf8.decode(now);
    QVERIFY(!utf8.hasError());
    QCOMPARE(now.startsWith("\xEF\xBB\xBF"), bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(now.contains(QStringLiteral("设备地址=4321").toUtf8()) && now.contains(QStringLiteral("设备地址=8765").toUtf8()));
    QVERIFY(now.contains(QStringLiteral("传输方式=透明").toUtf8()));
    // The same lines in the same order: only values changed.
    const QList<QByteArray> was = bytes.split('\n'), is = now.split('\n');
    QCOMPARE(is.size(), was.size());
    for (qsizetype i = 0; i < was.size(); ++i)
        QCOMPARE(is[i].split('=').front(), was[i].split('=').front());

    fillPages();
    loadBoth(path_);
    QCOMPARE(snapshot(), page);
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
