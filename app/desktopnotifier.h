#pragma once

#include <QString>

// A notice on the desktop (org.freedesktop.Notifications). Sent without
// waiting for an answer; a desktop without the service shows nothing.
class DesktopNotifier final
{
public:
    void notify(const QString &summary, const QString &body);
};
