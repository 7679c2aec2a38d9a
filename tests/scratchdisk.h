#pragma once
// For tests of failed saves: a tmpfs of a few pages that fills up, and
// running as another user so that folder permissions bind on root.

#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

// A tmpfs of a few pages mounted on a folder for one test.
struct SmallDisk {
    QString folder;
    bool mounted = QDir().mkpath(folder)
        && ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k,mode=0755") == 0;
    QString error; // why it is not mounted
    explicit SmallDisk(const QString &path) : folder(path), error(QString::fromLocal8Bit(std::strerror(errno))) {}
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    }
    QString filePath(const QString &name) const { return folder + '/' + name; }
    // A filler file takes every free page; true when the disk refused more.
    bool fill() const
    {
        QFile filler(filePath("filler"));
        const QByteArray page(4096, 'f');
        if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            for (int i = 0; i < 100; ++i)
                if (filler.write(page) != page.size())
                    return true;
        return false;
    }
};

// While it lives, a test run as root runs as user nobody, so that folder
// permissions bind.
struct AsNobody {
    const bool root = ::geteuid() == 0;
    const bool switched = root && ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    ~AsNobody()
    {
        if (root) {
            (void)::seteuid(0);
            (void)::setegid(0);
        }
    }
    bool bound() const { return switched || !root; }
};
