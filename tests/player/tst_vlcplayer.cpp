#include <memory>

#include <QApplication>
#include <QByteArrayList>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include "styleconstants.h"
#include "clips.h"
#include "vlcplayer.h"
#include "waits.h"

namespace {

// The test machines have no sound card: without the dummy output libvlc
// retries ALSA for every audio block and floods the log.
const QByteArrayList quietOptions{"--aout=adummy", "--quiet"};

int shownSeconds(const QLabel *label)
{
    return QTime::fromString(label->text(), QStringLiteral("hh:mm:ss")).msecsSinceStartOfDay() / 1000;
}

bool isBarGreen(const QColor &c)
{
    return c.green() > 120 && c.red() < 80 && c.blue() < 80;
}

} // namespace

class tst_VlcPlayer final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formatTime_data();
    void formatTime();
    void pauseWhileStoppedDoesNothing_data();
    void pauseWhileStoppedDoesNothing();
    void muteAndUnmute_data();
    void muteAndUnmute();
    void playsFileToTheEnd();
    void playingShowsVideoInPane();
    void pauseResumeAndStop();
    void pauseHoldsOnlyAPlayingPreview_data();
    void pauseHoldsOnlyAPlayingPreview();
    void userSeeks();
    void secondFileStopsFirst();
    void emptyPathStopsAndStartsNothing();
    void unplayablePathLeavesPlayerStopped_data();
    void unplayablePathLeavesPlayerStopped();
    void withoutLibvlcNothingStarts();

private:
    template <class T>
    T *child(const char *name) const
    {
        return player->findChild<T *>(QLatin1String(name));
    }
    QLabel *curtime() const { return child<QLabel>("curtime"); }
    QLabel *duration() const { return child<QLabel>("duration"); }
    QPushButton *btnPause() const { return child<QPushButton>("btnPause"); }
    QTimer *pollTimer() const
    {
        return player->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    }
    QColor videoCentre(QImage *shot = nullptr) const;
    QString stoppedMismatch(const vlcplayer *p) const;
    QString playingMismatch() const;
    QString pausedMismatch();
    void startAndWaitForTime(const QString &path);

    QTemporaryDir dir;
    QString clip4;
    QString clip6;
    std::unique_ptr<QWidget> pane;
    std::unique_ptr<vlcplayer> player;
};

// Reads the screen, not Qt's own painting: only there is the picture that
// libvlc draws. The centre of each test frame is the green bar; neither the
// still picture nor an empty surface is green there.
QColor tst_VlcPlayer::videoCentre(QImage *shot) const
{
    const QPoint origin = player->mapToGlobal(QPoint(0, 0));
    const QImage image = player->screen()
                             ->grabWindow(0, origin.x(), origin.y(), player->width(), player->height())
                             .toImage();
    if (shot)
        *shot = image;
    auto *display = child<QWidget>("display");
    return image.pixelColor(display->mapTo(player.get(), display->rect().center()));
}

// Describes how the player differs from the stopped look; empty if it does
// not, so that QTRY_COMPARE reports what is still wrong.
QString tst_VlcPlayer::stoppedMismatch(const vlcplayer *p) const
{
    QStringList wrong;
    if (p->findChild<QWidget *>(QStringLiteral("display"))->isVisible())
        wrong << "video surface shown";
    if (!p->findChild<QLabel *>(QStringLiteral("labelDisplay"))->isVisible())
        wrong << "still picture hidden";
    if (p->findChild<QPushButton *>(QStringLiteral("btnPause"))->styleSheet() != QLatin1String(playerPlayStyle))
        wrong << "pause button without the play picture";
    if (p->findChild<QSlider *>(QStringLiteral("progress"))->value() != 0)
        wrong << "progress not 0";
    for (const char *name : {"curtime", "duration"}) {
        const QString text = p->findChild<QLabel *>(QLatin1String(name))->text();
        if (text != QLatin1String("00:00:00"))
            wrong << QStringLiteral("%1 shows %2").arg(QLatin1String(name), text);
    }
    return wrong.join(QStringLiteral(", "));
}

QString tst_VlcPlayer::playingMismatch() const
{
    QStringList wrong;
    if (!child<QWidget>("display")->isVisible())
        wrong << "video surface hidden";
    if (child<QLabel>("labelDisplay")->isVisible())
        wrong << "still picture shown";
    if (btnPause()->styleSheet() != QLatin1String(playerPauseStyle))
        wrong << "pause button without the pause picture";
    if (!pollTimer()->isActive())
        wrong << "not polling";
    return wrong.join(QStringLiteral(", "));
}

void tst_VlcPlayer::startAndWaitForTime(const QString &path)
{
    player->setVideoPath(path, true);
    QCOMPARE(playingMismatch(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(curtime()->text() != QLatin1String("00:00:00"), processWaitMs);
}

void tst_VlcPlayer::initTestCase()
{
    QVERIFY(dir.isValid());
    clip4 = dir.filePath(QStringLiteral("bars 4s.mp4"));
    clip6 = dir.filePath(QStringLiteral("bars 6s.mkv"));
    QVERIFY(makeTestClip(clip4, 4));
    QVERIFY(makeTestClip(clip6, 6));
}

// Hosts the player the way the main window does: made without a parent,
// then appended to the layout of its pane.
void tst_VlcPlayer::init()
{
    pane = std::make_unique<QWidget>();
    auto *vlcLayout = new QVBoxLayout(pane.get());
    vlcLayout->setContentsMargins(0, 0, 0, 0);
    player = std::make_unique<vlcplayer>(nullptr, quietOptions);
    vlcLayout->addWidget(player.get());
    pane->setGeometry(40, 40, 392, 288);
    pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(pane.get(), processWaitMs));
}

void tst_VlcPlayer::cleanup()
{
    // Destroying a playing player must stop libvlc before the video
    // window goes away; several tests end while a file still plays.
    player.reset();
    pane.reset();
}

void tst_VlcPlayer::formatTime_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "00:00:00";
    QTest::newRow("part of a second is dropped") << 999 << "00:00:00";
    QTest::newRow("one hour two minutes five seconds") << 3725000 << "01:02:05";
    QTest::newRow("last second of the first hour") << 3599999 << "00:59:59";
    QTest::newRow("hundred hours widen the field") << 360000000 << "100:00:00";
}

void tst_VlcPlayer::formatTime()
{
    QFETCH(int, ms);
    QFETCH(QString, text);
    QCOMPARE(vlcplayer::formatTime(ms), text);
}

void tst_VlcPlayer::pauseWhileStoppedDoesNothing_data()
{
    QTest::addColumn<bool>("pathStored");
    QTest::newRow("fresh player") << false;
    QTest::newRow("path stored without autoplay") << true;
}

void tst_VlcPlayer::pauseWhileStoppedDoesNothing()
{
    QFETCH(bool, pathStored);
    if (pathStored)
        player->setVideoPath(clip4, false);
    player->togglePause();
    QTest::mouseClick(btnPause(), Qt::LeftButton);
    QCOMPARE(stoppedMismatch(player.get()), QString());
    QVERIFY(!pollTimer()->isActive());
}

void tst_VlcPlayer::muteAndUnmute_data()
{
    QTest::addColumn<int>("pageDowns");
    QTest::addColumn<bool>("byButton");
    QTest::newRow("button at full volume") << 0 << true;
    QTest::newRow("button at 40") << 6 << true;
    QTest::newRow("slider pulled to 0 from 40") << 6 << false;
}

void tst_VlcPlayer::muteAndUnmute()
{
    QFETCH(int, pageDowns);
    QFETCH(bool, byButton);
    auto *volume = child<QSlider>("volume");
    auto *btnVolume = child<QPushButton>("btnVolume");
    auto *btnMute = child<QPushButton>("btnMute");

    for (int i = 0; i < pageDowns; ++i)
        QTest::keyClick(volume, Qt::Key_PageDown);
    QCOMPARE(volume->value(), 100 - 10 * pageDowns);
    QVERIFY(btnVolume->isVisible());

    if (byButton)
        QTest::mouseClick(btnVolume, Qt::LeftButton);
    else
        QTest::keyClick(volume, Qt::Key_Home);
    QCOMPARE(volume->value(), 0);
    QVERIFY(btnMute->isVisible());
    QVERIFY(!btnVolume->isVisible());

    // Unmuting restores full volume, not the level before muting.
    QTest::mouseClick(btnMute, Qt::LeftButton);
    QCOMPARE(volume->value(), 100);
    QVERIFY(btnVolume->isVisible());
    QVERIFY(!btnMute->isVisible());
}

void tst_VlcPlayer::playsFileToTheEnd()
{
    startAndWaitForTime(clip4);
    QTRY_COMPARE_WITH_TIMEOUT(duration()->text(), QStringLiteral("00:00:04"), processWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(child<QSlider>("progress")->value() > 0, processWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(stoppedMismatch(player.get()), QString(), processWaitMs);
    QVERIFY(!pollTimer()->isActive());
    QVERIFY(child<QPushButton>("btnStart")->isHidden());
}

void tst_VlcPlayer::playingShowsVideoInPane()
{
    startAndWaitForTime(clip4);
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(isBarGreen(videoCentre(&shot)), processWaitMs);
    const QString shots = QStringLiteral(VANTOR_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(shots));
    QVERIFY(shot.save(shots + QStringLiteral("/player_playing.png")));

    // The video stays inside its pane: the progress strip keeps its own
    // colour.
    const QPoint inBar = child<QWidget>("frame_bar")->mapTo(player.get(), QPoint(2, 2));
    QCOMPARE(shot.pixelColor(inBar), QColor(243, 243, 244));
}

void tst_VlcPlayer::pauseResumeAndStop()
{
    startAndWaitForTime(clip6);
    QTest::mouseClick(btnPause(), Qt::LeftButton);
    QCOMPARE(btnPause()->styleSheet(), QString::fromLatin1(playerPlayStyle));
    QVERIFY(child<QWidget>("display")->isVisible());
    // A paused frame survives Qt repainting the pane around it.
    QTRY_VERIFY_WITH_TIMEOUT(isBarGreen(videoCentre()), processWaitMs);
    pane->repaint();
    QVERIFY(isBarGreen(videoCentre()));

    const QString frozen = curtime()->text();
    const int frozenSeconds = shownSeconds(curtime());
    QSignalSpy ticks(pollTimer(), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, processWaitMs);
    QCOMPARE(curtime()->text(), frozen);

    QTest::mouseClick(btnPause(), Qt::LeftButton);
    QCOMPARE(playingMismatch(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(curtime()->text() != frozen, processWaitMs);
    // libvlc itself stood still: had it played on through the three
    // seconds, the time would now be at least three seconds further.
    QVERIFY2(shownSeconds(curtime()) <= frozenSeconds + 2,
             qPrintable(frozen + QStringLiteral(" -> ") + curtime()->text()));

    QTest::mouseClick(child<QPushButton>("btnStop"), Qt::LeftButton);
    QCOMPARE(stoppedMismatch(player.get()), QString());
    QVERIFY(!pollTimer()->isActive());
    QTest::mouseClick(btnPause(), Qt::LeftButton);
    QCOMPARE(stoppedMismatch(player.get()), QString());
}

// Paused: the video surface stays, the button offers play, and the time
// stands still over three polls.
QString tst_VlcPlayer::pausedMismatch()
{
    QStringList wrong;
    if (!child<QWidget>("display")->isVisible())
        wrong << "video surface hidden";
    if (btnPause()->styleSheet() != QLatin1String(playerPlayStyle))
        wrong << "pause button without the play picture";
    const QString frozen = curtime()->text();
    QSignalSpy ticks(pollTimer(), &QTimer::timeout);
    if (!ticks.wait(2000) || !ticks.wait(2000) || !ticks.wait(2000))
        wrong << "not polling";
    if (curtime()->text() != frozen)
        wrong << QStringLiteral("time moved from %1 to %2").arg(frozen, curtime()->text());
    return wrong.join(QStringLiteral(", "));
}

void tst_VlcPlayer::pauseHoldsOnlyAPlayingPreview_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("pausedAfter");
    QTest::newRow("playing pauses") << "playing" << true;
    QTest::newRow("paused stays paused, not resumed") << "paused" << true;
    QTest::newRow("never started stays stopped") << "fresh" << false;
    QTest::newRow("stopped after playing stays stopped") << "stopped" << false;
}

void tst_VlcPlayer::pauseHoldsOnlyAPlayingPreview()
{
    QFETCH(QString, before);
    QFETCH(bool, pausedAfter);
    if (before != QLatin1String("fresh"))
        startAndWaitForTime(clip6);
    if (before == QLatin1String("paused")) {
        player->togglePause();
        QCOMPARE(btnPause()->styleSheet(), QString::fromLatin1(playerPlayStyle));
    } else if (before == QLatin1String("stopped")) {
        player->stop();
        QCOMPARE(stoppedMismatch(player.get()), QString());
    }

    player->pause();
    if (pausedAfter) {
        QCOMPARE(pausedMismatch(), QString());
        return;
    }
    // Nothing starts later either.
    QTest::qWait(1500);
    QCOMPARE(stoppedMismatch(player.get()), QString());
    QVERIFY(!pollTimer()->isActive());
}

void tst_VlcPlayer::userSeeks()
{
    player->setVideoPath(clip6, true);
    QTRY_COMPARE_WITH_TIMEOUT(duration()->text(), QStringLiteral("00:00:06"), processWaitMs);
    const QString before = curtime()->text();
    QVERIFY2(shownSeconds(curtime()) <= 2, qPrintable(before));

    auto *progress = child<QSlider>("progress");
    const int from = progress->value();
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(progress, Qt::Key_PageUp);
    QCOMPARE(progress->value(), from + 70);

    // Without the seek the next poll would show at most one second more.
    QTRY_VERIFY_WITH_TIMEOUT(curtime()->text() != before, processWaitMs);
    QVERIFY2(shownSeconds(curtime()) >= 4, qPrintable(before + QStringLiteral(" -> ") + curtime()->text()));
    QVERIFY(progress->value() >= 66);
}

void tst_VlcPlayer::secondFileStopsFirst()
{
    startAndWaitForTime(clip4);
    QTRY_COMPARE_WITH_TIMEOUT(duration()->text(), QStringLiteral("00:00:04"), processWaitMs);

    player->setVideoPath(clip6, true);
    QCOMPARE(curtime()->text(), QStringLiteral("00:00:00"));
    QCOMPARE(duration()->text(), QStringLiteral("00:00:00"));
    QCOMPARE(child<QSlider>("progress")->value(), 0);
    QCOMPARE(playingMismatch(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(duration()->text(), QStringLiteral("00:00:06"), processWaitMs);
}

void tst_VlcPlayer::emptyPathStopsAndStartsNothing()
{
    startAndWaitForTime(clip4);
    player->setVideoPath(QString(), true);
    QCOMPARE(stoppedMismatch(player.get()), QString());
    QVERIFY(!pollTimer()->isActive());

    QTest::mouseClick(btnPause(), Qt::LeftButton);
    QCOMPARE(stoppedMismatch(player.get()), QString());
}

void tst_VlcPlayer::unplayablePathLeavesPlayerStopped_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << dir.filePath(QStringLiteral("missing.mp4"));
    QTest::newRow("folder") << dir.path();
#ifndef Q_OS_WIN
    QTest::newRow("backslash separators") << QString(dir.path() + QStringLiteral("\\bars 4s.mp4"));
#endif
}

void tst_VlcPlayer::unplayablePathLeavesPlayerStopped()
{
    QFETCH(QString, path);
    player->setVideoPath(path, true);
    QTRY_COMPARE_WITH_TIMEOUT(stoppedMismatch(player.get()), QString(), processWaitMs);
    QVERIFY(!pollTimer()->isActive());
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(window == pane.get() || !window->isVisible(), qPrintable(window->objectName()));
}

void tst_VlcPlayer::withoutLibvlcNothingStarts()
{
    // libvlc refuses to start on an option it does not know.
    vlcplayer broken(nullptr, {"--no-such-option-anywhere"});
    broken.show();
    broken.setVideoPath(clip4, true);
    QCOMPARE(stoppedMismatch(&broken), QString());
}

QTEST_MAIN(tst_VlcPlayer)
#include "tst_vlcplayer.moc"
