#include "nativewindow.h"

#include <cstdint>

#include <QGuiApplication>
#include <QLatin1String>

#include <vlc/vlc.h>

bool bindVideoWindow(libvlc_media_player_t *mediaPlayer, WId window)
{
    // Only the xcb platform backs winId() with a real X window; the id of
    // any other platform (offscreen) is unknown to the X server, and left
    // unbound libvlc falls back to a terminal output that crashes.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    libvlc_media_player_set_xwindow(mediaPlayer, static_cast<std::uint32_t>(window));
    return true;
}
