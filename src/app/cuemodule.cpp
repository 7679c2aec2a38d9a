// The module qmcue: plays the sound cue through Qt Multimedia. Loaded by
// CuePlayer at the first cue (see cueoutput.h).

#include "app/cueoutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <memory>

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

class MultimediaCueOutput : public QObject, public CueOutput {
public:
    ~MultimediaCueOutput() override { stop(); }

    void play(const QList<Tone> &tones) override
    {
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

    bool isPlaying() const override { return sink_ != nullptr; }

private:
    void stop()
    {
        if (sink_) {
            // Nobody is told of the stop: the cue simply ends.
            sink_->disconnect(this);
            sink_->stop();
            sink_.reset();
        }
        buffer_.close();
    }

    std::unique_ptr<QAudioSink> sink_;
    QByteArray pcm_;
    QBuffer buffer_;
    quint64 cueNumber_ = 0;
};
} // namespace

class MultimediaCueFactory : public QObject, public CueOutputFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QM_CUE_OUTPUT_FACTORY_IID)
    Q_INTERFACES(qm::CueOutputFactory)
public:
    CueOutput *create() override { return new MultimediaCueOutput; }
};

} // namespace qm

#include "cuemodule.moc"
