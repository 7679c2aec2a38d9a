#include "testpage/testruncommands.h"

#include "common/errors.h"
#include "common/fieldaccess.h"
#include "common/inifile.h"
#include "common/prompts.h"
#include "common/report.h"
#include "testpage/testexchange.h"
#include "testpage/trendwindow.h"

#include <QAction>
#include <QWidget>

namespace qm {

namespace {
void Say(Report &report, const QString &text)
{
    report.memo(text);
    report.panel(2, text);
}

// A progress line, the file dialog, the work, and its outcome; a failed
// work says so before its error is reported. True when the work was done.
bool FileCommand(Report &report, Prompts &prompts, const QString &progress, const QString &filter,
                 const QString &suffix, bool replaces, const QString &done, const QString &failed,
                 const std::function<void(const QString &)> &work)
{
    report.memo(progress);
    report.panel(2, QStringLiteral("正在") + progress);
    const QString path = prompts.saveFileNameFor(filter, suffix, replaces);
    if (path.isEmpty()) {
        Say(report, QStringLiteral("用户取消"));
        return false;
    }
    try {
        work(path);
    } catch (const Error &) {
        Say(report, failed);
        throw;
    }
    Say(report, done);
    return true;
}
} // namespace

TestRunCommands::TestRunCommands(TestExchange &exchange, FieldAccess &fields, Report &report, Prompts &prompts,
                                 std::function<QByteArray()> model, QWidget *window, const QString &readingsFolder)
    : QObject(window)
    , report_(report)
    , prompts_(prompts)
    , window_(window)
    , journal_(readingsFolder)
{
    connect(&run_.log, &ReadingsLog::appended, this, [this] {
        QString error;
        const bool written = journal_.write(run_.log.readings().last(), &error);
        if (!written && !journalFailing_)
            report_.memo(QStringLiteral("读数记录写入失败：%1").arg(error));
        journalFailing_ = !written;
    });
    run_.model = [model = std::move(model)] { return DecodeGbk(model()); };
    run_.address = [&fields] { return fields.text(QStringLiteral("Dk618_Address")); };
    exchange.onReading = [this](Quantity q, const QString &shown, bool alarm) { run_.reading(q, shown, alarm); };
    exchange.onTrimmingReport = [this](const std::array<quint8, 10> &report) { run_.trimmingReport(report); };
    exchange.onCalibrationSent = [this](quint8 command) { run_.calibrationSent(command); };
    exchange.onTrimmingSent = [this](int row) { run_.trimmingSent(row); };
    exchange.onPowerLevelSent = [this] { run_.powerLevelSent(); };

    ExportReadings = new QAction(QStringLiteral("导出读数..."), this);
    ExportReadings->setObjectName(QStringLiteral("ExportReadings"));
    SaveTestRecord = new QAction(QStringLiteral("保存测试记录..."), this);
    SaveTestRecord->setObjectName(QStringLiteral("SaveTestRecord"));
    connect(ExportReadings, &QAction::triggered, this, [this] { Guard([this] { ExportReadingsClick(); }); });
    connect(SaveTestRecord, &QAction::triggered, this, [this] { Guard([this] { SaveTestRecordClick(); }); });
}

TestRunCommands::~TestRunCommands()
{
    // The window shows the log of run_, which goes first.
    delete trend_;
}

void TestRunCommands::Trend_OpenClick()
{
    if (!trend_)
        trend_ = new TrendWindow(run_.log, ExportReadings, window_);
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
}

bool TestRunCommands::ExportReadingsClick()
{
    // Counted from the start of the run: the log lets its oldest go.
    const qint64 count = run_.log.dropped() + run_.log.readings().size();
    if (!FileCommand(report_, prompts_, QStringLiteral("导出读数..."), text::ReadingsFilter, QStringLiteral("csv"), true,
                     QStringLiteral("导出成功！"), QStringLiteral("导出失败！"),
                     [this](const QString &path) { SaveBytesSafely(path, ReadingsCsv(run_.log.readings())); }))
        return false;
    exported_ = count;
    return true;
}

qsizetype TestRunCommands::unexportedReadings() const
{
    return qsizetype(run_.log.dropped() + run_.log.readings().size() - exported_);
}

void TestRunCommands::SaveTestRecordClick()
{
    const TestRecord record = run_.record(QDateTime::currentDateTime());
    const bool saved = FileCommand(report_, prompts_, QStringLiteral("保存测试记录..."), text::RecordFilter, QStringLiteral("ini"), false,
                                   QStringLiteral("保存成功！"), QStringLiteral("保存失败！"),
                                   [this, &record](const QString &path) {
                                       StoreTestRecord(path, record);
                                       report_.addRecord(CalibrationRecord(record, path));
                                   });
    const QString stepped = record.value(QStringLiteral("NotReadBack"));
    if (saved && !stepped.isEmpty())
        report_.memo(QStringLiteral("未读回：%1（记录中为设备最后报告的值）").arg(stepped));
}

} // namespace qm
