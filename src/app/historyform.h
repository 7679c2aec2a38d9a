#pragma once
// 功能 → 设备记录...: the register's records under the filters of
// `qmset history` (family, address, model, dates), newest first, how many
// wait for the server, the list exported as CSV, and a record's values
// loaded into its family's page.

#include "common/unitrecord.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace qm {

class Prompts;
class RecordWriter;

class THistory_Form : public QDialog {
    Q_OBJECT
public:
    // writer: the window's register (what it has been handed is written
    // before a query). load: a record to load into its page.
    THistory_Form(RecordWriter &writer, Prompts &prompts, std::function<void(const UnitRecord &)> load,
                  QWidget *parent = nullptr);

    // Queries the register again under the filters.
    void HistoryQueryClick();
    void HistoryExportClick();
    void HistoryLoadClick();
    const QList<UnitRecord> &records() const { return records_; }

private:
    void showWaiting();

    RecordWriter &writer_;
    Prompts &prompts_;
    std::function<void(const UnitRecord &)> load_;
    QList<UnitRecord> records_;
    QComboBox *HistoryFamily;
    QLineEdit *HistoryAddress, *HistoryModel, *HistorySince, *HistoryUntil;
    QTableWidget *HistoryTable;
    QLabel *HistoryStatus, *HistoryWaiting;
};

// The Chinese words for a record's family, action and result.
QString FamilyText(const QString &family);
QString ActionText(const QString &action);
QString ResultWord(const QString &result);

} // namespace qm
