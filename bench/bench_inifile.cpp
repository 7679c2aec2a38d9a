// Parameter files: how long loading, looking up and storing take on large
// files, and how quickly a file above the size limit is refused. Prints the
// times; nothing is asserted here.
#include "common/errors.h"
#include "common/gbktexts.h"
#include "common/inifile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QList<QByteArray> DataRadioKeys()
{
    using namespace qm::gbk;
    QList<QByteArray> keys;
    for (int i = 0; i < 10; ++i)
        keys << TxFreqKeys[i] << RxFreqKeys[i];
    keys << KeyCurrentChannel << KeyDeviceAddress << KeyTransferMode << KeyAddressMode << KeyBaudRate << KeyParity
         << KeyAirRate << KeyRelayMode;
    return keys;
}

// size bytes of lines without "=", ending in br, and the data-radio section
// at the end (the worst place for a search).
QByteArray LinesWithoutEquals(qsizetype size, const QByteArray &br)
{
    const QByteArray line = "lines without an equals sign, as in a text file chosen by mistake" + br;
    QByteArray bytes;
    bytes.reserve(size + 4096);
    while (bytes.size() < size)
        bytes += line;
    bytes += "[File_DK618]" + br;
    for (const QByteArray &key : DataRadioKeys())
        bytes += key + "=4330000" + br;
    return bytes;
}

double Ms(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

// Lookups of the 28 keys, then storing all 28 into the document and saving.
void LookupAndStore(const char *what, qm::IniDocument &doc, double parseMs)
{
    const QList<QByteArray> keys = DataRadioKeys();
    QElapsedTimer clock;
    clock.start();
    int found = 0;
    for (const QByteArray &key : keys)
        found += doc.value(qm::gbk::SectionDk618, key, "?") != "?";
    const double lookupMs = Ms(clock);
    clock.restart();
    for (const QByteArray &key : keys)
        doc.setValue(qm::gbk::SectionDk618, key, "4330250");
    doc.setValue("File_MLR4800", qm::gbk::KeyUnitAddress, "1");
    const double setMs = Ms(clock);
    clock.restart();
    doc.save();
    const double saveMs = Ms(clock);
    std::printf("%-34s %9.1f ms parse %7.2f ms 28 lookups (%d found) %7.1f ms 29 stores %7.1f ms save\n", what, parseMs,
                lookupMs, found, setMs, saveMs);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.ini"));
    constexpr qsizetype kTen = 10 * 1000 * 1000;

    for (const auto &[name, br] : {std::pair{"CR LF", QByteArray("\r\n")}, std::pair{"LF", QByteArray("\n")},
                                   std::pair{"CR", QByteArray("\r")}, std::pair{"one line", QByteArray()}}) {
        const QByteArray bytes = LinesWithoutEquals(kTen, br.isEmpty() ? QByteArray(" ") : br);
        QElapsedTimer clock;
        clock.start();
        qm::IniDocument doc = qm::IniDocument::fromBytes(path, bytes);
        const double parseMs = Ms(clock);
        LookupAndStore(qPrintable(QStringLiteral("10 MB in memory, %1:").arg(QLatin1String(name))), doc, parseMs);
    }

    // The same file from disk: refused before it is read.
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(LinesWithoutEquals(kTen, "\r\n")) < kTen)
            return 1;
    }
    QElapsedTimer clock;
    clock.start();
    QString refusal;
    try {
        qm::IniDocument::load(path);
    } catch (const qm::Error &e) {
        refusal = e.message();
    }
    std::printf("%-34s %9.3f ms: %s\n", "10 MB file from disk, refused:", Ms(clock), qPrintable(refusal));

    // The largest file that is loaded.
    {
        QFile file(path);
        const QByteArray bytes = LinesWithoutEquals(qm::IniDocument::kMaxFileSize - 2048, "\r\n");
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return 1;
    }
    clock.restart();
    qm::IniDocument doc = qm::IniDocument::load(path);
    LookupAndStore("1 MiB file from disk (the limit):", doc, Ms(clock));
    return refusal.isEmpty() ? 1 : 0;
}
