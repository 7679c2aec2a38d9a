#include "testpage/readingsjournal.h"

#include "common/csvtext.h"

#include <QDir>
#include <QStandardPaths>

namespace qm {

QString ReadingsFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("readings"));
}

ReadingsJournal::ReadingsJournal(const QString &folder)
    : folder_(folder)
{
}

QString ReadingsJournal::pathOf(const QDate &day) const
{
    return QDir(folder_).filePath(QStringLiteral("readings-%1.csv").arg(day.toString(Qt::ISODate)));
}

bool ReadingsJournal::open(const QDate &day, QString *error)
{
    if (file_.isOpen() && day_ == day)
        return true;
    file_.close();
    if (!QDir().mkpath(folder_)) {
        *error = QStringLiteral("不能建立文件夹 %1").arg(QDir::toNativeSeparators(folder_));
        return false;
    }
    file_.setFileName(pathOf(day));
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("%1（%2）").arg(file_.fileName(), file_.errorString());
        return false;
    }
    day_ = day;
    if (file_.size() == 0) {
        const QByteArray header = QByteArray(kUtf8Bom) + ReadingsCsvHeader().toUtf8();
        if (file_.write(header) != header.size() || !file_.flush()) {
            *error = QStringLiteral("%1（%2）").arg(file_.fileName(), file_.errorString());
            file_.close();
            return false;
        }
    }
    return true;
}

bool ReadingsJournal::write(const Reading &reading, QString *error)
{
    if (!open(reading.time.date(), error))
        return false;
    const QByteArray line = ReadingsCsvLine(reading).toUtf8();
    if (file_.write(line) != line.size() || !file_.flush()) {
        *error = QStringLiteral("%1（%2）").arg(file_.fileName(), file_.errorString());
        // Opened again on the next reading: the disk may have room by then.
        file_.close();
        return false;
    }
    return true;
}

} // namespace qm
