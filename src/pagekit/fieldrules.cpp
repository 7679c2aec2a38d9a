#include "pagekit/fieldrules.h"

#include "common/errors.h"
#include "common/prompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

namespace qm {

namespace {
const char *const kDigitsOnly = "qmDigitsOnly";
const char *const kFrequency = "qmFrequency";
const char *const kNoTyping = "qmNoTyping";

// A key event that would type a character (not a shortcut, not navigation).
bool typesCharacter(const QKeyEvent *key, QChar *c)
{
    if (key->text().isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    *c = key->text().front();
    return true;
}
} // namespace

FieldRules::FieldRules(Prompts &prompts, QObject *parent)
    : QObject(parent)
    , prompts_(prompts)
{
}

bool FieldRules::passesDigitFilter(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QChar(8);
}

void FieldRules::addDigitField(QWidget *field)
{
    field->setProperty(kDigitsOnly, true);
    field->installEventFilter(this);
    if (auto *combo = qobject_cast<QComboBox *>(field); combo && combo->lineEdit()) {
        combo->lineEdit()->setProperty(kDigitsOnly, true);
        combo->lineEdit()->installEventFilter(this);
    }
}

void FieldRules::addFrequencyField(QLineEdit *field)
{
    addDigitField(field);
    field->setProperty(kFrequency, true);
}

void FieldRules::addNoTypingList(QComboBox *list)
{
    list->setProperty(kNoTyping, true);
    list->installEventFilter(this);
}

bool FieldRules::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        QChar c;
        if (!typesCharacter(static_cast<QKeyEvent *>(event), &c))
            return false;
        if (watched->property(kNoTyping).toBool())
            return true;
        if (watched->property(kDigitsOnly).toBool())
            return !passesDigitFilter(c);
    } else if (event->type() == QEvent::FocusOut && watched->property(kFrequency).toBool()) {
        // Only a move to another control of the window counts as leaving;
        // a message box or a popup taking the focus does not.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return false;
        QPointer<QLineEdit> field = qobject_cast<QLineEdit *>(watched);
        // Run after the focus change has finished, so the message box does not
        // interfere with Qt's own focus handling.
        QTimer::singleShot(0, this, [this, field] {
            if (field)
                Guard([&] { TxFreq0Exit(field); });
        });
    }
    return false;
}

void FieldRules::TxFreq0Exit(QLineEdit *field)
{
    if (field->text().isEmpty())
        field->setText(QStringLiteral("0"));
    const qint32 value = StrToInt(field->text());
    const bool band800 = fq800_ && fq800_->isChecked();
    const int raster = band800 ? 125 : 250;
    if (value % raster == 0)
        return;
    prompts_.message(band800 ? QStringLiteral("频率必须整除125!") : QStringLiteral("频率必须整除250!"));
    field->setFocus(Qt::OtherFocusReason);
}

} // namespace qm
