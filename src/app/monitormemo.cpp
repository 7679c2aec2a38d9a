#include "app/monitormemo.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QScrollBar>

#include <cmath>

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
