#pragma once
// Tells when serial devices may have come or gone: a file-system watch on
// /dev (and on any further folder, such as that of a symlinked device),
// quiet for a moment after each change so that one plug-in, with the nodes
// and links the system makes for it, gives one signal. No polling: idle, it
// costs nothing.

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace qm {

class DeviceWatch : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatch(QObject *parent = nullptr);

    // Watches /dev and the given folders until stop().
    void start(const QStringList &moreFolders = {});
    void stop();
    bool isWatching() const { return watching_; }

signals:
    void changed();

private:
    QFileSystemWatcher *watcher_ = nullptr;
    QTimer settle_;
    bool watching_ = false;
};

} // namespace qm
