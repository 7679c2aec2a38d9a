#include "app/cueplayer.h"

#include "app/cueoutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace qm {

CuePlayer::CuePlayer(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("CuePlayer"));
}

// A cue still playing ends with the player.
CuePlayer::~CuePlayer() = default;

QStringList CuePlayer::ModuleCandidates()
{
    const QDir dir(QCoreApplication::applicationDirPath());
    return {dir.filePath(QStringLiteral("qmcue.so")), QDir::cleanPath(dir.filePath(QStringLiteral("../src/qmcue.so")))};
}

CueOutput *CuePlayer::output()
{
    if (looked_)
        return output_.get();
    looked_ = true;
    for (const QString &path : ModuleCandidates()) {
        if (!QFileInfo(path).isFile())
            continue;
        QPluginLoader loader(path);
        if (auto *factory = qobject_cast<CueOutputFactory *>(loader.instance())) {
            output_.reset(factory->create());
            break;
        }
    }
    return output_.get();
}

void CuePlayer::play(const QList<Tone> &tones)
{
    emit requested(tones);
    if (CueOutput *out = output())
        out->play(tones);
}

bool CuePlayer::isPlaying() const
{
    return output_ && output_->isPlaying();
}

} // namespace qm
