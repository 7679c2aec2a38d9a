#pragma once
// The commands of the test run: the trend window (opened by Trend_Open and
// the window's menu item), the export of the readings log and the
// calibration record. Keeps the TestRun that TestExchange feeds, and writes
// every reading into the daily file of the readings folder.

#include "testpage/readingsjournal.h"
#include "testpage/testrecord.h"

#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace qm {

class FieldAccess;
class Prompts;
class Report;
class TestExchange;
class TrendWindow;

namespace text {
inline const QString ReadingsFilter = QStringLiteral("CSV 文件 (*.csv)");
inline const QString RecordFilter = QStringLiteral("测试记录 (*.ini *.csv)");
} // namespace text

class TestRunCommands : public QObject {
    Q_OBJECT
public:
    // model: the radio's model text (GBK) from its last read. window: the
    // parent of the trend window. readingsFolder: where the daily files go.
    TestRunCommands(TestExchange &exchange, FieldAccess &fields, Report &report, Prompts &prompts,
                    std::function<QByteArray()> model, QWidget *window, const QString &readingsFolder = ReadingsFolder());
    ~TestRunCommands() override;

    TestRun &run() { return run_; }
    // Null until the window is first opened.
    TrendWindow *trendWindow() const { return trend_; }
    // Readings that came since the user last exported the log.
    qsizetype unexportedReadings() const;

    QAction *ExportReadings;
    QAction *SaveTestRecord;

    void Trend_OpenClick();
    // True when the readings are on disk.
    bool ExportReadingsClick();
    void SaveTestRecordClick();

private:
    Report &report_;
    Prompts &prompts_;
    QWidget *window_;
    TestRun run_;
    ReadingsJournal journal_;
    // A failed write is said once, until a write succeeds again.
    bool journalFailing_ = false;
    // Readings of the log the user had exported at the last export.
    // (counted from the start of the run).
    qint64 exported_ = 0;
    TrendWindow *trend_ = nullptr;
};

} // namespace qm
