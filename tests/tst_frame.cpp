// Frames, check bytes, the traffic echo and the integer conversion.
#include "common/errors.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/protocolstate.h"

#include <QtTest>

using namespace qm;

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void completesKnownFrames_data();
    void completesKnownFrames();
    void checkMakesWholeFrameXorZero();
    void echoGroupsBytesBySix_data();
    void echoGroupsBytesBySix();
    void ringStepWraps();
    void lineSettingTexts();
    void strToInt_data();
    void strToInt();
};

void TestFrame::completesKnownFrames_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("identification to address 1") << 0x99 << QByteArray::fromHex("0001") << QByteArray::fromHex("9605809900018b");
    QTest::newRow("address write of 300") << 0x65 << QByteArray::fromHex("012c012c") << QByteArray::fromHex("96078065012c012c74");
    QTest::newRow("railway protocol") << 0x08 << QByteArray::fromHex("00017e") << QByteArray::fromHex("96068008""00017e67");
    QTest::newRow("mode write 9600 N transparent A 19.2K 60 s")
        << 0x70 << QByteArray::fromHex("000120ccac3240003c") << QByteArray::fromHex("960c8070000120ccac3240003c65");
}

void TestFrame::completesKnownFrames()
{
    QFETCH(int, command);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, frame);
    QCOMPARE(BuildFrame(quint8(command), data).toHex(' '), frame.toHex(' '));

    // The same through the transmit area, whose other bytes stay untouched.
    ProtocolState s;
    auto tx = s.TxBuffer();
    std::fill(tx.begin(), tx.end(), 0x5A);
    std::copy(data.begin(), data.end(), tx.begin() + 4);
    const int len = int(data.size()) + 3;
    CompleteFrame(tx, quint8(command), len, kSelector);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(tx.data()), len + 2).toHex(' '), frame.toHex(' '));
    QCOMPARE(tx[len + 2], quint8(0x5A));
}

void TestFrame::checkMakesWholeFrameXorZero()
{
    for (int len = 5; len <= 0x56; ++len) {
        QByteArray data(len - 3, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char((i * 37 + len) & 0xFF);
        const QByteArray frame = BuildFrame(0x61, data, kSubscriberSelector);
        QCOMPARE(frame.size(), len + 2);
        quint8 x = 0;
        for (char c : frame)
            x ^= quint8(c);
        QCOMPARE(x, quint8(0));
    }
}

void TestFrame::echoGroupsBytesBySix_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("reply");
    QTest::addColumn<QString>("text");
    QTest::newRow("six bytes, no extra blanks") << QByteArray::fromHex("960580990001") << false
                                                << QStringLiteral("P->T: 96 05 80 99 00 01 ");
    QTest::newRow("seven bytes, group of one") << QByteArray::fromHex("9605809900018b") << false
                                               << QStringLiteral("P->T: 96 05 80 99 00 01       8B ");
    QTest::newRow("reply of thirteen") << QByteArray::fromHex("960b8099000144 4b 36 31 38 2d 30") << true
                                       << QStringLiteral("T->P: 96 0B 80 99 00 01       44 4B 36 31 38 2D       30 ");
    QTest::newRow("empty") << QByteArray() << true << QStringLiteral("T->P: ");
}

void TestFrame::echoGroupsBytesBySix()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, reply);
    QFETCH(QString, text);
    QCOMPARE(TrafficText(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()), reply), text);
}

void TestFrame::ringStepWraps()
{
    QCOMPARE(RxStep(0, 6), 6);
    QCOMPARE(RxStep(998, 1), 999);
    QCOMPARE(RxStep(999, 1), 0);
    QCOMPARE(RxStep(997, 6), 3);
    QCOMPARE(RxStep(500, 0), 500);
    QCOMPARE(RxStep(500, -5), 500);
    QCOMPARE(RxStep(990, 127), 117);
}

void TestFrame::lineSettingTexts()
{
    QCOMPARE(LineSettingTexts(0), QStringLiteral(",300,N,8,1"));
    QCOMPARE(LineSettingTexts(6 * 3 + 0), QStringLiteral(",19200,N,8,1"));
    QCOMPARE(LineSettingTexts(2 * 3 + 1), QStringLiteral(",1200,E,8,1"));
    QCOMPARE(LineSettingTexts(5 * 3 + 2), QStringLiteral(",9600,O,8,1"));
    QCOMPARE(LineSettingTexts(20), QStringLiteral(",19200,O,8,1"));
    QVERIFY(LineSettingTexts(21).isEmpty());
    QVERIFY(LineSettingTexts(-1).isEmpty());
    QStringList all;
    for (int i = 0; i < 21; ++i)
        all << LineSettingTexts(i);
    QCOMPARE(all.removeDuplicates(), 0);
}

void TestFrame::strToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "4330000" << true << 4330000;
    QTest::newRow("leading zeros") << "007" << true << 7;
    QTest::newRow("leading blanks and sign") << "  -12" << true << -12;
    QTest::newRow("plus") << "+5" << true << 5;
    QTest::newRow("dollar hex") << "$1F" << true << 31;
    QTest::newRow("0x hex") << "0x1f" << true << 31;
    QTest::newRow("negative hex") << "-$10" << true << -16;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << true << int(-2147483648LL);
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blank only") << "   " << false << 0;
    QTest::newRow("trailing blank") << "12 " << false << 0;
    QTest::newRow("decimal point") << "1.5" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("hex prefix only") << "$" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("too large") << "2147483648" << false << 0;
    QTest::newRow("hex too large") << "$100000000" << false << 0;
    QTest::newRow("full width digit") << QStringLiteral("１２") << false << 0;
}

void TestFrame::strToInt()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    if (ok) {
        QCOMPARE(StrToInt(text), value);
        return;
    }
    try {
        StrToInt(text);
        QFAIL("no error");
    } catch (const Error &e) {
        QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
