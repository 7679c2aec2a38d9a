#pragma once
// Progress of a command on stderr: a line per step, or, when stderr is a
// terminal, one line that each step overwrites. Results go to stdout and
// are never mixed into it.

#include <QString>

namespace qm::cli {

class Progress {
public:
    Progress();
    // A step under way; on a terminal it replaces the previous one.
    void step(const QString &text);
    // A line that stays (a warning, an outcome).
    void note(const QString &text);
    // Ends the overwritten line, if one is showing.
    void finish();

private:
    bool terminal_ = false;
    bool open_ = false;
};

// Text to stdout and stderr, in the locale's encoding, flushed at once.
void Out(const QString &text);
void Err(const QString &text);

} // namespace qm::cli
