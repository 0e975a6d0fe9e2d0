#include "highdpi.h"

#include <QCoreApplication>
#include <QGuiApplication>

void enableHighDpiScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Rounded factors would leave a 125 % or 150 % desktop at 100 % or
    // 200 %: the window too small for its texts, or far too large.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}
