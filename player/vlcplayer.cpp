#include "vlcplayer.h"

#include <vector>

#include <QDir>
#include <QTimer>
#include <QtGlobal>

#include <vlc/vlc.h>

#include "nativewindow.h"
#include "picturescale.h"
#include "styleconstants.h"
#include "stylesheet.h"

namespace {

libvlc_instance_t *startLibvlc(const QByteArrayList &arguments)
{
    if (arguments.isEmpty())
        return libvlc_new(0, nullptr);
    std::vector<const char *> argv;
    argv.reserve(static_cast<std::size_t>(arguments.size()));
    for (const QByteArray &argument : arguments)
        argv.push_back(argument.constData());
    return libvlc_new(static_cast<int>(argv.size()), argv.data());
}

} // namespace

vlcplayer::vlcplayer(QWidget *parent)
    : vlcplayer(parent, QByteArrayList())
{
}

vlcplayer::vlcplayer(QWidget *parent, const QByteArrayList &vlcArguments)
    : QWidget(parent)
{
    ui.setupUi(this);
    loadStyleSheet(this, QStringLiteral(":/qss/css/vlcplayer.css"));
    ui.btnStart->hide();
    ui.labelDisplay->setText(QString());

    // libvlc draws into display's own native window. Qt must neither paint
    // over it (a repaint while paused would blank the frame) nor make its
    // ancestors native as well.
    ui.display->setAttribute(Qt::WA_DontCreateNativeAncestors);
    ui.display->setAttribute(Qt::WA_NativeWindow);
    ui.display->setAttribute(Qt::WA_OpaquePaintEvent);
    ui.display->setAttribute(Qt::WA_NoSystemBackground);

    setScaledStyleSheet(ui.btnPause, QString::fromLatin1(playerPlayStyle));
    ui.progress->setRange(0, 100);
    volumeLevel = 100;
    ui.volume->setRange(0, 100);

    connect(ui.btnStart, &QPushButton::clicked, this, &vlcplayer::onBtnStart);
    connect(ui.btnPause, &QPushButton::clicked, this, &vlcplayer::onBtnPause);
    connect(ui.btnStop, &QPushButton::clicked, this, &vlcplayer::onBtnStop);
    connect(ui.btnVolume, &QPushButton::clicked, this, &vlcplayer::onBtnVolume);
    connect(ui.btnMute, &QPushButton::clicked, this, &vlcplayer::onBtnMute);
    connect(ui.progress, &QSlider::valueChanged, this, &vlcplayer::onProgressChanged);
    connect(ui.volume, &QSlider::valueChanged, this, &vlcplayer::onVolumeChanged);
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &vlcplayer::onTimer);

    resetControls();
    vlcInstance = startLibvlc(vlcArguments);
}

vlcplayer::~vlcplayer()
{
    // The media player must let go of display's native window before the
    // widget tree below destroys it.
    if (playState != Stopped && mediaPlayer)
        onBtnStop();
    if (vlcInstance)
        libvlc_release(vlcInstance);
}

void vlcplayer::setVideoPath(const QString &path, bool autoPlay)
{
    mediaPath = QDir::toNativeSeparators(path).toUtf8();
    if (!autoPlay)
        return;
    if (playState != Stopped)
        onBtnStop();
    onBtnStart();
}

void vlcplayer::stop()
{
    onBtnStop();
}

void vlcplayer::togglePause()
{
    onBtnPause();
}

void vlcplayer::pause()
{
    if (playState == Playing)
        onBtnPause();
}

QString vlcplayer::formatTime(int ms)
{
    const int s = ms / 1000;
    const int hours = s / 3600;
    const int minutes = (s - hours * 3600) / 60;
    const int seconds = s - (s / 60) * 60;
    const QChar zero(u'0');
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, zero)
        .arg(minutes, 2, 10, zero)
        .arg(seconds, 2, 10, zero);
}

void vlcplayer::onBtnStart()
{
    if (playState != Stopped || mediaPath.isEmpty())
        return;
    if (openMedia(mediaPath) != OpenOk)
        return;
    setScaledStyleSheet(ui.btnPause, QString::fromLatin1(playerPauseStyle));
    playState = Playing;
    if (mediaPlayer) {
        libvlc_audio_set_volume(mediaPlayer, volumeLevel);
        ui.display->show();
        ui.labelDisplay->hide();
        timer->start(1000);
    }
}

void vlcplayer::onBtnPause()
{
    if (!mediaPlayer)
        return;
    if (playState == Playing) {
        libvlc_media_player_set_pause(mediaPlayer, 1);
        playState = Paused;
        setScaledStyleSheet(ui.btnPause, QString::fromLatin1(playerPlayStyle));
    } else if (playState == Paused) {
        libvlc_media_player_set_pause(mediaPlayer, 0);
        playState = Playing;
        setScaledStyleSheet(ui.btnPause, QString::fromLatin1(playerPauseStyle));
    }
}

void vlcplayer::onBtnStop()
{
    if (playState == Stopped || !mediaPlayer)
        return;
    libvlc_media_player_stop(mediaPlayer);
    releaseMediaPlayer();
    timer->stop();
    resetControls();
}

void vlcplayer::onProgressChanged(int pos)
{
    if (mediaPlayer && pos != progressPos)
        libvlc_media_player_set_position(mediaPlayer, static_cast<float>(pos / 100.0));
}

void vlcplayer::onTimer()
{
    if (playState != Playing || !mediaPlayer)
        return;
    timeMs = static_cast<int>(libvlc_media_player_get_time(mediaPlayer));
    if (timeMs > 0)
        ui.curtime->setText(formatTime(timeMs));
    lengthMs = static_cast<int>(libvlc_media_player_get_length(mediaPlayer));
    if (lengthMs > 0) {
        ui.duration->setText(formatTime(lengthMs));
        // Stored before the slider moves so that the poll's own moves never
        // seek; kept inside the range so the slider cannot clamp it to a
        // different value either.
        progressPos = static_cast<int>(qBound<qint64>(0, qint64(timeMs) * 100 / lengthMs, 100));
        ui.progress->setValue(progressPos);
    }
    if (libvlc_media_player_get_state(mediaPlayer) == libvlc_Ended)
        onBtnStop();
}

void vlcplayer::onBtnVolume()
{
    ui.volume->setValue(0);
}

void vlcplayer::onBtnMute()
{
    ui.volume->setValue(100);
}

void vlcplayer::onVolumeChanged(int pos)
{
    volumeLevel = pos;
    showVolumeControls();
    if (mediaPlayer)
        libvlc_audio_set_volume(mediaPlayer, volumeLevel);
}

// OpenPlayRefused also when there is no window to draw into. Whatever was
// made before a failure is released.
int vlcplayer::openMedia(const QByteArray &path)
{
    if (!vlcInstance)
        return OpenNoLibvlc;
    const WId window = ui.display->winId();
    media = libvlc_media_new_path(vlcInstance, path.constData());
    if (!media)
        return OpenNoMedia;
    mediaPlayer = libvlc_media_player_new_from_media(media);
    // The media player keeps its own reference to the media.
    libvlc_media_release(media);
    media = nullptr;
    if (!mediaPlayer)
        return OpenNoMediaPlayer;
    if (!bindVideoWindow(mediaPlayer, window) || libvlc_media_player_play(mediaPlayer) != 0) {
        releaseMediaPlayer();
        return OpenPlayRefused;
    }
    return OpenOk;
}

void vlcplayer::releaseMediaPlayer()
{
    libvlc_media_player_release(mediaPlayer);
    mediaPlayer = nullptr;
}

void vlcplayer::resetControls()
{
    playState = Stopped;
    setScaledStyleSheet(ui.btnPause, QString::fromLatin1(playerPlayStyle));
    lengthMs = 0;
    timeMs = 0;
    progressPos = 0;
    ui.progress->setValue(0);
    ui.curtime->setText(formatTime(timeMs));
    ui.duration->setText(formatTime(lengthMs));
    ui.display->hide();
    ui.labelDisplay->show();
    showVolumeControls();
}

void vlcplayer::showVolumeControls()
{
    // The loudspeaker while there is sound, the mute button at 0.
    if (volumeLevel > 0) {
        ui.btnMute->hide();
        ui.btnVolume->show();
        ui.volume->setValue(volumeLevel);
    } else {
        ui.btnMute->show();
        ui.btnVolume->hide();
    }
}
