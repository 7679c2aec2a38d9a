// Window titles as the X server holds them (CTest runs this under
// xvfb-run): every title bar reads exactly its caption, nothing appended.

#include "app/application.h"
#include "app/mainform.h"
#include "common/prompts.h"
#include "findchild.h"
#include "ptypair.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace qm;

namespace {

// Names of the top-level windows, leaving out Qt's small helper windows.
QStringList windowNames()
{
    static const QRegularExpression window(QStringLiteral(R"re(^\s*0x[0-9a-f]+ "(.*)": .*\s(\d+)x(\d+)\+)re"));
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    xwininfo.waitForFinished(5000);
    QStringList names;
    for (const QString &line : QString::fromUtf8(xwininfo.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = window.match(line);
        if (m.hasMatch() && m.captured(2).toInt() > 10 && m.captured(3).toInt() > 10)
            names << m.captured(1);
    }
    names.sort();
    return names;
}

} // namespace

class TestCaptions : public QObject {
    Q_OBJECT
private slots:
    void windowAndDialogs();
};

void TestCaptions::windowAndDialogs()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server: run under xvfb-run with QT_QPA_PLATFORM=xcb");
    if (QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        QSKIP("xwininfo is missing (x11-utils, installed by scripts/setup)");
    SetUpApplication();
    PtyPair pty;
    MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
    TMainForm w(options);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *settings = child<QDialog>(w, QStringLiteral("Set_Form"));
    auto *version = child<QDialog>(w, QStringLiteral("VersionInfo"));
    auto isUp = [](QWidget *dialog) {
        return QTest::qWaitFor([dialog] { return QApplication::activeModalWidget() == dialog; }, 5000);
    };

    // The settings dialog, the version box over it and a message box over
    // both, opened as the user opens them and all on the screen at once.
    QStringList expected = {QStringLiteral("QM4700终端参数设置软件"), QStringLiteral("系统参数设置"),
                            QStringLiteral("VersionInfo"), kApplicationTitle};
    expected.sort();
    QStringList names;
    QTimer::singleShot(0, &w, [&] {
        QTimer::singleShot(0, &w, [&] {
            QTimer::singleShot(0, &w, [&] {
                [[maybe_unused]] bool all = QTest::qWaitFor([&] { return (names = windowNames()) == expected; }, 10000);
                if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget()); box && box != version)
                    box->reject();
            });
            if (isUp(version))
                w.prompts().message(QStringLiteral("通讯口被占用！"));
            version->reject();
        });
        if (isUp(settings))
            child<QAction>(w, QStringLiteral("Version"))->trigger();
        settings->reject();
    });
    w.SetSysConfigClick();
    QCOMPARE(names, expected);
}

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
