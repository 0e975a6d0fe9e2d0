#include "nativewindow.h"

#include <vlc/vlc.h>

bool bindVideoWindow(libvlc_media_player_t *mediaPlayer, WId window)
{
    libvlc_media_player_set_hwnd(mediaPlayer, reinterpret_cast<void *>(window));
    return true;
}
