#pragma once
// Comma-separated text as spreadsheets and Python's csv module read it:
// fields with a comma, a quote or a line break are quoted, quotes doubled,
// lines end in CR LF. Files are UTF-8 with a byte-order mark, which is what
// a spreadsheet needs to take them as UTF-8.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace qm {

inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// One line of fields, with its CR LF.
QString CsvLine(const QStringList &fields);

// The records of a CSV text (a byte-order mark at its start is skipped).
// Empty lines are skipped. A quote left open at the end makes the text no
// CSV: an empty list, and error set when given.
QList<QStringList> ParseCsv(const QByteArray &bytes, QString *error = nullptr);

} // namespace qm
