// The main window's small functions: the clock on the tool bar and its menu
// item, the sound cue (its tones as samples, and when it is asked for), the
// sound item's image, and the version box.

#include "app/cueplayer.h"
#include "app/mainform.h"
#include "common/tonecue.h"
#include "findchild.h"
#include "ptypair.h"
#include "testprompts.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace qm;

namespace {

struct Rig {
    Rig()
    {
        MainFormOptions options;
        options.portMap.insert(QStringLiteral("COM1"), pty.slavePath());
        options.prompts = &prompts;
        form = std::make_unique<TMainForm>(options);
    }
    bool show()
    {
        form->show();
        return QTest::qWaitForWindowActive(form.get());
    }
    QAction *action(const QString &name) { return child<QAction>(*form, name); }

    PtyPair pty;
    TestPrompts prompts;
    ErrorCatcher errors;
    std::unique_ptr<TMainForm> form;
};

// The clock's text is the time of day, within a couple of seconds of now.
bool showsCurrentTime(const QString &text)
{
    const QTime shown = QTime::fromString(text, QStringLiteral("hh:mm:ss"));
    if (!shown.isValid())
        return false;
    const int apart = std::abs(shown.secsTo(QTime::currentTime()));
    return apart <= 2 || apart >= 86400 - 2;
}

// Pixels of the clock's red type in what the tool bar shows.
int redPixels(QWidget *bar)
{
    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 80 && c.blue() < 80)
                ++count;
        }
    }
    return count;
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(24, 24).toImage();
}

// Sign changes from one sample to the next.
int zeroCrossings(const qint16 *samples, qint64 count, int stride)
{
    int crossings = 0;
    for (qint64 i = 1; i < count; ++i) {
        if ((samples[(i - 1) * stride] < 0) != (samples[i * stride] < 0))
            ++crossings;
    }
    return crossings;
}

} // namespace

class TestAuxiliary : public QObject {
    Q_OBJECT
private slots:
    void toneSynthesis_data();
    void toneSynthesis();
    void cueFollowsMusic();
    void clockShowsAndHides();
    void versionBox();
};

void TestAuxiliary::toneSynthesis_data()
{
    QTest::addColumn<int>("f1");
    QTest::addColumn<int>("f2");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");

    QTest::newRow("clock double click, 48 kHz mono") << 1000 << 3000 << 60 << 48000 << 1;
    QTest::newRow("clock double click, 44.1 kHz stereo") << 1000 << 3000 << 60 << 44100 << 2;
    QTest::newRow("odd frequencies, 8 kHz") << 437 << 1303 << 301 << 8000 << 1;
    QTest::newRow("third tone above half the rate") << 3000 << 500 << 90 << 16000 << 1;
    QTest::newRow("durations below one step") << 1000 << 2000 << 1 << 48000 << 1;
}

void TestAuxiliary::toneSynthesis()
{
    QFETCH(int, f1);
    QFETCH(int, f2);
    QFETCH(int, duration);
    QFETCH(int, rate);
    QFETCH(int, channels);

    const QByteArray pcm = SynthesizeTones(CueTones(f1, f2, duration), rate, channels);
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    const qint64 frameCount = pcm.size() / qint64(sizeof(qint16)) / channels;
    QCOMPARE(pcm.size() % (qsizetype(sizeof(qint16)) * channels), 0);

    // Three times: f1 for d/3 ms, f2 for d/2 ms, 3*f1 for 2*d ms.
    const int freqs[3] = {f1, f2, 3 * f1};
    const int lengths[3] = {duration / 3, duration / 2, 2 * duration};
    qint64 at = 0;
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < 3; ++k) {
            const qint64 frames = qint64(lengths[k]) * rate / 1000;
            QVERIFY2(at + frames <= frameCount, "fewer samples than the tones take");
            const qint16 *tone = samples + at * channels;
            const QByteArray where = QStringLiteral("round %1 tone %2").arg(round).arg(k).toLatin1();
            // Every channel carries the same wave.
            for (int c = 1; c < channels; ++c) {
                for (qint64 i = 0; i < frames; ++i)
                    QVERIFY2(tone[i * channels + c] == tone[i * channels], where.constData());
            }
            const int crossings = zeroCrossings(tone, frames, channels);
            if (2 * freqs[k] >= rate) {
                // Out of reach of the output: silence, not an alias tone.
                for (qint64 i = 0; i < frames; ++i)
                    QVERIFY2(tone[i * channels] == 0, where.constData());
            } else if (frames > 0) {
                // A square wave changes sign twice per period.
                const double expected = 2.0 * freqs[k] * double(frames) / rate;
                QVERIFY2(std::abs(crossings - expected) <= 2.0,
                         qPrintable(QStringLiteral("%1: %2 crossings, %3 expected").arg(where).arg(crossings).arg(expected)));
                const auto peak = std::max_element(tone, tone + frames * channels);
                QVERIFY2(*peak > 1000, where.constData());
            }
            at += frames;
        }
    }
    QCOMPARE(at, frameCount);
}

void TestAuxiliary::cueFollowsMusic()
{
    Rig rig;
    QVERIFY(rig.show());
    TMainForm &w = *rig.form;
    auto *clock = child<QLabel>(w, QStringLiteral("TimerDisp"));
    auto *player = child<CuePlayer>(w, QStringLiteral("CuePlayer"));
    auto *button = child<QToolButton>(w, QStringLiteral("Music_Button"));
    QAction *music = rig.action(QStringLiteral("Music"));
    QSignalSpy cues(player, &CuePlayer::requested);

    QVERIFY(!music->isChecked());
    const QImage silentImage = iconImage(music->icon());
    QCOMPARE(iconImage(button->icon()), silentImage);
    QTest::mouseDClick(clock, Qt::LeftButton);
    QCOMPARE(cues.count(), 0);

    // Through the tool button, as the user switches it on.
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(music->isChecked());
    const QImage soundImage = iconImage(music->icon());
    QVERIFY(soundImage != silentImage);
    QCOMPARE(iconImage(button->icon()), soundImage);

    QTest::mouseDClick(clock, Qt::LeftButton);
    QCOMPARE(cues.count(), 1);
    const QList<Tone> expected = {{1000, 20}, {3000, 30}, {3000, 120}, {1000, 20}, {3000, 30},
                                  {3000, 120}, {1000, 20}, {3000, 30}, {3000, 120}};
    QCOMPARE(cues.at(0).at(0).value<QList<Tone>>(), expected);
    // Heard or not (here there is no audio output), nothing is said.
    QTest::qWait(50);
    QVERIFY(rig.errors.errors.isEmpty());
    QVERIFY(rig.prompts.messages.isEmpty());

    music->trigger();
    QVERIFY(!music->isChecked());
    QCOMPARE(iconImage(music->icon()), silentImage);
    QCOMPARE(iconImage(button->icon()), silentImage);
    QTest::mouseDClick(clock, Qt::LeftButton);
    QCOMPARE(cues.count(), 1);
}

void TestAuxiliary::clockShowsAndHides()
{
    Rig rig;
    QVERIFY(rig.show());
    TMainForm &w = *rig.form;
    auto *clock = child<QLabel>(w, QStringLiteral("TimerDisp"));
    auto *bar = child<QToolBar>(w, QStringLiteral("ToolBar"));
    QAction *dispTimer = rig.action(QStringLiteral("Disp_Timer"));
    QAction *tools = rig.action(QStringLiteral("Tools"));

    QVERIFY(dispTimer->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(showsCurrentTime(clock->text()), 2000);
    QVERIFY(clock->isVisible());
    QVERIFY(redPixels(bar) > 20);

    dispTimer->trigger();
    QVERIFY(!dispTimer->isChecked());
    // Also after the tool bar has been laid out afresh.
    tools->trigger();
    tools->trigger();
    QTest::qWait(50);
    QVERIFY(bar->isVisible());
    QVERIFY(!clock->isVisible());
    QCOMPARE(redPixels(bar), 0);

    // Hidden, it is not updated: the seconds move on, the text does not.
    const QString frozen = clock->text();
    QTest::qWait(1200);
    QCOMPARE(clock->text(), frozen);

    dispTimer->trigger();
    QVERIFY(dispTimer->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(clock->isVisible(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != frozen && showsCurrentTime(clock->text()), 2000);
    QVERIFY(redPixels(bar) > 20);
    QVERIFY(rig.errors.errors.isEmpty());
}

namespace {
// What the version box shows while it is up, opened from its menu item and
// closed with its OK button.
struct VersionSeen {
    bool modal = false;
    QString title;
    QSize size;
    QPoint offCentre;
    QStringList lines;
    bool pictureLeftOfText = true;
    QString okText;
    bool closed = false;
};

VersionSeen openVersionBox(TMainForm &w)
{
    auto *box = child<QDialog>(w, QStringLiteral("VersionInfo"));
    VersionSeen seen;
    QTimer::singleShot(0, &w, [&] {
        if (!QTest::qWaitFor([box] { return QApplication::activeModalWidget() == box; }, 5000))
            return;
        seen.modal = true;
        seen.title = box->windowTitle();
        seen.size = box->size();
        seen.offCentre = box->geometry().center() - w.geometry().center();
        auto *picture = child<QLabel>(*box, QStringLiteral("Picture"));
        if (picture->pixmap().isNull())
            seen.pictureLeftOfText = false;
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label == picture || !label->isVisible())
                continue;
            seen.lines << label->text();
            if (label->x() <= picture->geometry().right())
                seen.pictureLeftOfText = false;
        }
        auto *ok = child<QPushButton>(*box, QStringLiteral("Version_OK"));
        seen.okText = ok->text();
        QTest::mouseClick(ok, Qt::LeftButton);
        seen.closed = !box->isVisible();
    });
    // A box the OK button failed to close must not hang the test.
    QTimer::singleShot(8000, box, [box] {
        if (box->isVisible())
            box->reject();
    });
    child<QAction>(w, QStringLiteral("Version"))->trigger();
    return seen;
}
} // namespace

void TestAuxiliary::versionBox()
{
    Rig rig;
    QVERIFY(rig.show());
    TMainForm &w = *rig.form;

    // Where the window starts, and again after it has been moved: the box
    // follows the window.
    for (const QPoint moved : {QPoint(0, 0), QPoint(60, -40)}) {
        const QPoint target = w.pos() + moved;
        w.move(target);
        QTRY_COMPARE_WITH_TIMEOUT(w.pos(), target, 1000);
        const VersionSeen seen = openVersionBox(w);
        QVERIFY(seen.modal);
        QVERIFY(seen.closed);
        QCOMPARE(seen.title, QStringLiteral("VersionInfo"));
        QCOMPARE(seen.size, QSize(394, 162));
        QVERIFY2(std::abs(seen.offCentre.x()) <= 2 && std::abs(seen.offCentre.y()) <= 2,
                 qPrintable(QStringLiteral("%1,%2 off the window's centre").arg(seen.offCentre.x()).arg(seen.offCentre.y())));
        for (const QString &line : {QStringLiteral("软件版本: Version1.54"), QStringLiteral("设计时间: 2005年8月15"),
                                    QStringLiteral("qmset"), QStringLiteral("qmset developers")})
            QVERIFY2(seen.lines.contains(line), qPrintable(line));
        QVERIFY(seen.pictureLeftOfText);
        QCOMPARE(seen.okText, QStringLiteral("确   定"));
    }
    QVERIFY(rig.errors.errors.isEmpty());
}

QTEST_MAIN(TestAuxiliary)
#include "tst_auxiliary.moc"
