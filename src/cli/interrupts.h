#pragma once
// Ctrl+C and kill for the command line: the signals are counted and
// delivered through the event loop, so a command decides where it stops
// (a write is never cut off at the first one; the second ends the program
// at once).

#include <QObject>
#include <csignal>

namespace qm::cli {

class Interrupts : public QObject {
    Q_OBJECT
public:
    // Installs the handlers of SIGINT and SIGTERM; one object per process.
    explicit Interrupts(QObject *parent = nullptr);
    ~Interrupts() override;
    int count() const { return count_; }
    // How a program ended by the first signal exits: 128 + its number, 130
    // for SIGINT (Ctrl+C), 143 for SIGTERM.
    int exitCode() const;

signals:
    void raised(int count);

private:
    void take();
    int count_ = 0;
    int first_ = 0; // the first signal's number
};

} // namespace qm::cli
