#pragma once
// Simulate mode: one simulated unit (qmsim) per family, each on a pseudo
// terminal of its own. The window points COM1 at the unit of whichever
// family page the user chooses.

#include "app/simulator.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

namespace qm {

class SimulatedUnits : public QObject {
    Q_OBJECT
public:
    explicit SimulatedUnits(QObject *parent = nullptr);
    ~SimulatedUnits() override;

    // The families simulate mode serves.
    static QStringList Families();

    // qmsim to run; empty means Simulator::FindProgram().
    void setProgram(const QString &path) { program_ = path; }

    // Starts one unit per family; dataRadioArgs go to the dk618 only (they
    // name its model, its line and the like). On failure every unit is
    // stopped again and errorString() names the family.
    bool start(const QStringList &families, const QStringList &dataRadioArgs = {}, int timeoutMs = 5000);
    void stop();

    // Family -> device to open in place of a serial port.
    QHash<QString, QString> links() const;
    QString errorString() const { return error_; }

private:
    std::vector<std::pair<QString, std::unique_ptr<Simulator>>> units_;
    QString program_;
    QString error_;
};

} // namespace qm
