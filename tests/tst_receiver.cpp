// The receive ring and the reply recogniser, through the Link's receive path.
#include "link/exchange.h"
#include "link/frame.h"
#include "link/receiver.h"
#include "link/link.h"

#include <QSignalSpy>
#include <QtTest>

using namespace qm;

namespace {
void feed(Link &link, const QByteArray &bytes)
{
    link.receiveBytes(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size());
}
const QByteArray kReply = BuildFrame(0x99, QByteArray::fromHex("0001") + "DK618-450");
} // namespace

class TestReceiver : public QObject {
    Q_OBJECT
private slots:
    void wholeOrSplitReplyIsRecognised_data();
    void wholeOrSplitReplyIsRecognised();
    void twoFramesInOneEvent();
    void strayByteBeforeHeader();
    void badCheckIsDropped();
    void headerInsideFrameIsData();
    void zeroLengthReturnsToHunting();
    void ringWrapsForBothIndexes();
    void longBurstIsTakenWhole();
    void sendResetsRingIndexesButNotState();
    void echoOnlyWhileMonitorOn();
    void replyStaysWhereItWasCompleted();
    void cursorNeverReadsBeyondLen();
    void cursorWrapsAroundTheRing();
};

void TestReceiver::wholeOrSplitReplyIsRecognised_data()
{
    QTest::addColumn<int>("pieceSize");
    QTest::newRow("one event") << 1000;
    QTest::newRow("byte by byte") << 1;
    QTest::newRow("pieces of five") << 5;
}

void TestReceiver::wholeOrSplitReplyIsRecognised()
{
    QFETCH(int, pieceSize);
    Link link;
    QSignalSpy frames(&link, &Link::frameReceived);
    for (int i = 0; i < kReply.size(); i += pieceSize) {
        QVERIFY(!link.state().ReplyReady);
        feed(link, kReply.mid(i, pieceSize));
    }
    QCOMPARE(frames.count(), 1);
    const ProtocolState &s = link.state();
    QVERIFY(s.ReplyReady);
    QVERIFY(s.AutoSetReply);
    QCOMPARE(s.RxState, quint8(0));
    QCOMPARE(s.RxFrameStart, 0);
    QCOMPARE(s.RxFrameLen, int(kReply.size()) - 2);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(s.RxBuffer().data()), kReply.size()), kReply);
}

void TestReceiver::twoFramesInOneEvent()
{
    Link link;
    QSignalSpy frames(&link, &Link::frameReceived);
    const QByteArray second = BuildFrame(0x67, QByteArray::fromHex("0001012c"));
    feed(link, kReply + second);
    QCOMPARE(frames.count(), 2);
    QCOMPARE(link.state().RxFrameStart, int(kReply.size()));
    QCOMPARE(link.state().RxFrameLen, int(second.size()) - 2);
}

void TestReceiver::strayByteBeforeHeader()
{
    Link link;
    feed(link, QByteArray("\x55", 1) + kReply);
    QVERIFY(link.state().ReplyReady);
    QCOMPARE(link.state().RxFrameStart, 1);
    // Reads at fixed indexes from 0 see the stray byte.
    QCOMPARE(link.state().RxBuffer()[0], quint8(0x55));
}

void TestReceiver::badCheckIsDropped()
{
    Link link;
    QSignalSpy frames(&link, &Link::frameReceived);
    QByteArray bad = kReply;
    bad[bad.size() - 1] = char(bad.back() ^ 0x01);
    feed(link, bad);
    QCOMPARE(frames.count(), 0);
    QVERIFY(!link.state().ReplyReady);
    QVERIFY(!link.state().AutoSetReply);
    QCOMPARE(link.state().RxState, quint8(0));
    // The hunt goes on after the dropped frame's last byte.
    feed(link, kReply);
    QCOMPARE(frames.count(), 1);
    QCOMPARE(link.state().RxFrameStart, int(bad.size()));
}

void TestReceiver::headerInsideFrameIsData()
{
    Link link;
    QSignalSpy frames(&link, &Link::frameReceived);
    // 0x96 as length and as data byte.
    const QByteArray frame = BuildFrame(0x63, QByteArray(0x96 - 3, char(0x96)));
    QCOMPARE(quint8(frame[1]), quint8(0x96));
    feed(link, frame);
    QCOMPARE(frames.count(), 1);
    QCOMPARE(link.state().RxFrameLen, 0x96);
}

void TestReceiver::zeroLengthReturnsToHunting()
{
    Link link;
    QSignalSpy frames(&link, &Link::frameReceived);
    feed(link, QByteArray::fromHex("9600"));
    QCOMPARE(link.state().RxState, quint8(0));
    feed(link, kReply);
    QCOMPARE(frames.count(), 1);
    QCOMPARE(link.state().RxFrameStart, 2);
}

void TestReceiver::ringWrapsForBothIndexes()
{
    Link link;
    ProtocolState &s = link.state();
    s.RxWritePos = 995;
    s.RxReadPos = 995;
    feed(link, kReply);
    QVERIFY(s.ReplyReady);
    QCOMPARE(s.RxFrameStart, 995);
    QCOMPARE(s.RxWritePos, (995 + int(kReply.size())) % 1000);
    QCOMPARE(s.RxReadPos, s.RxWritePos);
    QCOMPARE(s.RxBuffer()[999], quint8(kReply[4]));
    QCOMPARE(s.RxBuffer()[0], quint8(kReply[5]));
}

void TestReceiver::longBurstIsTakenWhole()
{
    // More than the ring holds in one event: every frame is still seen.
    Link link;
    QSignalSpy frames(&link, &Link::frameReceived);
    QByteArray burst;
    while (burst.size() < 2500)
        burst += kReply;
    feed(link, burst);
    QCOMPARE(frames.count(), int(burst.size() / kReply.size()));
}

void TestReceiver::sendResetsRingIndexesButNotState()
{
    Link link; // port not open: the write fails after the reset
    ProtocolState &s = link.state();
    feed(link, kReply.left(5));
    QCOMPARE(s.RxState, quint8(2));
    s.TxBuffer()[4] = 0;
    s.TxBuffer()[5] = 1;
    QVERIFY_THROWS_EXCEPTION(std::exception, link.SendFrame(0x99, 5, kSelector));
    QCOMPARE(s.RxReadPos, 0);
    QCOMPARE(s.RxWritePos, 0);
    QCOMPARE(s.RxState, quint8(2));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(s.TxBuffer().data()), 7), QByteArray::fromHex("9605809900018b"));
}

void TestReceiver::echoOnlyWhileMonitorOn()
{
    Link link;
    QSignalSpy lines(&link, &Link::monitorLine);
    feed(link, kReply);
    QCOMPARE(lines.count(), 0);
    link.state().MonitorOn = true;
    link.state().RxReadPos = link.state().RxWritePos = 0;
    feed(link, kReply);
    QCOMPARE(lines.count(), 1);
    QVERIFY(lines.at(0).at(0).toString().startsWith(QStringLiteral("T->P: 96 0E 80 99 00 01       44 4B")));
}

void TestReceiver::replyStaysWhereItWasCompleted()
{
    // A stray byte before the reply and a noise header after it: the reply
    // is still read from where it stood, and its echo shows it whole.
    Link link;
    link.state().MonitorOn = true;
    QSignalSpy lines(&link, &Link::monitorLine);
    feed(link, QByteArray::fromHex("55") + kReply + QByteArray::fromHex("96"));
    const ProtocolState &s = link.state();
    QCOMPARE(s.RxFrameStart, 1 + int(kReply.size())); // moved on to the noise
    QCOMPARE(s.ReplyStart, 1);
    QCOMPARE(s.ReplyLen, int(kReply.size()) - 2);
    QCOMPARE(ReplyBytes(s), kReply);
    QCOMPARE(lines.count(), 1);
    QCOMPARE(lines.at(0).at(0).toString(),
             TrafficText(reinterpret_cast<const quint8 *>(kReply.constData()), int(kReply.size()), true));
}

void TestReceiver::cursorNeverReadsBeyondLen()
{
    Link link;
    // Stale bytes in the ring behind a bare 7-byte reply must not be read.
    feed(link, QByteArray(40, char(0x77)));
    link.state().RxReadPos = link.state().RxWritePos = 0;
    feed(link, BuildFrame(0x67, QByteArray::fromHex("0001")));
    ReplyCursor reply(link.state(), 4);
    QCOMPARE(reply.len(), 5);
    QVERIFY(reply.holds(5));
    QVERIFY(!reply.holds(6));
    QCOMPARE(reply.word(), quint16(0x0001));
    QVERIFY(!reply.overrun());
    QCOMPARE(reply.word(), quint16(0)); // offsets 6 and 7: not in the reply
    QVERIFY(reply.overrun());
}

void TestReceiver::cursorWrapsAroundTheRing()
{
    Link link;
    ProtocolState &s = link.state();
    s.RxReadPos = s.RxWritePos = 995;
    feed(link, BuildFrame(0x67, QByteArray::fromHex("0001ABCD")));
    QCOMPARE(s.ReplyStart, 995);
    ReplyCursor reply(s, 6);
    QVERIFY(reply.holds(7));
    QCOMPARE(reply.word(), quint16(0xABCD)); // offsets 6, 7 at ring 1, 2
    QVERIFY(!reply.overrun());
}

QTEST_GUILESS_MAIN(TestReceiver)
#include "tst_receiver.moc"
