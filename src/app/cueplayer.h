#pragma once
// Plays the sound cue through the desktop's audio output. The PC speaker of
// old is out of a desktop program's reach, so the tones are synthesized and
// handed to Qt Multimedia; playing goes on while the window works. The
// output is a module loaded at the first cue (cueoutput.h).

#include "common/tonecue.h"

#include <QObject>
#include <memory>

namespace qm {

class CueOutput;

class CuePlayer : public QObject {
    Q_OBJECT
public:
    explicit CuePlayer(QObject *parent = nullptr);
    ~CuePlayer() override;

    // Starts the tones and returns at once; a cue still playing is cut
    // short. Without an audio output, or without the module, nothing is
    // heard and nothing is said.
    void play(const QList<Tone> &tones);
    bool isPlaying() const;

    // Where the output module is looked for: where the installed program
    // keeps it (../lib/qmset of the program's folder, as installed), beside
    // the program, then in ../src of it (the build tree, for tests and
    // benchmarks).
    static QStringList ModuleCandidates();
    // The first candidate that is a file; empty when there is none.
    static QString ModulePath();

signals:
    // Every cue asked for, before an output is looked for.
    void requested(const QList<qm::Tone> &tones);

private:
    CueOutput *output();

    std::unique_ptr<CueOutput> output_;
    bool looked_ = false;
};

} // namespace qm
