// Window captions as the window system sees them. The test starts its own
// X server (Xvfb) and runs on it, and reads the names of the windows on
// the screen with xwininfo: each title bar must read exactly its caption,
// with nothing appended by the toolkit.

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

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qm;

namespace {

const QString kMainCaption = QStringLiteral("QM4700终端参数设置软件");

// An X server of the test's own, on the first free display.
class Xvfb {
public:
    Xvfb()
    {
        int fds[2];
        if (::pipe(fds) != 0) {
            why_ = QStringLiteral("no pipe");
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            const QByteArray fd = QByteArray::number(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.constData(), "-nolisten", "tcp", "-screen", "0", "1280x1024x24",
                     static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        if (pid_ < 0) {
            ::close(fds[0]);
            why_ = QStringLiteral("cannot start Xvfb");
            return;
        }
        // Xvfb writes its display number once it takes connections.
        QByteArray number;
        for (int waited = 0; waited < 20000 && !number.endsWith('\n');) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) {
                waited += 100;
                continue;
            }
            char c;
            if (::read(fds[0], &c, 1) != 1)
                break;
            number += c;
        }
        ::close(fds[0]);
        if (!number.endsWith('\n')) {
            why_ = QStringLiteral("Xvfb did not start (scripts/setup installs the xvfb package)");
            return;
        }
        display_ = ":" + number.trimmed();
    }
    ~Xvfb()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    QByteArray display() const { return display_; }
    QString why() const { return why_; }

private:
    pid_t pid_ = -1;
    QByteArray display_;
    QString why_;
};

Xvfb *server = nullptr;

QProcessEnvironment displayEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(server->display()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Window names are UTF-8; xwininfo prints them as such in a UTF-8 locale.
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

QString xwininfo(const QStringList &args)
{
    QProcess p;
    p.setProcessEnvironment(displayEnvironment());
    p.start(QStringLiteral("xwininfo"), args);
    if (!p.waitForFinished(5000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Names of the top-level windows on the screen that can be seen: Qt's
// own 1 × 1 helper windows and unmapped windows left out.
QStringList shownWindowNames()
{
    static const QRegularExpression child(QStringLiteral(R"re(^\s*(0x[0-9a-f]+) "(.*)": .*\s(\d+)x(\d+)\+)re"));
    QStringList names;
    const QStringList lines = xwininfo({QStringLiteral("-root"), QStringLiteral("-children")}).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = child.match(line);
        if (!m.hasMatch() || m.captured(3).toInt() <= 10 || m.captured(4).toInt() <= 10)
            continue;
        if (xwininfo({QStringLiteral("-id"), m.captured(1)}).contains(QLatin1String("Map State: IsViewable")))
            names << m.captured(2);
    }
    names.sort();
    return names;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

// Waits until the windows on the screen are the given ones (or time runs
// out) and returns what was there last.
QStringList waitForWindows(const QStringList &expected)
{
    QStringList names;
    [[maybe_unused]] const bool all = QTest::qWaitFor([&] {
        names = shownWindowNames();
        return names == sorted(expected);
    }, 15000);
    return names;
}

} // namespace

class TestCaptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void programWindowAndMessageBox();
    void dialogsOverTheWindow();
};

void TestCaptions::initTestCase()
{
    if (server->display().isEmpty())
        QSKIP(qPrintable(server->why()));
    if (QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        QSKIP("xwininfo is not installed (scripts/setup installs the x11-utils package)");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QCOMPARE(shownWindowNames(), QStringList());
}

void TestCaptions::programWindowAndMessageBox()
{
    // The program itself, started as a user starts it, with a COM1 that
    // cannot be opened: the main window and the message box saying so.
    QProcess qmset;
    qmset.setProcessEnvironment(displayEnvironment());
    qmset.start(QStringLiteral(QMSET_PATH), {QStringLiteral("--port"), QStringLiteral("COM1=/nonexistent-qmset-test/tty0")});
    QVERIFY(qmset.waitForStarted(5000));
    const QStringList names = waitForWindows({kMainCaption, kApplicationTitle});
    qmset.terminate();
    if (!qmset.waitForFinished(5000))
        qmset.kill();
    QCOMPARE(names, sorted({kMainCaption, kApplicationTitle}));
    QTRY_COMPARE_WITH_TIMEOUT(shownWindowNames(), QStringList(), 5000);
}

void TestCaptions::dialogsOverTheWindow()
{
    // The window and its dialogs in this process, named as the program
    // names itself; the settings dialog, the version box over it and a
    // message box over both, all on the screen at once.
    PtyPair pty;
    MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
    TMainForm w(options);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *settings = child<QDialog>(w, QStringLiteral("Set_Form"));
    auto *version = child<QDialog>(w, QStringLiteral("VersionInfo"));
    auto upModal = [](QWidget *dialog) {
        return QTest::qWaitFor([dialog] { return QApplication::activeModalWidget() == dialog; }, 5000);
    };

    QStringList names;
    QTimer::singleShot(0, &w, [&] {
        if (upModal(settings)) {
            QTimer::singleShot(0, &w, [&] {
                if (upModal(version)) {
                    QTimer::singleShot(0, &w, [&] {
                        auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                        if (box && box != version) {
                            names = waitForWindows({kMainCaption, QStringLiteral("系统参数设置"),
                                                    QStringLiteral("VersionInfo"), kApplicationTitle});
                            box->reject();
                        }
                    });
                    w.prompts().message(QStringLiteral("通讯口被占用！"));
                }
                version->reject();
            });
            child<QAction>(w, QStringLiteral("Version"))->trigger();
        }
        settings->reject();
    });
    // Nothing left open if a step above failed.
    QTimer::singleShot(30000, &w, [] {
        for (int i = 0; i < 5 && QApplication::activeModalWidget(); ++i)
            QApplication::activeModalWidget()->close();
    });
    w.SetSysConfigClick();

    QCOMPARE(names, sorted({kMainCaption, QStringLiteral("系统参数设置"), QStringLiteral("VersionInfo"), kApplicationTitle}));
}

int main(int argc, char *argv[])
{
    Xvfb xvfb;
    server = &xvfb;
    if (!xvfb.display().isEmpty()) {
        qputenv("DISPLAY", xvfb.display());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    SetUpApplication();
    TestCaptions test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_captions.moc"
