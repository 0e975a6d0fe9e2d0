#include <QApplication>

#include "fonts.h"
#include "mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    installFontSubstitutes();
    MainWindow window;
    window.show();
    return application.exec();
}
