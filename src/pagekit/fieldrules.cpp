#include "pagekit/fieldrules.h"

#include "common/errors.h"
#include "common/fieldtable.h"
#include "common/prompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>

namespace qm {

namespace {
const char *const kDigitsOnly = "qmDigitsOnly";
const char *const kFrequency = "qmFrequency";
const char *const kNoTyping = "qmNoTyping";

// The printable characters a key event would type. Navigation, editing and
// dialog keys (Tab, Delete, Return, Escape, arrows, Home, End, Backspace)
// carry no text or a control character, and Ctrl shortcuts are not typed:
// the filters let those through. An edit does type the text of Alt+key
// (menu mnemonics are taken before the key reaches it), so that counts.
QString typedText(const QKeyEvent *key)
{
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return {};
    QString typed;
    for (QChar c : key->text()) {
        if (c.isPrint())
            typed += c;
    }
    return typed;
}

bool allPass(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), FieldRules::passesDigitFilter);
}

QString digitsOf(const QString &text)
{
    QString kept;
    for (QChar c : text) {
        if (FieldRules::passesDigitFilter(c))
            kept += c;
    }
    return kept;
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
    field->setInputMethodHints(Qt::ImhDigitsOnly);
    field->setProperty(kDigitsOnly, true);
    field->installEventFilter(this);
    if (auto *combo = qobject_cast<QComboBox *>(field); combo && combo->lineEdit()) {
        combo->lineEdit()->setInputMethodHints(Qt::ImhDigitsOnly);
        combo->lineEdit()->setProperty(kDigitsOnly, true);
        combo->lineEdit()->installEventFilter(this);
    }
}

void FieldRules::addFrequencyField(QLineEdit *field)
{
    addDigitField(field);
    field->setProperty(kFrequency, true);
    // The value in MHz, as the technician reads it: "433.0750 MHz".
    const auto showMhz = [field] { field->setToolTip(FrequencyMhzText(field->text())); };
    connect(field, &QLineEdit::textChanged, field, showMhz);
    showMhz();
}

void FieldRules::addNoTypingList(QComboBox *list)
{
    list->setProperty(kNoTyping, true);
    list->installEventFilter(this);
}

bool FieldRules::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const QString typed = typedText(static_cast<QKeyEvent *>(event));
        if (typed.isEmpty())
            return false;
        if (watched->property(kNoTyping).toBool())
            return true;
        if (watched->property(kDigitsOnly).toBool())
            return !allPass(typed);
    } else if (event->type() == QEvent::InputMethodQuery && watched->property(kDigitsOnly).toBool()) {
        // Digits need no input method. Told so, a Chinese input method
        // hands the keys over as they are, and the key filter sees them.
        // (A line edit answers "enabled" whatever its attribute says.)
        auto *query = static_cast<QInputMethodQueryEvent *>(event);
        watched->event(query);
        if (query->queries() & Qt::ImEnabled)
            query->setValue(Qt::ImEnabled, false);
        return true;
    } else if (event->type() == QEvent::InputMethod && watched->property(kDigitsOnly).toBool()) {
        // An input method commits whole strings; what it commits is held to
        // the same rule as typed keys, character by character.
        auto *input = static_cast<QInputMethodEvent *>(event);
        if (!allPass(input->commitString()))
            input->setCommitString(digitsOf(input->commitString()), input->replacementStart(), input->replacementLength());
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
