#include "durablefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "transcodeprocess.h"

namespace {

// ".<name>.<pid>.tmp" beside the file: hidden, and the writer's id tells a
// leftover from a write still going on in another converter.
QString temporaryPath(const QString &path, qint64 pid)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.')
           + QString::number(pid) + QStringLiteral(".tmp");
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// O_NONBLOCK keeps a FIFO from blocking the open; O_NOFOLLOW refuses a link.
int openRegular(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
        || ::fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

DurableFile::Kind DurableFile::kindAt(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT ? Absent : Other;
    return S_ISREG(status.st_mode) ? Regular : Other;
}

bool DurableFile::replace(const QString &path, const QByteArray &bytes)
{
    if (kindAt(path) == Other)
        return false;
    const QString temporary = temporaryPath(path, QCoreApplication::applicationPid());
    const QByteArray temporaryName = QFile::encodeName(temporary);
    ::unlink(temporaryName.constData());
    const int fd = openRegular(temporary, O_WRONLY | O_CREAT | O_EXCL);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    ::close(fd);
    // Checked again just before the rename, which would replace a link or a
    // file that turned up meanwhile rather than write through it.
    if (!written || kindAt(path) == Other
        || ::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temporaryName.constData());
        return false;
    }
    return syncFolder(QFileInfo(path).absolutePath());
}

bool DurableFile::syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool DurableFile::makeFolder(const QString &folder)
{
    const QString absolute = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).absolutePath();
    if (parent == absolute || !makeFolder(parent))
        return false;
    if (::mkdir(QFile::encodeName(absolute).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return syncFolder(parent);
}

void DurableFile::removeStaleTemporaries(const QString &path)
{
    const QFileInfo info(path);
    const QDir folder(info.absolutePath());
    const QString prefix = QLatin1Char('.') + info.fileName() + QLatin1Char('.');
    const QStringList names = folder.entryList({prefix + QStringLiteral("*.tmp")},
                                               QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        bool numeric = false;
        const qint64 pid = name.mid(prefix.size(), name.size() - prefix.size() - 4).toLongLong(&numeric);
        if (numeric && pid != QCoreApplication::applicationPid() && !processIsAlive(int(pid)))
            QFile::remove(folder.filePath(name));
    }
}

AppendFile::~AppendFile()
{
    close();
}

bool AppendFile::open(const QString &path)
{
    close();
    fd = openRegular(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0)
        return false;
    struct stat status = {};
    ::fstat(fd, &status);
    length = status.st_size;
    return true;
}

bool AppendFile::append(const QByteArray &bytes)
{
    if (fd < 0)
        return false;
    if (writeAll(fd, bytes.constData(), bytes.size()) && ::fdatasync(fd) == 0) {
        length += bytes.size();
        return true;
    }
    // A full disk may have taken part of the record.
    truncate(length);
    return false;
}

bool AppendFile::truncate(qint64 bytes)
{
    if (fd < 0 || ::ftruncate(fd, bytes) != 0 || ::fdatasync(fd) != 0)
        return false;
    length = bytes;
    return true;
}

void AppendFile::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    length = 0;
}
