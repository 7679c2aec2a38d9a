#include "common/inifile.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <vector>

namespace qm {

namespace {

// GBK lead byte. Its trail byte (0x40..0xFE) may look like an ASCII letter
// or '[' / ']', so scans step over the pair as one character.
bool IsLead(char c)
{
    const auto u = static_cast<uchar>(c);
    return u >= 0x81 && u <= 0xFE;
}

bool IsBlank(char c)
{
    // A stray CR (CR-only line break, CR before a lost LF) counts as blank.
    return c == ' ' || c == '\t' || c == '\r';
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool NamesEqual(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size();) {
        if (IsLead(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            i += 2;
        } else {
            if (AsciiLower(a[i]) != AsciiLower(b[i]))
                return false;
            ++i;
        }
    }
    return true;
}

struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype size() const { return end - begin; }
};

// Other: a line that is neither blank, comment, header nor key=value; it
// still counts as part of its section's entries.
enum class LineKind { Blank, Comment, Other, Section, Key };

struct Line {
    Span text;        // the line without its line break
    LineKind kind = LineKind::Other;
    Span name;        // section name or key
    Span value;       // trimmed value of a key line
    qsizetype valueField = 0; // first byte after '='
};

Span Trim(const QByteArray &b, Span s)
{
    while (s.begin < s.end && IsBlank(b[s.begin]))
        ++s.begin;
    while (s.end > s.begin && IsBlank(b[s.end - 1]))
        --s.end;
    return s;
}

Line ParseLine(const QByteArray &b, Span text)
{
    Line line;
    line.text = text;
    const Span t = Trim(b, text);
    if (t.size() == 0) {
        line.kind = LineKind::Blank;
        return line;
    }
    if (b[t.begin] == ';') {
        line.kind = LineKind::Comment;
        return line;
    }
    if (b[t.begin] == '[') {
        // The name runs to the last ']' that is not the trail byte of a GBK
        // character; text after it is ignored.
        qsizetype close = -1;
        for (qsizetype i = t.begin + 1; i < t.end;) {
            if (IsLead(b[i]) && i + 1 < t.end) {
                i += 2;
                continue;
            }
            if (b[i] == ']')
                close = i;
            ++i;
        }
        if (close >= 0) {
            line.kind = LineKind::Section;
            line.name = {t.begin + 1, close};
        }
        return line;
    }
    // '=' is below the GBK trail range, so the first one found is real.
    const qsizetype eq = b.indexOf('=', t.begin);
    if (eq < 0 || eq >= t.end)
        return line;
    line.kind = LineKind::Key;
    line.name = Trim(b, {t.begin, eq});
    line.value = Trim(b, {eq + 1, t.end});
    line.valueField = eq + 1;
    return line;
}

std::vector<Line> ParseLines(const QByteArray &b)
{
    std::vector<Line> lines;
    qsizetype pos = 0;
    while (pos < b.size()) {
        qsizetype nl = b.indexOf('\n', pos);
        const qsizetype next = nl < 0 ? b.size() : nl + 1;
        qsizetype end = nl < 0 ? b.size() : nl;
        if (end > pos && b[end - 1] == '\r')
            --end;
        lines.push_back(ParseLine(b, {pos, end}));
        pos = next;
    }
    return lines;
}

QByteArrayView View(const QByteArray &b, Span s)
{
    return QByteArrayView(b.constData() + s.begin, s.size());
}

// Lines added to a file follow its first line break. A new or one-line file
// gets CRLF: the files are exchanged with the Windows tools, and LF-only
// files show as one line in their editors.
QByteArray LineBreakOf(const QByteArray &b)
{
    const qsizetype nl = b.indexOf('\n');
    if (nl > 0 && b[nl - 1] != '\r')
        return QByteArrayLiteral("\n");
    if (nl == 0)
        return QByteArrayLiteral("\n");
    return QByteArrayLiteral("\r\n");
}

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

IniDocument IniDocument::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return IniDocument(path, {});
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取文件：%1（%2）").arg(Native(path), file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("无法读取文件：%1（%2）").arg(Native(path), file.errorString()));
    return IniDocument(path, bytes);
}

QByteArray IniDocument::value(const QByteArray &section, const QByteArray &key,
                              const QByteArray &def) const
{
    bool inSection = false;
    for (const Line &line : ParseLines(bytes_)) {
        if (line.kind == LineKind::Section)
            inSection = NamesEqual(View(bytes_, line.name), section);
        else if (inSection && line.kind == LineKind::Key && NamesEqual(View(bytes_, line.name), key))
            return bytes_.mid(line.value.begin, line.value.size());
    }
    return def;
}

void IniDocument::setValue(const QByteArray &section, const QByteArray &key,
                           const QByteArray &value)
{
    const auto hasBreak = [](const QByteArray &b) { return b.contains('\r') || b.contains('\n'); };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value) || key.contains('='))
        throw Error(QStringLiteral("无法保存参数：名称或数值含有换行符或“=”"));

    const std::vector<Line> lines = ParseLines(bytes_);
    bool inSection = false;
    bool inFirstSection = false;
    const Line *anchor = nullptr; // header or last entry of the first matching section
    for (const Line &line : lines) {
        if (line.kind == LineKind::Section) {
            inSection = NamesEqual(View(bytes_, line.name), section);
            inFirstSection = inSection && !anchor;
            if (inFirstSection)
                anchor = &line;
            continue;
        }
        if (!inSection)
            continue;
        if (line.kind == LineKind::Key && NamesEqual(View(bytes_, line.name), key)) {
            // An empty value leaves no trimmed span; write right after '='
            // and drop the blanks that stood for it.
            const Span target = line.value.size() > 0 ? line.value
                                                      : Span{line.valueField, line.text.end};
            bytes_.replace(target.begin, target.size(), value);
            return;
        }
        if (inFirstSection && (line.kind == LineKind::Key || line.kind == LineKind::Other))
            anchor = &line;
    }

    const QByteArray br = LineBreakOf(bytes_);
    const QByteArray entry = key + '=' + value;
    if (anchor) {
        // Inserted before the anchor's own line break, so a last line
        // without a final newline keeps having none.
        bytes_.insert(anchor->text.end, br + entry);
        return;
    }
    if (!bytes_.isEmpty() && !bytes_.endsWith('\n'))
        bytes_.append(br);
    bytes_.append('[' + section + ']' + br + entry + br);
}

void IniDocument::save() const
{
    const auto fail = [this](const QString &reason) {
        return Error(QStringLiteral("无法写入文件：%1（%2）").arg(Native(path_), reason));
    };
    // The rename below would replace a read-only file whenever its folder is
    // writable (and root may write anything), so the owner's write bit is
    // checked here: a file marked read-only is never overwritten.
    const QFileInfo info(path_);
    if (info.exists()) {
        if (info.isDir())
            throw fail(QStringLiteral("这是一个文件夹"));
        if (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner))
            throw fail(QStringLiteral("文件为只读"));
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        throw fail(file.errorString());
    if (file.write(bytes_) != bytes_.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw fail(reason);
    }
    if (!file.commit())
        throw fail(file.errorString());
}

bool GbkCodecAvailable()
{
    static const bool available = QStringDecoder("GBK").isValid() && QStringEncoder("GBK").isValid();
    return available;
}

// Without a GBK codec (a Qt built without ICU) the parameter files still
// work through the byte constants; only free text degrades: ASCII passes,
// other bytes show as U+FFFD and non-ASCII characters are written as '?'.
QString DecodeGbk(const QByteArray &bytes)
{
    if (GbkCodecAvailable()) {
        QStringDecoder decoder("GBK");
        return decoder.decode(bytes);
    }
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.append(static_cast<uchar>(c) < 0x80 ? QChar(c) : QChar(QChar::ReplacementCharacter));
    return text;
}

QByteArray EncodeGbk(const QString &text)
{
    if (GbkCodecAvailable()) {
        QStringEncoder encoder("GBK");
        return encoder.encode(text);
    }
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text)
        bytes.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
    return bytes;
}

} // namespace qm
