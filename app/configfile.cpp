#include "configfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include "resultcodes.h"

namespace {

const char fileName[] = "conf_main.json";
const char folderKey[] = "VideosDir";
const char parallelKey[] = "ParallelJobs";
constexpr int mostParallelJobs = 8;

// A symbolic link counts as present even when it points nowhere: it is the
// user's file and must not be bypassed by one in the configuration folder.
bool isPresent(const QFileInfo &info)
{
    return info.exists() || info.isSymLink();
}

} // namespace

ConfigFile::ConfigFile()
{
    const QFileInfo local(QDir::current().absoluteFilePath(QLatin1String(fileName)));
    if (isPresent(local)) {
        filePath = local.filePath();
        return;
    }
    filePath = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
               + QLatin1Char('/') + QLatin1String(fileName);
}

QJsonObject ConfigFile::read() const
{
    // Opening a FIFO or a device would block or read without end; a link to
    // a regular file is read like the file.
    if (!QFileInfo(filePath).isFile())
        return {};
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    return document.object();
}

QString ConfigFile::storedFolder() const
{
    const QString stored = read().value(QLatin1String(folderKey)).toString();
    return stored.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(stored));
}

int ConfigFile::parallelJobs() const
{
    const QJsonValue value = read().value(QLatin1String(parallelKey));
    const double jobs = value.toDouble(0);
    return jobs >= 1 && jobs <= mostParallelJobs && jobs == int(jobs) ? int(jobs) : 0;
}

int ConfigFile::load(QString &dir) const
{
    const QJsonObject object = read();
    if (!object.contains(QLatin1String(folderKey)))
        return ResultUnusable;
    const QString stored = object.value(QLatin1String(folderKey)).toString();
    if (stored.isEmpty())
        return ResultUnusable;
    // A relative folder is taken from the working folder; kept relative it
    // would reach the transcoder as written, and "-x" would be an option.
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(stored));
    if (!QFileInfo(absolute).isDir())
        return ResultUnusable;
    dir = absolute;
    return ResultOk;
}

int ConfigFile::save(const QString &dir) const
{
    // Never through a link (that would replace the file it points to) and
    // never over a folder, FIFO or device.
    const QFileInfo info(filePath);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return ResultUnusable;
    if (!QDir().mkpath(info.absolutePath()))
        return ResultUnusable;
    // Written beside and renamed into place, so that a crash or a full disk
    // never leaves half a file behind.
    QSaveFile file(filePath);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return ResultUnusable;
    QJsonObject object;
    object.insert(QLatin1String(folderKey), dir);
    if (const int jobs = parallelJobs())
        object.insert(QLatin1String(parallelKey), jobs);
    file.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
    return file.commit() ? ResultOk : ResultUnusable;
}
