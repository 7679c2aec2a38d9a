#pragma once
// Parameter sets live in Windows-style INI files whose names, keys and values
// are GBK bytes. QSettings rewrites the whole file and re-encodes text, so the
// tool keeps its own small layer: a document is the file's bytes, parsed once
// line by line into an index of its section headers and key lines; a change
// touches only the bytes of the one value, key line or section it adds, and
// save() replaces the file in one atomic step.

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

namespace qm {

class Error;

class IniDocument {
public:
    // Parameter files are a few kilobytes; anything above this is not one
    // and is refused before it is read.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    // Reads path. A missing file gives an empty document. Anything else that
    // cannot be taken as a parameter file throws Error
    // "无法读取文件：<path>（<reason>）": a folder, a pipe, a device or any
    // other file that is not a regular one (refused before it is opened, so
    // nothing blocks), a file larger than kMaxFileSize, a read error.
    static IniDocument load(const QString &path);
    // A document of bytes, as if read from path (no size limit).
    static IniDocument fromBytes(const QString &path, const QByteArray &bytes);
    // load() for a parameter file that is read (forStore false) or about to
    // be stored into (forStore true). A file that is not text in either of
    // the encodings below, or UTF-8 text where no GBK codec can translate
    // the names, is refused with "无法读取文件：…" or "无法写入文件：…": its
    // values could not be found, and a store would spoil it.
    static IniDocument loadParameters(const QString &path, bool forStore);

    // What the bytes are. Parameter files are GBK; a text editor re-saves
    // them as UTF-8, often with a byte-order mark. NUL bytes or a UTF-16 or
    // UTF-32 byte-order mark make a file that is not text for this tool.
    enum class Encoding { Gbk, Utf8, Utf8Bom, NotText };
    // A byte-order mark means UTF-8; without one, bytes that are valid UTF-8
    // and hold at least one multi-byte character are UTF-8 (GBK text, and
    // every key and value text of the parameter files, is not valid UTF-8).
    static Encoding DetectEncoding(const QByteArray &bytes);
    Encoding encoding() const { return encoding_; }

    QString path() const { return path_; }

    // The value of key in section, blanks and tabs around it removed, or def
    // when the section or key is missing. Names compare case-insensitively
    // for ASCII letters only; GBK characters compare exactly. The first
    // matching key line in file order wins. Lines may end in CR LF, LF or a
    // lone CR. Names, values and def are GBK whatever the file's encoding:
    // a UTF-8 file is matched and read through the GBK codec.
    QByteArray value(const QByteArray &section, const QByteArray &key,
                     const QByteArray &def) const;

    // The names of the section headers in file order, GBK like value()'s.
    QList<QByteArray> sections() const;
    // The key names of every section named section, in file order, GBK like
    // value()'s; a key given twice is listed twice.
    QList<QByteArray> keys(const QByteArray &section) const;
    // Whether two GBK names are the same name to value(): ASCII letters
    // compare case-insensitively, GBK characters exactly.
    static bool SameName(const QByteArray &a, const QByteArray &b);

    // Replaces the first matching value in place, adds a missing key after
    // the last key line of its section, or adds a missing section at the end.
    // Added lines end like the file's first line (CR LF for a file without
    // one). Every other byte stays as it was; a UTF-8 file gets UTF-8 bytes.
    // A name or value holding a line break (or a key holding '='), or any
    // other that would not read back as given (blanks around it removed),
    // cannot be stored: Error is thrown and the document is unchanged.
    void setValue(const QByteArray &section, const QByteArray &key,
                  const QByteArray &value);

    // Writes the document to path(): through a temporary beside it that is
    // renamed into place once every byte is on disk, or, when the folder
    // does not let a temporary be created, into the existing file itself in
    // an order that never leaves it half old, half new. A file that cannot be
    // written (read-only, not a regular file, disk full, ...) throws Error
    // "无法写入文件：<path>（<reason>）" and the old file stays byte for byte.
    void save() const;

    QByteArray bytes() const { return bytes_; }

private:
    // A section header or a key line; offsets into bytes_. Other lines are
    // not kept: they only move the anchor of their section.
    struct Entry {
        bool section = false;
        qsizetype lineBegin = 0;
        qsizetype lineEnd = 0; // before the line break
        qsizetype nameBegin = 0;
        qsizetype nameEnd = 0;
        qsizetype valueBegin = 0; // key: the value without blanks around it
        qsizetype valueEnd = 0;
        qsizetype valueField = 0; // key: first byte after '='
        qsizetype anchor = 0;     // section: end of its last key or other line
    };

    enum class LineKind { Blank, Comment, Other, Section, Key };

    IniDocument(const QString &path, const QByteArray &bytes);
    // What the line bytes[begin, end) is; entry is filled for a section
    // header or a key line.
    // gbk: a byte 0x81..0xFE and the one after it are one character.
    static LineKind parseLine(const QByteArray &bytes, qsizetype begin, qsizetype end, Entry &entry, bool gbk);
    LineKind parseLine(qsizetype begin, qsizetype end, Entry &entry) const { return parseLine(bytes_, begin, end, entry, gbk()); }
    void parse();
    bool gbk() const { return encoding_ == Encoding::Gbk || encoding_ == Encoding::NotText; }
    bool utf8() const { return !gbk(); }
    // Where the lines begin: after a byte-order mark.
    qsizetype textStart() const { return encoding_ == Encoding::Utf8Bom ? 3 : 0; }
    // GBK names and values to the file's encoding and back.
    QByteArray toFile(const QByteArray &gbkBytes) const;
    QByteArray fromFile(const QByteArray &fileBytes) const;
    // Index of the first key line matching (in the file's encoding), or -1.
    qsizetype find(const QByteArray &section, const QByteArray &key) const;
    void store(const QByteArray &section, const QByteArray &key, const QByteArray &value);
    // Moves every offset at or after at by delta, from entry first on; the
    // anchors of earlier sections move too when they stand at or after at.
    void shift(size_t first, qsizetype at, qsizetype delta);

    QString path_;
    QByteArray bytes_;
    std::vector<Entry> entries_;
    QByteArray lineBreak_; // of the first line; what added lines end with
    Encoding encoding_ = Encoding::Gbk;
};

// Writes bytes to path as IniDocument::save() does: all or nothing, the old
// file kept byte for byte when the write fails (Error "无法写入文件：…").
void SaveBytesSafely(const QString &path, const QByteArray &bytes);

// The errors of the file layer: "无法读取文件：<path>（<reason>）" and
// "无法写入文件：<path>（<reason>）".
Error FileReadError(const QString &path, const QString &reason);
Error FileWriteError(const QString &path, const QString &reason);

// Why a path that is no regular file is refused, by its st_mode:
// "这是一个文件夹" or "不是普通文件".
QString NotRegularReason(unsigned int mode);

// Free text from a file (a combo-box entry, a value shown to the user) to and
// from QString through the GBK codec.
bool GbkCodecAvailable();
QString DecodeGbk(const QByteArray &bytes);
QByteArray EncodeGbk(const QString &text);

} // namespace qm
