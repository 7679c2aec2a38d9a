#pragma once
// qmset history: the records of the register, newest first, under the
// filters given, as a table, one JSON object per record, or CSV; and how
// many records wait in the local spool for a server.

#include <QDateTime>
#include <QString>

class QCommandLineParser;

namespace qm::cli {

struct HistoryOptions {
    QString family{};
    QString model{};
    qint64 address = -1;
    QDateTime since{}, until{}; // until: the first instant no longer listed
    QString db{};               // --db; empty: QMSET_DB or the data folder's file
    bool csv = false;
};

void AddHistoryOptions(QCommandLineParser &parser);
// The options after parsing; false with the reason for a malformed one.
bool TakeHistoryOptions(const QCommandLineParser &parser, HistoryOptions *options, QString *error);

// A date ("2026-12-08", that day in local time) or an instant
// ("2026-12-08T14:30[:05]", local time unless it names its offset). As an
// upper bound, a date takes in its whole day and an instant itself.
bool ParseTimeBound(const QString &text, bool upper, QDateTime *bound);

} // namespace qm::cli
