#pragma once
// The comparison of the page with another side: the unit, a parameter file
// or a backup, field by field in table order, differing rows marked. The
// dialog only asks for the other side through its signals; the window reads
// it and hands both value sets back.

#include "common/fieldtable.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace qm {

struct BackupEntry;

class TCompare_Form : public QDialog {
    Q_OBJECT
public:
    explicit TCompare_Form(QWidget *parent = nullptr);

    // The backups to choose from, those of the page's family, newest first.
    void setSources(const QList<BackupEntry> &backups);
    // One row per field of table, in table order; the rows whose values
    // Differences() finds different among the fields in scope are marked,
    // the others outside it listed as not compared.
    void showComparison(const FieldTable &table, const FieldValues &page, const QString &otherTitle,
                        const FieldValues &other, unsigned scope = AllFields);
    // No comparison: the other side could not be read.
    void showFailure(const QString &text);

    int differingRows() const { return differing_; }
    QTableWidget *table() const { return CompareTable; }

signals:
    void unitRequested();
    void fileRequested();
    void backupRequested(const QString &path);

private:
    void applyFilter();

    QComboBox *CompareBackupChoice;
    QPushButton *CompareUnit;
    QPushButton *CompareFile;
    QPushButton *CompareBackup;
    QTableWidget *CompareTable;
    QCheckBox *CompareOnlyDifferences;
    QLabel *CompareSummary;
    QList<bool> marked_; // per row
    int differing_ = 0;
};

} // namespace qm
