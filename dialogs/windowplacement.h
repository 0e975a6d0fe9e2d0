#pragma once

#include <QPoint>

class QWidget;

// Top-left corner that centres a window on a desktop. The divisions truncate
// toward zero, so a window larger than the desktop gets a negative corner.
QPoint centredPosition(int desktopWidth, int desktopHeight, int width, int height);

// Moves a top-level widget to the centre of its screen: for a dialog, the
// screen its parent window is on. Everything is in device-independent
// pixels, so the result is the same at any density.
void centreOnDesktop(QWidget *window);
