// The telnet side of a device server's port without a socket: what the
// tool asks for, how it answers the server, the line settings and the
// server's answers to them, and data with 0xFF bytes cut out of a telnet
// stream however it arrives. Server bytes are hex strings; the option
// codes are those of RFC 854/856/858 and RFC 2217.
#include "link/networkport.h"
#include "link/rfc2217.h"

#include <QtTest>

using namespace qm;
using Control = Rfc2217Session::LineControl;

Q_DECLARE_METATYPE(qm::Rfc2217Session::LineControl)

namespace {
QByteArray Hex(const char *text) { return QByteArray::fromHex(text); }
// ser2net's greeting: WILL SGA, DO SGA, WILL ECHO, DONT ECHO, DO BINARY,
// WILL BINARY, DO COM-PORT-OPTION.
const char *const kGreeting = "fffb03 fffd03 fffb01 fffe01 fffd00 fffb00 fffd2c";
} // namespace

class TestRfc2217 : public QObject {
    Q_OBJECT
private slots:
    void opening();
    void serverOptions_data();
    void serverOptions();
    void dataOutOfTheStream_data();
    void dataOutOfTheStream();
    void everyByteSurvivesBothWays();
    void lineSettingsAndTheirAnswers();
    void addresses_data();
    void addresses();
};

void TestRfc2217::opening()
{
    Rfc2217Session s(QStringLiteral("h:1"));
    // WILL COM-PORT, WILL BINARY, WILL SGA, DO BINARY, DO SGA; once only.
    QCOMPARE(s.opening(), Hex("fffb2c fffb00 fffb03 fffd00 fffd03"));
    QCOMPARE(s.opening(), QByteArray());
    QCOMPARE(s.lineControl(), Control::Asked);
    QCOMPARE(s.lineRequest({}), QByteArray()); // nothing before the server agrees
}

// What the server sends after our opening, what we answer, and whether the
// line settings can go out. An answer only where the state changes, so two
// sides never echo each other for ever.
void TestRfc2217::serverOptions_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<Control>("control");
    QTest::addColumn<QString>("note");
    QTest::newRow("ser2net's greeting: its echo refused") << Hex(kGreeting) << Hex("fffe01") << Control::Agreed << "";
    // Agreed options are not answered again; a refused one is, each time.
    QTest::newRow("the greeting twice") << Hex(kGreeting) + Hex(kGreeting) << Hex("fffe01 fffe01") << Control::Agreed << "";
    QTest::newRow("line control refused") << Hex("fffe2c fffd00 fffb00") << QByteArray() << Control::Refused << "";
    QTest::newRow("line control ended later") << Hex("fffd2c fffe2c") << Hex("fffc2c") << Control::Refused << "";
    QTest::newRow("binary refused") << Hex("fffd2c fffc00") << QByteArray() << Control::Agreed
                                    << "网络串口 h:1 不接受二进制传输：帧中的个别字节可能被改动";
    QTest::newRow("an option we do not do") << Hex("fffd18 fffb1f") << Hex("fffc18 fffe1f") << Control::Asked << "";
    QTest::newRow("split in the middle of a command") << Hex("ff") + Hex("fd") + Hex("2c") << QByteArray() << Control::Agreed << "";
}

void TestRfc2217::serverOptions()
{
    QFETCH(QByteArray, server);
    QFETCH(QByteArray, answers);
    QFETCH(Control, control);
    QFETCH(QString, note);
    Rfc2217Session s(QStringLiteral("h:1"));
    s.opening();
    QByteArray data, sent;
    QStringList notes;
    // The row's split test feeds byte by byte; the others whole.
    const bool bytewise = QByteArray(QTest::currentDataTag()).startsWith("split");
    for (qsizetype at = 0; at < server.size(); at += bytewise ? 1 : server.size()) {
        data += s.take(server.mid(at, bytewise ? 1 : server.size()));
        sent += s.takeAnswers();
        notes += s.takeNotes();
    }
    QCOMPARE(data, QByteArray());
    QCOMPARE(sent.toHex(), answers.toHex());
    QCOMPARE(s.lineControl(), control);
    QCOMPARE(notes, note.isEmpty() ? QStringList() : QStringList{note});
}

// Data as it comes between telnet commands, fed whole and split at every
// place: the result is the same.
void TestRfc2217::dataOutOfTheStream_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("doubled 0xFF") << Hex("96 ffff 01 ffff") << Hex("96 ff 01 ff");
    QTest::newRow("commands among data") << Hex("01 fff1 02 fff9 03") << Hex("010203");
    QTest::newRow("a notice among data") << Hex("01 fffa2c6b00fff0 02") << Hex("0102");
    QTest::newRow("0xFF inside a notice") << Hex("01 fffa2c6500ffff0000fff0 02") << Hex("0102");
    QTest::newRow("option talk among data") << Hex("01 fffd18 02") << Hex("0102");
    QTest::newRow("an endless notice is skipped") << Hex("fffa2c6b") + QByteArray(300, '\x55') + Hex("fff0 07") << Hex("07");
}

void TestRfc2217::dataOutOfTheStream()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, data);
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        Rfc2217Session s(QStringLiteral("h:1"));
        QByteArray got = s.take(stream.left(cut));
        got += s.take(stream.mid(cut));
        QVERIFY2(got == data, qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(QString::fromLatin1(got.toHex(' ')))));
    }
}

void TestRfc2217::everyByteSurvivesBothWays()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    all += Hex("ffffff");
    const QByteArray wire = Rfc2217Session::Escape(all);
    QCOMPARE(wire.size(), all.size() + 4);
    Rfc2217Session s(QStringLiteral("h:1"));
    QCOMPARE(s.take(wire), all);
}

// The four settings for one line, the server's answers matched one by one
// (also when several lines went out before the first answer), and a
// setting the server did not take told once.
void TestRfc2217::lineSettingsAndTheirAnswers()
{
    Rfc2217Session s(QStringLiteral("h:1"));
    s.opening();
    s.take(Hex("fffd2c"));
    QCOMPARE(s.lineRequest({9600, QSerialPort::OddParity}),
             Hex("fffa2c0100002580fff0 fffa2c0208fff0 fffa2c0302fff0 fffa2c0401fff0"));
    QVERIFY(!s.lineAnswered());
    QCOMPARE(s.lineRequest({19200, QSerialPort::EvenParity}).left(8), Hex("fffa2c0100004b00"));
    // DTR and RTS go down, flow control off.
    QCOMPARE(s.controlRequest(), Hex("fffa2c0501fff0 fffa2c0509fff0 fffa2c050cfff0"));
    s.take(Hex("fffa2c6500002580fff0 fffa2c6608fff0 fffa2c6702fff0 fffa2c6801fff0"));
    QVERIFY(!s.lineAnswered());
    QCOMPARE(s.takeNotes(), QStringList());
    // The second line answered with another rate and parity: said once each.
    s.take(Hex("fffa2c6500002580fff0 fffa2c6608fff0 fffa2c6701fff0 fffa2c6801fff0"));
    QVERIFY(s.lineAnswered());
    QCOMPARE(s.takeNotes(), (QStringList{QStringLiteral("网络串口 h:1 未接受速率 19200：设备服务器回答 9600"),
                                         QStringLiteral("网络串口 h:1 未接受校验 E：设备服务器回答 N")}));
    s.lineRequest({19200, QSerialPort::EvenParity});
    s.take(Hex("fffa2c6500002580fff0"));
    QCOMPARE(s.takeNotes(), QStringList());
    // A rate whose bytes hold 0xFF goes out doubled.
    QCOMPARE(s.lineRequest({0x1FF, QSerialPort::NoParity}).left(9), Hex("fffa2c01000001ffff"));
}

void TestRfc2217::addresses_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("parsed"); // "telnet host port where"; empty: refused
    QTest::newRow("rfc2217") << "rfc2217://192.168.1.20:4001" << true << "telnet 192.168.1.20 4001 192.168.1.20:4001";
    QTest::newRow("socket, host name, any case") << "SOCKET://rack-3.local:2000/" << true << "raw rack-3.local 2000 rack-3.local:2000";
    QTest::newRow("IPv6") << "rfc2217://[::1]:7000" << true << "telnet ::1 7000 [::1]:7000";
    QTest::newRow("no port") << "rfc2217://host" << true << "";
    QTest::newRow("port 0") << "socket://host:0" << true << "";
    QTest::newRow("port too high") << "socket://host:65536" << true << "";
    QTest::newRow("a path after the port") << "rfc2217://host:4001/ttyS0" << true << "";
    QTest::newRow("options after the port") << "rfc2217://host:4001?timeout=1" << true << "";
    QTest::newRow("a device path") << "/dev/ttyUSB0" << false << "";
    QTest::newRow("another scheme") << "telnet://host:23" << false << "";
}

void TestRfc2217::addresses()
{
    QFETCH(QString, device);
    QFETCH(bool, network);
    QFETCH(QString, parsed);
    QCOMPARE(IsNetworkPort(device), network);
    const std::optional<NetworkAddress> a = ParseNetworkAddress(device);
    QCOMPARE(a ? QStringLiteral("%1 %2 %3 %4").arg(a->telnet ? "telnet" : "raw", a->host).arg(a->port).arg(a->where) : QString(), parsed);
}

QTEST_GUILESS_MAIN(TestRfc2217)
#include "tst_rfc2217.moc"
