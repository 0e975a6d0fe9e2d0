#include "runpresence.h"

#include <QApplication>
#include <QWidget>

RunPresence::RunPresence(QWidget *window)
    : QObject(window)
    , window(window)
{
}

void RunPresence::showJob(int position, int total)
{
    if (total <= 0)
        return;
    if (!running) {
        running = true;
        plainTitle = window->windowTitle();
        inhibitor.inhibit(windowIdentifier(), QStringLiteral("正在转码"));
    }
    window->setWindowTitle(QStringLiteral("[%1/%2] %3").arg(position).arg(total).arg(plainTitle));
    launcher.show(double(position - 1) / total);
}

void RunPresence::showEnd(bool finished, int succeeded, int failed)
{
    if (!running)
        return;
    running = false;
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
