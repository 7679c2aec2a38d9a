#include "app/recordkeeper.h"

#include "app/historyform.h"
#include "app/registerdbform.h"
#include "app/safetynet.h"
#include "common/fieldaccess.h"
#include "common/inifile.h"
#include "common/report.h"
#include "headless/families.h"
#include "link/exchange.h"
#include "register/recordfields.h"
#include "register/recordtable.h"
#include "register/recordwriter.h"
#include "register/unitregister.h"

#include <QAction>
#include <QWidget>

namespace qm {

// Passes a page exchange's lines on and watches for its start and end.
class RecordKeeper::PageReport : public Report {
public:
    PageReport(RecordKeeper &keeper, const Family &family, Report &next, std::function<QByteArray()> model,
               std::function<QString()> backup)
        : keeper_(keeper)
        , family_(family)
        , next_(next)
        , model_(std::move(model))
        , backup_(std::move(backup))
    {
    }

    void memo(const QString &line) override
    {
        const FieldTable &table = family_.table();
        if (line == text::Reading || line == text::Writing) {
            writing_ = line == text::Writing;
            started_ = true;
            // A write sends the page as it stands now.
            start_ = {};
            if (writing_)
                TakeFieldValues(table, keeper_.fields_, start_);
        }
        next_.memo(line);
        // A write refused by its checks or stopped on the way, and a
        // cancelled exchange, end it as surely as an answer or a time-out.
        const bool refused = line.startsWith(text::NotWrittenPrefix) || line.startsWith(text::WriteStoppedPrefix);
        const bool cancelled = line == text::Cancelled;
        const bool readEnd = line == text::ReadOk || line == text::ReadFailed || (cancelled && started_ && !writing_);
        const bool writeEnd = line == text::WriteOk || line == text::WriteFailed || ((refused || cancelled) && started_ && writing_);
        if (!readEnd && !writeEnd) {
            if (started_)
                lastLine_ = line;
            return;
        }
        const bool ok = line == text::ReadOk || line == text::WriteOk;
        UnitRecord r;
        r.family = family_.name;
        r.model = DecodeGbk(model_());
        r.action = writeEnd ? action::Write : action::Read;
        r.result = ok ? QStringLiteral("ok") : cancelled ? QStringLiteral("cancelled") : refused ? QStringLiteral("refused") : QStringLiteral("failed");
        if (!ok)
            r.detail = refused ? line : lastLine_;
        if (writeEnd && started_ && writing_ && !refused) {
            r.values = start_.values;
            r.address = start_.address;
        } else if (readEnd && ok) {
            TakeFieldValues(table, keeper_.fields_, r);
            r.backupFile = backup_();
        }
        started_ = false;
        lastLine_.clear();
        keeper_.add(r);
    }
    void panel(int index, const QString &text) override { next_.panel(index, text); }
    void ClearFields() override { next_.ClearFields(); }
    void addRecord(const UnitRecord &record) override { keeper_.add(record); }

private:
    RecordKeeper &keeper_;
    const Family &family_;
    Report &next_;
    std::function<QByteArray()> model_;
    std::function<QString()> backup_;
    bool started_ = false, writing_ = false;
    UnitRecord start_;
    QString lastLine_;
};

RecordKeeper::RecordKeeper(QWidget *window, FieldAccess &fields, Report &report, Prompts &prompts, SafetyNet &safetyNet,
                           std::function<QString()> port)
    : QObject(window)
    , window_(window)
    , fields_(fields)
    , report_(report)
    , prompts_(prompts)
    , safetyNet_(safetyNet)
    , port_(std::move(port))
{
    RegisterTarget target;
    QString error;
    if (!RegisterTarget::choose(QString(), &target, &error)) {
        report_.memo(QStringLiteral("记录数据库设置有误：%1；改用本机文件").arg(error));
        target = RegisterTarget::local();
    }
    writer_ = std::make_unique<RecordWriter>(target);
    connect(writer_.get(), &RecordWriter::kept, this, [this](const QString &, int kept, const QString &message) {
        if (kept == int(UnitRegister::Kept::InSpool))
            report_.memo(QStringLiteral("记录数据库无法连接，记录暂存本机（%1 条等待发送）：%2").arg(writer_->waiting()).arg(message));
        else if (kept == int(UnitRegister::Kept::Lost))
            report_.memo(QStringLiteral("记录未能保存：%1").arg(message));
    }, Qt::QueuedConnection);
    connect(writer_.get(), &RecordWriter::waitingChanged, this, [this](int count) {
        if (count == 0)
            report_.memo(QStringLiteral("暂存的记录已全部发送到记录数据库"));
    }, Qt::QueuedConnection);

    RegisterDb = new QAction(QStringLiteral("记录数据库 (&D)..."), this);
    RegisterDb->setObjectName(QStringLiteral("RegisterDb"));
    RegisterDb->setToolTip(QStringLiteral("选择设备记录保存的位置"));
    UnitHistory = new QAction(QStringLiteral("设备记录 (&H)..."), this);
    UnitHistory->setObjectName(QStringLiteral("UnitHistory"));
    UnitHistory->setToolTip(QStringLiteral("查看每台设备的读写记录"));
    connect(RegisterDb, &QAction::triggered, this, [this] { RegisterDbClick(); });
    connect(UnitHistory, &QAction::triggered, this, [this] { UnitHistoryClick(); });
}

RecordKeeper::~RecordKeeper() = default;

Report &RecordKeeper::pageReport(const Family &family, Report &next, std::function<QByteArray()> model, std::function<QString()> backup)
{
    pageReports_.push_back(std::make_unique<PageReport>(*this, family, next, std::move(model), std::move(backup)));
    return *pageReports_.back();
}

void RecordKeeper::add(UnitRecord record)
{
    if (record.port.isEmpty())
        record.port = port_();
    writer_->add(record);
}

void RecordKeeper::setTarget(const RegisterTarget &target)
{
    writer_->setTarget(target);
    report_.memo(QStringLiteral("记录数据库：%1").arg(target.display()));
}

void RecordKeeper::loadRecord(const UnitRecord &record)
{
    QWidget *page = safetyNet_.pageOf(record.family);
    const Family *family = FindFamily(record.family);
    if (!page || !family) {
        report_.memo(QStringLiteral("没有这类设备的页面：%1").arg(record.family));
        return;
    }
    QString error;
    bool loaded = false;
    safetyNet_.change(page, QStringLiteral("载入记录"), [&](QString *detail) {
        *detail = QStringLiteral("%1 %2").arg(LocalTimeText(record), ActionText(record.action));
        loaded = LoadRecordValues(family->table(), record, fields_, &error);
    });
    if (!loaded) {
        report_.memo(QStringLiteral("记录未能载入：%1").arg(error));
        return;
    }
    const QString said = QStringLiteral("已载入记录到%1页面：%2 %3 地址 %4")
                             .arg(FamilyText(record.family), LocalTimeText(record), ActionText(record.action), record.address);
    report_.memo(said);
    report_.panel(2, QStringLiteral("已载入记录"));
}

void RecordKeeper::RegisterDbClick()
{
    if (!registerDb_)
        registerDb_ = new TRegisterDb_Form(window_);
    registerDb_->select(writer_->target());
    if (registerDb_->exec() == QDialog::Accepted)
        setTarget(registerDb_->chosen());
}

void RecordKeeper::UnitHistoryClick()
{
    if (!history_)
        history_ = new THistory_Form(*writer_, prompts_, [this](const UnitRecord &r) { loadRecord(r); }, window_);
    history_->show();
    history_->raise();
    history_->activateWindow();
    history_->HistoryQueryClick();
}

} // namespace qm
