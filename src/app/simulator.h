#pragma once
// --simulate: runs qmsim as a child process on a pseudo terminal so the tool
// can talk to a simulated unit instead of hardware.

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace qm {

class Simulator : public QObject {
    Q_OBJECT
public:
    explicit Simulator(QObject *parent = nullptr);
    ~Simulator() override;

    // qmsim to run; empty (the default) means FindProgram().
    void setProgram(const QString &path) { program_ = path; }
    QString program() const { return program_.isEmpty() ? FindProgram() : program_; }

    // qmsim from the environment variable QMSIM, else beside the running
    // executable, else in ../sim/ of it (the build tree). Empty when none.
    static QString FindProgram();

    // Starts qmsim for family ("dk618") with extraArgs appended and waits up
    // to timeoutMs, handling events, for it to report its link. Returns false
    // with errorString() on failure. A running simulator is stopped first.
    bool start(const QString &family, const QStringList &extraArgs = {}, int timeoutMs = 5000);

    // Terminates the child, killing it if it does not end in time.
    void stop();

    bool isRunning() const;
    // The device path to open in place of a serial port, once started.
    QString linkPath() const { return linkPath_; }
    QString errorString() const { return error_; }
    // The running child's process id, 0 when none runs.
    qint64 processId() const { return process_ ? process_->processId() : 0; }

signals:
    // The child ended on its own after it was ready.
    void stopped(const QString &message);

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> process_;
    QString program_;
    QString linkPath_;
    QString error_;
    QByteArray stdout_;
    bool ready_ = false;
};

} // namespace qm
