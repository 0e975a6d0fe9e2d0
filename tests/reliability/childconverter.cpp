// A converter of its own for the tests that kill one: the real window,
// offscreen, with the files of its command line listed and the run started
// at once. The output folder comes from conf_main.json in the working
// folder, the transcoder from PATH, as for the real program.
#include <QApplication>
#include <QPushButton>

#include "mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    MainWindow window;
    window.setFreeSpaceFloor(0);
    for (int i = 1; i < argc; ++i)
        window.addInputFile(QByteArray(argv[i]));
    window.setMainState(MainWindow::MainStateReady);
    window.findChild<QPushButton *>(QStringLiteral("btnConvertStart"))->click();
    return application.exec();
}
