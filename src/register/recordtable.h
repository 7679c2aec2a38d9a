#pragma once
// Records as a table for people and spreadsheets: the CSV that
// `qmset history --csv` prints and the window exports, and the short texts
// of a record's values and differences.

#include "common/unitrecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace qm {

// The time as the station saw it: "2026-12-08 14:30:05 +08:00".
QString LocalTimeText(const UnitRecord &record);
// "KEY=VALUE; KEY=VALUE", in the record's order.
QString ValuesText(const UnitRecord &record);
// "KEY: A -> B; ..."
QString DifferencesText(const UnitRecord &record);

// A date ("2026-12-08", that day in local time) or an instant
// ("2026-12-08T14:30[:05]", local time unless it names its offset) as a
// bound of a time filter. As an upper bound (the first instant no longer
// taken in), a date takes in its whole day and an instant itself.
bool ParseTimeBound(const QString &text, bool upper, QDateTime *bound);

QStringList RecordCsvHeader();
QStringList RecordCsvCells(const UnitRecord &record);
// UTF-8 with a byte-order mark, a header line and a line per record.
QByteArray RecordsCsv(const QList<UnitRecord> &records);

} // namespace qm
