#pragma once
// Where pages report progress and outcomes: a line in the monitor memo and
// the text of a status bar panel.

#include <QString>

namespace qm {

struct UnitRecord;

class Report {
public:
    virtual ~Report() = default;
    // A plain line in the monitor memo, whether or not the echo is on.
    virtual void memo(const QString &line) = 0;
    // Status panel 0 (unit version), 1 (port status) or 2 (progress).
    virtual void panel(int index, const QString &text) = 0;
    // Every edit field of the window to "0", status panel 0 emptied.
    virtual void ClearFields() = 0;
    // One exchange for the register of units; the window keeps it, a
    // report without a register lets it go.
    virtual void addRecord(const UnitRecord &) {}
};

} // namespace qm
