#pragma once

#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Asks the desktop not to suspend or blank the screen for idleness, through
// the desktop portal (org.freedesktop.portal.Inhibit) or, where there is none,
// org.freedesktop.ScreenSaver. The calls never wait: a request still on its
// way when release() comes is let go as soon as it is granted.
class SleepInhibitor final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SleepInhibitor)

public:
    explicit SleepInhibitor(QObject *parent = nullptr);
    ~SleepInhibitor() override;

    // `window` is the portal's parent-window identifier ("x11:<hex id>"), or
    // empty.
    void inhibit(const QString &window, const QString &reason);
    void release();

private:
    enum class Held { Nothing, Portal, ScreenSaver };

    void askPortal(const QString &window);
    void portalAnswered(QDBusPendingCallWatcher *watcher);
    void askScreenSaver();
    void screenSaverAnswered(QDBusPendingCallWatcher *watcher);
    void granted(Held kind);
    void letGo();

    bool wanted = false;
    bool asking = false;
    Held held = Held::Nothing;
    QString reasonText;
    QString portalRequest;
    uint screenSaverCookie = 0;
};
