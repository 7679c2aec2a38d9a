#pragma once
// One unit of a family on one port for the command line: its reads and
// writes run on fields held in memory (see UnitRun) and are waited for,
// with progress on stderr and Ctrl+C heeded.

#include "headless/families.h"
#include "headless/unitrun.h"
#include "link/link.h"

#include <QObject>
#include <QString>

namespace qm {
class MemoryFields;
}

namespace qm::cli {

class Interrupts;
class Progress;

class UnitSession : public QObject {
    Q_OBJECT
public:
    UnitSession(const Family &family, Progress &progress, Interrupts &interrupts);

    const Family &family() const { return family_; }
    Link &link() { return link_; }
    QString port() const { return port_; }

    // Opens port (a device path or COM1..COM4) at the line given; false
    // with the reason in *error.
    bool open(const QString &port, qint32 rateIndex, qint32 parityIndex, QString *error);
    // Puts another line on the open port.
    void setLine(qint32 rateIndex, qint32 parityIndex);
    qint32 rateIndex() { return link_.line().RateIndex; }
    qint32 parityIndex() { return link_.line().ParityIndex; }

    using Result = UnitRun::Result;
    // The write and read exchanges of the family's page on fields. A write
    // goes on to its end after a first Ctrl+C.
    Result write(MemoryFields &fields);
    Result read(MemoryFields &fields);
    // What went wrong in the last exchange.
    QString detail() const { return detail_; }
    // The model text of the last data-radio exchange.
    QByteArray modelText() const { return model_; }
    // The backup the last successful read left; empty when none.
    QString backupPath() const { return backup_; }

    // Sends the family's identification request at the line in force and
    // waits for any good reply as long as the line needs (see
    // AwaitAnswer); true when one came.
    bool probe();
    // After a request at the line in force: waits the line time of the
    // request and of an answer's first two bytes, plus the unit's
    // turn-around. An answer begun by then is waited for to its last byte
    // (at most the longest identification answer). Ends early on a good
    // frame or a Ctrl+C; true when a good frame came.
    bool awaitAnswer();

private:
    Result run(MemoryFields &fields, bool write);

    const Family &family_;
    Progress &progress_;
    Interrupts &interrupts_;
    Link link_;
    QString port_;
    QString detail_;
    QString backup_;
    QByteArray model_;
};

} // namespace qm::cli
