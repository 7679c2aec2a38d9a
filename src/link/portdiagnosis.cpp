#include "link/portdiagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace qm {

namespace {

QString missing(const QString &device, bool nodeExists)
{
    const QString what = nodeExists ? QStringLiteral("设备 %1 后面没有串口（无硬件响应）").arg(device)
                                    : QStringLiteral("找不到设备 %1").arg(device);
    return what + QStringLiteral("：请检查串口线或 USB 转换器是否插好");
}

QString other(const QString &device, const QString &qtErrorText)
{
    return QStringLiteral("无法打开 %1：%2").arg(device, qtErrorText);
}

#ifdef Q_OS_UNIX

struct Holder {
    qint64 pid = 0;
    QString program;
};

QString inUse(const QString &device, const QList<Holder> &holders)
{
    QStringList names;
    for (const Holder &h : holders)
        names << (h.program.isEmpty() ? QStringLiteral("进程 %1").arg(h.pid) : QStringLiteral("%1（进程 %2）").arg(h.program).arg(h.pid));
    if (names.isEmpty())
        return QStringLiteral("%1 正被其他程序占用：请先关闭使用它的程序").arg(device);
    return QStringLiteral("%1 正被其他程序占用：%2；请先关闭该程序").arg(device, names.join(QStringLiteral("、")));
}

bool alive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString programOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(comm.readAll()).trimmed();
    return {};
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

// The names a lock file of device may carry: "LCK..ttyUSB0", and for a path
// outside /dev the whole path with '/' as '_' (what QSerialPort uses).
QStringList lockNames(const QString &device)
{
    QStringList names;
    for (const QString &path : {device, canonical(device)}) {
        QString name = path;
        if (name.startsWith(QLatin1String("/dev/")))
            name = name.mid(5);
        names << QStringLiteral("LCK..") + QString(name).replace(QLatin1Char('/'), QLatin1Char('_'));
        names << QStringLiteral("LCK..") + QFileInfo(path).fileName();
    }
    names.removeDuplicates();
    return names;
}

// A lock file of device held by a live process.
std::optional<Holder> lockHolder(const QString &device)
{
    static const char *const dirs[] = {"/var/lock", "/run/lock", "/var/lock/lockdev", "/var/spool/locks",
                                       "/var/spool/uucp", "/etc/locks", "/tmp", "/var/tmp"};
    for (const char *dir : dirs) {
        for (const QString &name : lockNames(device)) {
            QFile file(QLatin1String(dir) + QLatin1Char('/') + name);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = file.read(512);
            qint64 pid = 0;
            // The old binary form is the process id as a 4-byte integer; the
            // others are text with the id on the first line (QSerialPort
            // puts the program's name on the second).
            if (text.size() == 4 && !std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); })) {
                qint32 binary = 0;
                std::memcpy(&binary, text.constData(), 4);
                pid = binary;
            } else {
                pid = text.split('\n').value(0).trimmed().toLongLong();
            }
            if (!alive(pid))
                continue;
            Holder holder{pid, programOf(pid)};
            if (holder.program.isEmpty())
                holder.program = QString::fromLocal8Bit(text.split('\n').value(1).trimmed());
            return holder;
        }
    }
    return std::nullopt;
}

// The processes that have device open, as far as /proc lets this user see.
QList<Holder> openHolders(const QString &device)
{
    QList<Holder> holders;
    const QString target = canonical(device);
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : pids) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
        for (const QString &fd : QDir(fdDir).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            if (QFile::symLinkTarget(fdDir + QLatin1Char('/') + fd) == target) {
                holders.append(Holder{pid, programOf(pid)});
                break;
            }
        }
    }
    return holders;
}

QString userName()
{
    if (const passwd *pw = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QStringLiteral("$USER");
}

bool processHasGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(n, 0)));
    if (n > 0 && ::getgroups(n, groups.data()) == n)
        return std::find(groups.begin(), groups.end(), gid) != groups.end();
    return false;
}

// Whether the user's account is in the group (from the group database),
// whatever this login's processes have.
bool accountHasGroup(gid_t gid)
{
    const passwd *pw = ::getpwuid(::getuid());
    if (!pw)
        return false;
    int n = 64;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0) {
        groups.resize(size_t(n));
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0)
            return false;
    }
    groups.resize(size_t(n));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

QString permission(const QString &device, const struct stat &st)
{
    const group *gr = ::getgrgid(st.st_gid);
    const QString groupName = gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(st.st_gid);
    const bool groupMayUse = (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
    if (!groupMayUse || processHasGroup(st.st_gid)) {
        const passwd *owner = ::getpwuid(st.st_uid);
        return QStringLiteral("无权打开 %1：只有 %2 可以读写它（权限 %3）；请管理员更改设备的权限")
            .arg(device, owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(st.st_uid))
            .arg(st.st_mode & 0777, 4, 8, QLatin1Char('0'));
    }
    if (accountHasGroup(st.st_gid))
        return QStringLiteral("无权打开 %1：用户 %2 已加入 %3 组，但要注销并重新登录后才生效").arg(device, userName(), groupName);
    return QStringLiteral("无权打开 %1（属于 %2 组）：请执行 sudo usermod -aG %2 %3，然后注销并重新登录").arg(device, groupName, userName());
}

#endif

} // namespace

QString DescribeOpenFailure(const QString &device, const QString &qtErrorText)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return missing(device, false);
        return other(device, qtErrorText);
    }
    // A lock first: then the device is not touched at all.
    if (const auto holder = lockHolder(device))
        return inUse(device, {*holder});
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return permission(device, st);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return other(device, qtErrorText);
    }
    switch (errno) {
    case ENOENT:
        return missing(device, false);
    case ENXIO:
    case ENODEV:
    case EIO:
        return missing(device, true);
    case EACCES:
    case EPERM:
        return permission(device, st);
    case EBUSY:
        return inUse(device, openHolders(device));
    default:
        return other(device, qtErrorText);
    }
#else
    Q_UNUSED(device);
    return other(device, qtErrorText);
#endif
}

} // namespace qm
