#include <QApplication>

#include "fonts.h"
#include "highdpi.h"
#include "mainwindow.h"

int main(int argc, char *argv[])
{
    enableHighDpiScaling();
    QApplication application(argc, argv);
    installFontSubstitutes();
    MainWindow window;
    window.show();
    return application.exec();
}
