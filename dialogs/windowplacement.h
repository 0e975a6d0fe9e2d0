#pragma once

#include <QPoint>

class QWidget;

// Top-left corner that centres a window on a desktop. The divisions truncate
// toward zero, so a window larger than the desktop gets a negative corner.
QPoint centredPosition(int desktopWidth, int desktopHeight, int width, int height);

// Moves a top-level widget to the centre of the application's whole desktop.
void centreOnDesktop(QWidget *window);
