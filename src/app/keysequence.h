#pragma once
// The hidden key sequence that switches the traffic echo on. Characters are
// taken in blocks of six from the last restart (start-up, Enter, or a block
// that did not match), not as a sliding window, and case matters.

#include <QChar>
#include <QtGlobal>
#include <array>

namespace qm {

class KeySequence {
public:
    // Takes one typed character; true when it completes the sequence.
    bool KeyPress(QChar c);

    std::array<quint8, 7> KeySeqBuffer{};
    qint32 KeySeqCount = 0;
};

} // namespace qm
