#pragma once
// The audio output of the sound cue. It lives in a module of its own
// (qmcue.so beside the program) that CuePlayer loads at the first cue: Qt
// Multimedia brings some twenty libraries with it, and a session that plays
// no cue should not load them at start-up.

#include "common/tonecue.h"

#include <QtPlugin>

namespace qm {

class CueOutput {
public:
    virtual ~CueOutput() = default;
    // Starts the tones and returns at once; a cue still playing is cut
    // short. Without an audio output nothing is heard and nothing is said.
    virtual void play(const QList<Tone> &tones) = 0;
    virtual bool isPlaying() const = 0;
};

// The module's root object: makes an output, which the caller owns.
class CueOutputFactory {
public:
    virtual ~CueOutputFactory() = default;
    virtual CueOutput *create() = 0;
};

} // namespace qm

#define QM_CUE_OUTPUT_FACTORY_IID "qmset.CueOutputFactory/1"
Q_DECLARE_INTERFACE(qm::CueOutputFactory, QM_CUE_OUTPUT_FACTORY_IID)
