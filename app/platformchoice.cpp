#include "platformchoice.h"

#include <QByteArray>
#include <QtGlobal>

bool preferX11OnWayland()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return false;
    const bool wayland = qgetenv("XDG_SESSION_TYPE") == "wayland"
                         || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!wayland)
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}
