#pragma once
// For the tests of the command line: qmset run as a script runs it (no
// display), simulated units, and parameter sections built through the
// family tables.

#include "common/fieldtable.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "radio/dk618fields.h"
#include "units/mlb4800fields.h"
#include "units/mlr4800fields.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace clitools {

using Values = QList<QPair<QString, QString>>;

inline const qm::FieldTable &tableOf(const QString &family)
{
    return family == QLatin1String("dk618") ? qm::Dk618Fields() : family == QLatin1String("mlb4800") ? qm::Mlb4800Fields() : qm::Mlr4800Fields();
}

// A parameter section with the page's initial values and those given
// (checked buttons named with the value "1"), then raw values put in by
// key as a file could hold them.
inline QByteArray section(const QString &family, const Values &values, const Values &raw = {})
{
    qm::MemoryFields f(tableOf(family));
    if (family == QLatin1String("mlb4800"))
        f.setText(QStringLiteral("Mlb4800_Airrate"), QStringLiteral("19200A"));
    for (const auto &[name, value] : values) {
        if (value == QLatin1String("1"))
            f.setChecked(name, true);
        else
            f.setText(name, value);
    }
    qm::IniDocument doc = qm::IniDocument::fromBytes(QString(), {});
    qm::StoreFields(tableOf(family), f, doc);
    for (const auto &[key, value] : raw)
        doc.setValue(tableOf(family).section, qm::EncodeGbk(key), qm::EncodeGbk(value));
    return doc.bytes();
}

// The key line "KEY=" of a GBK section renamed, or removed with its value
// when to is empty.
inline QByteArray renameKey(QByteArray bytes, const QString &from, const QString &to)
{
    const QByteArray key = qm::EncodeGbk(from) + '=';
    const qsizetype at = bytes.indexOf(key);
    if (at < 0)
        return bytes;
    if (!to.isEmpty())
        return bytes.replace(at, key.size(), qm::EncodeGbk(to) + '=');
    const qsizetype end = bytes.indexOf('\n', at);
    return bytes.remove(at, (end < 0 ? bytes.size() : end + 1) - at);
}

inline QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    return env;
}

struct Run {
    int code = -1;
    QString out, err;
};

inline Run finish(QProcess &p, int timeoutMs)
{
    Run r;
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

inline Run qmset(const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(QStringLiteral(QMSET_PATH), args);
    return finish(p, timeoutMs);
}

// qmsim serving path until destroyed.
class Sim {
public:
    bool start(const QString &family, const QString &path, const QStringList &extra)
    {
        p_.start(QStringLiteral(QMSIM_PATH), QStringList{QStringLiteral("--family"), family, QStringLiteral("--link"), path} + extra);
        return p_.waitForReadyRead(5000) && p_.readAllStandardOutput().startsWith("qmsim: ready");
    }
    ~Sim()
    {
        p_.terminate();
        if (!p_.waitForFinished(3000))
            p_.kill();
        p_.waitForFinished();
    }

private:
    QProcess p_;
};

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The lines of stdout as JSON objects; an empty object for a line that is
// none.
inline QList<QJsonObject> jsonLines(const QString &out)
{
    QList<QJsonObject> objects;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        objects << QJsonDocument::fromJson(line.toUtf8()).object();
    return objects;
}

// The rows of a CSV file as Python's csv module reads it, cells joined by
// "|" and rows by a line feed (a line feed or CR inside a cell as "\n" and
// "\r"); empty when python3 failed.
inline QStringList pythonCsvRows(const QString &path)
{
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"), QStringLiteral("import csv,sys\n"
                                                   "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
                                                   "out='\\n'.join('|'.join(c.replace('\\r','\\\\r').replace('\\n','\\\\n') for c in r) for r in rows)\n"
                                                   "sys.stdout.buffer.write(out.encode())\n"),
              path});
    if (!py.waitForFinished(10000) || py.exitCode() != 0)
        return {};
    return QString::fromUtf8(py.readAllStandardOutput()).split(QLatin1Char('\n'));
}

} // namespace clitools
