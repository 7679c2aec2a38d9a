// Parameter files as users and accidents make them: re-saved by a text
// editor in another encoding, cut short, doubled, huge or not text at all.
// Both pages load them through the real window; a file is either loaded as
// meant or refused with a message that leaves the page as it was, and a
// store never damages a file it cannot write in its own encoding.
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
using Pairs = QList<std::pair<QByteArray, QByteArray>>;

// The two sections of a parameter file, with values that differ from every
// default, as GBK bytes.
Pairs RadioPairs()
{
    Pairs p;
    for (int i = 0; i < 10; ++i) {
        p.append({gbk::TxFreqKeys[i], QByteArray::number(4300000 + 250 * i)});
        p.append({gbk::RxFreqKeys[i], QByteArray::number(4400000 + 500 * i)});
    }
    p.append({gbk::KeyCurrentChannel, "7"});
    p.append({gbk::KeyDeviceAddress, "300"});
    p.append({gbk::KeyTransferMode, gbk::ValueProtocol});
    p.append({gbk::KeyAddressMode, gbk::ValueValid});
    p.append({gbk::KeyBaudRate, "4800"});
    p.append({gbk::KeyParity, gbk::ValueEvenParity});
    p.append({gbk::KeyAirRate, "9600"});
    p.append({gbk::KeyRelayMode, gbk::ValueValid});
    return p;
}

Pairs SubscriberPairs()
{
    return {{gbk::KeyUplinkTxFreq, "4330000"}, {gbk::KeyUplinkRxFreq, "4380250"}, {gbk::KeyBaseTxFreq, "4330500"},
            {gbk::KeyBaseRxFreq, "4380750"},   {gbk::KeyUnitAddress, "1234"},      {gbk::KeyUnitBaudRate, "9600"},
            {gbk::KeyUnitAirRate, "9600B"}};
}

QByteArray Section(const QByteArray &name, const Pairs &pairs, const QByteArray &br)
{
    QByteArray bytes = '[' + name + ']' + br;
    for (const auto &[key, value] : pairs)
        bytes += key + '=' + value + br;
    return bytes;
}

QByteArray ParameterFile(const QByteArray &br = "\r\n")
{
    return Section(gbk::SectionDk618, RadioPairs(), br) + br + Section(gbk::SectionMlr4800, SubscriberPairs(), br);
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

// What a text editor writes when told to save a GBK file as UTF-8; the
// texts are spelt out here, not converted, so no codec is needed.
QByteArray Utf8ParameterFile(const QByteArray &br)
{
    QString text = QStringLiteral("[File_DK618]\n");
    for (int i = 0; i < 10; ++i) {
        text += QStringLiteral("信道%1发射频率=%2\n").arg(i).arg(4300000 + 250 * i);
        text += QStringLiteral("信道%1接收频率=%2\n").arg(i).arg(4400000 + 500 * i);
    }
    text += QStringLiteral("当前信道=7\n设备地址=300\n传输方式=协议\n地址模式=有效\n设备通讯速率=4800\n"
                           "设备校验方式=偶校验\n无线速率=9600\n中转方式=有效\n\n[File_MLR4800]\n"
                           "上行发射频率=4330000\n上行接收频率=4380250\n基站发射频率=4330500\n基站接收频率=4380750\n"
                           "设备地址=1234\n设备通讯速率=9600\n设备空中速率=9600B\n");
    return text.toUtf8().replace("\n", br);
}

QByteArray Utf16Le(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray bytes("\xFF\xFE");
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}
} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void editorUtf8FilesLoadAsMeant_data();
    void editorUtf8FilesLoadAsMeant();
    void hostileFiles_data();
    void hostileFiles();
    void storingKeepsTheFileEncoding_data();
    void storingKeepsTheFileEncoding();
    void storingRefusesFilesThatAreNotText_data();
    void storingRefusesFilesThatAreNotText();

private:
    // Every field, list and button state of both pages, by control name.
    QMap<QString, QString> snapshot() const;
    // Fills both pages with values no test file holds.
    void fillPages();
    // Loads path into both pages through their buttons.
    void loadBoth(const QString &path);
    // The pages as the plain GBK parameter file loads them.
    QMap<QString, QString> meant();
    QString memo() const { return child<QPlainTextEdit>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
    QString path_;
};

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
    for (QWidget *page : {static_cast<QWidget *>(window_->dk618Page()), static_cast<QWidget *>(window_->mlr4800Page())}) {
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
    f.setChecked(QStringLiteral("TransparentMode"), true);
    f.setChecked(QStringLiteral("Select_ANI_Invalid"), true);
    f.setItemIndex(QStringLiteral("Dk618_Baudrate"), 1);
    f.setItemIndex(QStringLiteral("Dk618_Checkmode"), 2);
    f.setChecked(QStringLiteral("AirRate19200"), true);
    f.setChecked(QStringLiteral("TransMode"), false);
    f.setItemIndex(QStringLiteral("Mlr4800ComRate"), 4);
    f.setItemIndex(QStringLiteral("Mlr4800_Airrate"), 0);
}

void TestHostileFiles::loadBoth(const QString &path)
{
    prompts_->fileNames.enqueue(path);
    child<QPushButton>(*window_, QStringLiteral("Dk618_Read_File"))->click();
    prompts_->fileNames.enqueue(path);
    child<QPushButton>(*window_, QStringLiteral("Mlr4800_ReadFile"))->click();
}

QMap<QString, QString> TestHostileFiles::meant()
{
    const QString reference = dir_->filePath(QStringLiteral("reference.ini"));
    if (!WriteFile(reference, ParameterFile()))
        return {};
    fillPages();
    loadBoth(reference);
    return snapshot();
}

// A parameter file re-saved as UTF-8 by a text editor, with or without a
// byte-order mark, loads the values it holds, not the defaults.
void TestHostileFiles::editorUtf8FilesLoadAsMeant_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-8 with BOM, CR LF") << "\xEF\xBB\xBF" + Utf8ParameterFile("\r\n");
    QTest::newRow("UTF-8 with BOM, LF") << "\xEF\xBB\xBF" + Utf8ParameterFile("\n");
    QTest::newRow("UTF-8 without BOM, CR LF") << Utf8ParameterFile("\r\n");
    QTest::newRow("UTF-8 without BOM, LF") << Utf8ParameterFile("\n");
}

void TestHostileFiles::editorUtf8FilesLoadAsMeant()
{
    QFETCH(QByteArray, bytes);
    const QMap<QString, QString> expected = meant();
    QVERIFY(!expected.isEmpty());
    QVERIFY(WriteFile(path_, bytes));
    fillPages();
    const QMap<QString, QString> before = snapshot();
    QVERIFY(before != expected);
    loadBoth(path_);
    if (!GbkCodecAvailable()) {
        // Without a codec the keys cannot be matched: refused, page kept.
        QCOMPARE(errors_->errors.size(), 2);
        QVERIFY(errors_->errors[0].startsWith(QStringLiteral("无法读取文件：")));
        QCOMPARE(snapshot(), before);
        return;
    }
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QVERIFY(prompts_->messages.isEmpty());
    QCOMPARE(snapshot(), expected);
    QVERIFY(memo().endsWith(QStringLiteral("读取文档...\n读取结束！")));
}

// Outcomes: "meant" loads the values of the plain file, "defaults" what a
// file without the sections loads, "refused" an error naming the file and
// both pages untouched. A row may also name fields that differ from meant.
void TestHostileFiles::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QStringList>("differs"); // name=value pairs over "meant"

    const QByteArray crlf = ParameterFile("\r\n");
    QTest::newRow("CR LF") << crlf << "meant" << QStringList();
    QTest::newRow("LF") << ParameterFile("\n") << "meant" << QStringList();
    QTest::newRow("lone CR") << ParameterFile("\r") << "meant" << QStringList();
    QByteArray mixed = ParameterFile("\n");
    mixed.replace(gbk::KeyDeviceAddress + "=300\n", gbk::KeyDeviceAddress + "=300\r\n");
    QTest::newRow("CR LF and LF mixed") << mixed << "meant" << QStringList();
    QByteArray noFinal = crlf;
    noFinal.chop(2);
    QTest::newRow("no final newline") << noFinal << "meant" << QStringList();
    QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + Utf8ParameterFile("\r\n") << "meant" << QStringList();

    // Cut inside a double-byte character: the value "协议" loses its last
    // byte, and the file ends half-way through the last key.
    QByteArray cut = crlf;
    cut.replace(gbk::KeyTransferMode + '=' + gbk::ValueProtocol, gbk::KeyTransferMode + '=' + gbk::ValueProtocol.left(3));
    cut.truncate(cut.lastIndexOf(gbk::KeyUnitAirRate) + 5);
    QTest::newRow("GBK cut inside characters") << cut << "meant" << QStringList{"Mlr4800_Airrate=9600A #1"};
    QByteArray cutValue = crlf;
    cutValue.replace(gbk::KeyTransferMode + '=' + gbk::ValueProtocol, gbk::KeyTransferMode + '=' + gbk::ValueTransparent.left(3));
    // Anything but "透明" means protocol transfer, so address selection stays.
    QTest::newRow("GBK value cut to its lead byte") << cutValue << "meant" << QStringList();

    QByteArray repeatedKey = crlf;
    repeatedKey.replace(gbk::KeyDeviceAddress + "=300\r\n", gbk::KeyDeviceAddress + "=300\r\n" + gbk::KeyDeviceAddress + "=500\r\n");
    QTest::newRow("key repeated: the first counts") << repeatedKey << "meant" << QStringList();
    const Pairs radio = RadioPairs();
    const QByteArray split = Section(gbk::SectionDk618, radio.mid(0, 20), "\r\n") + Section("Other", {{"x", "1"}}, "\r\n")
        + Section(gbk::SectionDk618, radio.mid(20) + radio.mid(0, 2), "\r\n") + Section(gbk::SectionMlr4800, SubscriberPairs(), "\r\n");
    QTest::newRow("section repeated: keys from both") << split << "meant" << QStringList();

    QTest::newRow("empty") << QByteArray() << "defaults" << QStringList();
    QTest::newRow("other sections only") << Section("File_MLB4800", {{"a", "1"}}, "\r\n") << "defaults" << QStringList();
    QByteArray noise(4096, '\0');
    QRandomGenerator rng(4700);
    for (char &c : noise)
        c = char(rng.bounded(1, 256));
    QTest::newRow("garbage without NUL bytes") << noise << "defaults" << QStringList();

    QByteArray binary(4096, '\0');
    for (char &c : binary)
        c = char(rng.bounded(256));
    binary[100] = '\0';
    QTest::newRow("binary garbage") << binary << "refused" << QStringList();
    QTest::newRow("parameter file with a NUL byte") << crlf + QByteArray(1, '\0') << "refused" << QStringList();
    QTest::newRow("UTF-16 with BOM") << Utf16Le(Utf8ParameterFile("\r\n")) << "refused" << QStringList();
    QByteArray huge = crlf;
    huge += QByteArray(50 * 1024 * 1024, ';');
    QTest::newRow("50 MB") << huge << "refused" << QStringList();
}

void TestHostileFiles::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, outcome);
    QFETCH(QStringList, differs);
    QMap<QString, QString> expected = meant();
    QVERIFY(!expected.isEmpty());
    if (outcome == QLatin1String("defaults")) {
        QVERIFY(WriteFile(path_, QByteArray()));
        loadBoth(path_);
        expected = snapshot();
    }
    for (const QString &pair : differs)
        expected.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    QVERIFY(WriteFile(path_, bytes));
    fillPages();
    const QMap<QString, QString> before = snapshot();
    const QString memoBefore = memo();
    loadBoth(path_);

    if (outcome == QLatin1String("refused")) {
        QCOMPARE(errors_->errors.size(), 2);
        for (const QString &e : std::as_const(errors_->errors))
            QVERIFY2(e.startsWith(QStringLiteral("无法读取文件：%1（").arg(path_)), qPrintable(e));
        QCOMPARE(snapshot(), before);
        QVERIFY(!memo().mid(memoBefore.size()).contains(QStringLiteral("读取结束！")));
        return;
    }
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    QVERIFY(prompts_->messages.isEmpty());
    const QMap<QString, QString> got = snapshot();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(got.value(it.key()) == it.value(), qPrintable(QStringLiteral("%1: %2, expected %3").arg(it.key(), got.value(it.key()), it.value())));
}

// A store into a UTF-8 file writes UTF-8 and keeps the byte-order mark and
// every other byte; loading it again gives the page that was stored.
void TestHostileFiles::storingKeepsTheFileEncoding_data()
{
    QTest::addColumn<QByteArray>("bom");
    QTest::addColumn<QByteArray>("br");
    QTest::newRow("with BOM, CR LF") << QByteArray("\xEF\xBB\xBF") << QByteArray("\r\n");
    QTest::newRow("without BOM, LF") << QByteArray() << QByteArray("\n");
}

void TestHostileFiles::storingKeepsTheFileEncoding()
{
    if (!GbkCodecAvailable())
        QSKIP("no GBK codec: UTF-8 files are refused");
    QFETCH(QByteArray, bom);
    QFETCH(QByteArray, br);
    const QByteArray comment = QStringLiteral("; 编辑器里的注释 ✓").toUtf8() + br;
    const QByteArray original = bom + comment + Utf8ParameterFile(br);
    QVERIFY(WriteFile(path_, original));
    fillPages();
    window_->fields().setText(QStringLiteral("Dk618_Address"), QStringLiteral("4321"));
    window_->fields().setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("8765"));
    const QMap<QString, QString> stored = snapshot();
    for (const char *button : {"Dk618_Save_File", "Mlr4800_SaveFile"}) {
        prompts_->fileNames.enqueue(path_);
        child<QPushButton>(*window_, QLatin1String(button))->click();
    }
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join('\n')));
    const QByteArray bytes = ReadFile(path_);
    QVERIFY(bytes.startsWith(bom + comment));
    QStringDecoder utf8(QStringDecoder::Utf8);
    utf8.decode(bytes);
    QVERIFY(!utf8.hasError());
    QVERIFY(bytes.contains(QStringLiteral("设备地址=4321").toUtf8() + br));
    QVERIFY(bytes.contains(QStringLiteral("设备地址=8765").toUtf8() + br));
    QVERIFY(bytes.contains(QStringLiteral("传输方式=透明").toUtf8() + br));
    // The same lines in the same order: only values changed.
    const QList<QByteArray> was = original.split('\n'), now = bytes.split('\n');
    QCOMPARE(now.size(), was.size());
    for (qsizetype i = 0; i < was.size(); ++i)
        QCOMPARE(now[i].split('=').front(), was[i].split('=').front());
    QVERIFY(!bytes.contains("\xB5\xD8\xD6\xB7")); // no GBK key slipped in

    const QMap<QString, QString> expected = meant();
    QVERIFY(expected != stored);
    loadBoth(path_);
    QCOMPARE(snapshot(), stored);
}

// A file that is not GBK or UTF-8 text is left byte for byte as it was.
void TestHostileFiles::storingRefusesFilesThatAreNotText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-16 with BOM") << Utf16Le(Utf8ParameterFile("\r\n"));
    QTest::newRow("binary") << QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0[File_DK618]\n", 22);
}

void TestHostileFiles::storingRefusesFilesThatAreNotText()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(WriteFile(path_, bytes));
    for (const char *button : {"Dk618_Save_File", "Mlr4800_SaveFile"}) {
        prompts_->fileNames.enqueue(path_);
        child<QPushButton>(*window_, QLatin1String(button))->click();
        QCOMPARE(child<QLabel>(*window_, QStringLiteral("StatusPanel2"))->text(), QStringLiteral("正在存储文档..."));
    }
    QCOMPARE(errors_->errors.size(), 2);
    for (const QString &e : std::as_const(errors_->errors))
        QVERIFY2(e.startsWith(QStringLiteral("无法写入文件：%1（").arg(path_)), qPrintable(e));
    QCOMPARE(ReadFile(path_), bytes);
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
