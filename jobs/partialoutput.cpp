#include "partialoutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "transcodeprocess.h"

namespace {

const QRegularExpression partialName(QStringLiteral("^\\.vantor-(\\d+)-\\d+\\.part(\\.[^./]*)?$"));

} // namespace

QByteArray PartialOutput::pathFor(const QByteArray &finalPath)
{
    static int sequence = 0;
    const QFileInfo info(QString::fromUtf8(finalPath));
    const QByteArray suffix = info.suffix().isEmpty() ? QByteArray() : '.' + info.suffix().toUtf8();
    const int slash = finalPath.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : finalPath.left(slash);
    return folder + "/.vantor-" + QByteArray::number(QCoreApplication::applicationPid()) + '-'
           + QByteArray::number(++sequence) + ".part" + suffix;
}

bool PartialOutput::isPartialName(const QString &fileName, int *pid)
{
    const QRegularExpressionMatch match = partialName.match(fileName);
    if (!match.hasMatch())
        return false;
    if (pid)
        *pid = match.captured(1).toInt();
    return true;
}

int PartialOutput::removeLeftovers(const QString &folder)
{
    int removed = 0;
    const QStringList names = QDir(folder).entryList(
        {QStringLiteral(".vantor-*.part*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        int writer = 0;
        if (!isPartialName(name, &writer) || processIsAlive(writer))
            continue;
        removed += QFile::remove(QDir(folder).filePath(name)) ? 1 : 0;
    }
    return removed;
}
