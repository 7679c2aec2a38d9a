// The simulated DK618 and the shared sim plumbing, driven frame by frame
// without a pty.

#include "dk618model.h"
#include "simlink.h"
#include "simoptions.h"

#include "link/frame.h"

#include <QRandomGenerator>
#include <QtTest>

using qmsim::Dk618Model;
using qmsim::Parity;
using qmsim::ParityView;
using qmsim::SimLine;

Q_DECLARE_METATYPE(Parity)
Q_DECLARE_METATYPE(ParityView)

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// A request to the radio: address 00 01 in bytes 4..5, then data.
QByteArray request(quint8 command, const QByteArray &data = {})
{
    return qm::BuildFrame(command, bytes({0x00, 0x01}) + data);
}

// The reply laid out by hand, so a fault in the shared frame code shows here.
QByteArray expectedReply(quint8 command, const QByteArray &payload, quint8 addressLow = 0x01)
{
    QByteArray f = bytes({0x96, int(payload.size()) + 5, 0x80, command, 0x00, addressLow}) + payload;
    quint8 check = 0;
    for (char c : f)
        check ^= quint8(c);
    f.append(char(check));
    return f;
}

QByteArray words(const QList<quint16> &list)
{
    QByteArray out;
    for (quint16 w : list)
        out += bytes({w >> 8, w & 0xFF});
    return out;
}

QByteArray answer(Dk618Model &m, const QByteArray &frame)
{
    const auto a = m.answer(frame);
    return a ? *a : QByteArray("<silent>");
}

} // namespace

class TstSimModel : public QObject {
    Q_OBJECT
private slots:
    void identification();
    void ackIsFiveBytesOfAddress();
    void channelTableWrittenAndReadBack();
    void addressWriteChangesEveryReply();
    void currentChannelWrite();
    void modesReadBackAsWritten();
    void modeWriteChangesLine_data();
    void modeWriteChangesLine();
    void silence_data();
    void silence();
    void survivesAnyBytes();
    void testCommands_data();
    void testCommands();
    void trimmingAndPowerLevelStored();
    void readingsDrift_data();
    void readingsDrift();

    void readerCutsFrames();
    void readerAcrossRingWrap();
    void lineMatches_data();
    void lineMatches();
    void options();
};

void TstSimModel::identification()
{
    Dk618Model m;
    const QByteArray req = bytes({0x96, 0x05, 0x80, 0x99, 0x00, 0x01, 0x8B});
    QCOMPARE(answer(m, req), expectedReply(0x99, "DK618-450"));

    Dk618Model other("DK618-230");
    QCOMPARE(answer(other, req), expectedReply(0x99, "DK618-230"));
}

void TstSimModel::ackIsFiveBytesOfAddress()
{
    // Worked out by hand: 96^05^80^08^00^01 = 1A.
    Dk618Model m;
    QCOMPARE(answer(m, request(0x08, bytes({0x02}))), bytes({0x96, 0x05, 0x80, 0x08, 0x00, 0x01, 0x1A}));
}

void TstSimModel::channelTableWrittenAndReadBack()
{
    Dk618Model m;
    // High and low bytes differ and tx differs from rx, so swapped bytes or
    // halves show.
    QList<quint16> tx, rx;
    for (int i = 0; i < 10; ++i) {
        tx << quint16(0x4100 | (i << 4) | 1);
        rx << quint16(0x5200 | (i << 4) | 2);
    }
    const QByteArray table = words(tx) + words(rx);
    const QByteArray write = request(0x61, table);
    QCOMPARE(quint8(write[1]), quint8(0x2D));
    QCOMPARE(answer(m, write), expectedReply(0x61, {}));

    const QByteArray read = answer(m, request(0x63));
    QCOMPARE(quint8(read[1]), quint8(0x2D));
    QCOMPARE(read, expectedReply(0x63, table));

    // The current channel (0) reports the same words as the table.
    QCOMPARE(answer(m, request(0x6B)), expectedReply(0x6B, bytes({0}) + words({tx[0], rx[0]})));
}

void TstSimModel::addressWriteChangesEveryReply()
{
    Dk618Model m;
    QCOMPARE(answer(m, request(0x65, bytes({0x12, 0x34}))), expectedReply(0x65, {}, 0x34));
    QCOMPARE(m.address(), quint16(0x1234));
    QCOMPARE(answer(m, request(0x67)), expectedReply(0x67, bytes({0x12, 0x34}), 0x34));
    QCOMPARE(answer(m, request(0x99)), expectedReply(0x99, "DK618-450", 0x34));
}

void TstSimModel::currentChannelWrite()
{
    Dk618Model m;
    const quint16 before6 = m.txWord(6), before8 = m.rxWord(8);
    const QByteArray set = bytes({7, 0x43, 0x21, 0x44, 0x32});
    QCOMPARE(answer(m, request(0x69, set + set.mid(1))), expectedReply(0x69, {}));
    QCOMPARE(answer(m, request(0x6B)), expectedReply(0x6B, set));

    const QByteArray table = answer(m, request(0x63));
    const auto wordAt = [&](int at) { return quint16((quint8(table[at]) << 8) | quint8(table[at + 1])); };
    QCOMPARE(wordAt(6 + 2 * 7), quint16(0x4321));
    QCOMPARE(wordAt(26 + 2 * 7), quint16(0x4432));
    QCOMPARE(wordAt(6 + 2 * 6), before6);
    QCOMPARE(wordAt(26 + 2 * 8), before8);

    // A channel the radio lacks is acknowledged and changes nothing.
    const QByteArray bad = bytes({10, 0x11, 0x11, 0x22, 0x22});
    QCOMPARE(answer(m, request(0x69, bad + bad.mid(1))), expectedReply(0x69, {}));
    QCOMPARE(m.currentChannel(), 7);
    QCOMPARE(answer(m, request(0x63)), table);
}

void TstSimModel::modesReadBackAsWritten()
{
    Dk618Model m;
    const QByteArray modes = bytes({0x20, 0x3C, 0x11, 0x22, 0x33, 0x01, 0x2C});
    const QByteArray write = request(0x70, modes);
    QCOMPARE(quint8(write[1]), quint8(0x0C));
    QCOMPARE(answer(m, write), expectedReply(0x70, {}));
    QCOMPARE(answer(m, request(0x72)), expectedReply(0x72, modes));
}

void TstSimModel::modeWriteChangesLine_data()
{
    QTest::addColumn<int>("rateCode");
    QTest::addColumn<int>("parityCode");
    QTest::addColumn<int>("rate");
    QTest::addColumn<Parity>("parity");
    // The model starts at 9600 even, so "unchanged" is not a default.
    QTest::newRow("300 none") << 0x01 << 0xCC << 300 << Parity::None;
    QTest::newRow("1200 odd") << 0x04 << 0xC3 << 1200 << Parity::Odd;
    QTest::newRow("19200 even") << 0x40 << 0x3C << 19200 << Parity::Even;
    QTest::newRow("unknown rate code") << 0x03 << 0xCC << 9600 << Parity::None;
    QTest::newRow("unknown parity code") << 0x10 << 0x00 << 4800 << Parity::Even;
}

void TstSimModel::modeWriteChangesLine()
{
    QFETCH(int, rateCode);
    QFETCH(int, parityCode);
    QFETCH(int, rate);
    QFETCH(Parity, parity);
    Dk618Model m("DK618-450", SimLine{9600, Parity::Even});
    QCOMPARE(m.rateCode(), quint8(0x20));
    QCOMPARE(m.parityCode(), quint8(0x3C));
    QVERIFY(m.answer(request(0x70, bytes({rateCode, parityCode, 0xAC, 0x32, 0x40, 0x00, 0x3C}))));
    QCOMPARE(m.line(), (SimLine{rate, parity}));
}

void TstSimModel::silence_data()
{
    QTest::addColumn<QByteArray>("frame");
    QByteArray badCheck = request(0x99);
    badCheck[badCheck.size() - 1] = char(badCheck.back() ^ 0x01);
    QByteArray lenTooLong = request(0x99);
    lenTooLong[1] = char(0x06);

    QTest::newRow("unknown command") << request(0x55);
    QTest::newRow("bad check") << badCheck;
    QTest::newRow("subscriber selector") << qm::BuildFrame(0x99, bytes({0, 1}), qm::kSubscriberSelector);
    QTest::newRow("LEN disagrees with size") << lenTooLong;
    QTest::newRow("no address bytes") << qm::BuildFrame(0x99, {});
    QTest::newRow("short channel table write") << request(0x61, QByteArray(20, '\x11'));
    QTest::newRow("short mode write") << request(0x70, bytes({0x20, 0x3C}));
    QTest::newRow("short address write") << request(0x65, bytes({0x12}));
    QTest::newRow("empty") << QByteArray();
}

void TstSimModel::silence()
{
    QFETCH(QByteArray, frame);
    Dk618Model m;
    const QByteArray tableBefore = *m.answer(request(0x63));
    const SimLine lineBefore = m.line();
    QVERIFY(!m.answer(frame));
    // Nothing unanswered may have been stored.
    QCOMPARE(*m.answer(request(0x63)), tableBefore);
    QCOMPARE(m.line(), lineBefore);
    QCOMPARE(m.address(), quint16(1));
}

void TstSimModel::survivesAnyBytes()
{
    QRandomGenerator rng(618);
    Dk618Model m;
    qmsim::FrameReader reader;
    const QList<quint8> codes = {0x99, 0x63, 0x67, 0x6B, 0x72, 0x61, 0x65, 0x69, 0x70, 0x08, 0x00, 0xFF, 0xD0, 0xC0, 0xD7, 0xF9};
    int answered = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray chunk;
        if (round % 2) {
            // Good frames of any length with the known commands: the model must
            // bound its reads by the length, not by the command.
            QByteArray data(rng.bounded(0, 60), '\0');
            for (auto &c : data)
                c = char(rng.bounded(256));
            chunk = qm::BuildFrame(codes[rng.bounded(int(codes.size()))], data);
        } else {
            chunk.resize(rng.bounded(1, 40));
            for (auto &c : chunk)
                c = char(rng.bounded(256));
        }
        for (const QByteArray &frame : reader.feed(chunk)) {
            const auto a = m.answer(frame);
            if (!a)
                continue;
            ++answered;
            QCOMPARE(quint8(a->at(0)), qm::kFrameHeader);
            QCOMPARE(a->size(), quint8(a->at(1)) + 2);
            QCOMPARE(qm::FrameCheck(reinterpret_cast<const quint8 *>(a->constData()), int(a->size()) - 1), quint8(0));
            // Acknowledgements repeat the command; the trimming report and the
            // readings answer with their own codes.
            const quint8 asked = quint8(frame.at(3));
            QCOMPARE(quint8(a->at(3)), asked == 0xD0 ? quint8(0xDF) : asked == 0xD7 ? quint8(0xD8) : asked);
        }
    }
    QVERIFY(answered > 100);
}

void TstSimModel::testCommands_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    // Rows 1..7, power level, row 9, row 8 of a new radio.
    QTest::newRow("trimming report") << request(0xD0, bytes({0xA6}))
                                     << expectedReply(0xDF, bytes({128, 96, 140, 160, 80, 110, 150, 3, 130, 200}));
    for (int code : {0x74, 0x9C, 0x9D, 0xC9})
        QTest::newRow(qPrintable(QStringLiteral("acknowledged %1").arg(code, 2, 16))) << request(quint8(code), bytes({0xA6})) << expectedReply(quint8(code), {});
    for (int code : {0xF1, 0xF3, 0xF5})
        QTest::newRow(qPrintable(QStringLiteral("reference %1").arg(code, 2, 16))) << request(quint8(code), bytes({0, 0, 0xA8})) << expectedReply(quint8(code), {});
    QTest::newRow("reference without its data") << request(0xF1, bytes({0})) << QByteArray("<silent>");
    QTest::newRow("reading without its prev byte") << request(0xD9) << QByteArray("<silent>");
}

void TstSimModel::testCommands()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    Dk618Model m;
    QCOMPARE(answer(m, frame).toHex(' '), reply.toHex(' '));
}

void TstSimModel::trimmingAndPowerLevelStored()
{
    Dk618Model m;
    QCOMPARE(answer(m, request(0xC0, bytes({0xC3, 0x55, 0x09}))), expectedReply(0xC0, {}));
    QCOMPARE(answer(m, request(0xC0, bytes({0xC8, 0x77, 0x05}))), expectedReply(0xC0, {}));
    QCOMPARE(m.powerLevel(), quint8(5)); // sent with row 8 only
    QCOMPARE(answer(m, request(0xC0, bytes({0xCA, 0x01, 0x00}))), QByteArray("<silent>"));
    QCOMPARE(answer(m, request(0xC0, bytes({0xC1, 0x01}))), QByteArray("<silent>"));
    QCOMPARE(answer(m, request(0xD0, bytes({0}))), expectedReply(0xDF, bytes({128, 96, 0x55, 160, 80, 110, 150, 5, 130, 0x77})));
    QCOMPARE(answer(m, request(0xF9, bytes({2, 0xA7}))), expectedReply(0xF9, {}));
    QCOMPARE(m.powerLevel(), quint8(2));
}

void TstSimModel::readingsDrift_data()
{
    QTest::addColumn<bool>("steady");
    QTest::addColumn<bool>("alarm");
    QTest::newRow("drifting") << false << false;
    QTest::newRow("steady with alarm") << true << true;
}

void TstSimModel::readingsDrift()
{
    QFETCH(bool, steady);
    QFETCH(bool, alarm);
    Dk618Model m;
    m.setSteadyReadings(steady);
    m.setSwrAlarm(alarm);
    // Request, reply code, the value's bytes read as one number, its range.
    struct Reading { quint8 request, reply; int from, count, low, steadyValue, high; };
    const Reading readings[] = {
        {0xD1, 0xD2, 6, 2, 0x01A8, 0x01B0, 0x01B8}, // 26.5 .. 27.5 degrees in sixteenths
        {0xD3, 0xD4, 7, 1, 93, 95, 97},             // field strength
        {0xD7, 0xD8, 6, 2, 0x2302, 0x2305, 0x2308}, // 35.2 .. 35.8
        {0xD9, 0xDA, 6, 2, 0x0B08, 0x0C00, 0x0C02}, // 11.8 .. 12.2
    };
    for (const Reading &r : readings) {
        QSet<int> seen;
        for (int i = 0; i < 60; ++i) {
            const QByteArray a = answer(m, request(r.request, bytes({0})));
            QCOMPARE(quint8(a.at(3)), r.reply);
            int value = 0;
            for (int k = 0; k < r.count; ++k)
                value = value << 8 | quint8(a.at(r.from + k));
            QVERIFY2(value >= r.low && value <= r.high, qPrintable(QString::number(value, 16)));
            if (r.request == 0xD7 || r.request == 0xD9)
                QVERIFY(quint8(a.at(7)) <= 9); // tenths
            if (r.request == 0xD7)
                QCOMPARE(quint8(a.at(8)), quint8(alarm ? 0xFF : 0x00));
            seen.insert(value);
        }
        QCOMPARE(seen.size() > 1, !steady);
        if (steady)
            QCOMPARE(*seen.begin(), r.steadyValue);
    }
}

void TstSimModel::readerCutsFrames()
{
    const QByteArray a = request(0x99);
    const QByteArray b = request(0x63);
    QByteArray bad = request(0x67);
    bad[bad.size() - 1] = char(bad.back() ^ 0x40);

    qmsim::FrameReader reader;
    // Byte by byte, after noise, with a spoilt frame between two good ones.
    const QByteArray stream = bytes({0x00, 0x13, 0x7F}) + a + bad + b;
    QList<QByteArray> got;
    for (char c : stream)
        got += reader.feed(QByteArray(1, c));
    QCOMPARE(got, (QList<QByteArray>{a, b}));

    // Back to back in one piece.
    QCOMPARE(reader.feed(b + a), (QList<QByteArray>{b, a}));
}

void TstSimModel::readerAcrossRingWrap()
{
    // 300 frames of 7 bytes run the 1000-byte ring round twice; a frame that
    // straddles the wrap must come out whole.
    qmsim::FrameReader reader;
    QByteArray stream;
    for (int i = 0; i < 300; ++i)
        stream += request(0x99);
    const QList<QByteArray> frames = reader.feed(stream);
    QCOMPARE(frames.size(), 300);
    for (const QByteArray &f : frames)
        QCOMPARE(f, request(0x99));
    // A long reply-sized frame as well.
    const QByteArray table = request(0x61, QByteArray(40, '\x5A'));
    QCOMPARE(reader.feed(table + table + table + table), (QList<QByteArray>{table, table, table, table}));
}

void TstSimModel::lineMatches_data()
{
    QTest::addColumn<int>("ttySpeed");
    QTest::addColumn<int>("ttyParity"); // 0 none, 1 even, 2 odd, 3 the odd bit alone (a pty)
    QTest::addColumn<bool>("inputSpeedZero");
    QTest::addColumn<int>("rate");
    QTest::addColumn<Parity>("parity");
    QTest::addColumn<ParityView>("view");
    QTest::addColumn<bool>("matches");
    const auto full = ParityView::Full;
    QTest::newRow("19200 N") << int(B19200) << 0 << false << 19200 << Parity::None << full << true;
    QTest::newRow("input speed 0 means same") << int(B19200) << 0 << true << 19200 << Parity::None << full << true;
    QTest::newRow("9600 vs 19200") << int(B9600) << 0 << false << 19200 << Parity::None << full << false;
    QTest::newRow("9600 E") << int(B9600) << 1 << false << 9600 << Parity::Even << full << true;
    QTest::newRow("even vs odd") << int(B9600) << 1 << false << 9600 << Parity::Odd << full << false;
    QTest::newRow("odd vs even") << int(B9600) << 2 << false << 9600 << Parity::Even << full << false;
    QTest::newRow("none vs even") << int(B9600) << 0 << false << 9600 << Parity::Even << full << false;
    QTest::newRow("odd vs none") << int(B300) << 2 << false << 300 << Parity::None << full << false;
    // A Linux pty keeps the odd bit alone: none and even look alike there,
    // odd is still told apart.
    const auto oddOnly = ParityView::OddOnly;
    QTest::newRow("pty, none vs even") << int(B9600) << 0 << false << 9600 << Parity::Even << oddOnly << true;
    QTest::newRow("pty, odd bit vs odd") << int(B19200) << 3 << false << 19200 << Parity::Odd << oddOnly << true;
    QTest::newRow("pty, odd bit vs none") << int(B19200) << 3 << false << 19200 << Parity::None << oddOnly << false;
    QTest::newRow("pty, none vs odd") << int(B19200) << 0 << false << 19200 << Parity::Odd << oddOnly << false;
    QTest::newRow("pty, rate differs") << int(B9600) << 3 << false << 19200 << Parity::Odd << oddOnly << false;
    // A tty that keeps no parity bit at all: only the rate counts.
    QTest::newRow("rate only, none vs odd") << int(B9600) << 0 << false << 9600 << Parity::Odd << ParityView::RateOnly << true;
}

void TstSimModel::lineMatches()
{
    QFETCH(int, ttySpeed);
    QFETCH(int, ttyParity);
    QFETCH(bool, inputSpeedZero);
    QFETCH(int, rate);
    QFETCH(Parity, parity);
    QFETCH(ParityView, view);
    QFETCH(bool, matches);
    termios t{};
    cfmakeraw(&t);
    cfsetospeed(&t, speed_t(ttySpeed));
    cfsetispeed(&t, inputSpeedZero ? B0 : speed_t(ttySpeed));
    if (ttyParity == 1 || ttyParity == 2)
        t.c_cflag |= PARENB;
    if (ttyParity == 2 || ttyParity == 3)
        t.c_cflag |= PARODD;
    QCOMPARE(qmsim::LineMatches(t, SimLine{rate, parity}, view), matches);
}

void TstSimModel::options()
{
    const QString exe = QStringLiteral("qmsim");
    qmsim::SimOptions o;
    QString error;
    QVERIFY2(qmsim::ParseSimOptions({exe, "--family", "DK618", "--link", "/tmp/x", "--rate", "4800", "--parity", "odd",
                                     "--silent-on", "0x6B", "--silent-on", "99", "--bad-check-on", "0x63",
                                     "--bare-replies", "--noise-after", "0x96", "--delay-ms", "0"},
                                    o, error),
             qPrintable(error));
    QCOMPARE(o.Family, QStringLiteral("dk618"));
    QCOMPARE(o.Line, (SimLine{4800, Parity::Odd}));
    QCOMPARE(o.SilentOn, (QSet<quint8>{0x6B, 0x99}));
    QCOMPARE(o.BadCheckOn, (QSet<quint8>{0x63}));
    QCOMPARE(o.DelayMs, 0);
    QVERIFY(o.BareReplies);
    QCOMPARE(o.NoiseAfter, std::optional<quint8>(0x96));
    auto model = qmsim::MakeModel(o, error);
    QVERIFY(model);
    QCOMPARE(model->line(), o.Line);
    QVERIFY(!o.SwrAlarm && !o.SteadyReadings);
    QVERIFY(qmsim::ParseSimOptions({exe, "--family", "dk618", "--link", "/tmp/x", "--swr-alarm", "--steady"}, o, error));
    QVERIFY(o.SwrAlarm && o.SteadyReadings);
    QCOMPARE(o.NoisePercent, 0);
    QCOMPARE(o.FloodBytes, 0);
    QVERIFY(qmsim::ParseSimOptions({exe, "--family", "dk618", "--link", "/tmp/x", "--noise", "25", "--noise-seed", "7", "--flood",
                                    "1000000", "--flood-rate", "4000000"},
                                   o, error));
    QCOMPARE(o.NoisePercent, 25);
    QCOMPARE(o.NoiseSeed, 7u);
    QCOMPARE(o.FloodBytes, 1000000);
    QCOMPARE(o.FloodRate, 4000000);

    const QStringList base{exe, "--family", "dk618", "--link", "/tmp/x"};
    for (const QStringList &bad : {base + QStringList{"--rate", "38400"}, base + QStringList{"--parity", "mark"},
                                   base + QStringList{"--silent-on", "0x100"}, base + QStringList{"--delay-ms", "-1"},
                                   base + QStringList{"--noise-after", "1FF"}, base + QStringList{"--noise", "101"},
                                   base + QStringList{"--noise-seed", "-1"}, base + QStringList{"--flood", "0"},
                                   base + QStringList{"--flood-rate", "5"},
                                   QStringList{exe, "--family", "dk618"}}) {
        qmsim::SimOptions x;
        error.clear();
        QVERIFY2(!qmsim::ParseSimOptions(bad, x, error), qPrintable(bad.join(' ')));
        QVERIFY(!error.isEmpty());
    }

    o.Family = QStringLiteral("mlb9999");
    QVERIFY(!qmsim::MakeModel(o, error));
    QVERIFY(error.contains(QLatin1String("mlb9999")));
}

QTEST_GUILESS_MAIN(TstSimModel)
#include "tst_simmodel.moc"
