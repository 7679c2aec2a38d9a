#include "app/monitormemo.h"

#include <QFontMetrics>
#include <QScrollBar>

namespace qm {

namespace {
// The memo wraps at this width whatever size the panel has at the moment.
constexpr int kWrapWidth = 192;
} // namespace

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
    setFont(mono);
}

int MonitorMemo::rowsOf(const QString &line) const
{
    const int width = QFontMetrics(font()).horizontalAdvance(line);
    return std::max(1, (width + kWrapWidth - 1) / kWrapWidth);
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
