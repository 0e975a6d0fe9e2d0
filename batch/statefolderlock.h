#pragma once

#include <QString>
#include <QtGlobal>

// One converter at a time keeps the saved list of a state folder, which
// every display of a user shares, and every machine sharing the home
// folder: the lock on a file in that folder is held for as long as the
// converter lives, and the kernel lets go of it however the converter ends.
class StateFolderLock final
{
    Q_DISABLE_COPY_MOVE(StateFolderLock)

public:
    enum Outcome {
        Taken,
        // Another converter holds it.
        HeldElsewhere,
        // The lock file cannot be opened: a link or something else than a
        // file in its place, or a folder nobody may write.
        Unavailable,
    };

    StateFolderLock() = default;
    ~StateFolderLock();

    // Takes the lock of `folder`, which must exist, creating its lock file
    // when missing; never waits.
    Outcome take(const QString &folder);

private:
    int fd = -1;
};
