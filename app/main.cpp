#include <QApplication>

#include "commandline.h"
#include "desktopentry.h"
#include "fonts.h"
#include "highdpi.h"
#include "mainwindow.h"
#include "platformchoice.h"
#include "qttranslation.h"
#include "singleinstance.h"
#include "transcodeprocess.h"

int main(int argc, char *argv[])
{
    // Before any child starts: its exit status decides whether its file is kept.
    restoreChildExitSignal();
    enableHighDpiScaling();
    const bool choseX11 = preferX11OnWayland();
    QCoreApplication::setApplicationName(QStringLiteral("vantor-converter"));
    QApplication application(argc, argv);
    // The file manager and browser the program opens keep the session's own
    // platform.
    if (choseX11)
        qunsetenv("QT_QPA_PLATFORM");
    QGuiApplication::setDesktopFileName(QLatin1String(desktopEntryName));
    installQtTranslation(application);
    installFontSubstitutes();

    const QStringList paths = commandLinePaths(QCoreApplication::arguments());
    SingleInstance instance;
    if (instance.handOver(paths))
        return 0;

    MainWindow window;
    QObject::connect(&instance, &SingleInstance::pathsReceived, &window,
                     [&window](const QStringList &handed) {
                         window.addInputPaths(handed);
                         window.showNormal();
                         window.raise();
                         window.activateWindow();
                     });
    window.addInputPaths(paths);
    return application.exec();
}
