#pragma once
// The plumbing every simulated unit shares: the pseudo terminal and its
// symlink, the line-settings gate, the frame recogniser and the frame log.

#include "simoptions.h"
#include "unitmodel.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <csignal>
#include <deque>
#include <memory>
#include <termios.h>

namespace qm { struct ProtocolState; }

namespace qmsim {

// Cuts good frames out of a byte stream with the tool's own recogniser, so
// both ends agree on what a frame is.
class FrameReader {
public:
    FrameReader();
    ~FrameReader();
    FrameReader(const FrameReader &) = delete;
    FrameReader &operator=(const FrameReader &) = delete;

    QList<QByteArray> feed(const QByteArray &bytes);

private:
    std::unique_ptr<qm::ProtocolState> state_;
};

// What a tty keeps of the parity the tool sets. A serial device keeps it
// whole. A Linux pseudo terminal clears the parity-enable bit and keeps only
// the odd-parity bit: there none and even look alike, odd is told apart.
enum class ParityView {
    Full,     // none, even and odd
    OddOnly,  // odd, or not odd
    RateOnly, // nothing of the parity
};

// Whether the tty settings t carry the rate of line and as much of its
// parity as the view shows.
bool LineMatches(const termios &t, const SimLine &line, ParityView view = ParityView::Full);

// What the pty behind fd keeps of the parity bits.
ParityView PtyParityView(int fd);
// "9600,E" for the settings the tool has put on the tty; "?" for a rate the
// radios do not have.
QString TermiosText(const termios &t);

// "96 05 80 99 00 01 8B".
QByteArray HexText(const QByteArray &bytes);

// Microseconds one byte takes on the line: start bit, 8 data bits, the
// parity bit when there is one, stop bit.
qint64 ByteTimeUs(const SimLine &line);

class SimLink {
public:
    SimLink(UnitModel &model, const SimOptions &options);
    ~SimLink();
    SimLink(const SimLink &) = delete;
    SimLink &operator=(const SimLink &) = delete;

    // Opens the pty, sets it raw and points the link path at its slave.
    bool open(QString &error);
    QByteArray slaveName() const { return slaveName_; }
    ParityView parityView() const { return parityView_; }

    // Serves the line until stop becomes non-zero. The caller blocks the stop
    // signals; they are let through only while waiting, in waitMask.
    // Returns 0, or 1 after a fatal error on the pty.
    int run(volatile std::sig_atomic_t &stop, const sigset_t &waitMask);

private:
    // An answer on its way. Byte i has fully arrived at the tool's end at
    // dueUs(i); without pacing all of them at StartUs.
    struct Pending {
        qint64 StartUs = 0;
        qint64 ByteUs = 0;
        qsizetype Sent = 0;
        QByteArray Bytes;
        std::optional<SimLine> LineAfter;
        QByteArray Noisy; // with random noise: what goes out; Bytes is logged
        qint64 dueUs(qsizetype i) const { return StartUs + (i + 1) * ByteUs; }
        const QByteArray &out() const { return Noisy.isEmpty() ? Bytes : Noisy; }
    };

    // The pty and its link path, made afresh after a hang-up.
    bool openLine(QString &error);
    // --hangup-on: closes the line, waits out the pause (stop signals let
    // through) and opens a new one on the same link path.
    bool hangUp(volatile std::sig_atomic_t &stop, const sigset_t &waitMask, QString &error);
    void handleFrame(const QByteArray &frame);
    void sendDue(qint64 nowUs);
    // Puts --noise bytes into an answer when its turn comes.
    QByteArray withNoise(const QByteArray &answer);
    // Starts the --flood stream of answer.
    void startFlood(const QByteArray &answer, qint64 nowMs);
    // Writes as much of the flood as its pace allows by now; returns the
    // milliseconds until more is due, or -1 when there is no flood.
    qint64 pumpFlood(qint64 nowMs);
    void logFrame(const char *direction, const QByteArray &frame);
    void note(const QString &text);
    // Why a frame goes unanswered: said with --verbose and kept in the log
    // as a line "-- why".
    void unanswered(const QString &why);
    void removeLink();

    UnitModel &model_;
    SimOptions options_;
    int master_ = -1;
    int slave_ = -1;
    QByteArray slaveName_;
    bool linkMade_ = false;
    bool hangupDue_ = false;
    bool hungUp_ = false; // once per run
    ParityView parityView_ = ParityView::Full;
    FrameReader reader_;
    QFile log_;
    SimLine active_;      // what the unit listens at now
    SimLine modelLine_;   // what the model had after the last frame
    std::deque<Pending> pending_;
    QRandomGenerator noise_;
    struct Flood {
        bool Started = false;
        QByteArray Unit;     // the answer repeated
        qint64 StartMs = 0;
        qint64 Sent = 0;     // bytes written so far
        qint64 Queued = 0;   // bytes put into Buffer so far
        qint64 Frames = 0;   // whole answers put into the stream
        QByteArray Buffer;   // made, not yet written
    } flood_;
    // With --pace: when each direction of the line is free again.
    qint64 toUnitFreeUs_ = 0;
    qint64 toToolFreeUs_ = 0;
};

} // namespace qmsim
