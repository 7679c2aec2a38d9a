#pragma once
// Comma-separated text as spreadsheets and Python's csv module read it:
// fields with a comma, a quote, a CR or a LF are quoted, quotes doubled,
// lines end in CR LF. Files are UTF-8 with a byte-order mark, which is what
// a spreadsheet needs to take them as UTF-8. Every CSV file of the tool is
// written through CsvLine.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace qm {

inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// One line of fields, with its CR LF. Texts come from units and files: a
// text that begins with '=', '+', '-', '@', a tab or a CR would run as a
// formula in a spreadsheet (and one that begins with "'") is written with
// a "'" in front. A field in
// one of numberColumns (0-based) that is a plain decimal number ("-95",
// "12.0") is written as it stands, so the spreadsheet takes it as a
// number; anything else there is a text like any other.
QString CsvLine(const QStringList &fields, const QList<int> &numberColumns = {});
// A cell as CsvLine was given it: the "'" that CsvLine put before a text
// that would run as a formula is taken off again.
QString CsvCellText(const QString &cell);
// Whether text is a plain decimal number: an optional '-', digits, and an
// optional fraction.
bool IsCsvNumber(const QString &text);

// The records of a CSV text (a byte-order mark at its start is skipped).
// Empty lines are skipped. A quote left open at the end makes the text no
// CSV: an empty list, and error set when given.
QList<QStringList> ParseCsv(const QByteArray &bytes, QString *error = nullptr);

} // namespace qm
