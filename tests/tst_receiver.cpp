// The receive ring and the reply recogniser, through the Link's receive path.
#include "link/frame.h"
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

QTEST_GUILESS_MAIN(TestReceiver)
#include "tst_receiver.moc"
