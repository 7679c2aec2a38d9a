// Entry rules of the subscriber-unit page, driven by real key and focus
// events in the shown main window: digits only in its number fields, no
// typing in its lists, the frequency leave rule under the one 800M switch.
#include "app/mainform.h"
#include "units/mlr4800page.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace qm;

class TestMlr4800Page : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void typing_data();
    void typing();
    void frequencyLeaveRule_data();
    void frequencyLeaveRule();

private:
    PtyPair pty_;
    std::unique_ptr<TestPrompts> prompts_;
    std::unique_ptr<TMainForm> window_;
};

void TestMlr4800Page::init()
{
    prompts_ = std::make_unique<TestPrompts>();
    MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), pty_.slavePath());
    options.prompts = prompts_.get();
    window_ = std::make_unique<TMainForm>(options);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    window_->MLR4800Click();
}

void TestMlr4800Page::cleanup()
{
    window_.reset();
}

void TestMlr4800Page::typing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("toLineEdit"); // lists: keys to their text part
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::newRow("uplink transmit") << "TxFreq30" << false << "4a3.3-0 0\b" << "4330";
    QTest::newRow("base receive, seven digits") << "RxFreq31" << false << "123456789" << "1234567";
    QTest::newRow("address, five digits") << "Mlr4800_Address" << false << "6x5535 9" << "65535";
    QTest::newRow("meter number") << "Meter_Number" << false << "N0.12" << "012";
    QTest::newRow("protocol code") << "Edit1" << false << "+7e" << "7";
    QTest::newRow("rate list") << "Mlr4800ComRate" << false << "96\b00" << "1200";
    QTest::newRow("rate list, text part") << "Mlr4800ComRate" << true << "\b\b38400" << "1200";
    QTest::newRow("air-rate list") << "Mlr4800_Airrate" << false << "1 9" << "9600A";
    QTest::newRow("meter type list") << "Meter_Category" << true << "x" << "DL/T 645";
    QTest::newRow("meter rate list") << "Meter_Rate" << false << "\b9600" << "2400";
}

void TestMlr4800Page::typing()
{
    QFETCH(QString, field);
    QFETCH(bool, toLineEdit);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QWidget *target = window_->mlr4800Page()->findChild<QWidget *>(field);
    QVERIFY(target);
    QLineEdit *text = qobject_cast<QLineEdit *>(target);
    if (auto *list = qobject_cast<QComboBox *>(target)) {
        text = list->lineEdit();
        if (toLineEdit)
            target = text;
    } else {
        text->clear();
    }
    target->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(target, keys);
    QCOMPARE(text->text(), expected);
}

void TestMlr4800Page::frequencyLeaveRule_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("band800");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("375 at 250") << "TxFreq30" << false << "375" << "频率必须整除250!";
    QTest::newRow("375 at 125") << "RxFreq30" << true << "375" << "";
    QTest::newRow("500 at 250") << "TxFreq31" << false << "500" << "";
    QTest::newRow("4330125 at 250") << "RxFreq31" << false << "4330125" << "频率必须整除250!";
    QTest::newRow("100 at 125") << "RxFreq31" << true << "100" << "频率必须整除125!";
}

void TestMlr4800Page::frequencyLeaveRule()
{
    QFETCH(QString, field);
    QFETCH(bool, band800);
    QFETCH(QString, value);
    QFETCH(QString, message);
    // The switch lives on the data-radio page and governs every page.
    window_->findChild<QCheckBox *>(QStringLiteral("Fq800"))->setChecked(band800);
    auto *edit = window_->mlr4800Page()->findChild<QLineEdit *>(field);
    QLineEdit *other = window_->mlr4800Page()->Meter_Number;
    edit->setFocus(Qt::TabFocusReason);
    QVERIFY(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 1000));
    edit->setText(value);
    other->setFocus(Qt::TabFocusReason);
    QTest::qWait(20); // the rule runs once the focus has moved
    QTRY_COMPARE(prompts_->messages, message.isEmpty() ? QStringList() : QStringList{message});
    QTRY_VERIFY(message.isEmpty() ? other->hasFocus() : edit->hasFocus());
    QCOMPARE(edit->text(), value);
}

QTEST_MAIN(TestMlr4800Page)
#include "tst_mlr4800page.moc"
