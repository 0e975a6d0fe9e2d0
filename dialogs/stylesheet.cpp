#include "stylesheet.h"

#include <QFile>
#include <QString>
#include <QWidget>

void loadStyleSheet(QWidget *widget, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    widget->setStyleSheet(QString());
    widget->setStyleSheet(QString::fromLatin1(bytes));
    file.close();
}
