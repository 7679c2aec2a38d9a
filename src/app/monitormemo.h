#pragma once
// The monitor memo Watch_Window: read-only, yellow on dark blue, emptied
// when a new line would be added to more than 300 displayed rows.

#include <QHash>
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
    // Rows are counted at this width whatever size the panel has at the
    // moment.
    static constexpr int kWrapWidth = 192;

protected:
    void changeEvent(QEvent *event) override;

private:
    int rowsOf(const QString &line);
    int rows_ = 0;
    // Advance of each character met so far, in the memo's font.
    QHash<char16_t, qreal> advances_;
};

} // namespace qm
