#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QWidget>

#include "ui_vlcplayer.h"

class QTimer;
struct libvlc_instance_t;
struct libvlc_media_player_t;
struct libvlc_media_t;

// The preview pane: plays one file at a time through libvlc inside the
// native window of its display child and polls libvlc once a second for
// time, length and the end of the file. Everything runs on the GUI thread.
class vlcplayer final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(vlcplayer)

public:
    explicit vlcplayer(QWidget *parent = nullptr);
    // Starts libvlc with the given command-line options instead of its
    // defaults, for machines where those do not fit (no sound device).
    vlcplayer(QWidget *parent, const QByteArrayList &vlcArguments);
    ~vlcplayer() override;

    void setVideoPath(const QString &path, bool autoPlay);
    void stop();
    void togglePause();
    // Pauses a playing file; a paused or stopped one stays as it is.
    void pause();

    // "hh:mm:ss", each field at least two digits wide.
    static QString formatTime(int ms);

private slots:
    void onBtnStart();
    void onBtnPause();
    void onBtnStop();
    void onProgressChanged(int pos);
    void onTimer();
    void onBtnVolume();
    void onBtnMute();
    void onVolumeChanged(int pos);

private:
    enum PlayState { Stopped = 0, Playing = 1, Paused = 2 };
    // What openMedia() returns; the player never shows them.
    enum OpenResult : int {
        OpenOk = 0,
        OpenNoLibvlc = -201,
        OpenNoMedia = -202,
        OpenNoMediaPlayer = -203,
        OpenPlayRefused = -204,
    };

    int openMedia(const QByteArray &path);
    void releaseMediaPlayer();
    void resetControls();
    void showVolumeControls();

    Ui::vlcplayer ui;
    QByteArray mediaPath;
    QTimer *timer = nullptr;
    libvlc_instance_t *vlcInstance = nullptr;
    libvlc_media_player_t *mediaPlayer = nullptr;
    libvlc_media_t *media = nullptr;
    int playState = Stopped;
    int lengthMs = 0;
    int timeMs = 0;
    int progressPos = 0;
    int volumeLevel = 0;
};
