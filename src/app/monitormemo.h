#pragma once
// The monitor memo Watch_Window: read-only, yellow on dark blue, emptied
// when a new line would be added to more than 300 displayed rows. Its
// context menu copies, selects all and saves the record to a file the user
// picks; nothing is written anywhere otherwise.

#include <QHash>
#include <QPlainTextEdit>

#include <functional>

class QMenu;

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

    // The memo's text as UTF-8, one line break after every line, written
    // through the safe save; Error when the file cannot be written.
    void saveRecord(const QString &path) const;
    // The menu the memo shows on a right click; the caller owns it.
    QMenu *createRecordMenu();
    // Asks for the file "保存记录..." saves into; empty when cancelled. A
    // non-native save dialog unless replaced (tests answer here).
    std::function<QString()> chooseRecordFile;

signals:
    // After the record is on disk.
    void recordSaved(const QString &path);

protected:
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void saveRecordClick();
    int rowsOf(const QString &line);
    int rows_ = 0;
    QString recordFolder_; // where the last record went
    // Advance of each character met so far, in the memo's font.
    QHash<char16_t, qreal> advances_;
};

} // namespace qm
