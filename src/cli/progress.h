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

// Text as it may go to a terminal: control characters other than line feed
// and tab (a unit's model text may hold any byte, an escape sequence among
// them) shown as \xNN.
QString Printable(const QString &text);

// Text to stdout and stderr (through Printable), in the locale's encoding,
// flushed at once. A write to stdout that fails is remembered and later
// ones are skipped: FinishOutput tells.
void Out(const QString &text);
void Err(const QString &text);
// Bytes to stdout as they are (a CSV's byte-order mark, its own line ends).
void OutBytes(const QByteArray &bytes);
// One compact JSON document and a line feed on stdout.
void OutJson(const QByteArray &json);
// Flushes stdout; false with the system's reason when anything written to
// it was lost.
bool FinishOutput(QString *reason);
// Descriptors 0, 1 and 2 that the caller left closed get /dev/null, so that
// no port or file opened later takes their number and receives what was
// meant for stdout; a closed stdout stays one that refuses every write.
void GuardStandardStreams();

} // namespace qm::cli
