#include "common/errors.h"
#include "common/gbktexts.h"
#include "common/inifile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace qm;

namespace {

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A literal with embedded NULs, all of it.
template <qsizetype N>
QByteArray Bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

// Runs fn, which must throw Error; returns its message.
template <typename Fn>
QString ErrorOf(Fn fn)
{
    try {
        fn();
    } catch (const Error &e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    // A fresh folder per test, so a test can count what is left in it.
    void init()
    {
        dir_.emplace();
        QVERIFY(dir_->isValid());
    }

    void roundTripAllKeys()
    {
        const QString path = dir_->filePath("dk618.ini");
        QList<QByteArray> keys;
        for (int ch = 0; ch < 10; ++ch)
            keys << gbk::TxFreqKeys[ch] << gbk::RxFreqKeys[ch];
        keys << gbk::KeyCurrentChannel << gbk::KeyDeviceAddress << gbk::KeyTransferMode
             << gbk::KeyAddressMode << gbk::KeyBaudRate << gbk::KeyParity << gbk::KeyAirRate
             << gbk::KeyRelayMode;
        const auto valueFor = [](int i) {
            return i % 3 == 0 ? gbk::ValueEvenParity + QByteArray::number(i)
                              : QByteArray::number(4300000 + 250 * i);
        };
        IniDocument doc = IniDocument::load(path);
        doc.setValue("Other", "x", "1");
        for (int i = 0; i < keys.size(); ++i)
            doc.setValue(gbk::SectionDk618, keys[i], valueFor(i));
        doc.save();

        const IniDocument back = IniDocument::load(path);
        QCOMPARE(back.bytes(), ReadFile(path));
        qsizetype lastPos = -1;
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(back.value(gbk::SectionDk618, keys[i], "?"), valueFor(i));
            // Keys land in the order they were first set, under one header.
            const qsizetype pos = back.bytes().indexOf("\n" + keys[i] + "=");
            QVERIFY2(pos > lastPos, keys[i].toHex().constData());
            lastPos = pos;
        }
        QCOMPARE(back.bytes().count("[File_DK618]"), 1);
        QCOMPARE(back.value("Other", "x", "?"), QByteArray("1"));
    }

    void gbkBytesOnDisk()
    {
        const QString path = dir_->filePath("new.ini");
        IniDocument doc = IniDocument::load(path);
        doc.setValue(gbk::SectionDk618, gbk::TxFreqKeys[0], "4330000");
        doc.save();
        QCOMPARE(ReadFile(path), QByteArray("[File_DK618]\r\n"
                                            "\xD0\xC5\xB5\xC0" "0\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"
                                            "=4330000\r\n"));
    }

    void updateInPlace_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray tmpl = "; saved by hand%1[Other]%1k=keep%1%1[S]%1; table%1 K = OLD %1next=1%1";
        for (const char *br : {"\r\n", "\n"}) {
            QByteArray before = tmpl;
            before.replace("%1", br);
            QByteArray after = before;
            after.replace("OLD", "4350000");
            QTest::addRow("%s", br[0] == '\r' ? "CRLF" : "LF") << before << after;
        }
        QTest::newRow("mixed breaks") << QByteArray("[S]\na=1\r\nK=OLD\n\r\nz=2\r\n")
                                      << QByteArray("[S]\na=1\r\nK=4350000\n\r\nz=2\r\n");
        QTest::newRow("empty value") << QByteArray("[S]\r\nk=  \r\n") << QByteArray("[S]\r\nk=4350000\r\n");
        QTest::newRow("first of two") << QByteArray("[S]\nk=a\nk=b\n") << QByteArray("[S]\nk=4350000\nk=b\n");
        QTest::newRow("no final newline") << QByteArray("[S]\r\nk=OLD") << QByteArray("[S]\r\nk=4350000");
    }
    void updateInPlace()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString path = dir_->filePath("update.ini");
        WriteFile(path, before);
        IniDocument doc = IniDocument::load(path);
        doc.setValue("s", "k", "4350000");
        doc.save();
        QCOMPARE(ReadFile(path), after);
    }

    void addEntry_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("before later section")
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n")
            << QByteArray("[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
        QTest::newRow("comment before next section stays there")
            << QByteArray("[A]\r\nx=1\r\n; about B\r\n[B]\r\n")
            << QByteArray("[A]\r\nx=1\r\nz=3\r\n; about B\r\n[B]\r\n");
        QTest::newRow("empty section, LF") << QByteArray("[A]\n[B]\n") << QByteArray("[A]\nz=3\n[B]\n");
        QTest::newRow("no final newline") << QByteArray("[A]\r\nx=1") << QByteArray("[A]\r\nx=1\r\nz=3");
        QTest::newRow("new file") << QByteArray() << QByteArray("[A]\r\nz=3\r\n");
        QTest::newRow("new section, LF") << QByteArray("[B]\ny=2\n") << QByteArray("[B]\ny=2\n[A]\nz=3\n");
        QTest::newRow("new section after unterminated line")
            << QByteArray("[B]\r\ny=2") << QByteArray("[B]\r\ny=2\r\n[A]\r\nz=3\r\n");
        QTest::newRow("key outside any section is not A's")
            << QByteArray("z=9\r\n") << QByteArray("z=9\r\n[A]\r\nz=3\r\n");
    }
    void addEntry()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString path = dir_->filePath("add.ini");
        if (!before.isEmpty())
            WriteFile(path, before);
        IniDocument doc = IniDocument::load(path);
        doc.setValue("A", "z", "3");
        QCOMPARE(doc.bytes(), after);
        QCOMPARE(doc.value("A", "z", "?"), QByteArray("3"));
        QCOMPARE(doc.value("B", "z", "?"), QByteArray("?"));
    }

    void matching_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected"); // "?" is the default
        QTest::newRow("section case") << QByteArray("[File_DK618]\nk=1\n") << QByteArray("file_dk618") << QByteArray("k") << QByteArray("1");
        QTest::newRow("key case") << QByteArray("[S]\nKEY=1\n") << QByteArray("S") << QByteArray("Key") << QByteArray("1");
        // 0x81 0x41 and 0x81 0x61 are two different characters: no case folding
        // of a trail byte.
        QTest::newRow("GBK trail not folded") << QByteArray("[S]\n\x81\x41=1\n") << QByteArray("S") << QByteArray("\x81\x61") << QByteArray("?");
        QTest::newRow("GBK exact") << QByteArray("[S]\n\x81\x41=1\n") << QByteArray("S") << QByteArray("\x81\x41") << QByteArray("1");
        QTest::newRow("trail byte is ]") << QByteArray("[\x81]]\nk=1\n") << QByteArray("\x81]") << QByteArray("k") << QByteArray("1");
        QTest::newRow("blanks and tabs") << QByteArray(" [S] \r\n\t k \t=\t v w \t\r\n") << QByteArray("S") << QByteArray("k") << QByteArray("v w");
        QTest::newRow("first key wins") << QByteArray("[S]\nk=1\nk=2\n") << QByteArray("S") << QByteArray("k") << QByteArray("1");
        QTest::newRow("repeated section") << QByteArray("[S]\na=1\n[T]\nk=0\n[S]\nk=2\n") << QByteArray("S") << QByteArray("k") << QByteArray("2");
        QTest::newRow("other section") << QByteArray("[T]\nk=1\n[S]\n") << QByteArray("S") << QByteArray("k") << QByteArray("?");
        QTest::newRow("comment") << QByteArray("[S]\n;k=1\n") << QByteArray("S") << QByteArray("k") << QByteArray("?");
        QTest::newRow("empty value") << QByteArray("[S]\nk=\n") << QByteArray("S") << QByteArray("k") << QByteArray("");
        QTest::newRow("prefix only") << QByteArray("[SS]\nkk=1\n") << QByteArray("S") << QByteArray("k") << QByteArray("?");
    }
    void matching()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        const QString path = dir_->filePath("match.ini");
        WriteFile(path, content);
        IniDocument doc = IniDocument::load(path);
        QCOMPARE(doc.value(section, key, "?"), expected);
        // Writing must find the same line reading finds.
        doc.setValue(section, key, "NEW");
        QCOMPARE(doc.value(section, key, "?"), QByteArray("NEW"));
        QCOMPARE(doc.bytes().count("NEW"), 1);
    }

    void missingFileIsEmpty()
    {
        const QString path = dir_->filePath("absent.ini");
        const IniDocument doc = IniDocument::load(path);
        QCOMPARE(doc.path(), path);
        QVERIFY(doc.bytes().isEmpty());
        QCOMPARE(doc.value(gbk::SectionDk618, gbk::KeyDeviceAddress, "def"), QByteArray("def"));
        QVERIFY(!QFile::exists(path));
    }

    void unreadableFileThrows()
    {
        const QString path = dir_->filePath("folder.ini");
        QVERIFY(QDir(dir_->path()).mkdir("folder.ini"));
        const QString msg = ErrorOf([&] { IniDocument::load(path); });
        QVERIFY2(msg.startsWith(QStringLiteral("无法读取文件：")), qPrintable(msg));
        QVERIFY2(msg.contains(QDir::toNativeSeparators(path)), qPrintable(msg));
    }

    // The write bit is checked explicitly, so this fails for root as well.
    void readOnlyFileThrows()
    {
        const QString path = dir_->filePath("ro.ini");
        const QByteArray old = "[S]\r\nk=1\r\n";
        WriteFile(path, old);
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        IniDocument doc = IniDocument::load(path);
        doc.setValue("S", "k", "2");
        const QString msg = ErrorOf([&] { doc.save(); });
        QVERIFY2(msg.startsWith(QStringLiteral("无法写入文件：")), qPrintable(msg));
        QVERIFY2(msg.contains(QDir::toNativeSeparators(path)), qPrintable(msg));
        QCOMPARE(ReadFile(path), old);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
    }

    void missingFolderThrows()
    {
        const QString path = dir_->filePath("no/such/dir/x.ini");
        IniDocument doc = IniDocument::load(path);
        doc.setValue("S", "k", "1");
        const QString msg = ErrorOf([&] { doc.save(); });
        QVERIFY2(msg.contains(QDir::toNativeSeparators(path)), qPrintable(msg));
        QVERIFY(!QFileInfo::exists(dir_->filePath("no")));
    }

    void badNamesThrow_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("newline in value") << QByteArray("S") << QByteArray("k") << QByteArray("1\r\n[X]");
        QTest::newRow("= in key") << QByteArray("S") << QByteArray("a=b") << QByteArray("1");
        QTest::newRow("newline in section") << QByteArray("S]\n[T") << QByteArray("k") << QByteArray("1");
    }
    void badNamesThrow()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        IniDocument doc = IniDocument::load(dir_->filePath("bad.ini"));
        QVERIFY(!ErrorOf([&] { doc.setValue(section, key, value); }).isEmpty());
        QVERIFY(doc.bytes().isEmpty());
    }

    void garbageNeverBreaks_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("lone bracket") << QByteArray("[");
        QTest::newRow("lead byte at end") << QByteArray("[S]\nk=\x81");
        QTest::newRow("lead byte eats ]") << QByteArray("[S\x81]\nk=1\n");
        QTest::newRow("NULs and CRs") << Bytes("\0[S]\r\r\0k\0=\0\r");
        QTest::newRow("header with tail") << QByteArray("[S]junk]\n=\n=x\n[]\n");
        // Bytes drawn mostly from the characters the parser reacts to.
        QRandomGenerator rng(20240618);
        const QByteArray alphabet = Bytes("[]=;\r\n \tSsk\x81\xFE\x00\xFF");
        for (int n = 0; n < 20; ++n) {
            QByteArray junk;
            for (int i = 0, len = rng.bounded(1, 80); i < len; ++i)
                junk.append(alphabet[rng.bounded(alphabet.size())]);
            QTest::addRow("random %d", n) << junk;
        }
    }
    void garbageNeverBreaks()
    {
        QFETCH(QByteArray, content);
        const QString path = dir_->filePath("junk.ini");
        WriteFile(path, content);
        IniDocument doc = IniDocument::load(path);
        QCOMPARE(doc.bytes(), content);
        doc.value("S", "k", "?");
        doc.setValue("S", "k", "V1");
        QCOMPARE(doc.value("S", "k", "?"), QByteArray("V1"));
        doc.save();
        QCOMPARE(IniDocument::load(path).value("S", "k", "?"), QByteArray("V1"));
    }

    void gbkConstants_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        for (int ch = 0; ch < 10; ++ch) {
            QTest::addRow("tx%d", ch) << gbk::TxFreqKeys[ch] << QStringLiteral("信道%1发射频率").arg(ch);
            QTest::addRow("rx%d", ch) << gbk::RxFreqKeys[ch] << QStringLiteral("信道%1接收频率").arg(ch);
        }
        const QList<std::pair<QByteArray, QString>> fixed = {
            {gbk::KeyCurrentChannel, "当前信道"}, {gbk::KeyDeviceAddress, "设备地址"},
            {gbk::KeyTransferMode, "传输方式"}, {gbk::KeyAddressMode, "地址模式"},
            {gbk::KeyBaudRate, "设备通讯速率"}, {gbk::KeyParity, "设备校验方式"},
            {gbk::KeyAirRate, "无线速率"}, {gbk::KeyRelayMode, "中转方式"},
            {gbk::ValueTransparent, "透明"}, {gbk::ValueProtocol, "协议"},
            {gbk::ValueInvalid, "无效"}, {gbk::ValueValid, "有效"},
            {gbk::ValueNoParity, "无校验"}, {gbk::ValueEvenParity, "偶校验"},
            {gbk::ValueOddParity, "奇校验"},
            {gbk::KeyUplinkTxFreq, "上行发射频率"}, {gbk::KeyUplinkRxFreq, "上行接收频率"},
            {gbk::KeyBaseTxFreq, "基站发射频率"}, {gbk::KeyBaseRxFreq, "基站接收频率"},
            {gbk::KeyUnitAddress, "设备地址"}, {gbk::KeyUnitBaudRate, "设备通讯速率"},
            {gbk::KeyUnitAirRate, "设备空中速率"},
            {gbk::SectionDk618, "File_DK618"}, {gbk::SectionMlr4800, "File_MLR4800"},
        };
        int row = 0;
        for (const auto &[bytes, text] : fixed)
            QTest::addRow("%d %s", row++, qPrintable(text)) << bytes << text;
    }
    void gbkConstants()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        if (!GbkCodecAvailable())
            QSKIP("no GBK codec in this Qt build");
        QCOMPARE(EncodeGbk(text), bytes);
        QCOMPARE(DecodeGbk(bytes), text);
    }

    void textHelpersKeepAscii()
    {
        const QByteArray ascii = "19200 Abc=;[]";
        QCOMPARE(DecodeGbk(ascii), QString::fromLatin1(ascii));
        QCOMPARE(EncodeGbk(QString::fromLatin1(ascii)), ascii);
        QCOMPARE(DecodeGbk("a\x81\x41" "b").front(), QChar('a'));
        QCOMPARE(DecodeGbk("a\x81\x41" "b").back(), QChar('b'));
    }

private:
    std::optional<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
