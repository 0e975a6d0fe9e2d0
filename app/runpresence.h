#pragma once

#include <QObject>
#include <QString>

#include "desktopnotifier.h"
#include "launcherprogress.h"
#include "sleepinhibitor.h"

class QWidget;

// A batch run as the rest of the desktop sees it: "[3/10]" before the
// window's title in the task bar, the finished share on the launcher, no
// sleep while it lasts, and a notification when it ends unwatched.
class RunPresence final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunPresence)

public:
    explicit RunPresence(QWidget *window);

    // Job `position` (from 1) of the `total` rows the run takes part in has
    // started.
    void showJob(int position, int total);
    // The run is over; `finished` when each of its rows succeeded or failed
    // (rather than being cancelled).
    void showEnd(bool finished, int succeeded, int failed);

private:
    bool unwatched() const;
    QString windowIdentifier() const;

    QWidget *window;
    QString plainTitle;
    bool running = false;
    SleepInhibitor inhibitor;
    LauncherProgress launcher;
    DesktopNotifier notifier;
};
