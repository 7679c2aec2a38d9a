// Saving a file's bytes so that a failed write never leaves it half old,
// half new: through a temporary file beside it, or, where the folder takes
// no new file, in place.

#include "common/errors.h"
#include "common/inifile.h"
#include "common/scopedfd.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

bool WriteAllAt(int fd, const char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

// The old bytes are never all gone: the file first grows to the new length
// (a full disk fails here, and the growth is cut off again), then the new
// bytes overwrite the old ones in blocks the file already owns, then the
// file is cut to the new length. Should an overwrite still fail, the old
// bytes are written back.
void WriteInPlace(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    ScopedFd file{::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        throw FileWriteError(path, qt_error_string(errno));
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        throw FileWriteError(path, qt_error_string(errno));
    if (!S_ISREG(st.st_mode))
        throw FileWriteError(path, NotRegularReason(st.st_mode));

    const qint64 oldSize = st.st_size;
    const qint64 newSize = bytes.size();
    const qint64 common = std::min(oldSize, newSize);
    // The part that is overwritten, to put back on failure.
    QByteArray backup(qsizetype(common), Qt::Uninitialized);
    for (qint64 got = 0; got < common;) {
        const ssize_t n = ::pread(file.fd, backup.data() + got, size_t(common - got), off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileWriteError(path, n < 0 ? qt_error_string(errno) : QStringLiteral("文件在读取时变短"));
        got += n;
    }

    if (newSize > oldSize) {
        if (!WriteAllAt(file.fd, bytes.constData() + oldSize, newSize - oldSize, oldSize)
            || ::fsync(file.fd) != 0) {
            const int err = errno;
            (void)::ftruncate(file.fd, off_t(oldSize));
            throw FileWriteError(path, qt_error_string(err));
        }
    }
    const auto restore = [&](int err) {
        (void)WriteAllAt(file.fd, backup.constData(), common, 0);
        (void)::ftruncate(file.fd, off_t(oldSize));
        (void)::fsync(file.fd);
        return FileWriteError(path, qt_error_string(err));
    };
    if (!WriteAllAt(file.fd, bytes.constData(), common, 0))
        throw restore(errno);
    if (newSize < oldSize && ::ftruncate(file.fd, off_t(newSize)) != 0)
        throw restore(errno);
    if (::fsync(file.fd) != 0)
        throw restore(errno);
    if (!file.close())
        throw FileWriteError(path, qt_error_string(errno));
}
} // namespace

void SaveBytesSafely(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    bool exists = false;
    if (!name.isEmpty() && ::stat(name.constData(), &st) == 0) {
        exists = true;
        // A pipe or a device would block or swallow the write, and the
        // rename below would put a plain file in its place.
        if (!S_ISREG(st.st_mode))
            throw FileWriteError(path, NotRegularReason(st.st_mode));
        // The rename would replace a read-only file whenever its folder is
        // writable (and root may write anything), so the owner's write bit
        // is checked too: a file marked read-only is never overwritten.
        if (!(st.st_mode & S_IWUSR) || ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0)
            throw FileWriteError(path, QStringLiteral("文件为只读"));
    } else if (!name.isEmpty() && errno != ENOENT) {
        throw FileWriteError(path, qt_error_string(errno));
    }

    QSaveFile file(path);
    // Qt's own fallback opens the file truncated, so a write that fails
    // afterwards would leave it empty; WriteInPlace() does it safely.
    file.setDirectWriteFallback(false);
    // Unbuffered: a buffered save file takes small writes into memory, and
    // a write that fails later, inside commit(), still renames the short
    // temporary over the file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // A writable file in a folder where nothing may be created.
        if (exists) {
            WriteInPlace(path, bytes);
            return;
        }
        throw FileWriteError(path, file.errorString());
    }
    const auto abandon = [&](const QString &reason) {
        file.cancelWriting(); // the temporary goes with the save file
        return FileWriteError(path, reason);
    };
    if (file.write(bytes) != bytes.size())
        throw abandon(file.errorString());
    if (!file.flush())
        throw abandon(file.errorString());
    // Every byte on disk before the rename: commit() ignores a failed sync.
    if (::fsync(file.handle()) != 0)
        throw abandon(qt_error_string(errno));
    if (!file.commit())
        throw FileWriteError(path, file.errorString());
}

} // namespace qm
