#include "testpage/trendwindow.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <cmath>

namespace qm {

// The log as a table; rows appear as the window takes them in, and go as
// the log lets the oldest go.
class ReadingsTableModel : public QAbstractTableModel {
public:
    explicit ReadingsTableModel(const ReadingsLog &log, QObject *parent)
        : QAbstractTableModel(parent)
        , log_(log)
    {
    }

    // Rows for the readings of the log now, oldest first.
    void follow()
    {
        const qint64 gone = std::min<qint64>(log_.dropped() - first_, rows_);
        if (gone > 0) {
            beginRemoveRows({}, 0, int(gone - 1));
            first_ += gone;
            rows_ -= gone;
            endRemoveRows();
        }
        // All of the rows shown are gone: start again at the log's first.
        if (rows_ == 0)
            first_ = log_.dropped();
        const qsizetype rows = log_.readings().size() - (first_ - log_.dropped());
        if (rows <= rows_)
            return;
        beginInsertRows({}, int(rows_), int(rows - 1));
        rows_ = rows;
        endInsertRows();
    }

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(rows_); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : 5; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const kTitles[] = {"时间", "读数", "数值", "型号", "地址"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 5)
            return QAbstractTableModel::headerData(section, orientation, role);
        return QString::fromUtf8(kTitles[section]);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        // Between a drop in the log and the next follow() a row may have
        // gone already.
        const qint64 at = first_ - log_.dropped() + index.row();
        if (!index.isValid() || index.row() >= rows_ || at < 0 || at >= log_.readings().size())
            return {};
        const Reading &r = log_.readings().at(at);
        if (role == Qt::ForegroundRole && r.alarm)
            return QColor(Qt::red);
        if (role == Qt::ToolTipRole && r.alarm)
            return QStringLiteral("驻波告警");
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0: return r.time.toString(QStringLiteral("hh:mm:ss.zzz"));
        case 1: return QuantityName(r.quantity);
        case 2: return r.value + QLatin1Char(' ') + QuantityUnit(r.quantity) + (r.alarm ? QStringLiteral(" 告警") : QString());
        case 3: return r.model;
        case 4: return r.address;
        default: return {};
        }
    }

private:
    const ReadingsLog &log_;
    qint64 first_ = 0; // the reading of row 0, counted from the run's first
    qsizetype rows_ = 0;
};

namespace {
struct Curve {
    const char *title;
    QColor colour;
    Qt::Alignment side;
};
// By Quantity.
const Curve kCurves[kQuantities] = {
    {"电压 (V)", QColor(0x1f, 0x77, 0xb4), Qt::AlignLeft},
    {"场强 (dBm)", QColor(0x2c, 0xa0, 0x2c), Qt::AlignLeft},
    {"温度 (°C)", QColor(0xff, 0x7f, 0x0e), Qt::AlignRight},
    {"功率 (dBm)", QColor(0x94, 0x67, 0xbd), Qt::AlignRight},
};

qint64 Msecs(const Reading &r)
{
    return r.time.toMSecsSinceEpoch();
}

// The points of readings [from, end): one list per quantity, and the
// alarmed ones again.
struct Points {
    QList<QPointF> curve[kQuantities];
    QList<QPointF> alarms;
};
Points PointsOf(const QList<Reading> &readings, qsizetype from)
{
    Points out;
    for (qsizetype i = from; i < readings.size(); ++i) {
        const Reading &r = readings.at(i);
        const QPointF p(double(Msecs(r)), r.value.toDouble());
        out.curve[int(r.quantity)].append(p);
        if (r.alarm)
            out.alarms.append(p);
    }
    return out;
}
} // namespace

TrendWindow::TrendWindow(const ReadingsLog &log, QAction *exportReadings, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , log_(log)
{
    setObjectName(QStringLiteral("TrendWindow"));
    setWindowTitle(QStringLiteral("读数趋势"));
    resize(1100, 540);

    chart_ = new QChart;
    chart_->setObjectName(QStringLiteral("Trend_Chart"));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QDateTimeAxis(chart_);
    timeAxis_->setFormat(QStringLiteral("hh:mm:ss"));
    timeAxis_->setTickCount(7);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    for (int q = 0; q < kQuantities; ++q) {
        const Curve &c = kCurves[q];
        auto *series = new QLineSeries(chart_);
        series->setName(QuantityName(Quantity(q)));
        series->setColor(c.colour);
        auto *axis = new QValueAxis(chart_);
        axis->setTitleText(QString::fromUtf8(c.title));
        axis->setLinePenColor(c.colour);
        axis->setLabelsColor(c.colour);
        axis->setTitleBrush(c.colour);
        axis->setLabelFormat(QStringLiteral("%.1f"));
        axis->setGridLineVisible(q == 0);
        chart_->addAxis(axis, c.side);
        chart_->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(axis);
        series_[q] = series;
        axes_[q] = axis;
    }
    alarms_ = new QScatterSeries(chart_);
    alarms_->setName(QStringLiteral("驻波告警"));
    alarms_->setColor(Qt::red);
    alarms_->setBorderColor(Qt::red);
    alarms_->setMarkerSize(7);
    chart_->addSeries(alarms_);
    alarms_->attachAxis(timeAxis_);
    alarms_->attachAxis(axes_[int(Quantity::Power)]);

    auto *view = new QChartView(chart_);
    view->setObjectName(QStringLiteral("Trend_View"));
    view->setRenderHint(QPainter::Antialiasing);

    model_ = new ReadingsTableModel(log_, this);
    table_ = new QTableView;
    table_->setObjectName(QStringLiteral("Trend_Log"));
    table_->setModel(model_);
    table_->verticalHeader()->hide();
    // Fixed rows: the view never measures the rows of an hour's log.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[] = {88, 60, 92, 76};
    for (int i = 0; i < 4; ++i)
        table_->setColumnWidth(i, widths[i]);

    range_ = new QComboBox;
    range_->setObjectName(QStringLiteral("Trend_Range"));
    for (int minutes : kRangeMinutes)
        range_->addItem(QStringLiteral("最近 %1 分钟").arg(minutes), minutes);
    range_->setCurrentIndex(1);
    auto *exportButton = new QToolButton;
    exportButton->setObjectName(QStringLiteral("Trend_Export"));
    exportButton->setDefaultAction(exportReadings);
    exportButton->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("显示范围：")));
    bar->addWidget(range_);
    bar->addStretch();
    bar->addWidget(exportButton);
    auto *split = new QSplitter;
    split->addWidget(view);
    split->addWidget(table_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({680, 410});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(split, 1);

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshMs);
    connect(refreshTimer_, &QTimer::timeout, this, &TrendWindow::refresh);
    connect(&log_, &ReadingsLog::appended, this, &TrendWindow::scheduleRefresh);
    connect(range_, &QComboBox::currentIndexChanged, this, &TrendWindow::rebuild);
    // A window of its own closes from the keyboard as a dialog does.
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
    rebuild();
}

TrendWindow::~TrendWindow() = default;

int TrendWindow::rangeMinutes() const
{
    return range_->currentData().toInt();
}

void TrendWindow::setRangeMinutes(int minutes)
{
    const int index = range_->findData(minutes);
    if (index >= 0)
        range_->setCurrentIndex(index);
}

void TrendWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Hidden it took nothing in: the range anew, not a day of points.
    rebuild();
}

void TrendWindow::scheduleRefresh()
{
    if (isVisible() && !refreshTimer_->isActive())
        refreshTimer_->start();
}

// The curves anew from the readings of the range. A clock set back makes
// the newest readings older than those before them: the curves then show
// the readings since the clock went back, on an axis that follows it.
void TrendWindow::rebuild()
{
    const qint64 now = clock_();
    const qint64 start = now - qint64(rangeMinutes()) * 60000;
    const QList<Reading> &readings = log_.readings();
    qsizetype first = readings.size();
    while (first > 0 && Msecs(readings.at(first - 1)) >= start
           && (first == readings.size() || Msecs(readings.at(first - 1)) <= Msecs(readings.at(first))))
        --first;
    const Points points = PointsOf(readings, first);
    for (int q = 0; q < kQuantities; ++q)
        series_[q]->replace(points.curve[q]);
    alarms_->replace(points.alarms);
    plotted_ = log_.dropped() + readings.size();
    lastPlotted_ = readings.isEmpty() ? 0 : Msecs(readings.last());
    model_->follow();
    trimAndScale(now, true);
}

void TrendWindow::refresh()
{
    refreshTimer_->stop();
    const QList<Reading> &readings = log_.readings();
    const qint64 total = log_.dropped() + readings.size();
    if (plotted_ == total)
        return;
    const qsizetype from = std::max<qint64>(plotted_ - log_.dropped(), 0);
    for (qsizetype i = from; i < readings.size(); ++i) {
        if (Msecs(readings.at(i)) < lastPlotted_) {
            // The clock went back.
            rebuild();
            return;
        }
        lastPlotted_ = Msecs(readings.at(i));
    }
    const Points points = PointsOf(readings, from);
    for (int q = 0; q < kQuantities; ++q)
        if (!points.curve[q].isEmpty())
            series_[q]->append(points.curve[q]);
    if (!points.alarms.isEmpty())
        alarms_->append(points.alarms);
    plotted_ = total;
    const bool atEnd = table_->verticalScrollBar()->value() == table_->verticalScrollBar()->maximum();
    model_->follow();
    if (atEnd)
        table_->scrollToBottom();
    trimAndScale(clock_(), false);
}

// Drops the points before the range and fits the axes to what is left. The
// time axis runs a twelfth of its range ahead of now and moves on only when
// the readings reach its end: every relayout of the axes costs more than
// drawing the new points.
void TrendWindow::trimAndScale(qint64 now, bool moveAxis)
{
    const qint64 span = qint64(rangeMinutes()) * 60000;
    // Also when the clock went back before the axis' start.
    if (moveAxis || now > axisEnd_ || now < axisEnd_ - span) {
        axisEnd_ = now + span / 12;
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(axisEnd_ - span), QDateTime::fromMSecsSinceEpoch(axisEnd_));
    }
    const double start = double(axisEnd_ - span);
    const auto trim = [start](QXYSeries *series) {
        int old = 0;
        while (old < series->count() && series->at(old).x() < start)
            ++old;
        if (old > 0)
            series->removePoints(0, old);
    };
    for (int q = 0; q < kQuantities; ++q) {
        trim(series_[q]);
        if (series_[q]->count() == 0)
            continue;
        double low = series_[q]->at(0).y(), high = low;
        for (int i = 1; i < series_[q]->count(); ++i) {
            low = std::min(low, series_[q]->at(i).y());
            high = std::max(high, series_[q]->at(i).y());
        }
        // Whole units with a margin, so that a steady value sits inside.
        axes_[q]->setRange(std::floor(low) - 1, std::ceil(high) + 1);
    }
    trim(alarms_);
}

} // namespace qm
