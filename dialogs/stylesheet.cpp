#include "stylesheet.h"

#include <QFile>
#include <QString>
#include <QWidget>

#include "picturescale.h"

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
    setScaledStyleSheet(widget, QString::fromLatin1(bytes));
    file.close();
}
