#include "link/devicewatch.h"

#include <QDir>

namespace qm {

DeviceWatch::DeviceWatch(QObject *parent)
    : QObject(parent)
{
    settle_.setSingleShot(true);
    // udev makes the node, then its links and its group; let it finish.
    settle_.setInterval(250);
    connect(&settle_, &QTimer::timeout, this, &DeviceWatch::changed);
}

void DeviceWatch::start(const QStringList &moreFolders)
{
    stop();
    // A watcher of its own each time: removing paths from a live inotify
    // watcher can leave events of the old ones queued.
    watcher_ = new QFileSystemWatcher(this);
    QStringList folders{QStringLiteral("/dev")};
    for (const QString &folder : moreFolders)
        if (!folder.isEmpty() && QDir(folder).exists() && !folders.contains(folder))
            folders << folder;
    watcher_->addPaths(folders);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
    watching_ = true;
}

void DeviceWatch::stop()
{
    settle_.stop();
    delete watcher_;
    watcher_ = nullptr;
    watching_ = false;
}

} // namespace qm
