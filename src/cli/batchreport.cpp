#include "cli/batchreport.h"

#include "common/csvtext.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::cli {

namespace {
// The address and the duration are numbers.
const QList<int> kNumberColumns{4, 7};

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

BatchReport::~BatchReport()
{
    if (fd_ >= 0)
        ::close(fd_);
}

const QStringList &BatchReport::columns()
{
    static const QStringList names{QStringLiteral("time"),   QStringLiteral("port"),        QStringLiteral("family"),
                                   QStringLiteral("model"),  QStringLiteral("address"),     QStringLiteral("result"),
                                   QStringLiteral("differences"), QStringLiteral("duration_ms")};
    return names;
}

bool BatchReport::open(const QString &path, QString *error)
{
    path_ = path;
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        *error = QStringLiteral("cannot open the report %1: %2").arg(path, systemReason(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("cannot open the report %1: not a regular file").arg(path);
        return false;
    }
    QByteArray start;
    if (st.st_size > 0) {
        const qsizetype head = qsizetype(std::min<off_t>(st.st_size, 3));
        start.resize(head);
        char last = '\n';
        if (::pread(fd_, start.data(), size_t(head), 0) != head || ::pread(fd_, &last, 1, st.st_size - 1) != 1) {
            *error = QStringLiteral("cannot read the report %1: %2").arg(path, systemReason(errno));
            return false;
        }
        needsLineBreak_ = last != '\n';
    }
    // A file of nothing but the byte-order mark has no header yet.
    if (st.st_size == 0 || (st.st_size == 3 && start == kUtf8Bom)) {
        needsLineBreak_ = false;
        const QByteArray header = (st.st_size == 0 ? QByteArray(kUtf8Bom) : QByteArray()) + CsvLine(columns()).toUtf8();
        if (!write(header, error)) {
            *error = QStringLiteral("cannot write the report %1: %2").arg(path, *error);
            return false;
        }
    }
    return true;
}

bool BatchReport::append(const QStringList &cells, QString *error)
{
    const QByteArray row = (needsLineBreak_ ? QByteArrayLiteral("\r\n") : QByteArray()) + CsvLine(cells, kNumberColumns).toUtf8();
    if (!write(row, error))
        return false;
    needsLineBreak_ = false;
    return true;
}

bool BatchReport::write(const QByteArray &bytes, QString *error)
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        *error = systemReason(errno);
        return false;
    }
    const off_t before = st.st_size;
    qsizetype done = 0;
    int failure = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    if (failure == 0 && ::fsync(fd_) != 0)
        failure = errno;
    if (failure == 0)
        return true;
    // Nothing of the row stays behind.
    if (::ftruncate(fd_, before) == 0)
        ::fsync(fd_);
    *error = systemReason(failure);
    return false;
}

} // namespace qm::cli
