#pragma once
// Entry rules of the numeric fields: a key filter that lets only digits and
// backspace through, and a leave rule for the frequency fields that fills an
// empty field with "0" and insists on a multiple of the channel raster.

#include <QObject>
#include <QAbstractButton>
#include <QPointer>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QWidget;

namespace qm {

class Prompts;

class FieldRules : public QObject {
    Q_OBJECT
public:
    FieldRules(Prompts &prompts, QObject *parent = nullptr);

    // The 800M switch: raster 125 when checked, 250 otherwise.
    void setRasterSwitch(QAbstractButton *fq800) { fq800_ = fq800; }

    // Digits and backspace only (edits and editable combo boxes).
    void addDigitField(QWidget *field);
    // Digit filter plus the leave rule.
    void addFrequencyField(QLineEdit *field);
    // A list that accepts no typing at all.
    void addNoTypingList(QComboBox *list);

    // The leave rule, as run when a frequency field loses the focus.
    void TxFreq0Exit(QLineEdit *field);

    // True when the key filter lets the character through.
    static bool passesDigitFilter(QChar c);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Prompts &prompts_;
    QPointer<QAbstractButton> fq800_;
};

} // namespace qm
