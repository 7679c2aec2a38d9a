// How the page exchanges end in the window: the 取消 button beside the
// progress and Escape, and what to try when a unit did not answer.
#include "app/mainform.h"
#include "app/mainformwiring.h"

#include "app/panellabel.h"
#include "app/unitreader.h"
#include "headless/families.h"
#include "link/exchange.h"
#include "radio/radioexchange.h"
#include "units/centralexchange.h"
#include "units/subscriberexchange.h"

#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace qm {

namespace {
// The family as its page names it.
QString PageName(const Family &family)
{
    return family.name == QLatin1String("dk618") ? QStringLiteral("数传电台") : family.title;
}

QString LineText(const QString &port, qint32 rateIndex, qint32 parityIndex)
{
    return QStringLiteral("%1,%2,%3").arg(port).arg(RateOfIndex(rateIndex)).arg(ParityLetter(parityIndex));
}
} // namespace

QString NoAnswerHint(const Family &family, const QString &port, const LineSettings &line)
{
    const QString now = LineText(port, line.RateIndex, line.ParityIndex);
    const bool radio = family.name == QLatin1String("dk618");
    if (line.RateIndex == family.rateIndex && line.ParityIndex == family.parityIndex)
        return QStringLiteral("当前串口 %1 即%2的常用设置；请检查串口线和设备电源%3")
            .arg(now, PageName(family), radio ? QStringLiteral("，或用 自动 检测") : QString());
    const QString usual = QStringLiteral("%1,%2").arg(RateOfIndex(family.rateIndex)).arg(ParityLetter(family.parityIndex));
    // The detection asks the data radio's identification, which the other
    // units do not answer; their page puts their line back when chosen.
    const QString next = radio ? QStringLiteral("可用 自动 检测") : QStringLiteral("重新选择 %1 页面即可恢复").arg(PageName(family));
    return QStringLiteral("当前串口 %1；%2通常为 %3，%4").arg(now, PageName(family), usual, next);
}

void TMainForm::wireExchangeEnds()
{
    const auto hint = [this](const char *family) {
        return [this, family] { memo(NoAnswerHint(*FindFamily(QLatin1String(family)), link_.port().portName(), link_.line())); };
    };
    radio_->onNoAnswer = hint("dk618");
    central_->onNoAnswer = hint("mlb4800");
    subscriber_->onNoAnswer = hint("mlr4800");

    cancelKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancelKey_->setObjectName(QStringLiteral("CancelExchangeKey"));
    cancelKey_->setEnabled(false);
    on(cancelKey_, &QShortcut::activated, this, [this] { CancelExchangeClick(); });
    on(CancelExchange, &QPushButton::clicked, this, [this] { CancelExchangeClick(); });
}

bool TMainForm::exchangeCancellable()
{
    if (reader_->busy())
        return true;
    switch (RunningExchange(link_.state())) {
    case ExchangeOwner::Radio:
    case ExchangeOwner::Central:
    case ExchangeOwner::Subscriber: return true;
    case ExchangeOwner::None:
    case ExchangeOwner::Measurement: break;
    }
    return false;
}

void TMainForm::updateCancel()
{
    const bool on = exchangeCancellable();
    if (CancelExchange->isHidden() != on)
        return;
    // Panel 2 makes room for the button while it shows.
    StatusPanel[2]->setFixedWidth(on ? kProgressWidth - CancelExchange->width() - 4 : kProgressWidth);
    CancelExchange->setVisible(on);
    cancelKey_->setEnabled(on);
}

void TMainForm::CancelExchangeClick()
{
    if (reader_->busy()) {
        // Its own outcome follows, from what it was reading for.
        memo(text::Cancelled);
        panel(2, text::Cancelled);
        reader_->cancel();
    } else {
        switch (RunningExchange(link_.state())) {
        case ExchangeOwner::Radio: radio_->Cancel(); break;
        case ExchangeOwner::Central: central_->Cancel(); break;
        case ExchangeOwner::Subscriber: subscriber_->Cancel(); break;
        case ExchangeOwner::None:
        case ExchangeOwner::Measurement: break;
        }
    }
    updateCancel();
}

void TMainForm::queueCancelUpdate()
{
    // Exchanges set their flags after their progress text.
    if (cancelQueued_)
        return;
    cancelQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        cancelQueued_ = false;
        updateCancel();
    });
}

} // namespace qm
