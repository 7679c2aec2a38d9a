#pragma once
// What one family's exchanges report goes to the window's own report, and
// each memo line also to a handler that is told whose exchange said it: a
// read's end belongs to the family whose exchange ended, whatever page is
// shown by then.

#include "common/report.h"

#include <QString>
#include <functional>

namespace qm {

class FamilyReport : public Report {
public:
    using Lines = std::function<void(const QString &family, const QString &line)>;
    FamilyReport(Report &window, const QString &family, Lines lines)
        : window_(window)
        , family_(family)
        , lines_(std::move(lines))
    {
    }

    void memo(const QString &line) override
    {
        window_.memo(line);
        lines_(family_, line);
    }
    void panel(int index, const QString &text) override { window_.panel(index, text); }
    void ClearFields() override { window_.ClearFields(); }
    void addRecord(const UnitRecord &record) override { window_.addRecord(record); }

private:
    Report &window_;
    QString family_;
    Lines lines_;
};

} // namespace qm
