#pragma once

#include <qwindowdefs.h>

struct libvlc_media_player_t;

// Hands libvlc the native window that video is drawn into. Each platform
// has its own call, so each has its own implementation file. Returns false
// when the window system gives the widget no window libvlc could draw into;
// libvlc would then open an output of its own outside the pane.
bool bindVideoWindow(libvlc_media_player_t *mediaPlayer, WId window);
