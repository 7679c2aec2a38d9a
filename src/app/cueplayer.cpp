#include "app/cueplayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace qm {

namespace {
constexpr int kFallbackRate = 48000;

// A 16-bit format the output takes: mono if it can, else its own channel
// count. An invalid format when it takes neither.
QAudioFormat formatFor(const QAudioDevice &device)
{
    QAudioFormat format = device.preferredFormat();
    if (format.sampleRate() <= 0)
        format.setSampleRate(kFallbackRate);
    format.setSampleFormat(QAudioFormat::Int16);
    const int ownChannels = format.channelCount();
    format.setChannelCount(1);
    if (device.isFormatSupported(format))
        return format;
    format.setChannelCount(ownChannels);
    if (ownChannels > 0 && device.isFormatSupported(format))
        return format;
    return {};
}
} // namespace

CuePlayer::CuePlayer(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("CuePlayer"));
}

CuePlayer::~CuePlayer()
{
    stop();
}

void CuePlayer::play(const QList<Tone> &tones)
{
    emit requested(tones);
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    const QAudioFormat format = formatFor(device);
    if (!format.isValid())
        return;
    pcm_ = SynthesizeTones(tones, format.sampleRate(), format.channelCount());
    buffer_.setData(pcm_);
    if (!buffer_.open(QIODevice::ReadOnly))
        return;
    sink_ = std::make_unique<QAudioSink>(device, format);
    // Done (the buffer ran dry) or failed: either way the output is given
    // back. Deferred, as the sink must not be deleted inside its own signal.
    const quint64 cue = ++cueNumber_;
    connect(sink_.get(), &QAudioSink::stateChanged, this, [this, cue](QAudio::State state) {
        if (state != QAudio::IdleState && state != QAudio::StoppedState)
            return;
        QMetaObject::invokeMethod(
            this, [this, cue] {
                if (cue == cueNumber_) // not a newer cue
                    stop();
            },
            Qt::QueuedConnection);
    });
    sink_->start(&buffer_);
}

void CuePlayer::stop()
{
    if (sink_) {
        // Nobody is told of the stop: the cue simply ends.
        sink_->disconnect(this);
        sink_->stop();
        sink_.reset();
    }
    buffer_.close();
}

} // namespace qm
