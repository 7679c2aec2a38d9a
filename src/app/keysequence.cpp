#include "app/keysequence.h"

#include <cstring>

namespace qm {

namespace {
// The six letters and their terminating zero.
constexpr char kSequence[7] = {'q', 'o', 'r', 'v', 'e', 'l', 0};
} // namespace

bool KeySequence::KeyPress(QChar c)
{
    if (c == QChar(13)) {
        KeySeqCount = 0;
        return false;
    }
    // One byte per character; one beyond Latin-1 can match no letter.
    KeySeqBuffer[KeySeqCount++] = c.unicode() <= 0xFF ? quint8(c.unicode()) : quint8('?');
    if (KeySeqCount < 6)
        return false;
    // At six the block is compared; after a match the next character makes
    // a seventh, compared with the terminating zero. A full buffer starts
    // over whatever it held (a zero typed after the sequence would otherwise
    // run the count past the buffer's end).
    const bool equal = std::memcmp(KeySeqBuffer.data(), kSequence, size_t(KeySeqCount)) == 0;
    if (!equal || KeySeqCount == int(KeySeqBuffer.size()))
        KeySeqCount = 0;
    return equal;
}

} // namespace qm
