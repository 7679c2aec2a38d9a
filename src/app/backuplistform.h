#pragma once
// The list of backups: newest first, filterable by family; a chosen one is
// loaded into its family's page, or the folder opened in the file manager.

#include <QDialog>
#include <functional>

class QComboBox;
class QTableWidget;

namespace qm {

class TBackupList_Form : public QDialog {
    Q_OBJECT
public:
    // load is called with the chosen backup's family and path.
    TBackupList_Form(std::function<void(const QString &family, const QString &path)> load, QWidget *parent = nullptr);
    // Lists the folder again, under the family filter.
    void refresh();

private:
    std::function<void(const QString &, const QString &)> load_;
    QComboBox *BackupFamily;
    QTableWidget *BackupTable;
};

} // namespace qm
