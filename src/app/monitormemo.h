#pragma once
// The monitor memo Watch_Window: read-only, yellow on dark blue, emptied
// when a new line would be added to more than 300 displayed rows. Beside
// what it shows it keeps the run log: every line of this run with the time
// it came, bounded in size (the oldest lines go first). Its context menu
// copies, selects all and saves the run log to a file the user picks;
// nothing is written anywhere otherwise.

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

    // The run log as UTF-8, one line per memo line, each after its time
    // ("2026-12-08 14:30:05.120  读取成功！"), written through the safe save;
    // Error when the file cannot be written. When the bound dropped lines,
    // the first line says how many.
    void saveRecord(const QString &path) const;
    // The run log's bound, in characters of the lines it holds.
    static constexpr qsizetype kRunLogChars = 8 * 1000 * 1000;
    void setRunLogLimit(qsizetype chars) { runLogLimit_ = chars; }
    qsizetype runLogLines() const { return runLog_.size(); }
    // The menu the memo shows on a right click; the caller owns it.
    QMenu *createRecordMenu();
    // Asks for the file "保存记录..." saves into; empty when cancelled. A
    // non-native save dialog unless replaced (tests answer here).
    std::function<QString()> chooseRecordFile;
    // The folder the window's file dialogs last used, and where to note the
    // folder a record went to; without them the memo keeps its own.
    std::function<QString()> lastFolder;
    std::function<void(const QString &)> folderUsed;

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
    struct LoggedLine {
        qint64 msecs; // since the epoch
        QString text;
    };
    QList<LoggedLine> runLog_;
    qsizetype runLogSize_ = 0; // characters
    qsizetype runLogLimit_ = kRunLogChars;
    qint64 dropped_ = 0;
    // Advance of each character met so far, in the memo's font.
    QHash<char16_t, qreal> advances_;
};

} // namespace qm
