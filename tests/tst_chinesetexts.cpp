// Every text the window shows is Chinese: a walk over all top-level widgets
// and their children (so windows added later are walked too), every action
// and menu, each message box and file dialog that the menu items and page
// buttons bring up, and the context menu of every edit, with Qt's own
// catalogues loaded as at start-up. Numbers, units, device and port names
// are not words; the few specified or product texts are listed below.

#include "app/application.h"
#include "app/mainform.h"
#include "common/errors.h"
#include "ptypair.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace qm;

namespace {

// Letter runs that are not English words to the user.
const QSet<QString> kAllowed = {
    // Product, device and program names.
    QStringLiteral("qmset"), QStringLiteral("qmsim"), QStringLiteral("QM"), QStringLiteral("MLB"), QStringLiteral("MLR"),
    QStringLiteral("DK"), QStringLiteral("COM"),
    // The databases the register of units lives in, and a server
    // address's scheme ("postgresql://用户@主机:端口/数据库").
    QStringLiteral("SQLite"), QStringLiteral("PostgreSQL"), QStringLiteral("postgresql"),
    // File formats by their usual names.
    QStringLiteral("CSV"), QStringLiteral("INI"),
    // Texts the program has always shown: the version box's caption, the
    // data radio's series "A系列"/"B系列" and "PTT时间限制", the meter
    // standard "DL/T 645".
    QStringLiteral("VersionInfo"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("PTT"), QStringLiteral("DL"),
    // Units and line settings (",19200,N,8,1"; parities N, E, O).
    QStringLiteral("Hz"), QStringLiteral("kHz"), QStringLiteral("MHz"), QStringLiteral("dB"), QStringLiteral("dBm"),
    QStringLiteral("V"), QStringLiteral("W"), QStringLiteral("mW"), QStringLiteral("ms"), QStringLiteral("N"),
    QStringLiteral("E"), QStringLiteral("O"),
};

// Paths, file name patterns, names with an extension, the access key of a
// menu item ("(&S)", "(S)" in its tool tip) and the key names of a
// shortcut ("复制\tCtrl+C") are not prose.
const QRegularExpression kNotProse(
    QStringLiteral(R"((?:~|\.{0,2})/\S*|\*\.\w+|\(\*\)|[\w.-]+\.(?:ini|txt)\b|\(\s*&?[A-Za-z]\s*\)|\t.*$)"));
// A run of letters and digits; one with a digit names a device, a rate or a
// channel ("COM1", "DK618-245N", "9600A", "25K"), or is a number.
const QRegularExpression kRun(QStringLiteral(R"([A-Za-z0-9_']+)"));


QString whereOf(const QObject *object)
{
    QStringList names;
    for (const QObject *o = object; o; o = o->parent())
        names.prepend(o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className()) : o->objectName());
    return names.join(u'/');
}

class Walk {
public:
    QSet<QString> findings; // where, the words, the text
    int texts = 0;

    void text(const QObject *where, const QString &what, QString text)
    {
        text.replace(kNotProse, QString());
        text.remove(u'&');
        if (text.trimmed().isEmpty())
            return;
        ++texts;
        QStringList words;
        for (auto it = kRun.globalMatch(text); it.hasNext();) {
            const QString run = it.next().captured();
            if (!run.contains(QRegularExpression(QStringLiteral("[0-9]"))) && !kAllowed.contains(run))
                words << run;
        }
        if (!words.isEmpty())
            findings.insert(QStringLiteral("%1 %2: %3 in \"%4\"").arg(whereOf(where), what, words.join(u' '), text));
    }

    void action(const QAction *a)
    {
        if (a->isSeparator())
            return;
        text(a, QStringLiteral("text"), a->text());
        text(a, QStringLiteral("tool tip"), a->toolTip());
        text(a, QStringLiteral("status tip"), a->statusTip());
        if (a->menu())
            widget(a->menu());
    }

    void header(const QObject *where, const QAbstractItemModel *model, Qt::Orientation orientation)
    {
        const int count = orientation == Qt::Horizontal ? model->columnCount() : model->rowCount();
        for (int i = 0; i < count; ++i)
            text(where, QStringLiteral("header"), model->headerData(i, orientation).toString());
    }

    // The widget and all its children; item views by their headers only,
    // since their items are the user's data (file names, addresses).
    void widget(const QWidget *w)
    {
        walkOne(w);
        for (const QWidget *c : w->findChildren<QWidget *>())
            walkOne(c);
    }

private:
    void walkOne(const QWidget *w)
    {
        if (w->isWindow())
            text(w, QStringLiteral("title"), w->windowTitle());
        text(w, QStringLiteral("tool tip"), w->toolTip());
        text(w, QStringLiteral("status tip"), w->statusTip());
        text(w, QStringLiteral("what's this"), w->whatsThis());
        for (const QAction *a : w->actions())
            action(a);
        if (auto *l = qobject_cast<const QLabel *>(w))
            text(w, QStringLiteral("label"), l->text());
        else if (auto *b = qobject_cast<const QAbstractButton *>(w))
            text(w, QStringLiteral("button"), b->text());
        else if (auto *e = qobject_cast<const QLineEdit *>(w)) {
            text(w, QStringLiteral("edit"), e->text());
            text(w, QStringLiteral("placeholder"), e->placeholderText());
        } else if (auto *p = qobject_cast<const QPlainTextEdit *>(w)) {
            text(w, QStringLiteral("memo"), p->toPlainText());
            text(w, QStringLiteral("placeholder"), p->placeholderText());
        } else if (auto *t = qobject_cast<const QTextEdit *>(w))
            text(w, QStringLiteral("text"), t->toPlainText());
        else if (auto *c = qobject_cast<const QComboBox *>(w)) {
            for (int i = 0; i < c->count(); ++i)
                text(w, QStringLiteral("item"), c->itemText(i));
        } else if (auto *g = qobject_cast<const QGroupBox *>(w))
            text(w, QStringLiteral("group"), g->title());
        else if (auto *tabs = qobject_cast<const QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                text(w, QStringLiteral("tab"), tabs->tabText(i));
                text(w, QStringLiteral("tab tip"), tabs->tabToolTip(i));
            }
        } else if (auto *s = qobject_cast<const QAbstractSpinBox *>(w))
            text(w, QStringLiteral("special value"), s->specialValueText());
        else if (auto *bar = qobject_cast<const QProgressBar *>(w))
            text(w, QStringLiteral("progress"), bar->text());
        else if (auto *m = qobject_cast<const QMenu *>(w))
            text(w, QStringLiteral("menu title"), m->title());
        if (auto *view = qobject_cast<const QAbstractItemView *>(w); view && view->model()) {
            header(w, view->model(), Qt::Horizontal);
            if (!qobject_cast<const QHeaderView *>(w) && qobject_cast<const QHeaderView *>(view->parent()) == nullptr)
                header(w, view->model(), Qt::Vertical);
        }
        if (auto *box = qobject_cast<const QMessageBox *>(w)) {
            text(w, QStringLiteral("informative"), box->informativeText());
            text(w, QStringLiteral("detailed"), box->detailedText());
        }
    }
};

} // namespace

class TestChineseTexts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyTextIsChinese();
};

void TestChineseTexts::initTestCase()
{
    SetUpApplication();
    // Qt's catalogues must be there (scripts/setup installs them): without
    // them the standard buttons below would be English for a reason the
    // walk would not tell.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}

void TestChineseTexts::everyTextIsChinese()
{
    Walk walk;
    QStringList errors;
    SetErrorSink([&](const QString &message) { errors << message; });
    PtyPair pty;
    MainFormOptions options;
    options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
    auto form = std::make_unique<TMainForm>(options);
    TMainForm &w = *form;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // Whatever pops up (a menu, a message box, a dialog, a file dialog) is
    // walked and closed again, so nothing waits for a user.
    QStringList seen;
    const auto closePopup = [&] {
        QWidget *popup = QApplication::activePopupWidget();
        if (!popup)
            return false;
        walk.widget(popup);
        seen << whereOf(popup);
        popup->close();
        return true;
    };
    QTimer closer;
    closer.setInterval(20);
    connect(&closer, &QTimer::timeout, this, [&] {
        if (closePopup())
            return;
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            if (dialog->objectName() == QStringLiteral("AutoSet_Form"))
                return;
            walk.widget(dialog);
            seen << whereOf(dialog);
            dialog->done(QDialog::Rejected);
        }
    });
    closer.start();

    // Every menu item and tool button but leaving and the line-settings
    // search (a modeless 31.5 s run of its own), then every page button.
    const QSet<QString> notPressed = {QStringLiteral("Exit_Pro"), QStringLiteral("ToolButton3"),
                                      QStringLiteral("ToolButton6"), QStringLiteral("Set_ComAuto")};
    for (QAction *a : w.findChildren<QAction *>()) {
        if (!a->menu() && !a->isSeparator() && !notPressed.contains(a->objectName()))
            a->trigger();
        QTest::qWait(1);
    }
    for (QPushButton *b : w.findChildren<QPushButton *>()) {
        if (b->window() == &w && b->isEnabled() && !notPressed.contains(b->objectName()))
            b->click();
        QTest::qWait(1);
    }
    // The context menu of every edit, as a right click opens it (a menu
    // that is only popped up is walked here, one run by exec() by the timer).
    for (QWidget *top : QApplication::topLevelWidgets()) {
        QList<QWidget *> edits;
        for (QLineEdit *e : top->findChildren<QLineEdit *>())
            edits << e;
        for (QPlainTextEdit *e : top->findChildren<QPlainTextEdit *>())
            edits << e->viewport();
        for (QTextEdit *e : top->findChildren<QTextEdit *>())
            edits << e->viewport();
        for (QWidget *edit : edits) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), edit->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(edit, &event);
            closePopup();
        }
    }
    QTest::qWait(50);
    closer.stop();

    for (QWidget *top : QApplication::topLevelWidgets())
        walk.widget(top);
    for (const QString &message : errors)
        walk.text(&w, QStringLiteral("error report"), message);
    SetErrorSink({});

    // The walk reached what it was meant to.
    const QString all = seen.join(u' ');
    for (const char *expected : {"VersionInfo", "Set_Form", "Password", "OpenDialog1", "SaveDialog1", "QMessageBox",
                                 "Watch_Menu", "Dk618_Address/qt_edit_menu"})
        QVERIFY2(all.contains(QLatin1String(expected)), qPrintable(QStringLiteral("never came up: %1 (seen: %2)").arg(expected, all)));
    QVERIFY(walk.texts > 500);
    for (const QString &finding : walk.findings)
        qWarning().noquote() << finding;
    QCOMPARE(walk.findings.size(), 0);
}

QTEST_MAIN(TestChineseTexts)
#include "tst_chinesetexts.moc"
