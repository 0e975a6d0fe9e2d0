#include "partialoutput.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include "partialfile.h"
#include "transcodeprocess.h"

namespace {

// The last part is the random one, or the counter of older converters.
const QRegularExpression partialName(
    QStringLiteral("^\\.vantor-([A-Za-z0-9._-]+)-(\\d+)-[0-9a-f]+\\.part(\\.[^./]*)?$"));
const QRegularExpression hostlessName(QStringLiteral("^\\.vantor-(\\d+)-\\d+\\.part(\\.[^./]*)?$"));
// A running job writes its file all the time.
constexpr qint64 hostlessQuietSecs = 24 * 60 * 60;
// The longest host name Linux keeps.
constexpr int maxHostTagBytes = 64;

bool writerIsGone(const QFileInfo &file, const QString &thisHost)
{
    // The two forms never match the same name: the older one has two numbers
    // after the prefix, this one a host, a number and a random part.
    QRegularExpressionMatch match = hostlessName.match(file.fileName());
    if (match.hasMatch()) {
        return !processIsAlive(match.captured(1).toInt())
               && file.lastModified().secsTo(QDateTime::currentDateTime()) > hostlessQuietSecs;
    }
    match = partialName.match(file.fileName());
    return match.hasMatch() && match.captured(1) == thisHost
           && !processIsAlive(match.captured(2).toInt());
}

} // namespace

QByteArray PartialOutput::hostTag()
{
    QByteArray tag = QSysInfo::machineHostName().toUtf8().left(maxHostTagBytes);
    for (char &c : tag) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                          || c == '.' || c == '_' || c == '-';
        if (!safe)
            c = '_';
    }
    return tag.isEmpty() ? QByteArrayLiteral("localhost") : tag;
}

QByteArray PartialOutput::pathFor(const QByteArray &finalPath)
{
    const QByteArray random =
        QByteArray::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0');
    const QFileInfo info(QString::fromUtf8(finalPath));
    const QByteArray suffix = info.suffix().isEmpty() ? QByteArray() : '.' + info.suffix().toUtf8();
    const int slash = finalPath.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : finalPath.left(slash);
    return folder + "/.vantor-" + hostTag() + '-' + QByteArray::number(QCoreApplication::applicationPid())
           + '-' + random + ".part" + suffix;
}

int PartialOutput::removeLeftovers(const QString &folder)
{
    const QDir dir(folder);
    const QString thisHost = QString::fromUtf8(hostTag());
    int removed = 0;
    const QFileInfoList files = dir.entryInfoList(
        {QStringLiteral(".vantor-*.part*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        if (writerIsGone(file, thisHost))
            removed += PartialFile::removeUnlessHeld(file.filePath()) ? 1 : 0;
    }
    return removed;
}
