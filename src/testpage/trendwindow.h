#pragma once
// The readings of the test run against time: the four quantities on a chart,
// one axis each with its unit, over the last 1, 10 or 60 minutes, the
// standing-wave alarm marked on the power curve; beside it the readings log
// as a table. Follows the log while it is shown; hidden it does nothing.

#include "testpage/readingslog.h"

#include <QDateTime>
#include <QWidget>
#include <functional>

class QAction;
class QChart;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QTableView;
class QTimer;
class QValueAxis;

namespace qm {

class ReadingsTableModel;

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRangeMinutes[3] = {1, 10, 60};
    // New readings reach the chart and the table at most this long after
    // they are decoded; the readings of one refresh are drawn at once.
    static constexpr int kRefreshMs = 1000;

    TrendWindow(const ReadingsLog &log, QAction *exportReadings, QWidget *parent);
    ~TrendWindow() override;

    QLineSeries *series(Quantity quantity) const { return series_[int(quantity)]; }
    QScatterSeries *alarmMarks() const { return alarms_; }
    int rangeMinutes() const;
    void setRangeMinutes(int minutes);
    // Brings the chart and the table up to the log now.
    void refresh();
    // The wall clock the axis follows, ms since the epoch.
    void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void rebuild();
    void scheduleRefresh();
    void trimAndScale(qint64 now, bool moveAxis);

    const ReadingsLog &log_;
    QChart *chart_;
    QDateTimeAxis *timeAxis_;
    QLineSeries *series_[kQuantities];
    QValueAxis *axes_[kQuantities];
    QScatterSeries *alarms_;
    QComboBox *range_;
    QTableView *table_;
    ReadingsTableModel *model_;
    QTimer *refreshTimer_;
    qint64 plotted_ = 0;     // readings of the run on the chart and in the table
    qint64 lastPlotted_ = 0; // time of the last of them, ms since the epoch
    qint64 axisEnd_ = 0;     // end of the time axis, ms since the epoch
    std::function<qint64()> clock_ = [] { return QDateTime::currentMSecsSinceEpoch(); };
};

} // namespace qm
