#include "app/compareform.h"

#include "common/backupstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qm {

namespace {

enum Column { MarkColumn, CaptionColumn, PageColumn, OtherColumn, ColumnCount };

QString captionOf(const FieldSpec &fieldSpec)
{
    const QString caption = fieldSpec.caption.isEmpty() ? fieldSpec.keyText() : fieldSpec.caption;
    if (fieldSpec.kind == FieldKind::RadioPair && !fieldSpec.partnerCaption.isEmpty())
        return caption + QLatin1Char('/') + fieldSpec.partnerCaption;
    return caption;
}

// A value as the table shows it: a frequency with its MHz beside it, a
// button without texts of its own as what "1" / "0" mean.
QString shownValue(const FieldSpec &fieldSpec, const QString &value)
{
    if (fieldSpec.frequency) {
        const QString mhz = FrequencyMhzText(value);
        return mhz.isEmpty() ? value : QStringLiteral("%1 (%2)").arg(value, mhz);
    }
    const bool plainButton = (fieldSpec.kind == FieldKind::Check || fieldSpec.kind == FieldKind::RadioPair)
        && fieldSpec.onValue.isEmpty() && fieldSpec.offValue.isEmpty();
    if (plainButton && (value == QLatin1String("1") || value == QLatin1String("0"))) {
        const bool on = value == QLatin1String("1");
        if (fieldSpec.kind == FieldKind::RadioPair)
            return on ? fieldSpec.caption : fieldSpec.partnerCaption;
        return on ? QStringLiteral("选中") : QStringLiteral("未选中");
    }
    return value;
}

} // namespace

TCompare_Form::TCompare_Form(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Compare_Form"));
    setWindowTitle(QStringLiteral("比较参数"));
    resize(600, 480);

    CompareUnit = new QPushButton(QStringLiteral("与设备比较"), this);
    CompareUnit->setObjectName(QStringLiteral("CompareUnit"));
    CompareFile = new QPushButton(QStringLiteral("与文档比较..."), this);
    CompareFile->setObjectName(QStringLiteral("CompareFile"));
    CompareBackupChoice = new QComboBox(this);
    CompareBackupChoice->setObjectName(QStringLiteral("CompareBackupChoice"));
    CompareBackupChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    CompareBackup = new QPushButton(QStringLiteral("与备份比较"), this);
    CompareBackup->setObjectName(QStringLiteral("CompareBackup"));
    CompareBackup->setEnabled(false);

    CompareTable = new QTableWidget(0, ColumnCount, this);
    CompareTable->setObjectName(QStringLiteral("CompareTable"));
    CompareTable->setHorizontalHeaderLabels({QString(), QStringLiteral("参数"), QStringLiteral("页面"), QString()});
    CompareTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CompareTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    CompareTable->verticalHeader()->hide();
    CompareTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    CompareTable->horizontalHeader()->setStretchLastSection(true);

    CompareOnlyDifferences = new QCheckBox(QStringLiteral("只显示不同项"), this);
    CompareOnlyDifferences->setObjectName(QStringLiteral("CompareOnlyDifferences"));
    CompareSummary = new QLabel(QStringLiteral("请选择比较对象"), this);
    CompareSummary->setObjectName(QStringLiteral("CompareSummary"));
    auto *closeButton = new QPushButton(QStringLiteral("关闭"), this);
    closeButton->setObjectName(QStringLiteral("CompareClose"));

    auto *sources = new QHBoxLayout;
    sources->addWidget(CompareUnit);
    sources->addWidget(CompareFile);
    sources->addSpacing(12);
    sources->addWidget(new QLabel(QStringLiteral("备份："), this));
    sources->addWidget(CompareBackupChoice, 1);
    sources->addWidget(CompareBackup);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(CompareOnlyDifferences);
    bottom->addSpacing(12);
    bottom->addWidget(CompareSummary, 1);
    bottom->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(sources);
    layout->addWidget(CompareTable);
    layout->addLayout(bottom);

    // Across the sources, then the result, as the dialog reads.
    setTabOrder(CompareUnit, CompareFile);
    setTabOrder(CompareFile, CompareBackupChoice);
    setTabOrder(CompareBackupChoice, CompareBackup);
    setTabOrder(CompareBackup, CompareTable);
    setTabOrder(CompareTable, CompareOnlyDifferences);
    setTabOrder(CompareOnlyDifferences, closeButton);

    connect(CompareUnit, &QPushButton::clicked, this, &TCompare_Form::unitRequested);
    connect(CompareFile, &QPushButton::clicked, this, &TCompare_Form::fileRequested);
    connect(CompareBackup, &QPushButton::clicked, this, [this] {
        const QString path = CompareBackupChoice->currentData().toString();
        if (!path.isEmpty())
            emit backupRequested(path);
    });
    connect(CompareOnlyDifferences, &QCheckBox::toggled, this, &TCompare_Form::applyFilter);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TCompare_Form::setSources(const QList<BackupEntry> &backups)
{
    CompareBackupChoice->clear();
    for (const BackupEntry &e : backups)
        CompareBackupChoice->addItem(QStringLiteral("%1  %2  %3").arg(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                                                     e.model, e.address),
                                     e.path);
    CompareBackup->setEnabled(CompareBackupChoice->count() > 0);
}

void TCompare_Form::showComparison(const FieldTable &table, const FieldValues &page, const QString &otherTitle,
                                   const FieldValues &other, unsigned scope)
{
    QSet<QString> differs;
    for (const FieldDifference &d : Differences(table, page, other, scope))
        differs.insert(d.name);

    CompareTable->setHorizontalHeaderItem(OtherColumn, new QTableWidgetItem(otherTitle));
    CompareTable->setRowCount(int(table.fields.size()));
    marked_.clear();
    differing_ = 0;
    // Fixed colours, so that a marked row reads the same on any palette.
    const QBrush markBackground(QColor(255, 221, 221));
    const QBrush markText(Qt::black);
    const QBrush outsideText(Qt::gray);
    int compared = 0;
    for (int row = 0; row < table.fields.size(); ++row) {
        const FieldSpec &fieldSpec = table.fields[row];
        const bool mark = differs.contains(fieldSpec.name);
        // A field the other side does not hold (not read back, not in the
        // file) is listed but not compared.
        const bool inScope = InScope(fieldSpec, scope);
        compared += inScope ? 1 : 0;
        marked_.append(mark);
        differing_ += mark ? 1 : 0;
        const QString cells[ColumnCount] = {mark ? QStringLiteral("≠") : QString(), captionOf(fieldSpec),
                                            shownValue(fieldSpec, page.value(fieldSpec.name)),
                                            inScope ? shownValue(fieldSpec, other.value(fieldSpec.name)) : QStringLiteral("（不比较）")};
        for (int col = 0; col < ColumnCount; ++col) {
            auto *item = new QTableWidgetItem(cells[col]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (col == MarkColumn)
                item->setTextAlignment(Qt::AlignCenter);
            if (!inScope)
                item->setForeground(outsideText);
            if (mark) {
                item->setBackground(markBackground);
                item->setForeground(markText);
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
            CompareTable->setItem(row, col, item);
        }
    }
    CompareSummary->setText(differing_ == 0 ? QStringLiteral("全部相同")
                                            : QStringLiteral("共 %1 项，不同 %2 项").arg(compared).arg(differing_));
    applyFilter();
}

void TCompare_Form::showFailure(const QString &text)
{
    CompareTable->setRowCount(0);
    CompareTable->setHorizontalHeaderItem(OtherColumn, new QTableWidgetItem(QString()));
    marked_.clear();
    differing_ = 0;
    CompareSummary->setText(text);
}

void TCompare_Form::applyFilter()
{
    const bool onlyDifferences = CompareOnlyDifferences->isChecked();
    for (int row = 0; row < marked_.size(); ++row)
        CompareTable->setRowHidden(row, onlyDifferences && !marked_[row]);
}

} // namespace qm
