#include "common/errors.h"
#include "common/gbktexts.h"
#include "common/inifile.h"
#include "scratchdisk.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

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


// The data-radio section of a parameter file with n key lines.
QByteArray SectionOf(int keys)
{
    QByteArray bytes = "[File_DK618]\r\n";
    for (int i = 0; i < keys; ++i)
        bytes += "key" + QByteArray::number(i) + "=" + QByteArray::number(4300000 + 250 * i) + "\r\n";
    return bytes;
}

QStringList FilesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
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

    // A text cut in the middle of a double-byte character keeps a stand-in
    // for the broken byte wherever the cut falls, also at the very end: a
    // dropped byte let a stored free text end in a blank that reading trims.
    void cutCharacterKeepsAStandIn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("at the end") << QByteArray("9\t\xB4") << QStringLiteral("9\t\uFFFD");
        QTest::newRow("before a blank") << QByteArray("9\xB4\t") << QStringLiteral("9\uFFFD\t");
        QTest::newRow("whole character") << QByteArray("\xD0\xC5") << QStringLiteral("信");
    }

    void cutCharacterKeepsAStandIn()
    {
        if (!GbkCodecAvailable())
            QSKIP("no GBK codec on this system");
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(DecodeGbk(bytes), text);
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

    // Each line end style is read alike, and what is added to a file ends
    // its lines the way the file does.
    void lineEndsAreReadAndKept_data()
    {
        QTest::addColumn<QByteArray>("br");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }
    void lineEndsAreReadAndKept()
    {
        QFETCH(QByteArray, br);
        const auto lines = [&](QList<QByteArray> list) { return list.join(br) + br; };
        const QString path = dir_->filePath("breaks.ini");
        WriteFile(path, lines({"[Other]", "a=1", "", "[S]", "k=old", "; note", "m = 2", "[T]", "z=9"}));
        IniDocument doc = IniDocument::load(path);
        QCOMPARE(doc.value("S", "k", "?"), QByteArray("old"));
        QCOMPARE(doc.value("S", "m", "?"), QByteArray("2"));
        QCOMPARE(doc.value("T", "z", "?"), QByteArray("9"));
        QCOMPARE(doc.value("S", "a", "?"), QByteArray("?"));
        doc.setValue("S", "k", "new");
        doc.setValue("S", "added", "3");
        doc.setValue("U", "u", "4");
        doc.save();
        QCOMPARE(ReadFile(path), lines({"[Other]", "a=1", "", "[S]", "k=new", "; note", "m = 2", "added=3", "[T]", "z=9",
                                        "[U]", "u=4"}));
    }

    // Files that are not regular ones are refused before anything waits on
    // them: a pipe would block the open, a device would never end.
    void onlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe") << "fifo" << "不是普通文件";
        QTest::newRow("endless device") << "/dev/zero" << "不是普通文件";
        QTest::newRow("folder") << "folder" << "这是一个文件夹";
    }
    void onlyRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QString path = kind;
        if (kind == "fifo") {
            path = dir_->filePath("pipe.ini");
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "folder") {
            path = dir_->filePath("folder.ini");
            QVERIFY(QDir(dir_->path()).mkdir("folder.ini"));
        }
        const QString native = QDir::toNativeSeparators(path);
        QCOMPARE(ErrorOf([&] { IniDocument::load(path); }), QStringLiteral("无法读取文件：%1（%2）").arg(native, reason));
        IniDocument doc = IniDocument::fromBytes(path, "[S]\r\nk=1\r\n");
        QCOMPARE(ErrorOf([&] { doc.save(); }), QStringLiteral("无法写入文件：%1（%2）").arg(native, reason));
        // Not replaced by a plain file, no temporary left.
        QVERIFY(QFileInfo::exists(path) && !QFileInfo(path).isFile());
        QCOMPARE(FilesIn(dir_->path()), kind == "fifo" ? QStringList{"pipe.ini"} : QStringList{});
    }

    void largeFilesAreRefusedBeforeReading()
    {
        const QString path = dir_->filePath("big.ini");
        QByteArray bytes = SectionOf(3);
        bytes += QByteArray(IniDocument::kMaxFileSize - bytes.size(), ';');
        WriteFile(path, bytes);
        QCOMPARE(IniDocument::load(path).value("File_DK618", "key2", "?"), QByteArray("4300500")); // at the limit
        WriteFile(path, bytes + "x");
        const QString msg = ErrorOf([&] { IniDocument::load(path); });
        QCOMPARE(msg, QStringLiteral("无法读取文件：%1（文件过大：1048577 字节，参数文件最大 1 MiB）")
                          .arg(QDir::toNativeSeparators(path)));
    }

    void encodingOfTheBytes_data()
    {
        using E = IniDocument::Encoding;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::newRow("empty") << QByteArray() << int(E::Gbk);
        QTest::newRow("ASCII") << QByteArray("[File_DK618]\r\nkey=1\r\n") << int(E::Gbk);
        QTest::newRow("GBK keys") << "[File_DK618]\r\n" + gbk::KeyDeviceAddress + "=1\r\n" << int(E::Gbk);
        QTest::newRow("UTF-8") << QStringLiteral("[File_DK618]\n设备地址=1\n").toUtf8() << int(E::Utf8);
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF[S]\n") << int(E::Utf8Bom);
        QTest::newRow("BOM before GBK bytes") << "\xEF\xBB\xBF" + gbk::KeyDeviceAddress << int(E::Utf8Bom);
        QTest::newRow("overlong form") << QByteArray("k=\xC0\xAF") << int(E::Gbk);
        QTest::newRow("surrogate") << QByteArray("k=\xED\xA0\x80") << int(E::Gbk);
        QTest::newRow("beyond U+10FFFF") << QByteArray("k=\xF4\x90\x80\x80") << int(E::Gbk);
        QTest::newRow("UTF-8 cut at the end") << QStringLiteral("k=信").toUtf8().chopped(1) << int(E::Gbk);
        QTest::newRow("NUL byte") << Bytes("[S]\nk=\0\n") << int(E::NotText);
        QTest::newRow("UTF-16 LE BOM") << QByteArray("\xFF\xFE[") << int(E::NotText);
        QTest::newRow("UTF-16 BE BOM") << QByteArray("\xFE\xFF") << int(E::NotText);
    }
    void encodingOfTheBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QCOMPARE(int(IniDocument::fromBytes("x.ini", bytes).encoding()), encoding);
    }

    // A UTF-8 document answers GBK names with GBK values and takes GBK
    // values as UTF-8 bytes, keeping its byte-order mark.
    void utf8DocumentsSpeakGbk()
    {
        if (!GbkCodecAvailable())
            QSKIP("no GBK codec in this Qt build");
        const QByteArray file = QStringLiteral("\uFEFF[File_DK618]\r\n传输方式=透明\r\n[其它]\r\n键=值\r\n").toUtf8();
        QVERIFY(file.startsWith("\xEF\xBB\xBF"));
        IniDocument doc = IniDocument::fromBytes("x.ini", file);
        QCOMPARE(doc.value("File_DK618", gbk::KeyTransferMode, "?"), gbk::ValueTransparent);
        QCOMPARE(doc.value(EncodeGbk(QStringLiteral("其它")), EncodeGbk(QStringLiteral("键")), "?"), EncodeGbk(QStringLiteral("值")));
        doc.setValue("File_DK618", gbk::KeyTransferMode, gbk::ValueProtocol);
        doc.setValue("File_DK618", gbk::KeyAddressMode, gbk::ValueValid);
        doc.setValue(gbk::SectionMlr4800, gbk::KeyUnitAddress, "12");
        QCOMPARE(doc.bytes(), QStringLiteral("\uFEFF[File_DK618]\r\n传输方式=协议\r\n地址模式=有效\r\n[其它]\r\n键=值\r\n"
                                             "[File_MLR4800]\r\n设备地址=12\r\n").toUtf8());
        QCOMPARE(doc.value("File_DK618", gbk::KeyAddressMode, "?"), gbk::ValueValid);
        // A byte-order mark alone: the new section starts the first line.
        IniDocument bare = IniDocument::fromBytes("x.ini", "\xEF\xBB\xBF");
        bare.setValue("S", "k", "1");
        QCOMPARE(bare.bytes(), QByteArray("\xEF\xBB\xBF[S]\r\nk=1\r\n"));
    }

    // A name the file cannot carry would be written and never found again:
    // refused, the document unchanged. Blanks around a value are the one
    // thing that does not read back, by design.
    void namesThatDoNotReadBackAreRefused_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("stored");
        QTest::newRow("plain") << QByteArray("S") << QByteArray("k") << true;
        QTest::newRow("empty key") << QByteArray("S") << QByteArray() << true;
        QTest::newRow("section with ]") << QByteArray("a]b") << QByteArray("k") << true;
        QTest::newRow("key with blanks around") << QByteArray("S") << QByteArray(" k ") << false;
        QTest::newRow("key read as a comment") << QByteArray("S") << QByteArray(";k") << false;
        QTest::newRow("key read as a header") << QByteArray("S") << QByteArray("[k]") << false;
        QTest::newRow("key of a bracket") << QByteArray("S") << QByteArray("[k") << false;
        QTest::newRow("section blanks kept") << QByteArray(" T") << QByteArray("k") << true;
        QTest::newRow("section ending in a lead byte") << QByteArray("a\x81") << QByteArray("k") << false;
    }
    void namesThatDoNotReadBackAreRefused()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(bool, stored);
        const QByteArray start = "[S]\r\nx=1\r\n[T]\r\n";
        IniDocument doc = IniDocument::fromBytes("x.ini", start);
        const QString msg = ErrorOf([&] { doc.setValue(section, key, "  v w\t"); });
        QCOMPARE(msg.isEmpty(), stored);
        if (stored) {
            QCOMPARE(doc.value(section, key, "?"), QByteArray("v w"));
            return;
        }
        QCOMPARE(doc.bytes(), start);
        QCOMPARE(doc.value("S", "x", "?"), QByteArray("1"));
        doc.setValue("T", "y", "2"); // the index is still that of the bytes
        QCOMPARE(doc.bytes(), start + "y=2\r\n");
    }

    // The index kept up to date through edits must agree with a fresh
    // parse of the edited bytes.
    void editsKeepTheIndexTrue()
    {
        QRandomGenerator rng(6);
        const QList<QByteArray> names = {"S", "T", "s", "k", "K", "\xB5\xD8", ""};
        const QList<QByteArray> lines = {"[S]", "[T]", "[s]", "k = v", "K=", "\xB5\xD8=1", "; c", "no equals", "", "[S"};
        const QList<QByteArray> values = {"", "1", "  spaced  ", "v=w", "4330000"};
        for (int round = 0; round < 200; ++round) {
            const QByteArray br = QList<QByteArray>{"\r\n", "\n", "\r"}[rng.bounded(3)];
            QByteArray start;
            for (int i = 0, n = rng.bounded(8); i < n; ++i)
                start += lines[rng.bounded(lines.size())] + br;
            IniDocument doc = IniDocument::fromBytes("x.ini", start);
            for (int edit = 0; edit < 6; ++edit) {
                doc.setValue(names[rng.bounded(3)], names[3 + rng.bounded(names.size() - 3)], values[rng.bounded(values.size())]);
                const IniDocument fresh = IniDocument::fromBytes("x.ini", doc.bytes());
                for (const QByteArray &section : names)
                    for (const QByteArray &key : names)
                        QVERIFY2(doc.value(section, key, "?") == fresh.value(section, key, "?"), doc.bytes().toHex(' ').constData());
            }
        }
    }

    // A store on a full disk, or into a writable file in a folder that
    // refuses a temporary, either succeeds or fails with a message and
    // leaves the old file byte for byte.
    void failedStoreKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("oldKeys");
        QTest::addColumn<int>("newKeys");
        QTest::addColumn<bool>("lockedFolder");
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("483-byte file, full disk") << 20 << 21 << false << true;
        QTest::newRow("10 KB file, full disk") << 420 << 421 << false << true;
        QTest::newRow("locked folder, grows") << 20 << 40 << true << false;
        QTest::newRow("locked folder, shrinks") << 40 << 5 << true << false;
        QTest::newRow("locked folder, grows on a full disk") << 20 << 600 << true << true;
        QTest::newRow("locked folder, shrinks on a full disk") << 40 << 5 << true << true;
    }
    void failedStoreKeepsTheOldFile()
    {
        QFETCH(int, oldKeys);
        QFETCH(int, newKeys);
        QFETCH(bool, lockedFolder);
        QFETCH(bool, diskFull);
        SmallDisk disk(dir_->filePath("disk"));
        if (!disk.mounted)
            QSKIP(qPrintable("a small tmpfs cannot be mounted here: " + disk.error));
        const QString path = disk.filePath("radio.ini");
        const QByteArray old = SectionOf(oldKeys);
        WriteFile(path, old);
        const IniDocument doc = IniDocument::fromBytes(path, SectionOf(newKeys));
        if (diskFull)
            QVERIFY(disk.fill());
        QString msg;
        if (lockedFolder) {
            QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
            QVERIFY(QFile::setPermissions(disk.folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
            AsNobody nobody;
            QVERIFY2(nobody.bound(), "cannot run as another user: the folder would not be locked");
            QVERIFY(!QFile(disk.filePath("probe")).open(QIODevice::WriteOnly));
            msg = ErrorOf([&] { doc.save(); });
        } else {
            msg = ErrorOf([&] { doc.save(); });
        }
        QCOMPARE(FilesIn(disk.folder), (diskFull ? QStringList{"filler", "radio.ini"} : QStringList{"radio.ini"}));
        if (!diskFull || (lockedFolder && newKeys < oldKeys)) {
            QVERIFY2(msg.isEmpty(), qPrintable(msg));
            QCOMPARE(ReadFile(path), doc.bytes());
            return;
        }
        QVERIFY2(msg.startsWith(QStringLiteral("无法写入文件：%1（").arg(path)), qPrintable(msg));
        QCOMPARE(ReadFile(path), old);
        QFile::remove(disk.filePath("filler"));
        doc.save();
        QCOMPARE(ReadFile(path), doc.bytes());
    }

private:
    std::optional<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
