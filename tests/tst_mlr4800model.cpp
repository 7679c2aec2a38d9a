// The simulated MLR4800 subscriber unit, driven frame by frame without a pty:
// which selector each command needs, what it stores, and the line it
// listens at.
#include "mlr4800model.h"
#include "simoptions.h"

#include "link/frame.h"

#include <QtTest>

using qmsim::Mlr4800Model;
using qmsim::Parity;
using qmsim::SimLine;

namespace {
// A request to address 1 with data from offset 6 on, given in hex.
QByteArray request(quint8 command, quint8 selector, const QByteArray &hexData = {})
{
    return qm::BuildFrame(command, QByteArray::fromHex("0001" + hexData), selector);
}
} // namespace

class TestMlr4800Model : public QObject {
    Q_OBJECT
private slots:
    void selectorPerCommand_data();
    void selectorPerCommand();
    void writesAreReadBack();
    void rateWriteMovesTheLine_data();
    void rateWriteMovesTheLine();
    void options();
};

void TestMlr4800Model::selectorPerCommand_data()
{
    QTest::addColumn<quint8>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint8>("selector");
    QTest::addColumn<bool>("answered");
    QTest::newRow("frequencies 0x80") << quint8(0x61) << QByteArray("0001 0002") << quint8(0x80) << true;
    QTest::newRow("frequencies 0x81") << quint8(0x61) << QByteArray("0001 0002") << quint8(0x81) << false;
    QTest::newRow("read frequencies 0x81") << quint8(0x63) << QByteArray() << quint8(0x81) << false;
    QTest::newRow("address 0x81") << quint8(0x65) << QByteArray("0001") << quint8(0x81) << true;
    QTest::newRow("address 0x80") << quint8(0x65) << QByteArray("0001") << quint8(0x80) << false;
    QTest::newRow("read address 0x80") << quint8(0x67) << QByteArray() << quint8(0x80) << false;
    QTest::newRow("air rate 0x81") << quint8(0x71) << QByteArray("c05a") << quint8(0x81) << true;
    QTest::newRow("serial rate 0x80") << quint8(0x6D) << QByteArray("2c") << quint8(0x80) << false;
    QTest::newRow("read rates 0x81") << quint8(0x73) << QByteArray() << quint8(0x81) << true;
    QTest::newRow("address without data") << quint8(0x65) << QByteArray() << quint8(0x81) << false;
    QTest::newRow("identification") << quint8(0x99) << QByteArray() << quint8(0x80) << false;
}

void TestMlr4800Model::selectorPerCommand()
{
    QFETCH(quint8, command);
    QFETCH(QByteArray, data);
    QFETCH(quint8, selector);
    QFETCH(bool, answered);
    Mlr4800Model unit;
    const auto reply = unit.answer(request(command, selector, data));
    QCOMPARE(bool(reply), answered);
    if (reply) { // selector and command come back, then 00 and the address low byte
        QCOMPARE(quint8(reply->at(2)), selector);
        QCOMPARE(quint8(reply->at(3)), command);
        QCOMPARE(reply->mid(4, 2).toHex(), QByteArray("0001"));
    }
}

void TestMlr4800Model::writesAreReadBack()
{
    Mlr4800Model unit;
    QVERIFY(unit.answer(request(0x61, 0x80, "43a8 4471")));
    QVERIFY(unit.answer(request(0x65, 0x81, "9c40")));
    QVERIFY(unit.answer(request(0x71, 0x81, "80a5")));
    QVERIFY(unit.answer(request(0x6D, 0x81, "93")));
    QCOMPARE(unit.answer(request(0x63, 0x80))->toHex(' '), QByteArray("96 09 80 63 00 40 43 a8 44 71 e2"));
    QCOMPARE(unit.answer(request(0x67, 0x81))->toHex(' '), QByteArray("96 07 81 67 00 40 9c 40 eb"));
    QCOMPARE(unit.answer(request(0x73, 0x81))->toHex(' '), QByteArray("96 08 81 73 00 40 93 80 a5 9a"));
}

void TestMlr4800Model::rateWriteMovesTheLine_data()
{
    QTest::addColumn<quint8>("code");
    QTest::addColumn<qint32>("rate");
    QTest::newRow("19200") << quint8(0xA5) << 19200;
    QTest::newRow("4800") << quint8(0x39) << 4800;
    QTest::newRow("1200") << quint8(0x2C) << 1200;
    QTest::newRow("a code it does not know") << quint8(0x08) << 9600;
}

void TestMlr4800Model::rateWriteMovesTheLine()
{
    QFETCH(quint8, code);
    QFETCH(qint32, rate);
    Mlr4800Model unit({9600, Parity::Even});
    QCOMPARE(unit.rateCode(), quint8(0x93));
    QVERIFY(unit.answer(request(0x6D, 0x81, QByteArray::number(code, 16).rightJustified(2, '0'))));
    QCOMPARE(unit.line(), (SimLine{rate, Parity::Even}));
    QCOMPARE(unit.rateCode(), code);
}

void TestMlr4800Model::options()
{
    const QStringList base{"qmsim", "--family", "mlr4800", "--link", "/tmp/x"};
    qmsim::SimOptions o;
    QString error;
    QVERIFY2(qmsim::ParseSimOptions(base, o, error), qPrintable(error));
    QCOMPARE(o.Line, (SimLine{1200, Parity::Even}));
    QVERIFY(qmsim::MakeModel(o, error));
    QVERIFY(qmsim::ParseSimOptions(base + QStringList{"--rate", "19200", "--parity", "none"}, o, error));
    QCOMPARE(o.Line, (SimLine{19200, Parity::None}));
    for (const QStringList &bad : {base + QStringList{"--rate", "600"}, base + QStringList{"--model", "X"}}) {
        QVERIFY(qmsim::ParseSimOptions(bad, o, error));
        QVERIFY2(!qmsim::MakeModel(o, error), qPrintable(bad.join(' ')));
    }
}

QTEST_GUILESS_MAIN(TestMlr4800Model)
#include "tst_mlr4800model.moc"
