#include "app/backuplistform.h"

#include "common/backupstore.h"
#include "common/fieldtable.h"
#include "headless/families.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace qm {

namespace {
enum Column { TimeColumn, FamilyColumn, ModelColumn, AddressColumn, SourceColumn, FileColumn, ColumnCount };

// The family as its page names it; a name no family has stands as it is.
QString familyCaption(const QString &family)
{
    const Family *f = FindFamily(family);
    return f ? f->table().caption : family;
}
} // namespace

TBackupList_Form::TBackupList_Form(std::function<void(const QString &, const QString &)> load, QWidget *parent)
    : QDialog(parent)
    , load_(std::move(load))
{
    setObjectName(QStringLiteral("BackupList_Form"));
    setWindowTitle(QStringLiteral("备份记录"));
    resize(760, 380);
    BackupFamily = new QComboBox(this);
    BackupFamily->setObjectName(QStringLiteral("BackupFamily"));
    BackupFamily->addItem(QStringLiteral("全部"), QString());
    for (const QString &family : FamilyNames())
        BackupFamily->addItem(familyCaption(family), family);
    BackupTable = new QTableWidget(0, ColumnCount, this);
    BackupTable->setObjectName(QStringLiteral("BackupTable"));
    BackupTable->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("类型"), QStringLiteral("型号"),
                                            QStringLiteral("地址"), QStringLiteral("来源"), QStringLiteral("文件")});
    BackupTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    BackupTable->setSelectionMode(QAbstractItemView::SingleSelection);
    BackupTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    BackupTable->horizontalHeader()->setStretchLastSection(true);
    BackupChosen = new QLabel(this);
    BackupChosen->setObjectName(QStringLiteral("BackupChosen"));
    BackupLoad = new QPushButton(QStringLiteral("载入到页面"), this);
    BackupLoad->setObjectName(QStringLiteral("BackupLoad"));
    auto *folderButton = new QPushButton(QStringLiteral("打开文件夹"), this);
    folderButton->setObjectName(QStringLiteral("BackupOpenFolder"));

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("类型："), this));
    top->addWidget(BackupFamily);
    top->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BackupChosen, 1);
    buttons->addWidget(BackupLoad);
    buttons->addWidget(folderButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(BackupTable);
    layout->addLayout(buttons);

    connect(BackupFamily, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(BackupTable, &QTableWidget::itemSelectionChanged, this, [this] { showChosen(); });
    // Only the button loads, after the line beside it has said which
    // backup: a double click in a list is too easily made.
    connect(BackupLoad, &QPushButton::clicked, this, [this] {
        const int row = BackupTable->currentRow();
        if (row < 0 || !BackupTable->item(row, FileColumn))
            return;
        load_(BackupTable->item(row, FamilyColumn)->data(Qt::UserRole).toString(),
              BackupTable->item(row, FileColumn)->data(Qt::UserRole).toString());
    });
    connect(folderButton, &QPushButton::clicked, this, [] {
        QDir().mkpath(BackupFolder());
        QDesktopServices::openUrl(QUrl::fromLocalFile(BackupFolder()));
    });
}

void TBackupList_Form::refresh()
{
    const QList<BackupEntry> backups = ListBackups(BackupFolder(), BackupFamily->currentData().toString());
    BackupTable->setRowCount(int(backups.size()));
    for (int row = 0; row < backups.size(); ++row) {
        const BackupEntry &e = backups[row];
        const QString cells[ColumnCount] = {e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                            familyCaption(e.family),
                                            e.model,
                                            e.address,
                                            BackupSourceText(e.source),
                                            QFileInfo(e.path).fileName()};
        for (int col = 0; col < ColumnCount; ++col)
            BackupTable->setItem(row, col, new QTableWidgetItem(cells[col]));
        BackupTable->item(row, FamilyColumn)->setData(Qt::UserRole, e.family);
        BackupTable->item(row, FileColumn)->setData(Qt::UserRole, e.path);
    }
    if (!backups.isEmpty())
        BackupTable->selectRow(0);
    showChosen();
}

void TBackupList_Form::showChosen()
{
    const int row = BackupTable->currentRow();
    const bool chosen = row >= 0 && BackupTable->item(row, FileColumn);
    BackupLoad->setEnabled(chosen);
    if (!chosen) {
        BackupChosen->setText(QStringLiteral("没有选择备份"));
        BackupLoad->setToolTip(QString());
        return;
    }
    const auto cell = [this, row](int col) { return BackupTable->item(row, col)->text(); };
    const QString text = QStringLiteral("载入：%1 %2 %3 地址 %4 到%2页面")
                             .arg(cell(TimeColumn), cell(FamilyColumn), cell(ModelColumn), cell(AddressColumn));
    BackupChosen->setText(text);
    BackupLoad->setToolTip(BackupTable->item(row, FileColumn)->data(Qt::UserRole).toString());
}

} // namespace qm
