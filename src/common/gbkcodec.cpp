// Free text of the parameter files through the GBK codec.

#include "common/inifile.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qm {

bool GbkCodecAvailable()
{
    static const bool available = QStringDecoder("GBK").isValid() && QStringEncoder("GBK").isValid();
    return available;
}

// Without a GBK codec (a Qt built without ICU) the parameter files still
// work through the byte constants; only free text degrades: ASCII passes,
// other bytes show as U+FFFD and non-ASCII characters are written as '?'.
QString DecodeGbk(const QByteArray &bytes)
{
    if (GbkCodecAvailable()) {
        // The bytes are a whole text, but the decoder keeps a double-byte
        // character cut off at the end for a next call that never comes,
        // and the byte would be lost unseen. A line end after the text ends
        // any such character (it becomes a stand-in) and is taken off again.
        QStringDecoder decoder("GBK");
        QString text = decoder.decode(bytes + '\n');
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        return text;
    }
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.append(static_cast<uchar>(c) < 0x80 ? QChar(c) : QChar(QChar::ReplacementCharacter));
    return text;
}

QByteArray EncodeGbk(const QString &text)
{
    if (GbkCodecAvailable()) {
        QStringEncoder encoder("GBK");
        return encoder.encode(text);
    }
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text)
        bytes.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
    return bytes;
}

} // namespace qm
