#include "pagekit/widgetmaker.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

namespace qm {

namespace {
// Limits what the user types or pastes, but not what the program puts in:
// a value loaded from a file is shown whole and judged when it is used.
// (QLineEdit's own maximum length would cut it silently.)
class TypingLimit : public QValidator {
public:
    TypingLimit(int length, QObject *parent)
        : QValidator(parent)
        , length_(length)
    {
    }
    State validate(QString &input, int &) const override { return input.size() > length_ ? Invalid : Acceptable; }

private:
    int length_;
};
} // namespace

QLabel *makeLabel(QWidget *parent, const QString &text, QPoint at, const QString &name)
{
    auto *label = new QLabel(text, parent);
    if (!name.isEmpty())
        label->setObjectName(name);
    label->move(at);
    label->adjustSize();
    return label;
}

QLineEdit *makeEdit(QWidget *parent, const QString &name, QRect rect, int maxLength, const QString &text)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setGeometry(rect);
    if (maxLength > 0)
        edit->setValidator(new TypingLimit(maxLength, edit));
    return edit;
}

QComboBox *makeCombo(QWidget *parent, const QString &name, QRect rect, const QStringList &items, bool editable)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setGeometry(rect);
    combo->setEditable(editable);
    if (editable)
        combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    return combo;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, QRect rect)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    // Return and Enter click the button that has the focus, in the main
    // window as in the dialogs; elsewhere in a dialog they click its default.
    button->setAutoDefault(true);
    return button;
}

namespace {
// A check box or radio button sized to its caption.
template <typename Button>
Button *makeCheckable(QWidget *parent, const QString &name, const QString &caption, QPoint at, bool checked)
{
    auto *button = new Button(caption, parent);
    button->setObjectName(name);
    button->move(at);
    button->adjustSize();
    button->setChecked(checked);
    return button;
}
} // namespace

QCheckBox *makeCheck(QWidget *parent, const QString &name, const QString &caption, QPoint at, bool checked)
{
    return makeCheckable<QCheckBox>(parent, name, caption, at, checked);
}

QRadioButton *makeRadio(QWidget *parent, const QString &name, const QString &caption, QPoint at, bool checked)
{
    return makeCheckable<QRadioButton>(parent, name, caption, at, checked);
}

QGroupBox *makeGroup(QWidget *parent, const QString &title, QRect rect)
{
    auto *group = new QGroupBox(title, parent);
    group->setGeometry(rect);
    return group;
}

QButtonGroup *pairUp(QRadioButton *a, QRadioButton *b)
{
    auto *group = new QButtonGroup(a->parent());
    group->addButton(a);
    group->addButton(b);
    group->setExclusive(true);
    return group;
}

} // namespace qm
