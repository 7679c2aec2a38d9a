#include "register/recordwriter.h"

#include "register/unitregister.h"

#include <QMetaObject>
#include <QTimer>
#include <memory>

namespace qm {

namespace {
constexpr int kRetryMs = 30000;
} // namespace

// Lives in the writer's thread: the register's connection is opened there.
class RecordWriter::Worker : public QObject {
public:
    Worker(RecordWriter &owner)
        : owner_(owner)
    {
    }

    void start()
    {
        retry_ = std::make_unique<QTimer>();
        retry_->setInterval(kRetryMs);
        QObject::connect(retry_.get(), &QTimer::timeout, this, [this] { drain(); });
    }
    void stop()
    {
        retry_.reset();
        register_.reset();
    }
    void setTarget(const RegisterTarget &target)
    {
        register_ = std::make_unique<UnitRegister>(target, owner_.spoolPath_);
        drain();
    }
    void add(UnitRecord record)
    {
        QString why;
        const UnitRegister::Kept kept = register_->add(record, &why);
        emit owner_.kept(record.uid, int(kept), why);
        count();
    }
    void drain()
    {
        QString ignored;
        register_->drain(&ignored);
        count();
    }

private:
    void count()
    {
        const int waiting = std::max(0, register_->waiting());
        if (waiting != owner_.waiting_.exchange(waiting))
            emit owner_.waitingChanged(waiting);
        if (waiting > 0 && !retry_->isActive())
            retry_->start();
        else if (waiting == 0)
            retry_->stop();
    }

    RecordWriter &owner_;
    std::unique_ptr<UnitRegister> register_;
    std::unique_ptr<QTimer> retry_;
};

RecordWriter::RecordWriter(const RegisterTarget &target, const QString &spoolPath, QObject *parent)
    : QObject(parent)
    , spoolPath_(spoolPath)
    , target_(target)
{
    worker_ = new Worker(*this);
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("register"));
    thread_.start();
    QMetaObject::invokeMethod(worker_, [w = worker_, target] {
        w->start();
        w->setTarget(target);
    }, Qt::QueuedConnection);
}

RecordWriter::~RecordWriter()
{
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->stop(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete worker_;
}

RegisterTarget RecordWriter::target() const
{
    QMutexLocker lock(&mutex_);
    return target_;
}

void RecordWriter::setTarget(const RegisterTarget &target)
{
    {
        QMutexLocker lock(&mutex_);
        target_ = target;
    }
    QMetaObject::invokeMethod(worker_, [w = worker_, target] { w->setTarget(target); }, Qt::QueuedConnection);
}

void RecordWriter::add(const UnitRecord &record)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, record] { w->add(record); }, Qt::QueuedConnection);
}

void RecordWriter::flush()
{
    QMetaObject::invokeMethod(worker_, [] {}, Qt::BlockingQueuedConnection);
}

void RecordWriter::retry()
{
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->drain(); }, Qt::QueuedConnection);
}

} // namespace qm
