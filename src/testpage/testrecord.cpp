#include "testpage/testrecord.h"

#include "common/csvtext.h"
#include "common/errors.h"
#include "common/inifile.h"

#include <QFileInfo>

namespace qm {

namespace {
const QString kNotRecordFile = QStringLiteral("不是测试记录文件");

bool IsCsv(const QString &path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

// A value as a line of a file carries it: control characters (a radio's
// model text may hold any byte) become blanks, blanks around it go.
QString Clean(const QString &value)
{
    QString out = value;
    for (QChar &c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return out.trimmed();
}

bool IsRecordSection(const QByteArray &name)
{
    const QByteArray base(kTestRecordSection);
    return name.size() >= base.size() && qstrnicmp(name.constData(), base.constData(), size_t(base.size())) == 0
        && (name.size() == base.size() || name.at(base.size()) == '_');
}

// Columns a character takes in a terminal: CJK and full-width forms two.
int DisplayWidth(const QString &text)
{
    int width = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
            || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
            || (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

QString Hex(quint8 command)
{
    return QStringLiteral("0x") + QString::number(command, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}
} // namespace

const QStringList &TestRecord::keys()
{
    static const QStringList keys = [] {
        QStringList k{QStringLiteral("Time"), QStringLiteral("Model"), QStringLiteral("Address")};
        for (int row = 1; row <= 9; ++row)
            k << QStringLiteral("VR%1").arg(row);
        k << QStringLiteral("PowerLevel") << QStringLiteral("Voltage") << QStringLiteral("FieldStrength")
          << QStringLiteral("Temperature") << QStringLiteral("Power") << QStringLiteral("SwrAlarm")
          << QStringLiteral("Calibrations") << QStringLiteral("NotReadBack");
        return k;
    }();
    return keys;
}

QString TestRecord::value(const QString &key) const
{
    return values.value(keys().indexOf(key));
}

void TestRecord::set(const QString &key, const QString &value)
{
    const qsizetype at = keys().indexOf(key);
    if (at >= 0)
        values[at] = value;
}

TestRun::Radio TestRun::now() const
{
    return {model ? model() : QString(), address ? address() : QString()};
}

void TestRun::sameRadio()
{
    const Radio radio = now();
    if (radio == radio_)
        return;
    radio_ = radio;
    reported_ = false;
    report_ = {};
    notReadBack_.clear();
    calibrations_.clear();
    last_ = {};
}

void TestRun::reading(Quantity quantity, const QString &shown, bool alarm)
{
    sameRadio();
    // The radio's texts shared by all its readings, not copied into each.
    const Reading r{QDateTime::currentDateTime(), quantity, ReadingValue(quantity, shown), alarm, radio_.model, radio_.address};
    last_[size_t(quantity)] = r;
    log.append(r);
}

void TestRun::trimmingReport(const std::array<quint8, 10> &bytes)
{
    sameRadio();
    reported_ = true;
    report_ = bytes;
    notReadBack_.clear();
}

void TestRun::trimmingSent(int row)
{
    notReadBack(row == 8 ? QStringList{QStringLiteral("VR8"), QStringLiteral("PowerLevel")} : QStringList{QStringLiteral("VR%1").arg(row)});
}

void TestRun::powerLevelSent()
{
    notReadBack({QStringLiteral("PowerLevel")});
}

void TestRun::notReadBack(const QStringList &sent)
{
    sameRadio();
    for (const QString &key : sent)
        if (!notReadBack_.contains(key))
            notReadBack_ << key;
    const QStringList &keys = TestRecord::keys();
    std::sort(notReadBack_.begin(), notReadBack_.end(), [&keys](const QString &a, const QString &b) { return keys.indexOf(a) < keys.indexOf(b); });
}

void TestRun::calibrationSent(quint8 command)
{
    sameRadio();
    if (!calibrations_.contains(command))
        calibrations_.append(command);
}

TestRecord TestRun::record(const QDateTime &time) const
{
    TestRecord r;
    const Radio radio = now();
    r.set(QStringLiteral("Time"), IsoTime(time, false));
    r.set(QStringLiteral("Model"), radio.model);
    r.set(QStringLiteral("Address"), radio.address);
    // What came from another radio is no part of this one's record.
    if (radio != radio_)
        return r;
    r.set(QStringLiteral("NotReadBack"), notReadBack_.join(QLatin1Char(' ')));
    if (reported_) {
        // Rows 1..7, the power level, row 9, row 8.
        for (int row = 1; row <= 7; ++row)
            r.set(QStringLiteral("VR%1").arg(row), QString::number(report_[size_t(row - 1)]));
        r.set(QStringLiteral("PowerLevel"), QString::number(report_[7]));
        r.set(QStringLiteral("VR9"), QString::number(report_[8]));
        r.set(QStringLiteral("VR8"), QString::number(report_[9]));
    }
    const QString readingKeys[kQuantities] = {QStringLiteral("Voltage"), QStringLiteral("FieldStrength"),
                                              QStringLiteral("Temperature"), QStringLiteral("Power")};
    for (int q = 0; q < kQuantities; ++q) {
        const std::optional<Reading> &last = last_[size_t(q)];
        if (!last)
            continue;
        r.set(readingKeys[q], last->value);
        if (last->quantity == Quantity::Power)
            r.set(QStringLiteral("SwrAlarm"), last->alarm ? QStringLiteral("1") : QStringLiteral("0"));
    }
    QStringList confirmed;
    for (quint8 command : calibrations_)
        confirmed << Hex(command);
    r.set(QStringLiteral("Calibrations"), confirmed.join(QLatin1Char(' ')));
    return r;
}

void StoreTestRecord(const QString &path, const TestRecord &record)
{
    QStringList values;
    for (const QString &v : record.values)
        values << Clean(v);
    if (IsCsv(path)) {
        const QByteArray old = IniDocument::loadParameters(path, true).bytes();
        QByteArray bytes;
        // Address, the trimming values, the power level, the readings and
        // the alarm are numbers; time, model, calibrations and the values
        // not read back texts.
        static const QStringList texts{QStringLiteral("Time"), QStringLiteral("Model"), QStringLiteral("Calibrations"),
                                       QStringLiteral("NotReadBack")};
        QList<int> numbers;
        for (const QString &key : TestRecord::keys())
            if (!texts.contains(key))
                numbers << int(TestRecord::keys().indexOf(key));
        const QByteArray line = CsvLine(values, numbers).toUtf8();
        if (old.isEmpty() || old == kUtf8Bom) {
            bytes = QByteArray(kUtf8Bom) + CsvLine(TestRecord::keys()).toUtf8() + line;
        } else {
            QString error;
            const QList<QStringList> rows = ParseCsv(old, &error);
            const QStringList &keys = TestRecord::keys();
            const QStringList header = rows.isEmpty() ? QStringList() : rows.first();
            // A file of an older version lacks the newer columns at the end:
            // its header gains them, its lines stay as they are.
            if (header.size() < 3 || header.size() > keys.size() || keys.mid(0, header.size()) != header)
                throw FileWriteError(path, kNotRecordFile);
            bytes = old;
            if (header.size() < keys.size()) {
                const qsizetype start = bytes.startsWith(kUtf8Bom) ? 3 : 0;
                qsizetype end = start;
                while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
                    ++end;
                bytes.replace(start, end - start, CsvLine(keys).toUtf8().chopped(2));
            }
            if (!bytes.endsWith('\n') && !bytes.endsWith('\r'))
                bytes += "\r\n";
            bytes += line;
        }
        SaveBytesSafely(path, bytes);
        return;
    }
    IniDocument doc = IniDocument::loadParameters(path, true);
    const QList<QByteArray> sections = doc.sections();
    const auto taken = [&sections](const QByteArray &name) {
        return std::any_of(sections.begin(), sections.end(),
                           [&name](const QByteArray &s) { return s.compare(name, Qt::CaseInsensitive) == 0; });
    };
    const QDateTime time = QDateTime::fromString(values.value(0), Qt::ISODate);
    const QByteArray base = QByteArray(kTestRecordSection) + '_'
        + (time.isValid() ? time.toString(QStringLiteral("yyyyMMddThhmmss")).toLatin1() : QByteArray("0"));
    QByteArray section = base;
    for (int n = 2; taken(section); ++n)
        section = base + '_' + QByteArray::number(n);
    for (qsizetype i = 0; i < values.size(); ++i)
        doc.setValue(section, TestRecord::keys().at(i).toLatin1(), EncodeGbk(values.at(i)));
    doc.save();
}

QList<TestRecord> ReadTestRecords(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        throw FileReadError(path, QStringLiteral("文件不存在"));
    const IniDocument doc = IniDocument::loadParameters(path, false);
    QList<TestRecord> records;
    if (IsCsv(path)) {
        QString error;
        const QList<QStringList> rows = ParseCsv(doc.bytes(), &error);
        if (!error.isEmpty())
            throw FileReadError(path, error);
        if (rows.isEmpty())
            return records;
        // Columns by their header, so that a spreadsheet may reorder them.
        const QStringList &header = rows.first();
        QList<qsizetype> column;
        for (const QString &key : TestRecord::keys())
            column << header.indexOf(key);
        if (column.first() < 0) // no Time column
            throw FileReadError(path, kNotRecordFile);
        for (qsizetype i = 1; i < rows.size(); ++i) {
            TestRecord record;
            for (qsizetype k = 0; k < column.size(); ++k)
                record.values[k] = CsvCellText(rows[i].value(column[k]));
            records << record;
        }
        return records;
    }
    for (const QByteArray &section : doc.sections()) {
        if (!IsRecordSection(section))
            continue;
        TestRecord record;
        for (qsizetype k = 0; k < TestRecord::keys().size(); ++k)
            record.values[k] = DecodeGbk(doc.value(section, TestRecord::keys().at(k).toLatin1(), {}));
        records << record;
    }
    return records;
}

TestRecordTable FormatTestRecords(const QString &path)
{
    QList<TestRecord> records;
    try {
        records = ReadTestRecords(path);
    } catch (const Error &e) {
        return {{}, e.message()};
    }
    if (records.isEmpty())
        return {{}, QStringLiteral("文件中没有测试记录：%1").arg(path)};
    QList<QStringList> rows{TestRecord::keys()};
    for (const TestRecord &r : records)
        rows << r.values;
    QList<int> widths(TestRecord::keys().size(), 0);
    for (const QStringList &row : rows)
        for (qsizetype k = 0; k < widths.size(); ++k)
            widths[k] = std::max(widths[k], DisplayWidth(row.value(k)));
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype k = 0; k < widths.size(); ++k) {
            const QString cell = row.value(k);
            line += cell;
            if (k + 1 < widths.size())
                line += QString(widths[k] - DisplayWidth(cell) + 2, QLatin1Char(' '));
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    return {text, {}};
}

UnitRecord CalibrationRecord(const TestRecord &record, const QString &path)
{
    UnitRecord r;
    r.family = QStringLiteral("dk618");
    r.model = record.value(QStringLiteral("Model"));
    r.address = record.value(QStringLiteral("Address"));
    r.action = action::Calibration;
    r.result = QStringLiteral("ok");
    r.backupFile = path;
    for (const QString &key : TestRecord::keys())
        if (key != QLatin1String("Time"))
            r.values.append({key, record.value(key)});
    return r;
}

} // namespace qm
