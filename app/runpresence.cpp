#include "runpresence.h"

#include <QApplication>
#include <QWidget>

RunPresence::RunPresence(QWidget *window)
    : QObject(window)
    , window(window)
{
}

void RunPresence::showProgress(double share)
{
    const int shown = qBound(0, int(share * 100), 100);
    if (running && shown == percent)
        return;
    if (!running) {
        running = true;
        paused = false;
        plainTitle = window->windowTitle();
        inhibitor.inhibit(windowIdentifier(), QStringLiteral("正在转码"));
    }
    percent = shown;
    showTitle();
    // The same figure as the title's.
    launcher.show(percent / 100.0);
}

void RunPresence::showPaused(bool pause)
{
    if (!running || pause == paused)
        return;
    paused = pause;
    if (paused)
        inhibitor.release();
    else
        inhibitor.inhibit(windowIdentifier(), QStringLiteral("正在转码"));
    showTitle();
}

void RunPresence::showTitle()
{
    const QString state = paused ? QStringLiteral("已暂停 ") : QString();
    window->setWindowTitle(QStringLiteral("[%1%2%] %3").arg(state).arg(percent).arg(plainTitle));
}

void RunPresence::showEnd(bool finished, int succeeded, int failed)
{
    if (!running)
        return;
    running = false;
    paused = false;
    window->setWindowTitle(plainTitle);
    if (finished && unwatched())
        notifier.notify(QStringLiteral("转码任务完成"),
                        QStringLiteral("成功 %1 个，失败 %2 个").arg(succeeded).arg(failed));
    launcher.clear();
    inhibitor.release();
}

bool RunPresence::unwatched() const
{
    // Any window of the program in front (a question, the summary) counts as
    // watched; only another program's window or a minimised one does not.
    return window->isMinimized() || !QApplication::activeWindow();
}

QString RunPresence::windowIdentifier() const
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return QString();
    return QStringLiteral("x11:%1").arg(window->winId(), 0, 16);
}
