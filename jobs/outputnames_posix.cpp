#include "outputnames.h"

#include <cerrno>
#include <cstdio>

#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxRenameAttempts = 100;

enum class RenameOutcome { Renamed, Taken, Failed };

// No file system is asked to replace a name: the kernel refuses a taken one
// in the same step that would take it.
RenameOutcome renameUnlessTaken(const char *from, const char *to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return RenameOutcome::Renamed;
    if (errno == EEXIST)
        return RenameOutcome::Taken;
    if (errno != EINVAL && errno != ENOSYS)
        return RenameOutcome::Failed;
    // A file system without that rename (NFS): a hard link fails the same
    // way on a taken name. Were the old name to stay, the file would only
    // have two names.
    if (link(from, to) == 0) {
        unlink(from);
        return RenameOutcome::Renamed;
    }
    if (errno == EEXIST)
        return RenameOutcome::Taken;
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
        return RenameOutcome::Failed;
    // Neither (some FUSE mounts): the name is looked at just before the
    // rename, the best such a file system allows.
    struct stat there;
    if (lstat(to, &there) == 0 || errno != ENOENT)
        return RenameOutcome::Taken;
    return rename(from, to) == 0 ? RenameOutcome::Renamed : RenameOutcome::Failed;
}

} // namespace

QByteArray renameToFreeName(const QByteArray &from, const QByteArray &planned,
                            const std::function<bool(const QByteArray &)> &isTaken)
{
    // Names found taken at the rename, which isTaken may not know yet.
    QSet<QByteArray> found;
    const auto taken = [&](const QByteArray &path) { return found.contains(path) || isTaken(path); };
    for (int attempt = 0; attempt < maxRenameAttempts; ++attempt) {
        const QByteArray to = uniqueOutputPath(planned, taken);
        switch (renameUnlessTaken(from.constData(), to.constData())) {
        case RenameOutcome::Renamed:
            return to;
        case RenameOutcome::Taken:
            found.insert(to);
            break;
        case RenameOutcome::Failed:
            return {};
        }
    }
    return {};
}
