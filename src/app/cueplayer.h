#pragma once
// Plays the sound cue through the desktop's audio output. The PC speaker of
// old is out of a desktop program's reach, so the tones are synthesized and
// handed to Qt Multimedia; playing goes on while the window works.

#include "common/tonecue.h"

#include <QBuffer>
#include <QObject>
#include <memory>

class QAudioSink;

namespace qm {

class CuePlayer : public QObject {
    Q_OBJECT
public:
    explicit CuePlayer(QObject *parent = nullptr);
    ~CuePlayer() override;

    // Starts the tones and returns at once; a cue still playing is cut
    // short. Without an audio output nothing is heard and nothing is said.
    void play(const QList<Tone> &tones);
    bool isPlaying() const { return sink_ != nullptr; }

signals:
    // Every cue asked for, before an output is looked for.
    void requested(const QList<qm::Tone> &tones);

private:
    void stop();

    std::unique_ptr<QAudioSink> sink_;
    QByteArray pcm_;
    QBuffer buffer_;
    quint64 cueNumber_ = 0;
};

} // namespace qm
