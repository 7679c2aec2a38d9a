#include "app/historyform.h"

#include "common/errors.h"
#include "common/inifile.h"
#include "common/prompts.h"
#include "register/recordtable.h"
#include "register/recordwriter.h"
#include "register/unitregister.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qm {

namespace {
// The window shows the newest records; the command line lists them all.
constexpr int kShown = 1000;
} // namespace

QString FamilyText(const QString &family)
{
    if (family == QLatin1String("dk618"))
        return QStringLiteral("数传电台");
    if (family == QLatin1String("mlb4800"))
        return QStringLiteral("MLB4800");
    if (family == QLatin1String("mlr4800"))
        return QStringLiteral("MLR4800");
    return family;
}

QString ActionText(const QString &a)
{
    static const QHash<QString, QString> words{
        {action::Read, QStringLiteral("读取")},        {action::Write, QStringLiteral("写录")},
        {action::Verify, QStringLiteral("校验")},       {action::Compare, QStringLiteral("比较")},
        {action::Batch, QStringLiteral("批量写录")},
        {action::Backup, QStringLiteral("写录前备份")}, {action::Calibration, QStringLiteral("测试记录")},
    };
    return words.value(a, a);
}

QString ResultWord(const QString &result)
{
    static const QHash<QString, QString> words{
        {QStringLiteral("ok"), QStringLiteral("成功")},
        {QStringLiteral("failed"), QStringLiteral("失败")},
        {QStringLiteral("no answer"), QStringLiteral("无应答")},
        {QStringLiteral("refused"), QStringLiteral("拒绝")},
        {QStringLiteral("port lost"), QStringLiteral("通讯口断开")},
        {QStringLiteral("interrupted"), QStringLiteral("中断")},
        {QStringLiteral("verify failed"), QStringLiteral("校验失败")},
        {QStringLiteral("cancelled"), QStringLiteral("已取消")},
        {QStringLiteral("written, not verified"), QStringLiteral("已写录，未校验")},
        {QStringLiteral("written"), QStringLiteral("已写录")},
        {QStringLiteral("port error"), QStringLiteral("通讯口错误")},
        {QStringLiteral("error"), QStringLiteral("出错")},
    };
    return words.value(result, result);
}

THistory_Form::THistory_Form(RecordWriter &writer, Prompts &prompts, std::function<void(const UnitRecord &)> load,
                             QWidget *parent)
    : QDialog(parent)
    , writer_(writer)
    , prompts_(prompts)
    , load_(std::move(load))
{
    setObjectName(QStringLiteral("History_Form"));
    setWindowTitle(QStringLiteral("设备记录"));
    resize(900, 480);

    HistoryFamily = new QComboBox(this);
    HistoryFamily->setObjectName(QStringLiteral("HistoryFamily"));
    HistoryFamily->addItem(QStringLiteral("全部"), QString());
    for (const char *family : {"dk618", "mlb4800", "mlr4800"})
        HistoryFamily->addItem(FamilyText(QLatin1String(family)), QLatin1String(family));
    const auto edit = [this](const QString &name, const QString &hint) {
        auto *e = new QLineEdit(this);
        e->setObjectName(name);
        e->setPlaceholderText(hint);
        e->setClearButtonEnabled(true);
        connect(e, &QLineEdit::returnPressed, this, [this] { HistoryQueryClick(); });
        return e;
    };
    HistoryAddress = edit(QStringLiteral("HistoryAddress"), QStringLiteral("全部"));
    HistoryAddress->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), HistoryAddress));
    HistoryModel = edit(QStringLiteral("HistoryModel"), QStringLiteral("开头相同即可"));
    HistorySince = edit(QStringLiteral("HistorySince"), QStringLiteral("年-月-日"));
    HistoryUntil = edit(QStringLiteral("HistoryUntil"), QStringLiteral("年-月-日"));
    auto *query = new QPushButton(QStringLiteral("查询 (&Q)"), this);
    query->setObjectName(QStringLiteral("HistoryQuery"));
    query->setDefault(true);

    HistoryTable = new QTableWidget(0, 11, this);
    HistoryTable->setObjectName(QStringLiteral("HistoryTable"));
    HistoryTable->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("工位"), QStringLiteral("操作员"),
                                             QStringLiteral("端口"), QStringLiteral("类型"), QStringLiteral("型号"),
                                             QStringLiteral("地址"), QStringLiteral("操作"), QStringLiteral("结果"),
                                             QStringLiteral("差异"), QStringLiteral("备份文件")});
    HistoryTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    HistoryTable->setSelectionMode(QAbstractItemView::SingleSelection);
    HistoryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    HistoryTable->horizontalHeader()->setStretchLastSection(true);
    HistoryTable->verticalHeader()->hide();

    HistoryStatus = new QLabel(this);
    HistoryStatus->setObjectName(QStringLiteral("HistoryStatus"));
    HistoryStatus->setWordWrap(true);
    HistoryWaiting = new QLabel(this);
    HistoryWaiting->setObjectName(QStringLiteral("HistoryWaiting"));
    auto *exportButton = new QPushButton(QStringLiteral("导出 CSV (&E)..."), this);
    exportButton->setObjectName(QStringLiteral("HistoryExport"));
    auto *loadButton = new QPushButton(QStringLiteral("载入到页面 (&L)"), this);
    loadButton->setObjectName(QStringLiteral("HistoryLoad"));
    auto *closeButton = new QPushButton(QStringLiteral("关闭"), this);
    closeButton->setObjectName(QStringLiteral("HistoryClose"));

    auto *filters = new QGridLayout;
    const auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    filters->addWidget(label(QStringLiteral("类型 (&T)："), HistoryFamily), 0, 0);
    filters->addWidget(HistoryFamily, 0, 1);
    filters->addWidget(label(QStringLiteral("地址 (&A)："), HistoryAddress), 0, 2);
    filters->addWidget(HistoryAddress, 0, 3);
    filters->addWidget(label(QStringLiteral("型号 (&M)："), HistoryModel), 0, 4);
    filters->addWidget(HistoryModel, 0, 5);
    filters->addWidget(label(QStringLiteral("起始日期 (&S)："), HistorySince), 1, 0);
    filters->addWidget(HistorySince, 1, 1);
    filters->addWidget(label(QStringLiteral("截止日期 (&U)："), HistoryUntil), 1, 2);
    filters->addWidget(HistoryUntil, 1, 3);
    filters->addWidget(query, 1, 5);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(HistoryWaiting);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    buttons->addWidget(loadButton);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(HistoryTable);
    layout->addWidget(HistoryStatus);
    layout->addLayout(buttons);

    connect(query, &QPushButton::clicked, this, [this] { HistoryQueryClick(); });
    connect(HistoryFamily, &QComboBox::currentIndexChanged, this, [this] { HistoryQueryClick(); });
    connect(exportButton, &QPushButton::clicked, this, [this] { Guard([this] { HistoryExportClick(); }); });
    connect(loadButton, &QPushButton::clicked, this, [this] { HistoryLoadClick(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&writer_, &RecordWriter::waitingChanged, this, [this] { showWaiting(); });
}

void THistory_Form::showWaiting()
{
    const int waiting = writer_.waiting();
    HistoryWaiting->setText(waiting > 0 ? QStringLiteral("%1 条记录暂存本机，等待发送到服务器").arg(waiting) : QString());
}

void THistory_Form::HistoryQueryClick()
{
    RecordFilter filter;
    filter.family = HistoryFamily->currentData().toString();
    filter.model = HistoryModel->text().trimmed();
    if (!HistoryAddress->text().isEmpty())
        filter.address = HistoryAddress->text().toLongLong();
    for (const auto &[edit, upper, bound] : {std::tuple{HistorySince, false, &filter.since}, std::tuple{HistoryUntil, true, &filter.until}}) {
        if (!edit->text().trimmed().isEmpty() && !ParseTimeBound(edit->text(), upper, bound)) {
            HistoryStatus->setText(QStringLiteral("日期格式应为 年-月-日，例如 2026-12-08：%1").arg(edit->text()));
            edit->setFocus();
            return;
        }
    }
    filter.limit = kShown + 1;
    // What the window has handed over is in the register first.
    writer_.flush();
    UnitRegister reg(writer_.target(), writer_.spoolPath());
    QString error;
    QList<UnitRecord> found;
    if (!reg.find(filter, &found, &error)) {
        HistoryStatus->setText(QStringLiteral("无法读取记录数据库 %1：%2").arg(writer_.target().display(), error));
        showWaiting();
        return;
    }
    const bool more = found.size() > kShown;
    if (more)
        found.removeLast();
    records_ = found;
    HistoryTable->setRowCount(int(records_.size()));
    for (int row = 0; row < records_.size(); ++row) {
        const UnitRecord &r = records_[row];
        const QStringList cells{LocalTimeText(r), r.station, r.operatorName, r.port, FamilyText(r.family), r.model,
                                r.address, ActionText(r.action),
                                r.detail.isEmpty() ? ResultWord(r.result) : QStringLiteral("%1：%2").arg(ResultWord(r.result), r.detail),
                                DifferencesText(r), r.backupFile};
        for (int col = 0; col < cells.size(); ++col)
            HistoryTable->setItem(row, col, new QTableWidgetItem(cells[col]));
    }
    HistoryTable->resizeColumnsToContents();
    if (!records_.isEmpty())
        HistoryTable->selectRow(0);
    HistoryStatus->setText(more ? QStringLiteral("显示最新的 %1 条记录（%2）").arg(kShown).arg(writer_.target().display())
                                : QStringLiteral("共 %1 条记录（%2）").arg(records_.size()).arg(writer_.target().display()));
    showWaiting();
}

void THistory_Form::HistoryExportClick()
{
    const QString path = prompts_.saveFileNameFor(QStringLiteral("CSV 文件 (*.csv)"), QStringLiteral("csv"), true);
    if (path.isEmpty())
        return;
    try {
        SaveBytesSafely(path, RecordsCsv(records_));
        HistoryStatus->setText(QStringLiteral("已导出 %1 条记录：%2").arg(records_.size()).arg(path));
    } catch (const Error &e) {
        HistoryStatus->setText(e.message());
    }
}

void THistory_Form::HistoryLoadClick()
{
    const int row = HistoryTable->currentRow();
    if (row < 0 || row >= records_.size()) {
        HistoryStatus->setText(QStringLiteral("请先选择一条记录"));
        return;
    }
    const UnitRecord &r = records_[row];
    if (r.values.isEmpty() || r.action == action::Calibration) {
        HistoryStatus->setText(QStringLiteral("这条记录没有可载入页面的参数"));
        return;
    }
    load_(r);
}

} // namespace qm
