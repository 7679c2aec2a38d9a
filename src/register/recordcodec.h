#pragma once
// A record as JSON: one object with every member of the record (the spool
// keeps records so, `qmset history --json` prints them so), and the values
// and differences as the JSON texts of the register's columns.

#include "common/unitrecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace qm {

// time as ISO 8601 in UTC with milliseconds ("2026-12-08T06:30:05.120Z"):
// the register's time column, which sorts as text in time order.
QString UtcText(const QDateTime &time);
QDateTime FromUtcText(const QString &text);

// [[key, value], ...] in the record's order.
QJsonArray ValuesJson(const UnitRecord &record);
// [{"key", "caption", "a", "b"}, ...]
QJsonArray DifferencesJson(const QList<FieldDifference> &differences);
// The members of ValuesJson / DifferencesJson back; anything else is
// skipped.
QList<std::pair<QString, QString>> ValuesOfJson(const QJsonArray &array);
QList<FieldDifference> DifferencesOfJson(const QJsonArray &array);
// The JSON texts of those arrays, as the columns hold them.
QString CompactJson(const QJsonArray &array);
QJsonArray ArrayOfJson(const QString &text);

QJsonObject RecordJson(const UnitRecord &record);
UnitRecord RecordOfJson(const QJsonObject &object);

// Stamps what the station knows: a new uid, the time now (UTC) with its
// zone and offset, the host name and the user name, each only when empty.
void StampRecord(UnitRecord &record);

// The record's address as a number for the address column; -1 when it is
// none.
qint64 AddressNumber(const QString &address);

} // namespace qm
