#include "windowplacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace {

// Screens of different densities are not one contiguous area in Qt's
// device-independent coordinates, so a window is centred on one screen.
const QScreen *screenOf(const QWidget *window)
{
    const QWidget *parent = window->parentWidget();
    const QScreen *screen = parent ? parent->window()->screen() : window->screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace

QPoint centredPosition(int desktopWidth, int desktopHeight, int width, int height)
{
    return QPoint((desktopWidth - width) / 2, (desktopHeight - height) / 2);
}

void centreOnDesktop(QWidget *window)
{
    const QScreen *screen = screenOf(window);
    if (!screen)
        return;
    const QRect desktop = screen->geometry();
    window->move(desktop.topLeft() + centredPosition(desktop.width(), desktop.height(),
                                                     window->width(), window->height()));
}
