#pragma once
// Parameter sets live in Windows-style INI files whose names, keys and values
// are GBK bytes. QSettings rewrites the whole file and re-encodes text, so the
// tool keeps its own small layer: a document is the file's bytes, a change
// touches only the bytes of the one value, key line or section it adds, and
// save() replaces the file in one atomic step.

#include <QByteArray>
#include <QString>

namespace qm {

class IniDocument {
public:
    // Reads path. A missing file gives an empty document; an existing file
    // that cannot be read throws Error "无法读取文件：<path>（<reason>）".
    static IniDocument load(const QString &path);

    QString path() const { return path_; }

    // The value of key in section, blanks and tabs around it removed, or def
    // when the section or key is missing. Names compare case-insensitively
    // for ASCII letters only; GBK characters compare exactly. The first
    // matching key line in file order wins.
    QByteArray value(const QByteArray &section, const QByteArray &key,
                     const QByteArray &def) const;

    // Replaces the first matching value in place, adds a missing key after
    // the last key line of its section, or adds a missing section at the end.
    // Every other byte stays as it was. A name or value holding a line break
    // (or a key holding '=') cannot be stored and throws Error.
    void setValue(const QByteArray &section, const QByteArray &key,
                  const QByteArray &value);

    // Writes the document to path() through a temporary beside it that is
    // renamed into place. A file that cannot be written throws Error
    // "无法写入文件：<path>（<reason>）" and the old file stays as it was.
    void save() const;

    QByteArray bytes() const { return bytes_; }

private:
    IniDocument(const QString &path, const QByteArray &bytes)
        : path_(path), bytes_(bytes) {}

    QString path_;
    QByteArray bytes_;
};

// Free text from a file (a combo-box entry, a value shown to the user) to and
// from QString through the GBK codec.
bool GbkCodecAvailable();
QString DecodeGbk(const QByteArray &bytes);
QByteArray EncodeGbk(const QString &text);

} // namespace qm
