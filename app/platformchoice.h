#pragma once

// On a Wayland session, asks Qt for the xcb platform (XWayland) unless
// QT_QPA_PLATFORM already names one: the frameless window places and moves
// itself, and the preview draws into a native X11 window. Runs before the
// application object exists; true when it set the variable.
bool preferX11OnWayland();
