#include "statefolderlock.h"

#include <cerrno>

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

StateFolderLock::~StateFolderLock()
{
    if (fd >= 0)
        close(fd);
}

StateFolderLock::Outcome StateFolderLock::take(const QString &folder)
{
    if (fd >= 0)
        return Taken;
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/queue.lock"));
    // Close-on-exec: a transcoder left running must not hold the list.
    const int opened =
        open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (opened < 0)
        return Unavailable;
    struct stat status = {};
    if (fstat(opened, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(opened);
        return Unavailable;
    }
    int locked;
    do {
        locked = flock(opened, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(opened);
        return held ? HeldElsewhere : Unavailable;
    }
    fd = opened;
    return Taken;
}
