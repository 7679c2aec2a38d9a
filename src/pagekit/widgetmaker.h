#pragma once
// Small builders for the absolutely placed controls of the pages and
// dialogs; each control carries its name as objectName.

#include <QRect>
#include <QString>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace qm {

QLabel *makeLabel(QWidget *parent, const QString &text, QPoint at, const QString &name = {});
QLineEdit *makeEdit(QWidget *parent, const QString &name, QRect rect, int maxLength, const QString &text = QStringLiteral("0"));
QComboBox *makeCombo(QWidget *parent, const QString &name, QRect rect, const QStringList &items, bool editable);
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, QRect rect);
QCheckBox *makeCheck(QWidget *parent, const QString &name, const QString &caption, QPoint at, bool checked = false);
QRadioButton *makeRadio(QWidget *parent, const QString &name, const QString &caption, QPoint at, bool checked = false);
QGroupBox *makeGroup(QWidget *parent, const QString &title, QRect rect);
// Two radio buttons that exclude each other and nothing else.
QButtonGroup *pairUp(QRadioButton *a, QRadioButton *b);

} // namespace qm
