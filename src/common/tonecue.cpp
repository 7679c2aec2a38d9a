#include "common/tonecue.h"

#include <algorithm>

namespace qm {

QList<Tone> CueTones(int f1, int f2, int duration)
{
    QList<Tone> tones;
    for (int i = 0; i < 3; ++i) {
        tones.append({f1, duration / 3});
        tones.append({f2, duration / 2});
        tones.append({3 * f1, 2 * duration});
    }
    return tones;
}

QByteArray SynthesizeTones(const QList<Tone> &tones, int sampleRate, int channels)
{
    if (sampleRate <= 0 || channels <= 0)
        return {};
    qint64 frames = 0;
    for (const Tone &tone : tones)
        frames += qint64(std::clamp(tone.ms, 0, kMaxToneMs)) * sampleRate / 1000;

    QByteArray pcm(frames * channels * qsizetype(sizeof(qint16)), Qt::Uninitialized);
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    for (const Tone &tone : tones) {
        const qint64 count = qint64(std::clamp(tone.ms, 0, kMaxToneMs)) * sampleRate / 1000;
        const bool audible = tone.frequency > 0 && 2 * qint64(tone.frequency) < sampleRate;
        // The phase in whole samples times the frequency, so that no
        // rounding builds up over a long tone: high for the first half of
        // each period, low for the second.
        for (qint64 n = 0; n < count; ++n) {
            qint16 value = 0;
            if (audible) {
                const qint64 phase = (n * tone.frequency) % sampleRate;
                value = 2 * phase < sampleRate ? kToneAmplitude : qint16(-kToneAmplitude);
            }
            for (int c = 0; c < channels; ++c)
                *out++ = value;
        }
    }
    return pcm;
}

} // namespace qm
