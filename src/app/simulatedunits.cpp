#include "app/simulatedunits.h"

namespace qm {

SimulatedUnits::SimulatedUnits(QObject *parent)
    : QObject(parent)
{
}

SimulatedUnits::~SimulatedUnits()
{
    stop();
}

QStringList SimulatedUnits::Families()
{
    return {QStringLiteral("dk618"), QStringLiteral("mlb4800"), QStringLiteral("mlr4800")};
}

bool SimulatedUnits::start(const QStringList &families, const QStringList &dataRadioArgs, int timeoutMs)
{
    stop();
    error_.clear();
    for (const QString &family : families) {
        auto unit = std::make_unique<Simulator>();
        unit->setProgram(program_);
        const QStringList args = family == QLatin1String("dk618") ? dataRadioArgs : QStringList();
        if (!unit->start(family, args, timeoutMs)) {
            error_ = QStringLiteral("%1: %2").arg(family, unit->errorString());
            stop();
            return false;
        }
        units_.emplace_back(family, std::move(unit));
    }
    return true;
}

void SimulatedUnits::stop()
{
    units_.clear();
}

QHash<QString, QString> SimulatedUnits::links() const
{
    QHash<QString, QString> links;
    for (const auto &[family, unit] : units_)
        links.insert(family, unit->linkPath());
    return links;
}

} // namespace qm
