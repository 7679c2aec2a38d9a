#pragma once
// The sound cue as samples. A cue is a list of tones played back to back;
// the samples are a square wave, like the PC speaker the cue was made for.

#include <QByteArray>
#include <QList>

namespace qm {

struct Tone {
    int frequency = 0; // hertz; 0 is silence
    int ms = 0;
    friend bool operator==(const Tone &, const Tone &) = default;
};

// Three times over: f1 for duration/3 ms, f2 for duration/2 ms, 3*f1 for
// 2*duration ms (integer division, as the cue has always been timed).
QList<Tone> CueTones(int f1, int f2, int duration);

// Signed 16-bit samples, native byte order, the same value in each of
// `channels` interleaved channels. Every tone starts at the rising edge of
// its wave and lasts ms * sampleRate / 1000 samples; a tone at or above half
// the sample rate, or of no frequency, is silence. Durations are clamped to
// 0..kMaxToneMs, so no argument can ask for unbounded memory.
QByteArray SynthesizeTones(const QList<Tone> &tones, int sampleRate, int channels = 1);

inline constexpr int kMaxToneMs = 10000;
inline constexpr qint16 kToneAmplitude = 8000;

} // namespace qm
