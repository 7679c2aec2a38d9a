#pragma once
// One read or write of a unit on fields held in memory: the family page's
// own exchange class runs on a link the caller owns, its ticks driven by a
// 100 ms timer of this run, its memo lines and messages taken as progress
// and outcome. No page changes. The command line waits for it; the window
// runs it beside its pages (compare with the unit, backup before a write,
// read-back after one) and keeps its own ticks off the line meanwhile.

#include "common/backupstore.h"
#include "headless/families.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace qm {

class Link;
class MemoryFields;

class UnitRun : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Ok,
        NoAnswer,    // a reply did not come (or came too short); detail() names the request
        Refused,     // a value did not pass the write's checks, or the line is busy; nothing was sent
        PortLost,    // the port went away or refused a write
        Interrupted, // stopped by stop()
    };

    UnitRun(const Family &family, Link &link, QObject *parent = nullptr);
    ~UnitRun() override;

    // Starts the family's write or read click on fields, which must outlive
    // the run. False when it ended at once (refused: result() and detail()
    // say why); otherwise finished() follows.
    bool start(MemoryFields &fields, bool write);
    bool running() const { return running_; }
    // Ends a running exchange now, as Interrupted; finished() follows.
    void stop();

    const Family &family() const { return family_; }
    bool writing() const { return write_; }
    Result result() const { return result_; }
    // What went wrong.
    QString detail() const { return detail_; }
    // NoAnswer: the request whose reply did not come ("0x63 channel table").
    QString failedStep() const { return failedStep_; }
    // The model text of a data-radio exchange.
    QByteArray modelText() const { return model_; }
    // What a read's backup is named as having read the unit (a read of its
    // own unless told).
    void setBackupSource(BackupSource source) { backupSource_ = source; }
    // A successful read leaves a backup: its path, or why it could not be
    // written (the read is successful all the same).
    QString backupPath() const { return backupPath_; }
    QString backupError() const { return backupError_; }

signals:
    // The request the exchange now waits on ("dk618 read: 0x63 channel
    // table"), and each memo line of the exchange.
    void progress(const QString &line);
    void finished();

private:
    struct Driver;
    class Sink;
    void tick();
    void end(Result result);
    void judge();
    QString stepText(qint32 step) const;

    const Family &family_;
    Link &link_;
    // The link may go first (a window closed during a read).
    QPointer<Link> linkAlive_;
    QTimer timer_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<Driver> driver_;
    MemoryFields *fields_ = nullptr;
    QList<QMetaObject::Connection> connections_;
    bool running_ = false;
    bool write_ = false;
    BackupSource backupSource_ = BackupSource::Read;
    qint32 stepBefore_ = 0;
    Result result_ = Result::Ok;
    QString detail_, failedStep_, backupPath_, backupError_;
    QByteArray model_;
};

// What a result says, for messages: "ok", "no answer", "refused", ...
QString ResultText(UnitRun::Result result);

} // namespace qm
