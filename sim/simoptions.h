#pragma once
// qmsim's command line and the choice of unit family.

#include "unitmodel.h"

#include <QSet>
#include <QStringList>
#include <memory>
#include <optional>

namespace qmsim {

struct SimOptions {
    QString Family;
    QString LinkPath;
    SimLine Line;
    QByteArray ModelText;           // empty: the family's own default
    QSet<quint8> SilentOn;          // commands never answered
    QSet<quint8> BadCheckOn;        // commands answered with a spoilt check
    QSet<quint8> IgnoreWriteOn;     // commands acknowledged but not kept
    bool BareReplies = false;       // every answer cut to its address bytes (LEN 5)
    std::optional<quint8> NoiseAfter; // a byte sent after every answer
    qint32 DelayMs = 5;
    QString LogFile;
    bool Verbose = false;
    bool SwrAlarm = false;          // the power reading reports the alarm
    bool SteadyReadings = false;    // readings without drift
    // Line faults for the reliability tests. Noise: this share of answers
    // (0..100) gets one to three random bytes at random places (before,
    // inside or after the frame), drawn from NoiseSeed.
    int NoisePercent = 0;
    quint32 NoiseSeed = 1;
    // Flood: the first frame answered starts a stream of FloodBytes bytes of
    // its answer over and over, with a random byte after some of them,
    // paced at FloodRate bit/s (ten bits a byte; 0 is the unit's own rate).
    qint64 FloodBytes = 0;
    qint32 FloodRate = 0;
    // Answers take the line time a real line gives: the request's bytes and
    // then the reply's, one by one, at the unit's rate and framing.
    bool Pace = false;
    // Hang-up: the first frame with this command is not answered; the unit
    // hangs up the line instead (the pty closes and the link path goes, as
    // an unplugged adapter's device does) and comes back on the same link
    // path, on a new pty, HangupPauseMs later.
    std::optional<quint8> HangupOn;
    qint32 HangupPauseMs = 2000;
};

// Parses args (program name first). On failure returns false with a message
// in error; with --help, returns false and puts the usage text in error.
bool ParseSimOptions(const QStringList &args, SimOptions &options, QString &error);

// The model for options.Family, or null with a message.
std::unique_ptr<UnitModel> MakeModel(const SimOptions &options, QString &error);

} // namespace qmsim
