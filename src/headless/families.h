#pragma once
// What a run without a window knows of each unit family: its field table, the
// line it usually runs at, the request that tells whether a unit is there,
// and the names of the requests its exchanges wait on, step by step.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace qm {
struct FieldTable;
}

namespace qm {

struct Family {
    QString name;  // "dk618", "mlb4800", "mlr4800"
    QString title; // "DK618"
    const FieldTable &(*table)();
    qint32 rateIndex;   // the usual line: RateIndex and ParityIndex
    qint32 parityIndex;
    // The request a unit of the family answers without changing anything:
    // the data radio's identification, the others' address read.
    quint8 probeCommand;
    quint8 probeSelector;
    // Where the reply to the address read 0x67 (same selector) carries the
    // address: its offset and 1 or 2 bytes, high first.
    int addressOffset;
    int addressBytes;
    // The step of readSteps whose reply brings the address.
    qint32 addressReadStep;
    // How long an exchange waits for each reply, as text for messages.
    QString timeoutText;
    // The request whose reply step n of an exchange waits for.
    QStringList readSteps;
    QStringList writeSteps;
};

// The family of a name as given to --family, or null.
const Family *FindFamily(const QString &name);
QStringList FamilyNames();

// "19200" -> RateIndex 6; -1 for a rate the units do not have.
qint32 RateIndexOfText(const QString &text);
// "N", "E", "O" (or none, even, odd) -> ParityIndex; -1 otherwise.
qint32 ParityIndexOfText(const QString &text);
QChar ParityLetter(qint32 parityIndex);

} // namespace qm
