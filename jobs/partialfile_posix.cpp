#include "partialfile.h"

#include <cerrno>
#include <cstring>

#include <QFile>

#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "partialoutput.h"

namespace {

// A name taken by chance is drawn again; a folder that refuses this many
// random names refuses them all.
constexpr int createAttempts = 8;

// Off descriptors 0 to 2, which the transcoder's standard streams replace.
int awayFromStandardFds(int descriptor)
{
    if (descriptor < 0 || descriptor > STDERR_FILENO)
        return descriptor;
    const int moved = fcntl(descriptor, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(descriptor);
    return moved;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

PartialFile::~PartialFile()
{
    release();
}

int PartialFile::create(const QByteArray &finalPath)
{
    release();
    int error = EEXIST;
    for (int attempt = 0; attempt < createAttempts && error == EEXIST; ++attempt) {
        filePath = PartialOutput::pathFor(finalPath);
        const int made = open(filePath.constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (made < 0) {
            error = errno;
            continue;
        }
        fd = awayFromStandardFds(made);
        struct stat opened = {};
        struct stat there = {};
        if (fd < 0 || fstat(fd, &opened) != 0) {
            error = fd < 0 ? EMFILE : errno;
            unlink(filePath.constData());
            release();
            return error;
        }
        // A file system without locks (some FUSE mounts) keeps its files
        // unlocked; the sweep then never takes them either. The file may
        // only have been swept away before it was locked: then another name.
        flock(fd, LOCK_EX | LOCK_NB);
        if (lstat(filePath.constData(), &there) != 0 || !sameFile(opened, there)) {
            release();
            error = EEXIST;
            continue;
        }
        fileDevice = quint64(opened.st_dev);
        fileInode = quint64(opened.st_ino);
        return 0;
    }
    return error;
}

bool PartialFile::isIntact() const
{
    struct stat there = {};
    return fd >= 0 && lstat(filePath.constData(), &there) == 0 && S_ISREG(there.st_mode)
           && quint64(there.st_dev) == fileDevice && quint64(there.st_ino) == fileInode;
}

void PartialFile::remove()
{
    if (isIntact())
        unlink(filePath.constData());
    release();
}

void PartialFile::release()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    fileDevice = 0;
    fileInode = 0;
}

QByteArray PartialFile::failureLine(int error) const
{
    static const locale_t plain = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const char *reason = plain ? strerror_l(error, plain) : nullptr;
    return filePath + ": " + (reason ? QByteArray(reason) : "error " + QByteArray::number(error))
           + '\n';
}

bool PartialFile::removeUnlessHeld(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // Read-only and shared: any file the folder lets us remove can be
    // looked at so, and a writer's exclusive lock still refuses it.
    const int descriptor = open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat opened = {};
    struct stat there = {};
    const bool removed = fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode)
                         && flock(descriptor, LOCK_SH | LOCK_NB) == 0
                         && lstat(name.constData(), &there) == 0 && sameFile(opened, there)
                         && unlink(name.constData()) == 0;
    close(descriptor);
    return removed;
}

quint64 PartialFile::inodeAt(const QByteArray &path)
{
    struct stat there = {};
    if (path.isEmpty() || lstat(path.constData(), &there) != 0 || !S_ISREG(there.st_mode))
        return 0;
    return quint64(there.st_ino);
}
