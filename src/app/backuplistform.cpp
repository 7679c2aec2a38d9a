#include "app/backuplistform.h"

#include "common/backupstore.h"

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

TBackupList_Form::TBackupList_Form(std::function<void(const QString &, const QString &)> load, QWidget *parent)
    : QDialog(parent)
    , load_(std::move(load))
{
    setObjectName(QStringLiteral("BackupList_Form"));
    setWindowTitle(QStringLiteral("备份记录"));
    resize(680, 360);
    BackupFamily = new QComboBox(this);
    BackupFamily->setObjectName(QStringLiteral("BackupFamily"));
    BackupFamily->addItems({QStringLiteral("全部"), QStringLiteral("dk618"), QStringLiteral("mlb4800"), QStringLiteral("mlr4800")});
    BackupTable = new QTableWidget(0, 5, this);
    BackupTable->setObjectName(QStringLiteral("BackupTable"));
    BackupTable->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("类型"), QStringLiteral("型号"),
                                            QStringLiteral("地址"), QStringLiteral("文件")});
    BackupTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    BackupTable->setSelectionMode(QAbstractItemView::SingleSelection);
    BackupTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    BackupTable->horizontalHeader()->setStretchLastSection(true);
    auto *loadButton = new QPushButton(QStringLiteral("载入到页面"), this);
    loadButton->setObjectName(QStringLiteral("BackupLoad"));
    auto *folderButton = new QPushButton(QStringLiteral("打开文件夹"), this);
    folderButton->setObjectName(QStringLiteral("BackupOpenFolder"));

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("类型："), this));
    top->addWidget(BackupFamily);
    top->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(loadButton);
    buttons->addWidget(folderButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(BackupTable);
    layout->addLayout(buttons);

    connect(BackupFamily, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    const auto loadRow = [this] {
        const int row = BackupTable->currentRow();
        if (row < 0)
            return;
        load_(BackupTable->item(row, 1)->text(), BackupTable->item(row, 4)->data(Qt::UserRole).toString());
    };
    connect(loadButton, &QPushButton::clicked, this, loadRow);
    connect(BackupTable, &QTableWidget::cellDoubleClicked, this, loadRow);
    connect(folderButton, &QPushButton::clicked, this, [] {
        QDir().mkpath(BackupFolder());
        QDesktopServices::openUrl(QUrl::fromLocalFile(BackupFolder()));
    });
}

void TBackupList_Form::refresh()
{
    const QString family = BackupFamily->currentIndex() > 0 ? BackupFamily->currentText() : QString();
    const QList<BackupEntry> backups = ListBackups(BackupFolder(), family);
    BackupTable->setRowCount(int(backups.size()));
    for (int row = 0; row < backups.size(); ++row) {
        const BackupEntry &e = backups[row];
        const QStringList cells{e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.family, e.model, e.address,
                                QFileInfo(e.path).fileName()};
        for (int col = 0; col < cells.size(); ++col)
            BackupTable->setItem(row, col, new QTableWidgetItem(cells[col]));
        BackupTable->item(row, 4)->setData(Qt::UserRole, e.path);
    }
    if (!backups.isEmpty())
        BackupTable->selectRow(0);
}

} // namespace qm
