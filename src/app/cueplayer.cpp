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

// The module's folder relative to the program's, as the build installs them.
#ifndef QMSET_CUE_MODULE_DIR
#define QMSET_CUE_MODULE_DIR "../lib/qmset"
#endif

QStringList CuePlayer::ModuleCandidates()
{
    const QDir dir(QCoreApplication::applicationDirPath());
    const QString name = QStringLiteral("qmcue.so");
    return {QDir::cleanPath(dir.filePath(QStringLiteral(QMSET_CUE_MODULE_DIR "/") + name)), dir.filePath(name),
            QDir::cleanPath(dir.filePath(QStringLiteral("../src/") + name))};
}

QString CuePlayer::ModulePath()
{
    for (const QString &path : ModuleCandidates()) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
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
