#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Files that are on the disk the moment a call returns, so that a crash or a
// power cut finds either what was there before or all of what was written.
// None of them writes through a symbolic link or over anything that is not a
// regular file.
class DurableFile final
{
public:
    enum Kind {
        Absent,
        Regular,
        // A symbolic link (wherever it points), a folder, a FIFO, a device.
        Other,
    };

    // What is at `path`, the last component not followed.
    static Kind kindAt(const QString &path);
    // Writes `bytes` to a temporary file beside `path`, syncs it, renames it
    // over `path` and syncs the folder. False, with `path` as it was, when
    // any step fails or what is at `path` is not a regular file.
    static bool replace(const QString &path, const QByteArray &bytes);
    // Makes the folder and its missing parents, each one synced into its own
    // parent.
    static bool makeFolder(const QString &folder);
    // Makes the names in `folder` as they are now survive a power cut.
    static bool syncFolder(const QString &folder);
    // Removes what replace() left beside `path` when its writer died before
    // the rename.
    static void removeStaleTemporaries(const QString &path);
};

// A file that only grows at its end, one whole record at a time: a record is
// synced before append() returns, and a record that cannot be written whole
// is cut off again, so that the next one still follows the last good one.
class AppendFile final
{
    Q_DISABLE_COPY_MOVE(AppendFile)

public:
    AppendFile() = default;
    ~AppendFile();

    // Opens `path`, creating it; false for a link or what is not a regular
    // file.
    bool open(const QString &path);
    bool isOpen() const { return fd >= 0; }
    qint64 size() const { return length; }
    bool append(const QByteArray &bytes);
    // Cuts the file to `bytes`, synced.
    bool truncate(qint64 bytes);
    void close();

private:
    int fd = -1;
    qint64 length = 0;
};
