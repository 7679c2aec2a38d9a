#include "app/autosetform.h"

#include "common/errors.h"
#include "link/exchange.h"
#include "link/link.h"
#include "pagekit/widgetmaker.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

namespace qm {

TAutoSet_Form::TAutoSet_Form(Link &link, Report &report, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , link_(link)
    , report_(report)
    , search_(link, report)
{
    setObjectName(QStringLiteral("AutoSet_Form"));
    // A third row under the two of old: the trial in words and the cancel
    // button.
    setFixedSize(329, 92);
    setModal(true);
    setCursor(Qt::WaitCursor);
    QFont type = font();
    type.setPixelSize(12);
    setFont(type);

    QLabel *title = makeLabel(this, QStringLiteral("正在设置串口，请稍候..."), {14, 6});
    QFont large = type;
    large.setPixelSize(22);
    large.setBold(true);
    large.setItalic(true);
    title->setFont(large);
    QPalette red = title->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    title->setPalette(red);
    title->adjustSize();

    // The port, parity and rate texts read as one line: "COM1,E,8,1,4800bps".
    auto *state = new QWidget(this);
    state->setGeometry(40, 40, 280, 18);
    auto *row = new QHBoxLayout(state);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto addText = [&](const QString &name, const QString &text) {
        auto *label = new QLabel(text, state);
        label->setObjectName(name);
        row->addWidget(label);
        return label;
    };
    addText(QString(), QStringLiteral("当前状态:"))->setContentsMargins(0, 0, 6, 0);
    Auto_Port = addText(QStringLiteral("Auto_Port"), QStringLiteral("COM1"));
    Auto_Check = addText(QStringLiteral("Auto_Check"), QStringLiteral(",N,8,1,"));
    Auto_Bps = addText(QStringLiteral("Auto_Bps"), QStringLiteral("300bps"));
    row->addStretch();

    Auto_Trial = makeLabel(this, AutoSetSearch::TrialText(0), {40, 66});
    Auto_Trial->setObjectName(QStringLiteral("Auto_Trial"));
    Auto_Trial->setFixedWidth(200);
    auto *cancelButton = makeButton(this, QStringLiteral("Auto_Cancel"), QStringLiteral("取消"), {252, 62, 64, 24});
    // Without a pointer of its own: the window shows the hourglass.
    cancelButton->setCursor(Qt::ArrowCursor);
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(AutoSetSearch::kTickMs);
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
}

bool TAutoSet_Form::searching() const
{
    return isVisible();
}

void TAutoSet_Form::run(const QString &portText)
{
    if (isVisible())
        return;
    portText_ = portText;
    rateBefore_ = link_.line().RateIndex;
    parityBefore_ = link_.line().ParityIndex;
    if (QWidget *owner = parentWidget())
        move(owner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
}

void TAutoSet_Form::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A window the desktop shows again (after a minimise) goes on searching.
    if (!event->spontaneous())
        FormShow();
}

template <typename F>
void TAutoSet_Form::guarded(F step)
{
    try {
        step();
    } catch (const std::exception &e) {
        finish();
        search_.reportFailure();
        const auto *error = dynamic_cast<const Error *>(&e);
        ReportError(error ? error->message() : QString::fromLocal8Bit(e.what()));
    }
}

void TAutoSet_Form::FormShow()
{
    Auto_Port->setText(portText_);
    Auto_Check->setText(QStringLiteral(",N,8,1"));
    Auto_Bps->setText(AutoSetSearch::BpsText(0));
    Auto_Trial->setText(AutoSetSearch::TrialText(0));
    guarded([this] {
        search_.start();
        Timer2->start();
    });
}

void TAutoSet_Form::Timer2Timer()
{
    if (!searching())
        return;
    bool found = false;
    guarded([&] {
        const qint32 next = search_.AutoSetAttempt + 1;
        switch (search_.tick()) {
        case AutoSetSearch::Outcome::Found:
            finish();
            found = true;
            return;
        case AutoSetSearch::Outcome::Failed:
            finish();
            return;
        case AutoSetSearch::Outcome::Trying:
            Auto_Check->setText(AutoSetSearch::CheckText(next));
            Auto_Bps->setText(AutoSetSearch::BpsText(next));
            Auto_Trial->setText(AutoSetSearch::TrialText(next));
            return;
        }
    });
    // Outside the guard: the read reports its own errors, and a found
    // radio is never reported as a failed search.
    if (found && onFound)
        onFound();
}

void TAutoSet_Form::finish()
{
    Timer2->stop();
    // Not close(): a dialog closes through reject(), which is kept from
    // the user here.
    done(Accepted);
}

void TAutoSet_Form::abort()
{
    if (isVisible() || Timer2->isActive())
        finish();
}

void TAutoSet_Form::cancel()
{
    if (!searching())
        return;
    finish();
    link_.AbandonReply();
    link_.line().RateIndex = rateBefore_;
    link_.line().ParityIndex = parityBefore_;
    link_.ApplyLineSettings();
    report_.memo(text::Cancelled);
    report_.panel(2, text::Cancelled);
}

void TAutoSet_Form::closeEvent(QCloseEvent *event)
{
    // Only the search closes the window.
    event->ignore();
}

} // namespace qm
