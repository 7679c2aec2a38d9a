#pragma once
// The monitor memo Watch_Window: read-only, yellow on dark blue, emptied
// when a new line would be added to more than 300 displayed rows.

#include <QPlainTextEdit>

namespace qm {

class MonitorMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MonitorMemo(QWidget *parent = nullptr);
    void appendLine(const QString &line);
    void clearAll();
    // Displayed rows so far, wrapped lines counted once per row.
    int rowCount() const { return rows_; }

    static constexpr int kMaxRows = 300;

private:
    int rowsOf(const QString &line) const;
    int rows_ = 0;
};

} // namespace qm
