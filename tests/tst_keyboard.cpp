// The window from the keyboard: keys that are not typing pass the field
// filters, input methods stay out of the digit fields, the settings dialog
// works with Tab, arrows, Return and Escape, and the hidden key sequence.
// Every key is a key event sent to the control that has the focus; the
// focus itself comes from mouse clicks and Tab, never from setFocus().

#include "app/mainform.h"
#include "app/monitormemo.h"
#include "findchild.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextBlock>
#include <QtTest>

#include <memory>

using namespace qm;

namespace {

// Delete as the X server sends it: the key with the DEL character as text.
constexpr int kDeleteWithText = -1;

struct Rig {
    Rig()
    {
        MainFormOptions options;
        options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
        // A second name for the same line, so the port list can change.
        options.portMap.insert(QStringLiteral("COM2"), pty.slavePath());
        options.prompts = &prompts;
        form = std::make_unique<TMainForm>(options);
    }
    bool start()
    {
        form->show();
        if (!QTest::qWaitForWindowActive(form.get()))
            return false;
        child<QAction>(*form, QStringLiteral("DataTrans"))->trigger();
        return true;
    }
    // Clicks a control so that it takes the focus, as the user does.
    bool clickInto(const QString &name)
    {
        auto *widget = child<QWidget>(*form, name);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
        return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 1000);
    }
    QString text(const QString &name)
    {
        if (auto *combo = form->findChild<QComboBox *>(name))
            return combo->currentText();
        return child<QLineEdit>(*form, name)->text();
    }
    void setText(const QString &name, const QString &text)
    {
        if (auto *combo = form->findChild<QComboBox *>(name))
            combo->setEditText(text);
        else
            child<QLineEdit>(*form, name)->setText(text);
    }

    PtyPair pty;
    TestPrompts prompts;
    ErrorCatcher errors;
    std::unique_ptr<TMainForm> form;
};

QWidget *focused()
{
    return QApplication::focusWidget();
}

void pressKey(int key)
{
    if (key == kDeleteWithText) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
        QApplication::sendEvent(focused(), &down);
        QApplication::sendEvent(focused(), &up);
        return;
    }
    const Qt::KeyboardModifiers modifiers(key & Qt::KeyboardModifierMask);
    QTest::keyClick(focused(), Qt::Key(key & ~Qt::KeyboardModifierMask), modifiers);
}

// Selects everything in the focused field and types the text over it.
void typeOver(const QString &text)
{
    pressKey((Qt::CTRL | Qt::Key_A).toCombined());
    pressKey(Qt::Key_Backspace);
    QTest::keyClicks(focused(), text);
}

QString lastMemoLine(TMainForm &w)
{
    return child<MonitorMemo>(w, QStringLiteral("Watch_Window"))->document()->lastBlock().text();
}

QString panelText(TMainForm &w, int index)
{
    return child<QLabel>(w, QStringLiteral("StatusPanel%1").arg(index))->text();
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void editingKeysPass_data();
    void editingKeysPass();
    void tabLeavesFrequencyField_data();
    void tabLeavesFrequencyField();
    void inputMethodCommit_data();
    void inputMethodCommit();
    void settingsDialogFromKeyboard_data();
    void settingsDialogFromKeyboard();
    void hiddenSequence_data();
    void hiddenSequence();
    void echoSwitchedOnByTyping();
};

void TestKeyboard::editingKeysPass_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("expected");

    const int del = kDeleteWithText;
    QTest::newRow("frequency: Home, Delete") << "TxFreq0" << "4500" << QList<int>{Qt::Key_Home, del} << "500";
    QTest::newRow("frequency: Delete as a bare key")
        << "RxFreq2" << "4500" << QList<int>{Qt::Key_Home, Qt::Key_Delete} << "500";
    QTest::newRow("frequency: arrows, Backspace")
        << "RxFreq3" << "4500" << QList<int>{Qt::Key_End, Qt::Key_Left, Qt::Key_Left, Qt::Key_Backspace} << "400";
    QTest::newRow("address: End, Left, Delete") << "Dk618_Address" << "123" << QList<int>{Qt::Key_End, Qt::Key_Left, del}
                                                << "12";
    QTest::newRow("address: Home, digit") << "Dk618_Address" << "23" << QList<int>{Qt::Key_Home, Qt::Key_1} << "123";
    QTest::newRow("address: select all, digit")
        << "Dk618_Address" << "305" << QList<int>{(Qt::CTRL | Qt::Key_A).toCombined(), Qt::Key_7} << "7";
    QTest::newRow("channel: Delete") << "Dk618_CurrentChannel" << "5" << QList<int>{Qt::Key_Home, del} << "";
    QTest::newRow("rate list: Home, Delete") << "Dk618_Baudrate" << "19200" << QList<int>{Qt::Key_Home, del} << "9200";
    QTest::newRow("parity list: Shift+Home, Delete")
        << "Dk618_Checkmode" << "12" << QList<int>{Qt::Key_End, (Qt::SHIFT | Qt::Key_Home).toCombined(), del} << "";
}

void TestKeyboard::editingKeysPass()
{
    QFETCH(QString, field);
    QFETCH(QString, start);
    QFETCH(QList<int>, keys);
    QFETCH(QString, expected);

    Rig rig;
    QVERIFY(rig.start());
    rig.setText(field, start);
    QVERIFY(rig.clickInto(field));
    for (int key : keys)
        pressKey(key);
    QCOMPARE(rig.text(field), expected);
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestKeyboard::tabLeavesFrequencyField_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("focusAfter");

    const QString m250 = QStringLiteral("频率必须整除250!");
    QTest::newRow("empty, Tab") << "" << int(Qt::Key_Tab) << "" << "0" << "RxFreq1";
    QTest::newRow("empty, Backtab") << "" << int(Qt::Key_Backtab) << "" << "0" << "RxFreq0";
    QTest::newRow("multiple of 250, Tab") << "4500250" << int(Qt::Key_Tab) << "" << "4500250" << "RxFreq1";
    QTest::newRow("off the raster, Tab") << "375" << int(Qt::Key_Tab) << m250 << "375" << "TxFreq1";
    QTest::newRow("off the raster, Backtab") << "4500100" << int(Qt::Key_Backtab) << m250 << "4500100" << "TxFreq1";
}

void TestKeyboard::tabLeavesFrequencyField()
{
    QFETCH(QString, value);
    QFETCH(int, key);
    QFETCH(QString, message);
    QFETCH(QString, expectedText);
    QFETCH(QString, focusAfter);

    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.clickInto(QStringLiteral("TxFreq1")));
    typeOver(value);
    QCOMPARE(rig.text(QStringLiteral("TxFreq1")), value);

    pressKey(key);
    if (message.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(rig.text(QStringLiteral("TxFreq1")), expectedText, 1000);
        QTest::qWait(20);
        QCOMPARE(rig.prompts.messages, QStringList());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompts.messages, QStringList{message}, 1000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(focused() && focused()->objectName() == focusAfter, 1000);
    QCOMPARE(rig.text(QStringLiteral("TxFreq1")), expectedText);
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestKeyboard::inputMethodCommit_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("expected");

    QTest::newRow("address: Chinese and a letter") << "Dk618_Address" << "1" << "啊x" << "1";
    QTest::newRow("address: digits") << "Dk618_Address" << "1" << "23" << "123";
    QTest::newRow("frequency: digits among others") << "TxFreq0" << "" << "4五5x0" << "450";
    QTest::newRow("frequency: full-width digits") << "RxFreq4" << "7" << "１２" << "7";
    QTest::newRow("rate list") << "Dk618_Baudrate" << "96" << "啊00" << "9600";
    QTest::newRow("channel") << "Dk618_CurrentChannel" << "" << "信道" << "";
}

void TestKeyboard::inputMethodCommit()
{
    QFETCH(QString, field);
    QFETCH(QString, start);
    QFETCH(QString, commit);
    QFETCH(QString, expected);

    Rig rig;
    QVERIFY(rig.start());
    rig.setText(field, start);
    QVERIFY(rig.clickInto(field));
    pressKey(Qt::Key_End);

    // What a platform input method asks first: may it work here at all.
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(focused(), &query);
    QVERIFY(!query.value(Qt::ImEnabled).toBool());

    // An input method that commits regardless.
    QInputMethodEvent preedit(commit, {});
    QApplication::sendEvent(focused(), &preedit);
    QInputMethodEvent done;
    done.setCommitString(commit);
    QApplication::sendEvent(focused(), &done);
    QCOMPARE(rig.text(field), expected);
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestKeyboard::settingsDialogFromKeyboard_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("arrow");
    QTest::addColumn<int>("closeKey");
    QTest::addColumn<QString>("status");

    const QString unchanged = QStringLiteral("COM1,19200,N,8,1");
    QTest::newRow("port list, Return") << 0 << "Comport" << int(Qt::Key_Down) << int(Qt::Key_Return) << "COM2,19200,N,8,1";
    QTest::newRow("rate list, Return") << 1 << "Comrate" << int(Qt::Key_Up) << int(Qt::Key_Return) << "COM1,9600,N,8,1";
    QTest::newRow("parity list, Enter") << 2 << "Checkmode" << int(Qt::Key_Down) << int(Qt::Key_Enter) << "COM1,19200,E,8,1";
    QTest::newRow("port list, Escape") << 0 << "Comport" << int(Qt::Key_Down) << int(Qt::Key_Escape) << unchanged;
    QTest::newRow("rate list, Escape") << 1 << "Comrate" << int(Qt::Key_Up) << int(Qt::Key_Escape) << unchanged;
    QTest::newRow("parity list, Escape") << 2 << "Checkmode" << int(Qt::Key_Down) << int(Qt::Key_Escape) << unchanged;
}

void TestKeyboard::settingsDialogFromKeyboard()
{
    QFETCH(int, tabs);
    QFETCH(QString, list);
    QFETCH(int, arrow);
    QFETCH(int, closeKey);
    QFETCH(QString, status);

    Rig rig;
    QVERIFY(rig.start());
    TMainForm &w = *rig.form;
    auto *dialog = child<QDialog>(w, QStringLiteral("Set_Form"));

    QString openedOn, reached, selected;
    bool closedByKey = false;
    QTimer::singleShot(0, &w, [&] {
        if (!QTest::qWaitFor([dialog] { return QApplication::activeWindow() == dialog; }, 5000))
            return;
        openedOn = focused() ? focused()->objectName() : QString();
        for (int i = 0; i < tabs; ++i)
            pressKey(Qt::Key_Tab);
        reached = focused() ? focused()->objectName() : QString();
        pressKey(arrow);
        selected = child<QComboBox>(*dialog, list)->currentText();
        pressKey(closeKey);
        closedByKey = !dialog->isVisible();
    });
    // A key that fails to close the dialog must not hang the test.
    QTimer::singleShot(5000, dialog, [dialog] {
        if (dialog->isVisible())
            dialog->reject();
    });
    w.SetSysConfigClick();

    QCOMPARE(openedOn, QStringLiteral("Comport"));
    QCOMPARE(reached, list);
    QVERIFY(!selected.isEmpty());
    QVERIFY(closedByKey);
    QCOMPARE(panelText(w, 1), QStringLiteral("通讯端口状态：") + status);
    QVERIFY(w.link().port().isOpen());
    QCOMPARE(rig.prompts.messages, QStringList());
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestKeyboard::hiddenSequence_data()
{
    QTest::addColumn<QString>("field"); // where the keys are typed
    QTest::addColumn<QString>("keys"); // "\r" is the Enter key
    QTest::addColumn<bool>("echoOn");
    QTest::addColumn<bool>("fieldTakesLetters");

    QTest::newRow("after start-up, in a digit field") << "Dk618_Address" << "qorvel" << true << false;
    QTest::newRow("after start-up, in a text field") << "Ptttime" << "qorvel" << true << true;
    QTest::newRow("after Enter") << "TxFreq0" << "ab\rqorvel" << true << false;
    QTest::newRow("after a whole block") << "Ptttime" << "abcdefqorvel" << true << true;
    QTest::newRow("one character before") << "Dk618_Address" << "xqorvel" << false << false;
    QTest::newRow("one character before, in a text field") << "Ptttime" << "xqorvel" << false << true;
    QTest::newRow("two characters before") << "TxFreq0" << "qoqorvel" << false << false;
    QTest::newRow("upper case") << "Dk618_Address" << "QORVEL" << false << false;
    QTest::newRow("one upper-case letter") << "Ptttime" << "qorveL" << false << true;
    QTest::newRow("Enter inside") << "TxFreq0" << "qor\rvel" << false << false;
    QTest::newRow("digit between") << "Ptttime" << "qorv1el" << false << true;
}

void TestKeyboard::hiddenSequence()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(bool, echoOn);
    QFETCH(bool, fieldTakesLetters);

    Rig rig;
    QVERIFY(rig.start());
    rig.setText(field, QString());
    QVERIFY(rig.clickInto(field));
    QVERIFY(!rig.form->link().state().MonitorOn);
    for (QChar c : keys) {
        if (c == QLatin1Char('\r'))
            pressKey(Qt::Key_Return);
        else
            QTest::keyClick(focused(), c.toLatin1());
    }
    QCOMPARE(rig.form->link().state().MonitorOn, echoOn);
    // The keys still reach the field, which keeps what its rule lets in.
    QString typed = keys;
    typed.remove(QLatin1Char('\r'));
    if (!fieldTakesLetters)
        typed.remove(QRegularExpression(QStringLiteral("[^0-9]")));
    QCOMPARE(rig.text(field), typed);
}

void TestKeyboard::echoSwitchedOnByTyping()
{
    Rig rig;
    QVERIFY(rig.start());
    TMainForm &w = *rig.form;
    auto *memo = child<MonitorMemo>(w, QStringLiteral("Watch_Window"));
    QAction *n1 = child<QAction>(w, QStringLiteral("N1"));
    const QString sent = QStringLiteral("P->T: 96 06 80 08 00 01       7E 67 ");

    n1->trigger();
    QVERIFY(!memo->toPlainText().contains(QStringLiteral("P->T")));

    // Typed into the window itself, through the window system's path.
    QVERIFY(rig.clickInto(QStringLiteral("Dk618_Address")));
    for (char c : QByteArray("qorvel"))
        QTest::keyClick(w.windowHandle(), c);
    QVERIFY(w.link().state().MonitorOn);
    n1->trigger();
    QCOMPARE(lastMemoLine(w), sent);

    // Typing it again, in blocks that no longer line up, changes nothing.
    QTest::keyClicks(focused(), QStringLiteral("qorvelqorvel"));
    QVERIFY(w.link().state().MonitorOn);
    memo->clearAll();
    n1->trigger();
    QCOMPARE(memo->toPlainText(), sent);
    QVERIFY(rig.errors.errors.isEmpty());
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
