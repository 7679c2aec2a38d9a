// Throughput of the receive path: bytes stored in the ring and recognised,
// frames announced, with a stream of valid frames, broken frames and noise.
#include "benchkit.h"
#include "link/frame.h"
#include "link/link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qm::Link link;
    int frames = 0;
    QObject::connect(&link, &qm::Link::frameReceived, [&frames] { ++frames; });

    // A channel-table reply, a bad frame and line noise, over and over.
    QByteArray chunk = qm::BuildFrame(0x63, QByteArray(42, '\x43'));
    QByteArray bad = qm::BuildFrame(0x67, QByteArray::fromHex("0001012c"));
    bad[bad.size() - 1] = char(bad.back() ^ 0xFF);
    chunk += bad + QByteArray::fromHex("00ff55aa");
    QByteArray burst;
    while (burst.size() < (1 << 20))
        burst += chunk;

    constexpr int kRounds = 64;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kRounds; ++i)
        link.receiveBytes(reinterpret_cast<const quint8 *>(burst.constData()), burst.size());
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double megabytes = double(burst.size()) * kRounds / 1e6;
    const double rate = megabytes / seconds;
    bench::Note("bench_receive: %.1f MB in %.3f s = %.1f MB/s, %.0f good frames/s", megabytes, seconds, rate,
                frames / seconds);
    constexpr double kTarget = 50;
    return bench::Result(QStringLiteral("Receive path, valid and broken frames"), QStringLiteral("%1 MB/s").arg(rate, 0, 'f', 0),
                         QStringLiteral(">= %1 MB/s").arg(kTarget), frames > 0 && rate >= kTarget)
        ? 0
        : 1;
}
