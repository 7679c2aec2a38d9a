#pragma once
// The list of backups: newest first, filterable by family, with what read
// each one; the one chosen (named beside the button) is loaded into its
// family's page by 载入到页面, or the folder opened in the file manager.

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
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
    // The line beside the load button names the backup it loads.
    void showChosen();

    std::function<void(const QString &, const QString &)> load_;
    QComboBox *BackupFamily;
    QTableWidget *BackupTable;
    QLabel *BackupChosen;
    QPushButton *BackupLoad;
};

} // namespace qm
