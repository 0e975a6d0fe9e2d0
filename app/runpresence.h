#pragma once

#include <QObject>
#include <QString>

#include "desktopnotifier.h"
#include "launcherprogress.h"
#include "sleepinhibitor.h"

class QWidget;

// A batch run as the rest of the desktop sees it: the share done ("[42%]")
// before the window's title in the task bar and on the launcher, no sleep
// while it converts, and a notification when it ends unwatched.
class RunPresence final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunPresence)

public:
    explicit RunPresence(QWidget *window);

    // The run has done `share` (0 to 1) of its work.
    void showProgress(double share);
    // A paused run lets the machine sleep, and the title says it waits.
    void showPaused(bool paused);
    // The run is over; `finished` when each of its rows succeeded or failed
    // (rather than being cancelled).
    void showEnd(bool finished, int succeeded, int failed);

private:
    bool unwatched() const;
    QString windowIdentifier() const;
    void showTitle();

    QWidget *window;
    QString plainTitle;
    bool running = false;
    bool paused = false;
    int percent = 0;
    SleepInhibitor inhibitor;
    LauncherProgress launcher;
    DesktopNotifier notifier;
};
