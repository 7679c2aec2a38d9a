#include "common/inifile.h"

#include "common/errors.h"
#include "common/scopedfd.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

// GBK lead byte. Its trail byte (0x40..0xFE) may look like an ASCII letter
// or '[' / ']', so scans step over the pair as one character. No trail byte
// is a CR, an LF or '=', so those are found byte by byte.
bool IsLead(char c)
{
    const auto u = static_cast<uchar>(c);
    return u >= 0x81 && u <= 0xFE;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsBreak(char c)
{
    return c == '\r' || c == '\n';
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool NamesEqual(QByteArrayView a, QByteArrayView b, bool gbk)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size();) {
        if (gbk && IsLead(a[i]) && i + 1 < a.size()) {
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

void TrimSpan(const QByteArray &b, qsizetype &begin, qsizetype &end)
{
    while (begin < end && IsBlank(b[begin]))
        ++begin;
    while (end > begin && IsBlank(b[end - 1]))
        --end;
}

QByteArrayView View(const QByteArray &b, qsizetype begin, qsizetype end)
{
    return QByteArrayView(b.constData() + begin, end - begin);
}

// End of the line break that starts at pos: CR LF, LF or a lone CR.
qsizetype BreakEnd(const QByteArray &b, qsizetype pos)
{
    if (pos >= b.size())
        return pos;
    if (b[pos] == '\r' && pos + 1 < b.size() && b[pos + 1] == '\n')
        return pos + 2;
    return pos + 1;
}

bool IsAscii(const QByteArray &b)
{
    for (char c : b)
        if (static_cast<uchar>(c) >= 0x80)
            return false;
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut off. multibyte tells whether any character is not ASCII.
bool ValidUtf8(const QByteArray &b, bool &multibyte)
{
    multibyte = false;
    const auto *p = reinterpret_cast<const uchar *>(b.constData());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        const uchar c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (p[i + k] & 0x3F);
        }
        if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            return false;
        if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))
            return false;
        multibyte = true;
        i += len;
    }
    return true;
}

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

Error ReadError(const QString &path, const QString &reason)
{
    return Error(QStringLiteral("无法读取文件：%1（%2）").arg(Native(path), reason));
}

Error WriteError(const QString &path, const QString &reason)
{
    return Error(QStringLiteral("无法写入文件：%1（%2）").arg(Native(path), reason));
}

QString TooLarge(qint64 size)
{
    return QStringLiteral("文件过大：%1 字节，参数文件最大 1 MiB").arg(size);
}

} // namespace

IniDocument::IniDocument(const QString &path, const QByteArray &bytes)
    : path_(path)
    , bytes_(bytes)
    , encoding_(DetectEncoding(bytes))
{
    parse();
}

IniDocument::Encoding IniDocument::DetectEncoding(const QByteArray &bytes)
{
    // UTF-16 and UTF-32 byte-order marks (the big-endian UTF-32 one starts
    // with NUL bytes); any NUL byte means a binary file or wide characters.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0'))
        return Encoding::NotText;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8Bom;
    bool multibyte = false;
    return ValidUtf8(bytes, multibyte) && multibyte ? Encoding::Utf8 : Encoding::Gbk;
}

IniDocument IniDocument::loadParameters(const QString &path, bool forStore)
{
    IniDocument doc = load(path);
    const auto refuse = [&](const QString &reason) { return forStore ? WriteError(path, reason) : ReadError(path, reason); };
    switch (doc.encoding_) {
    case Encoding::NotText:
        throw refuse(QStringLiteral("不是 GBK 或 UTF-8 编码的文本文件"));
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        if (!GbkCodecAvailable())
            throw refuse(QStringLiteral("UTF-8 编码的文件需要 GBK 转换，本程序所用的 Qt 不支持"));
        break;
    case Encoding::Gbk:
        break;
    }
    return doc;
}

QByteArray IniDocument::toFile(const QByteArray &gbkBytes) const
{
    if (gbk() || IsAscii(gbkBytes))
        return gbkBytes;
    return DecodeGbk(gbkBytes).toUtf8();
}

QByteArray IniDocument::fromFile(const QByteArray &fileBytes) const
{
    if (gbk() || IsAscii(fileBytes))
        return fileBytes;
    return EncodeGbk(QString::fromUtf8(fileBytes));
}

IniDocument IniDocument::fromBytes(const QString &path, const QByteArray &bytes)
{
    return IniDocument(path, bytes);
}

IniDocument IniDocument::load(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // stat before open: a pipe would block the open and a device could be
    // read without end.
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0) {
        if (name.isEmpty() || errno == ENOENT || errno == ENOTDIR)
            return IniDocument(path, {});
        throw ReadError(path, qt_error_string(errno));
    }
    if (!S_ISREG(st.st_mode))
        throw ReadError(path, NotRegularReason(st.st_mode));
    if (st.st_size > kMaxFileSize)
        throw ReadError(path, TooLarge(st.st_size));

    // Non-blocking, and checked again once open, in case the name now leads
    // somewhere else.
    ScopedFd file{::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        throw ReadError(path, qt_error_string(errno));
    if (::fstat(file.fd, &st) != 0)
        throw ReadError(path, qt_error_string(errno));
    if (!S_ISREG(st.st_mode))
        throw ReadError(path, NotRegularReason(st.st_mode));
    if (st.st_size > kMaxFileSize)
        throw ReadError(path, TooLarge(st.st_size));

    // Read to the end, but never past the limit should the file grow.
    QByteArray bytes(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > kMaxFileSize)
                throw ReadError(path, TooLarge(got));
            bytes.resize(std::min<qsizetype>(got * 2 + 1, kMaxFileSize + 1));
        }
        const ssize_t n = ::read(file.fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ReadError(path, qt_error_string(errno));
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return IniDocument(path, bytes);
}

IniDocument::LineKind IniDocument::parseLine(const QByteArray &b, qsizetype begin, qsizetype end, Entry &entry, bool gbk)
{
    entry = Entry{};
    entry.lineBegin = begin;
    entry.lineEnd = end;
    qsizetype tBegin = begin;
    qsizetype tEnd = end;
    TrimSpan(b, tBegin, tEnd);
    if (tBegin == tEnd)
        return LineKind::Blank;
    if (b[tBegin] == ';')
        return LineKind::Comment;
    if (b[tBegin] == '[') {
        // The name runs to the last ']' that is not the trail byte of a GBK
        // character; text after it is ignored.
        qsizetype close = -1;
        for (qsizetype i = tBegin + 1; i < tEnd;) {
            if (gbk && IsLead(b[i]) && i + 1 < tEnd) {
                i += 2;
                continue;
            }
            if (b[i] == ']')
                close = i;
            ++i;
        }
        if (close < 0)
            return LineKind::Other;
        entry.section = true;
        entry.nameBegin = tBegin + 1;
        entry.nameEnd = close;
        entry.anchor = end;
        return LineKind::Section;
    }
    // Only up to the end of this line.
    const void *eqAt = std::memchr(b.constData() + tBegin, '=', size_t(tEnd - tBegin));
    if (!eqAt)
        return LineKind::Other;
    const qsizetype eq = static_cast<const char *>(eqAt) - b.constData();
    entry.nameBegin = tBegin;
    entry.nameEnd = eq;
    TrimSpan(b, entry.nameBegin, entry.nameEnd);
    entry.valueBegin = eq + 1;
    entry.valueEnd = tEnd;
    TrimSpan(b, entry.valueBegin, entry.valueEnd);
    entry.valueField = eq + 1;
    return LineKind::Key;
}

void IniDocument::parse()
{
    entries_.clear();
    lineBreak_.clear();
    const QByteArray &b = bytes_;
    const qsizetype n = b.size();
    const char *data = b.constData();
    qsizetype section = -1; // index of the section the lines belong to
    for (qsizetype pos = textStart(); pos < n;) {
        qsizetype end = pos;
        while (end < n && !IsBreak(data[end]))
            ++end;
        const qsizetype next = BreakEnd(b, end);
        if (lineBreak_.isEmpty() && end < n)
            lineBreak_ = b.mid(end, next - end);
        Entry entry;
        switch (parseLine(pos, end, entry)) {
        case LineKind::Section:
            section = qsizetype(entries_.size());
            entries_.push_back(entry);
            break;
        case LineKind::Key:
            entries_.push_back(entry);
            [[fallthrough]];
        case LineKind::Other:
            if (section >= 0)
                entries_[size_t(section)].anchor = end;
            break;
        case LineKind::Blank:
        case LineKind::Comment:
            break;
        }
        pos = next;
    }
    // Files are exchanged with Windows tools, whose editors show LF-only
    // text as one line: a new or one-line file gets CR LF.
    if (lineBreak_.isEmpty())
        lineBreak_ = QByteArrayLiteral("\r\n");
}

void IniDocument::shift(size_t first, qsizetype at, qsizetype delta)
{
    for (size_t i = 0; i < first && i < entries_.size(); ++i)
        if (entries_[i].section && entries_[i].anchor >= at)
            entries_[i].anchor += delta;
    for (size_t i = first; i < entries_.size(); ++i) {
        Entry &e = entries_[i];
        e.lineBegin += delta;
        e.lineEnd += delta;
        e.nameBegin += delta;
        e.nameEnd += delta;
        e.valueBegin += delta;
        e.valueEnd += delta;
        e.valueField += delta;
        e.anchor += delta;
    }
}

qsizetype IniDocument::find(const QByteArray &section, const QByteArray &key) const
{
    bool inSection = false;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry &e = entries_[i];
        if (e.section)
            inSection = NamesEqual(View(bytes_, e.nameBegin, e.nameEnd), section, gbk());
        else if (inSection && NamesEqual(View(bytes_, e.nameBegin, e.nameEnd), key, gbk()))
            return qsizetype(i);
    }
    return -1;
}

QByteArray IniDocument::value(const QByteArray &section, const QByteArray &key,
                              const QByteArray &def) const
{
    const qsizetype at = find(toFile(section), toFile(key));
    if (at < 0)
        return def;
    const Entry &e = entries_[size_t(at)];
    return fromFile(bytes_.mid(e.valueBegin, e.valueEnd - e.valueBegin));
}

QList<QByteArray> IniDocument::sections() const
{
    QList<QByteArray> names;
    for (const Entry &e : entries_)
        if (e.section)
            names.append(fromFile(bytes_.mid(e.nameBegin, e.nameEnd - e.nameBegin)));
    return names;
}

QList<QByteArray> IniDocument::keys(const QByteArray &section) const
{
    const QByteArray fileSection = toFile(section);
    QList<QByteArray> names;
    bool inSection = false;
    for (const Entry &e : entries_) {
        if (e.section)
            inSection = NamesEqual(View(bytes_, e.nameBegin, e.nameEnd), fileSection, gbk());
        else if (inSection)
            names.append(fromFile(bytes_.mid(e.nameBegin, e.nameEnd - e.nameBegin)));
    }
    return names;
}

bool IniDocument::SameName(const QByteArray &a, const QByteArray &b)
{
    return NamesEqual(a, b, true);
}

void IniDocument::setValue(const QByteArray &section, const QByteArray &key,
                           const QByteArray &value)
{
    const auto hasBreak = [](const QByteArray &b) { return b.contains('\r') || b.contains('\n'); };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value) || key.contains('='))
        throw Error(QStringLiteral("无法保存参数：名称或数值含有换行符或“=”"));

    // A name the file cannot carry (blanks around a key, a key that reads
    // as a comment or a section header, a section name ending in a GBK lead
    // byte that swallows its ']') would be written but never found again;
    // such a store is undone and refused.
    const QByteArray oldBytes = bytes_;
    const std::vector<Entry> oldEntries = entries_;
    const QByteArray fileSection = toFile(section);
    const QByteArray fileKey = toFile(key);
    store(fileSection, fileKey, toFile(value));
    qsizetype begin = 0;
    qsizetype end = value.size();
    TrimSpan(value, begin, end);
    const qsizetype at = find(fileSection, fileKey);
    const bool readsBack = at >= 0
        && fromFile(bytes_.mid(entries_[size_t(at)].valueBegin, entries_[size_t(at)].valueEnd - entries_[size_t(at)].valueBegin))
            == value.mid(begin, end - begin);
    if (!readsBack) {
        bytes_ = oldBytes;
        entries_ = oldEntries;
        throw Error(QStringLiteral("无法保存参数：名称或数值无法照原样存入文件"));
    }
}

void IniDocument::store(const QByteArray &section, const QByteArray &key, const QByteArray &value)
{
    bool inSection = false;
    qsizetype firstSection = -1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        Entry &e = entries_[i];
        if (e.section) {
            inSection = NamesEqual(View(bytes_, e.nameBegin, e.nameEnd), section, gbk());
            if (inSection && firstSection < 0)
                firstSection = qsizetype(i);
            continue;
        }
        if (!inSection || !NamesEqual(View(bytes_, e.nameBegin, e.nameEnd), key, gbk()))
            continue;
        // An empty value leaves no trimmed span; write right after '=' and
        // drop the blanks that stood for it.
        const qsizetype begin = e.valueEnd > e.valueBegin ? e.valueBegin : e.valueField;
        const qsizetype end = e.valueEnd > e.valueBegin ? e.valueEnd : e.lineEnd;
        const qsizetype delta = value.size() - (end - begin);
        bytes_.replace(begin, end - begin, value);
        shift(i + 1, end, delta);
        parseLine(e.lineBegin, e.lineEnd + delta, e);
        return;
    }

    const QByteArray entryLine = key + '=' + value;
    if (firstSection >= 0) {
        // Inserted before the anchor's own line break, so a last line
        // without a final newline keeps having none.
        const qsizetype at = entries_[size_t(firstSection)].anchor;
        const QByteArray inserted = lineBreak_ + entryLine;
        bytes_.insert(at, inserted);
        size_t next = size_t(firstSection) + 1;
        while (next < entries_.size() && entries_[next].lineBegin <= at)
            ++next;
        shift(next, at, inserted.size());
        Entry added;
        const qsizetype lineBegin = at + lineBreak_.size();
        switch (parseLine(lineBegin, lineBegin + entryLine.size(), added)) {
        case LineKind::Key:
            entries_.insert(entries_.begin() + qsizetype(next), added);
            break;
        case LineKind::Comment: // a key starting with ';' reads as a comment
            entries_[size_t(firstSection)].anchor = at;
            break;
        default:
            break;
        }
        return;
    }

    // After a byte-order mark alone the header starts the first line.
    if (bytes_.size() > textStart() && !IsBreak(bytes_.back()))
        bytes_.append(lineBreak_);
    const qsizetype headerBegin = bytes_.size();
    const QByteArray header = '[' + section + ']';
    bytes_.append(header + lineBreak_ + entryLine + lineBreak_);
    Entry added;
    if (parseLine(headerBegin, headerBegin + header.size(), added) != LineKind::Section)
        return;
    const size_t sectionIndex = entries_.size();
    entries_.push_back(added);
    const qsizetype lineBegin = headerBegin + header.size() + lineBreak_.size();
    switch (parseLine(lineBegin, lineBegin + entryLine.size(), added)) {
    case LineKind::Key:
        entries_.push_back(added);
        [[fallthrough]];
    case LineKind::Other:
        entries_[sectionIndex].anchor = lineBegin + entryLine.size();
        break;
    default:
        break;
    }
}

void IniDocument::save() const
{
    SaveBytesSafely(path_, bytes_);
}

QString NotRegularReason(unsigned int mode)
{
    return S_ISDIR(mode) ? QStringLiteral("这是一个文件夹") : QStringLiteral("不是普通文件");
}

Error FileReadError(const QString &path, const QString &reason)
{
    return ReadError(path, reason);
}

Error FileWriteError(const QString &path, const QString &reason)
{
    return WriteError(path, reason);
}

} // namespace qm
