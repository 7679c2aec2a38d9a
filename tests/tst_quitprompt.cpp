// Leaving the window with something unsaved, against qmsim: values typed on
// a family page since its last read, load, store or write, and test
// readings not yet exported, are asked about; 取消 (and Escape) keeps the
// window, 不保存 leaves, 保存 stores each page and exports the readings first.

#include "app/mainform.h"
#include "app/simulator.h"
#include "common/inifile.h"
#include "findchild.h"
#include "testpage/testruncommands.h"
#include "testprompts.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace qm;
using Answer = Prompts::SaveAnswer;

Q_DECLARE_METATYPE(Prompts::SaveAnswer)

class TestQuitPrompt : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void quitting_data();
    void quitting();
    void escapeKeepsTheWindow();

private:
    // The window; its own message boxes with windowBoxes.
    void start(bool windowBoxes = false);
    void type(const QString &field, const QString &keys) { QTest::keyClicks(child<QLineEdit>(*window_, field), keys); }
    void runRadio(const char *button);
    QString memo() const { return child<QPlainTextEdit>(*window_, QStringLiteral("Watch_Window"))->toPlainText(); }

    QTemporaryDir dir_;
    std::unique_ptr<Simulator> sim_;
    TestPrompts prompts_;
    std::unique_ptr<ErrorCatcher> errors_;
    std::unique_ptr<TMainForm> window_;
};

void TestQuitPrompt::start(bool windowBoxes)
{
    sim_ = std::make_unique<Simulator>();
    sim_->setProgram(QStringLiteral(QMSIM_PATH));
    QVERIFY2(sim_->start(QStringLiteral("dk618"), {QStringLiteral("--delay-ms"), QStringLiteral("1")}), qPrintable(sim_->errorString()));
    errors_ = std::make_unique<ErrorCatcher>();
    MainFormOptions options;
    options.prompts = windowBoxes ? nullptr : &prompts_;
    options.portMap.insert(QStringLiteral("COM1"), sim_->linkPath());
    window_ = std::make_unique<TMainForm>(options);
    child<QTimer>(*window_, QStringLiteral("Timer3"))->stop();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->DataTransClick();
}

void TestQuitPrompt::cleanup()
{
    window_.reset();
    sim_.reset();
    errors_.reset();
    prompts_ = TestPrompts();
}

void TestQuitPrompt::runRadio(const char *button)
{
    child<QPushButton>(*window_, QLatin1String(button))->click();
    ProtocolState &s = window_->link().state();
    for (int i = 0; i < 60 && (s.RadioReadActive || s.RadioWriteActive); ++i) {
        (void)QTest::qWaitFor([&] { return s.ReplyReady; }, 2000);
        window_->Timer3Timer();
    }
}

void TestQuitPrompt::quitting_data()
{
    QTest::addColumn<QString>("before"); // what happens on the pages first
    QTest::addColumn<QString>("asked");  // part of the question; empty: none
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("files"); // file names the dialogs get
    QTest::addColumn<bool>("leaves");
    QTest::addColumn<QString>("stored"); // "SECTION/KEY=VALUE" of the file stored, if any
    const QString radio = QStringLiteral("数传电台页面有输入的数值尚未保存");
    const QList<Answer> none;
    QTest::newRow("nothing typed") << "" << "" << none << QStringList() << true << "";
    QTest::newRow("typed, 取消") << "type" << radio << QList<Answer>{Answer::Cancel} << QStringList() << false << "";
    QTest::newRow("typed, 不保存") << "type" << radio << QList<Answer>{Answer::Discard} << QStringList() << true << "";
    QTest::newRow("typed, 保存") << "type" << radio << QList<Answer>{Answer::Save} << QStringList{"radio.ini"} << true
                               << "File_DK618/设备地址=15";
    QTest::newRow("typed, 保存, dialog cancelled") << "type" << radio << QList<Answer>{Answer::Save} << QStringList{""} << false << "";
    QTest::newRow("typed back") << "type back" << "" << none << QStringList() << true << "";
    QTest::newRow("typed, then read") << "type, read" << "" << none << QStringList() << true << "";
    QTest::newRow("typed, then written") << "type, write" << "" << none << QStringList() << true << "";
    QTest::newRow("typed, then stored") << "type, store" << "" << none << QStringList{"first.ini"} << true << "";
    QTest::newRow("read that failed, nothing typed") << "failed read" << "" << none << QStringList() << true << "";
    QTest::newRow("central page typed, 保存") << "central" << "MLB4800页面有输入的数值尚未保存" << QList<Answer>{Answer::Save}
                                          << QStringList{"central.ini"} << true << "File_MLB4800/设备地址=17";
    QTest::newRow("readings, 保存") << "readings" << "2 条测试读数尚未导出" << QList<Answer>{Answer::Save}
                                 << QStringList{"readings.csv"} << true << "";
    QTest::newRow("readings exported") << "readings, export" << "" << none << QStringList{"early.csv"} << true << "";
}

void TestQuitPrompt::quitting()
{
    QFETCH(QString, before);
    QFETCH(QString, asked);
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, files);
    QFETCH(bool, leaves);
    QFETCH(QString, stored);
    start();
    for (const QString &name : files)
        prompts_.fileNames.enqueue(name.isEmpty() ? QString() : dir_.filePath(name));
    for (Answer a : answers)
        prompts_.saveAnswers.enqueue(a);

    if (before.startsWith(QLatin1String("type")))
        type(QStringLiteral("Dk618_Address"), QStringLiteral("5"));
    if (before == QLatin1String("type back"))
        QTest::keyClick(child<QLineEdit>(*window_, QStringLiteral("Dk618_Address")), Qt::Key_Backspace);
    if (before.endsWith(QLatin1String(", read")))
        runRadio("Dk618_Read_Data");
    if (before.endsWith(QLatin1String(", write")))
        runRadio("Dk618_Write_Data");
    if (before.endsWith(QLatin1String(", store")))
        child<QPushButton>(*window_, QStringLiteral("Dk618_Save_File"))->click();
    if (before == QLatin1String("failed read")) {
        // The radio does not hear a line of another rate.
        window_->link().line().RateIndex = 5;
        window_->link().ApplyLineSettings();
        child<QPushButton>(*window_, QStringLiteral("Dk618_Read_Data"))->click();
        for (int i = 0; i < 120 && window_->link().state().RadioReadActive; ++i)
            window_->Timer3Timer();
        QVERIFY(memo().contains(QStringLiteral("读取失败！")));
    }
    if (before == QLatin1String("central")) {
        window_->MLB4800Click();
        type(QStringLiteral("Mlb4800_Address"), QStringLiteral("7"));
    }
    if (before.startsWith(QLatin1String("readings"))) {
        window_->testRun().run().reading(Quantity::Voltage, QStringLiteral("12.0"), false);
        window_->testRun().run().reading(Quantity::Temperature, QStringLiteral("27"), false);
        if (before.endsWith(QLatin1String("export")))
            QVERIFY(window_->testRun().ExportReadingsClick());
    }
    const QStringList messagesBefore = prompts_.messages;

    child<QAction>(*window_, QStringLiteral("Exit_Pro"))->trigger();
    const QStringList said = prompts_.messages.mid(messagesBefore.size());
    if (asked.isEmpty()) {
        QCOMPARE(said, QStringList());
    } else {
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.constFirst().contains(asked), qPrintable(said.constFirst()));
    }
    QCOMPARE(window_->isVisible(), !leaves);
    QCOMPARE(window_->link().port().isOpen(), !leaves);
    if (!leaves)
        QVERIFY(memo().endsWith(QStringLiteral("未退出")));
    if (!stored.isEmpty()) {
        const IniDocument doc = IniDocument::load(dir_.filePath(files.constLast()));
        QCOMPARE(doc.value(EncodeGbk(stored.section(u'/', 0, 0)), EncodeGbk(stored.section(u'/', 1).section(u'=', 0, 0)), "?"),
                 EncodeGbk(stored.section(u'=', 1)));
    }
    if (before == QLatin1String("readings")) {
        QFile csv(dir_.filePath(QStringLiteral("readings.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), 3);
    }
    QVERIFY(prompts_.fileNames.isEmpty());
    QVERIFY2(errors_->errors.isEmpty(), qPrintable(errors_->errors.join(u'\n')));
}

// The window's own box: 保存, 不保存 and 取消, Escape being 取消.
void TestQuitPrompt::escapeKeepsTheWindow()
{
    start(true);
    type(QStringLiteral("Dk618_Address"), QStringLiteral("5"));
    QStringList buttons;
    QString text;
    QTimer::singleShot(0, window_.get(), [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QTimer::singleShot(5000, window_.get(), [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    QVERIFY(!window_->close());
    buttons.sort();
    QStringList expected{QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")};
    expected.sort();
    QCOMPARE(buttons, expected);
    QVERIFY2(text.contains(QStringLiteral("数传电台页面")), qPrintable(text));
    QVERIFY(window_->isVisible());
    QVERIFY(window_->link().port().isOpen());
}

QTEST_MAIN(TestQuitPrompt)
#include "tst_quitprompt.moc"
