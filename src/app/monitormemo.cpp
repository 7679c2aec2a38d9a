#include "app/monitormemo.h"

#include "common/errors.h"
#include "common/inifile.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QMenu>
#include <QScrollBar>

#include <cmath>
#include <memory>

namespace qm {

MonitorMemo::MonitorMemo(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("Watch_Window"));
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(0, 0, 128));
    pal.setColor(QPalette::Text, Qt::yellow);
    setPalette(pal);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSize(8);
    // Hex and plain status lines need no ligatures or kerning; without
    // them a line is laid out without shaping, at half the cost.
    mono.setKerning(false);
    mono.setStyleStrategy(QFont::PreferNoShaping);
    setFont(mono);
    // A read-only memo has nothing to undo; the history would only grow
    // with every line until the memo is emptied.
    setUndoRedoEnabled(false);

    chooseRecordFile = [this] {
        QFileDialog dialog(window(), QStringLiteral("保存记录"), QString(), QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
        dialog.setObjectName(QStringLiteral("SaveRecordDialog"));
        // Qt's own dialog, in the program's language whatever the desktop.
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        QString folder = lastFolder ? lastFolder() : recordFolder_;
        if (folder.isEmpty())
            folder = QDir::homePath();
        dialog.selectFile(QDir(folder).filePath(
            QStringLiteral("监测记录-%1.txt").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
}

void MonitorMemo::saveRecord(const QString &path) const
{
    QString text;
    if (dropped_ > 0)
        text += QStringLiteral("（本次运行更早的 %1 行超出记录上限，未保存）\n").arg(dropped_);
    for (const LoggedLine &line : runLog_) {
        text += QDateTime::fromMSecsSinceEpoch(line.msecs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        text += QStringLiteral("  ");
        text += line.text;
        text += QLatin1Char('\n');
    }
    SaveBytesSafely(path, text.toUtf8());
}

QMenu *MonitorMemo::createRecordMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("Watch_Menu"));
    QAction *copyItem = menu->addAction(QStringLiteral("复制 (&C)"), this, &QPlainTextEdit::copy);
    copyItem->setObjectName(QStringLiteral("Watch_Copy"));
    copyItem->setEnabled(textCursor().hasSelection());
    QAction *allItem = menu->addAction(QStringLiteral("全选 (&A)"), this, &QPlainTextEdit::selectAll);
    allItem->setObjectName(QStringLiteral("Watch_SelectAll"));
    allItem->setEnabled(!document()->isEmpty());
    menu->addSeparator();
    QAction *saveItem = menu->addAction(QStringLiteral("保存记录 (&S)..."), this, [this] { Guard([this] { saveRecordClick(); }); });
    saveItem->setObjectName(QStringLiteral("Watch_SaveRecord"));
    return menu;
}

void MonitorMemo::contextMenuEvent(QContextMenuEvent *event)
{
    std::unique_ptr<QMenu> menu(createRecordMenu());
    menu->exec(event->globalPos());
}

void MonitorMemo::saveRecordClick()
{
    const QString path = chooseRecordFile ? chooseRecordFile() : QString();
    if (path.isEmpty())
        return;
    recordFolder_ = QFileInfo(path).absolutePath();
    saveRecord(path);
    if (folderUsed)
        folderUsed(recordFolder_);
    emit recordSaved(path);
}

void MonitorMemo::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        advances_.clear();
    QPlainTextEdit::changeEvent(event);
}

int MonitorMemo::rowsOf(const QString &line)
{
    // Unshaped text is as wide as its characters: each advance is measured
    // once, not every line again.
    qreal width = 0;
    for (const QChar c : line) {
        auto it = advances_.constFind(c.unicode());
        if (it == advances_.constEnd())
            it = advances_.insert(c.unicode(), QFontMetricsF(font()).horizontalAdvance(c));
        width += *it;
    }
    return std::max(1, int(std::ceil(width / kWrapWidth - 1e-9)));
}

void MonitorMemo::appendLine(const QString &line)
{
    runLog_.append({QDateTime::currentMSecsSinceEpoch(), line});
    runLogSize_ += line.size();
    while (runLogSize_ > runLogLimit_ && runLog_.size() > 1) {
        runLogSize_ -= runLog_.constFirst().text.size();
        runLog_.removeFirst();
        ++dropped_;
    }
    if (rows_ > kMaxRows)
        clearAll();
    appendPlainText(line);
    rows_ += rowsOf(line);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void MonitorMemo::clearAll()
{
    clear();
    rows_ = 0;
}

} // namespace qm
