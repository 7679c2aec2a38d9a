#pragma once
// qmset history: the records of the register, newest first, under the
// filters given, as a table, one JSON object per record, or CSV; and how
// many records wait in the local spool for a server.

#include <QDateTime>
#include <QString>

class QCommandLineOption;
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
// --db URL, as history and the commands that keep records take it.
const QCommandLineOption &DbOption();
// Its value, checked as a register's name; false with the reason.
bool TakeDbOption(const QCommandLineParser &parser, QString *db, QString *error);
// The options after parsing; false with the reason for a malformed one.
bool TakeHistoryOptions(const QCommandLineParser &parser, HistoryOptions *options, QString *error);

} // namespace qm::cli
