#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "clips.h"
#include "vlcplayer.h"

// Widget tests elsewhere run the main window, and with it the player, on the
// offscreen platform, where no window exists for libvlc to draw into.
class tst_VlcPlayerOffscreen final : public QObject
{
    Q_OBJECT

private slots:
    void refusesToPlayWithoutWindow();
};

void tst_VlcPlayerOffscreen::refusesToPlayWithoutWindow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString clip = dir.filePath(QStringLiteral("bars.mp4"));
    QVERIFY(makeTestClip(clip, 2));

    vlcplayer player(nullptr, {"--aout=adummy", "--quiet"});
    player.show();
    player.setVideoPath(clip, true);
    QVERIFY(player.findChild<QWidget *>(QStringLiteral("display"))->isHidden());
    QVERIFY(player.findChild<QLabel *>(QStringLiteral("labelDisplay"))->isVisible());
    QVERIFY(!player.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->isActive());
}

QTEST_MAIN(tst_VlcPlayerOffscreen)
#include "tst_vlcplayer_offscreen.moc"
