#pragma once
// The report of a batch: CSV in UTF-8 with a byte-order mark (spreadsheet
// programs then read the Chinese texts), one row per unit, appended and on
// disk before the next unit. A row goes out whole or not at all: a write
// that fails cuts the file back to its length before the row, so a later
// run never continues a torn one.

#include <QString>
#include <QStringList>

namespace qm::cli {

class BatchReport {
public:
    BatchReport() = default;
    ~BatchReport();
    BatchReport(const BatchReport &) = delete;
    BatchReport &operator=(const BatchReport &) = delete;

    // time, port, family, model, address, result, differences, duration_ms
    static const QStringList &columns();

    // Opens path for appending; a new or empty file gets the byte-order
    // mark and the header row. False with the system's reason in *error.
    bool open(const QString &path, QString *error);
    // Appends one row (by columns()), starting on a line of its own when
    // the file did not end in one; false with the system's reason.
    bool append(const QStringList &cells, QString *error);
    QString path() const { return path_; }

private:
    bool write(const QByteArray &bytes, QString *error);

    int fd_ = -1;
    QString path_;
    bool needsLineBreak_ = false;
};

} // namespace qm::cli
