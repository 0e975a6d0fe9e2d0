#include "commandline.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

QStringList commandLinePaths(const QStringList &arguments)
{
    QStringList paths;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        // An empty argument would otherwise name the working folder itself.
        if (argument.isEmpty())
            continue;
        const QString path = argument.startsWith(QLatin1String("file://"))
                                 ? QUrl(argument).toLocalFile()
                                 : QFileInfo(argument).absoluteFilePath();
        if (!path.isEmpty())
            paths << QDir::cleanPath(path);
    }
    return paths;
}
