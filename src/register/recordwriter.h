#pragma once
// Records handed to the register from a thread of their own, so that a
// slow or absent server never holds up the window: each record is added in
// the order given (to the spool when the server is away), and what waits
// is sent again every half minute until the server takes it.

#include "common/unitrecord.h"
#include "register/registertarget.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <atomic>

namespace qm {

class RecordWriter : public QObject {
    Q_OBJECT
public:
    explicit RecordWriter(const RegisterTarget &target, const QString &spoolPath = DefaultSpoolPath(),
                          QObject *parent = nullptr);
    // Writes what was handed over, then ends its thread.
    ~RecordWriter() override;

    RegisterTarget target() const;
    // Records from now on go to target.
    void setTarget(const RegisterTarget &target);
    QString spoolPath() const { return spoolPath_; }
    void add(const UnitRecord &record);
    // Returns once every record handed over so far is written or spooled.
    void flush();
    // Sends what waits for the server now.
    void retry();
    // Records waiting in the spool for the target, as last seen.
    int waiting() const { return waiting_; }

signals:
    // A record was added (InRegister), spooled (InSpool) or lost (Lost);
    // message says why it did not reach the register. Delivered in the
    // thread the writer lives in.
    void kept(const QString &uid, int kept, const QString &message);
    void waitingChanged(int count);

private:
    class Worker;
    QString spoolPath_;
    mutable QMutex mutex_;
    RegisterTarget target_;
    std::atomic<int> waiting_{0};
    QThread thread_;
    Worker *worker_ = nullptr;
};

} // namespace qm
