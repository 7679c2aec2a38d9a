#pragma once
// One unit of a family on one port, without a window: the pages' own
// exchange classes run on fields held in memory, their ticks driven by a
// 100 ms timer of the command line, their memo lines and messages taken as
// progress and outcome.

#include "cli/family.h"
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

    enum class Result {
        Ok,
        NoAnswer,    // a reply did not come (or came too short); detail() names the request
        Refused,     // a value did not pass the write's checks; nothing was sent
        PortLost,    // the port went away or refused a write
        Interrupted, // stopped by Ctrl+C (a read at once; a write only at the second)
    };
    // The write and read exchanges of the family's page on fields. A write
    // goes on to its end after a first Ctrl+C.
    Result write(MemoryFields &fields);
    Result read(MemoryFields &fields);
    // What went wrong in the last exchange.
    QString detail() const { return detail_; }
    // The model text of the last data-radio exchange.
    QByteArray modelText() const { return model_; }

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
    QByteArray model_;
};

// What a failed exchange says, for messages: "no answer to 0x6B current
// channel within 10.1 s" and the like.
QString ResultText(UnitSession::Result result);

} // namespace qm::cli
