// Entry rules of the data-radio page, driven by real key and focus events
// in the shown main window.

#include "app/mainform.h"
#include "ptypair.h"
#include "findchild.h"
#include "testprompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QtTest>

#include <memory>
#include <stdexcept>

using namespace qm;

namespace {


// The window, shown and active, with the data-radio page up.
struct Rig {
    Rig()
    {
        MainFormOptions options;
        options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
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
    QLineEdit *edit(const QString &name) { return child<QLineEdit>(*form, name); }
    // Moves the focus from wherever it is to target, as the Tab key does,
    // and lets the deferred leave rule run.
    // Puts the focus into a field and waits until it is there.
    bool focus(QWidget *field)
    {
        field->setFocus(Qt::TabFocusReason);
        return QTest::qWaitFor([field] { return field->hasFocus(); }, 1000);
    }

    void moveFocusTo(QWidget *target)
    {
        target->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        QTest::qWait(10);
    }

    PtyPair pty;
    TestPrompts prompts;
    ErrorCatcher errors;
    std::unique_ptr<TMainForm> form;
};

// A key to the control with the focus; -1 is Delete as the X server sends
// it, with the DEL character as its text.
void sendKey(int key)
{
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    if (key == -1)
        QApplication::sendEvent(QApplication::focusWidget(), &del);
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
}

} // namespace

class TestFieldRules : public QObject {
    Q_OBJECT
private slots:
    void keyFilter_data();
    void keyFilter();
    void leavingEmptyFrequencyGivesZero();
    void raster_data();
    void raster();
    void rasterSwitchDoesNotReexamine();
    void pastedNonNumberIsReported();
    void leavingEmptyChannelOrAddressGivesZero_data();
    void leavingEmptyChannelOrAddressGivesZero();
    void keysThatAreNotTyping_data();
    void keysThatAreNotTyping();
    void inputMethodCommitsDigitsOnly();
    void altKeysTypeNoLetters();
};

void TestFieldRules::keyFilter_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("toLineEdit"); // combo boxes: keys to their edit part
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");

    QTest::newRow("transmit: letters and signs") << "TxFreq0" << false << "" << "1a2B-+3" << "123";
    QTest::newRow("transmit: point and blank") << "TxFreq0" << false << "" << "45. 0 0" << "4500";
    QTest::newRow("transmit: backspace") << "TxFreq0" << false << "4500" << "\b\b7" << "457";
    QTest::newRow("receive: mixed") << "RxFreq3" << false << "" << "x4,5e6=" << "456";
    QTest::newRow("receive: backspace after refused key") << "RxFreq3" << false << "12" << "z\b" << "1";
    QTest::newRow("current channel") << "Dk618_CurrentChannel" << false << "" << "c-7" << "7";
    QTest::newRow("address") << "Dk618_Address" << false << "" << "1 2.3$" << "123";
    QTest::newRow("address: backspace") << "Dk618_Address" << false << "123" << "\b" << "12";
    QTest::newRow("line rate list") << "Dk618_Baudrate" << false << "" << "96k00" << "9600";
    QTest::newRow("transmit: seven digits at most") << "TxFreq0" << false << "" << "123456789" << "1234567";
    QTest::newRow("current channel: one digit") << "Dk618_CurrentChannel" << false << "" << "12" << "1";
    QTest::newRow("address: five digits") << "Dk618_Address" << false << "" << "654321" << "65432";
    QTest::newRow("line rate list, edit part") << "Dk618_Baudrate" << true << "" << "4-8 0/0" << "4800";
    QTest::newRow("line rate list: backspace") << "Dk618_Baudrate" << true << "19200" << "\b\b" << "192";
    QTest::newRow("parity list") << "Dk618_Checkmode" << false << "" << "a1b" << "1";
    QTest::newRow("parity list, edit part") << "Dk618_Checkmode" << true << "" << "N.2" << "2";
}

void TestFieldRules::keyFilter()
{
    QFETCH(QString, field);
    QFETCH(bool, toLineEdit);
    QFETCH(QString, start);
    QFETCH(QString, keys);
    QFETCH(QString, expected);

    Rig rig;
    QVERIFY(rig.start());
    QWidget *target = nullptr;
    QLineEdit *text = nullptr;
    if (auto *combo = rig.form->findChild<QComboBox *>(field)) {
        QVERIFY(combo->isEditable());
        text = combo->lineEdit();
        target = toLineEdit ? static_cast<QWidget *>(text) : combo;
    } else {
        text = rig.edit(field);
        target = text;
    }
    target->setFocus(Qt::TabFocusReason);
    text->setText(start);
    text->end(false);
    QTest::keyClicks(target, keys);
    QCOMPARE(text->text(), expected);
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestFieldRules::leavingEmptyFrequencyGivesZero()
{
    Rig rig;
    QVERIFY(rig.start());
    QLineEdit *tx = rig.edit(QStringLiteral("TxFreq0"));
    QLineEdit *rx = rig.edit(QStringLiteral("RxFreq3"));
    QVERIFY(rig.focus(tx));
    tx->clear();
    rig.moveFocusTo(rx);
    QTRY_COMPARE_WITH_TIMEOUT(tx->text(), QStringLiteral("0"), 1000);
    QVERIFY(rx->hasFocus());
    QCOMPARE(rig.prompts.messages, QStringList());
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestFieldRules::raster_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("band800");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // empty: accepted

    const QString m250 = QStringLiteral("频率必须整除250!");
    const QString m125 = QStringLiteral("频率必须整除125!");
    QTest::newRow("250 raster, 375 refused") << "TxFreq0" << false << "375" << m250;
    QTest::newRow("250 raster, 500 accepted") << "TxFreq0" << false << "500" << "";
    QTest::newRow("250 raster, 125 refused") << "RxFreq3" << false << "125" << m250;
    QTest::newRow("250 raster, 0 accepted") << "RxFreq3" << false << "0" << "";
    QTest::newRow("250 raster, 4500250 accepted") << "RxFreq3" << false << "4500250" << "";
    QTest::newRow("125 raster, 375 accepted") << "TxFreq0" << true << "375" << "";
    QTest::newRow("125 raster, 300 refused") << "TxFreq0" << true << "300" << m125;
    QTest::newRow("125 raster, 8000125 accepted") << "RxFreq3" << true << "8000125" << "";
    QTest::newRow("125 raster, 8000001 refused") << "RxFreq3" << true << "8000001" << m125;
}

void TestFieldRules::raster()
{
    QFETCH(QString, field);
    QFETCH(bool, band800);
    QFETCH(QString, value);
    QFETCH(QString, message);

    Rig rig;
    QVERIFY(rig.start());
    child<QCheckBox>(*rig.form, QStringLiteral("Fq800"))->setChecked(band800);
    QLineEdit *edit = rig.edit(field);
    QLineEdit *other = rig.edit(QStringLiteral("Dk618_Address"));
    QVERIFY(rig.focus(edit));
    edit->clear();
    QTest::keyClicks(edit, value);
    QCOMPARE(edit->text(), value);

    rig.moveFocusTo(other);
    if (message.isEmpty()) {
        QCOMPARE(rig.prompts.messages, QStringList());
        QVERIFY(other->hasFocus());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompts.messages, QStringList{message}, 1000);
        // Back to the field, whose text stays for correcting.
        QTRY_VERIFY_WITH_TIMEOUT(edit->hasFocus(), 1000);
        QCOMPARE(edit->text(), value);
    }
    QCOMPARE(edit->text(), value);
    QVERIFY(rig.errors.errors.isEmpty());
}

void TestFieldRules::rasterSwitchDoesNotReexamine()
{
    Rig rig;
    QVERIFY(rig.start());
    auto *fq800 = child<QCheckBox>(*rig.form, QStringLiteral("Fq800"));
    QLineEdit *tx = rig.edit(QStringLiteral("TxFreq0"));
    QLineEdit *address = rig.edit(QStringLiteral("Dk618_Address"));
    fq800->setChecked(true);

    QVERIFY(rig.focus(tx));
    tx->clear();
    QTest::keyClicks(tx, QStringLiteral("375"));
    rig.moveFocusTo(address);
    QCOMPARE(rig.prompts.messages, QStringList());

    // Back to the 250 raster: the field already left stays as it is.
    QTest::mouseClick(fq800, Qt::LeftButton);
    QVERIFY(!fq800->isChecked());
    QTest::qWait(20);
    QCOMPARE(rig.prompts.messages, QStringList());
    QCOMPARE(tx->text(), QStringLiteral("375"));
    QVERIFY(!tx->hasFocus());

    // Entering and leaving it again applies the new raster.
    QVERIFY(rig.focus(tx));
    rig.moveFocusTo(address);
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompts.messages, QStringList{QStringLiteral("频率必须整除250!")}, 1000);
}

void TestFieldRules::pastedNonNumberIsReported()
{
    Rig rig;
    QVERIFY(rig.start());
    QLineEdit *tx = rig.edit(QStringLiteral("TxFreq0"));
    QLineEdit *rx = rig.edit(QStringLiteral("RxFreq3"));
    QVERIFY(rig.focus(tx));
    tx->setText(QStringLiteral("12a"));
    rig.moveFocusTo(rx);
    QTRY_COMPARE_WITH_TIMEOUT(rig.errors.errors, QStringList{QStringLiteral("'12a' is not a valid integer value")}, 1000);
    QCOMPARE(tx->text(), QStringLiteral("12a"));
    QCOMPARE(rig.prompts.messages, QStringList());
    // The window goes on: the next field behaves as before.
    rx->clear();
    rig.moveFocusTo(tx);
    QTRY_COMPARE_WITH_TIMEOUT(rx->text(), QStringLiteral("0"), 1000);
}

void TestFieldRules::leavingEmptyChannelOrAddressGivesZero_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("channel empty") << "Dk618_CurrentChannel" << "" << "0";
    QTest::newRow("channel kept") << "Dk618_CurrentChannel" << "5" << "5";
    QTest::newRow("address empty") << "Dk618_Address" << "" << "0";
    QTest::newRow("address kept") << "Dk618_Address" << "305" << "305";
}

void TestFieldRules::leavingEmptyChannelOrAddressGivesZero()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Rig rig;
    QVERIFY(rig.start());
    QLineEdit *edit = rig.edit(field);
    QLineEdit *other = rig.edit(QStringLiteral("TxFreq1"));
    QVERIFY(rig.focus(edit));
    edit->clear();
    QTest::keyClicks(edit, text);
    rig.moveFocusTo(other);
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), expected, 1000);
    QVERIFY(other->hasFocus());
    QCOMPARE(rig.prompts.messages, QStringList());
}

void TestFieldRules::keysThatAreNotTyping_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<bool>("refused");
    QTest::newRow("Home, Delete") << "4500" << QList<int>{Qt::Key_Home, -1} << "500" << "TxFreq1" << false;
    QTest::newRow("arrows, Backspace") << "4500" << QList<int>{Qt::Key_Left, Qt::Key_Left, Qt::Key_Backspace} << "400"
                                       << "TxFreq1" << false;
    QTest::newRow("Tab from empty") << "" << QList<int>{Qt::Key_Tab} << "0" << "RxFreq1" << false;
    QTest::newRow("Backtab") << "4500250" << QList<int>{Qt::Key_Backtab} << "4500250" << "RxFreq0" << false;
    QTest::newRow("Tab off the raster") << "375" << QList<int>{Qt::Key_Tab} << "375" << "TxFreq1" << true;
}

void TestFieldRules::keysThatAreNotTyping()
{
    QFETCH(QString, start);
    QFETCH(QList<int>, keys);
    QFETCH(QString, text);
    QFETCH(QString, focusAfter);
    QFETCH(bool, refused);
    Rig rig;
    QVERIFY(rig.start());
    QLineEdit *field = rig.edit(QStringLiteral("TxFreq1"));
    field->setText(start);
    QVERIFY(rig.focus(field));
    sendKey(Qt::Key_End);
    for (int key : keys)
        sendKey(key);
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::focusWidget()->objectName() == focusAfter, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(field->text(), text, 1000);
    QTest::qWait(20);
    QCOMPARE(rig.prompts.messages, refused ? QStringList{QStringLiteral("频率必须整除250!")} : QStringList());
}

void TestFieldRules::altKeysTypeNoLetters()
{
    // An edit types the text of Alt+key (no mnemonic takes Alt+A or Alt+K),
    // so the filter judges it like any typed character.
    Rig rig;
    QVERIFY(rig.start());
    QLineEdit *field = rig.edit(QStringLiteral("RxFreq0"));
    field->setText(QStringLiteral("45"));
    QVERIFY(rig.focus(field));
    sendKey(Qt::Key_End);
    QTest::keyClick(field, Qt::Key_A, Qt::AltModifier);
    QTest::keyClick(field, Qt::Key_K, Qt::AltModifier | Qt::ShiftModifier);
    QTest::keyClick(field, Qt::Key_5, Qt::AltModifier);
    QCOMPARE(field->text(), QStringLiteral("455"));
}

void TestFieldRules::inputMethodCommitsDigitsOnly()
{
    Rig rig;
    QVERIFY(rig.start());
    QLineEdit *address = rig.edit(QStringLiteral("Dk618_Address")); // holds "1"
    QVERIFY(rig.focus(address));
    sendKey(Qt::Key_End);
    // Told that no input method is wanted here...
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(address, &query);
    QVERIFY(!query.value(Qt::ImEnabled).toBool());
    // ...and one that commits regardless gets only its digits in.
    for (const auto &[commit, expected] : {std::pair{"啊x", "1"}, {"2五3", "123"}}) {
        QInputMethodEvent event;
        event.setCommitString(QString::fromUtf8(commit));
        QApplication::sendEvent(address, &event);
        QCOMPARE(address->text(), QString::fromUtf8(expected));
    }
}

QTEST_MAIN(TestFieldRules)
#include "tst_fieldrules.moc"
