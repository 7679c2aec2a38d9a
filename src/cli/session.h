#pragma once
// One unit of a family on one port for the command line: its reads and
// writes run on fields held in memory (see UnitRun) and are waited for,
// with progress on stderr and Ctrl+C heeded.

#include "common/backupstore.h"
#include "headless/families.h"
#include "headless/unitrun.h"
#include "link/link.h"

#include <QObject>
#include <QString>
#include <optional>

namespace qm {
class MemoryFields;
}

namespace qm::cli {

class Interrupts;
class Progress;

// Who a unit on the line says it is: the data radio's model text and the
// address it answers the address read with. Units of a production run
// differ in their address until they are programmed; the model text tells
// one kind of radio from another.
struct UnitIdentity {
    QByteArray model;
    std::optional<quint16> address; // none: the address read went unanswered
    bool known() const { return address.has_value(); }
    bool operator==(const UnitIdentity &) const = default;
};

class UnitSession : public QObject {
    Q_OBJECT
public:
    UnitSession(const Family &family, Progress &progress, Interrupts &interrupts);

    const Family &family() const { return family_; }
    Link &link() { return link_; }
    QString port() const { return port_; }

    // Opens port (a device path or COM1..COM4) at the line given; false
    // with "cannot open DEVICE: reason" in *error.
    bool open(const QString &port, qint32 rateIndex, qint32 parityIndex, QString *error);
    // Puts another line on the open port.
    void setLine(qint32 rateIndex, qint32 parityIndex);
    qint32 rateIndex() { return link_.line().RateIndex; }
    qint32 parityIndex() { return link_.line().ParityIndex; }

    using Result = UnitRun::Result;
    // The write and read exchanges of the family's page on fields. A write
    // goes on to its end after a first Ctrl+C, and so does a read with
    // toItsEnd (the read-back of a unit in hand); another read stops at
    // the first.
    Result write(MemoryFields &fields);
    // source: what the read's backup says read it.
    Result read(MemoryFields &fields, bool toItsEnd = false, BackupSource source = BackupSource::Read);
    // What went wrong in the last exchange.
    QString detail() const { return detail_; }
    // The model text of the last data-radio exchange.
    QByteArray modelText() const { return model_; }
    // The backup the last successful read left; empty when none.
    QString backupPath() const { return backup_; }
    // The step of the last exchange whose reply did not come (NoAnswer),
    // else -1.
    qint32 failedStep() const { return failedStep_; }
    // Whether the last write sent a request that changes the unit: false
    // when it was refused, or ended before anything but the data radio's
    // identification went out.
    bool writeBegan() const { return writeBegan_; }

    // Sends the family's identification request at the line in force and
    // waits for any good reply as long as the line needs (see
    // AwaitAnswer); true when one came.
    bool probe();
    // The identification request, and for the data radio the address read
    // after it: none when the unit does not answer the first.
    std::optional<UnitIdentity> identify();
    // After a request at the line in force: waits the line time of the
    // request and of an answer's first two bytes, plus the unit's
    // turn-around. An answer begun by then is waited for to its last byte
    // (at most the longest identification answer). Ends early on a good
    // frame or a Ctrl+C; true when a good frame came.
    bool awaitAnswer();

private:
    Result run(MemoryFields &fields, bool write, int stopAt, BackupSource source = BackupSource::Read);
    bool ask(quint8 command, quint8 selector);

    const Family &family_;
    Progress &progress_;
    Interrupts &interrupts_;
    Link link_;
    QString port_;
    QString detail_;
    QString backup_;
    QByteArray model_;
    qint32 failedStep_ = -1;
    bool writeBegan_ = false;
};

} // namespace qm::cli
