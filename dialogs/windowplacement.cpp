#include "windowplacement.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QWidget>

QPoint centredPosition(int desktopWidth, int desktopHeight, int width, int height)
{
    return QPoint((desktopWidth - width) / 2, (desktopHeight - height) / 2);
}

void centreOnDesktop(QWidget *window)
{
    const QWidget *desktop = QApplication::desktop();
    window->move(centredPosition(desktop->width(), desktop->height(),
                                 window->width(), window->height()));
}
