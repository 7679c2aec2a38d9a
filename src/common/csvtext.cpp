#include "common/csvtext.h"

namespace qm {

namespace {
// A first character that makes a spreadsheet take a text as a formula, and
// the quote mark that guards it (guarded itself, so that taking the guard
// off again gives back any text).
bool NeedsGuard(QChar first)
{
    return first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') || first == QLatin1Char('@')
        || first == QLatin1Char('\t') || first == QLatin1Char('\r') || first == QLatin1Char('\'');
}

QString Field(const QString &text, bool number)
{
    QString field = text;
    if (!(number && IsCsvNumber(text)) && !text.isEmpty() && NeedsGuard(text.front()))
        field.prepend(QLatin1Char('\''));
    const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
        || field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    if (!quote)
        return field;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}
} // namespace

QString CsvCellText(const QString &cell)
{
    if (cell.size() > 1 && cell.front() == QLatin1Char('\'') && NeedsGuard(cell[1]))
        return cell.mid(1);
    return cell;
}

bool IsCsvNumber(const QString &text)
{
    qsizetype i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    const qsizetype digitsFrom = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80)
        ++i;
    if (i == digitsFrom)
        return false;
    if (i == text.size())
        return true;
    if (text[i] != QLatin1Char('.'))
        return false;
    const qsizetype fractionFrom = ++i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80)
        ++i;
    return i > fractionFrom && i == text.size();
}

QString CsvLine(const QStringList &fields, const QList<int> &numberColumns)
{
    QStringList out;
    out.reserve(fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        out.append(Field(fields[i], numberColumns.contains(int(i))));
    return out.join(QLatin1Char(',')) + QLatin1String("\r\n");
}

QList<QStringList> ParseCsv(const QByteArray &bytes, QString *error)
{
    const QString text = QString::fromUtf8(bytes.startsWith(kUtf8Bom) ? bytes.mid(3) : bytes);
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;     // inside quotes
    bool started = false;    // the record has a field or a separator
    const auto endField = [&] {
        record.append(field);
        field.clear();
    };
    const auto endRecord = [&] {
        if (started) {
            endField();
            records.append(record);
        }
        record.clear();
        started = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                    field.append(text[++i]);
                else
                    quoted = false;
            } else {
                field.append(c);
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
            started = true;
        } else if (c == QLatin1Char(',')) {
            endField();
            started = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            endRecord();
        } else {
            field.append(c);
            started = true;
        }
    }
    if (quoted) {
        if (error)
            *error = QStringLiteral("引号未结束");
        return {};
    }
    endRecord();
    return records;
}

} // namespace qm
