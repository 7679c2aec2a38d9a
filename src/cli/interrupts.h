#pragma once
// Ctrl+C and kill for the command line: the signals are counted and
// delivered through the event loop, so a command decides where it stops
// (a write is never cut off at the first one; the second ends the program
// at once).

#include <QObject>

namespace qm::cli {

class Interrupts : public QObject {
    Q_OBJECT
public:
    // Installs the handlers of SIGINT and SIGTERM; one object per process.
    explicit Interrupts(QObject *parent = nullptr);
    ~Interrupts() override;
    int count() const { return count_; }

signals:
    void raised(int count);

private:
    void take();
    int count_ = 0;
};

} // namespace qm::cli
