#pragma once
// Every reading of the test run, appended as it comes to a CSV file of its
// day in the data folder (readings/readings-2026-12-08.csv, the columns of
// the export): nothing is lost when the window closes or memory lets the
// oldest readings go. Each line is on disk before the next reading comes.

#include "testpage/readingslog.h"

#include <QFile>
#include <QString>

namespace qm {

// AppDataLocation/readings.
QString ReadingsFolder();

class ReadingsJournal {
public:
    explicit ReadingsJournal(const QString &folder);

    // Appends reading to the file of its day (made with its header when
    // new); false with the reason in *error when it could not be written.
    bool write(const Reading &reading, QString *error);
    // The file of a day.
    QString pathOf(const QDate &day) const;

private:
    bool open(const QDate &day, QString *error);

    QString folder_;
    QFile file_;
    QDate day_;
};

} // namespace qm
