#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The file a job's transcoder writes until the verdict, made by the job
// itself: under a name nobody can guess (PartialOutput::pathFor), created
// only where nothing is, never through a link, so that whatever was planted
// in the output folder is never written through. The transcoder is handed
// that path, and its "-y" then writes into this very file.
//
// The job holds a lock on the file for as long as it is its own, and the
// transcoder inherits the descriptor that carries it: the lock lasts while
// either of them may still write, also when the converter was killed and a
// transcoder stuck on a hung disk outlives it. The leftover sweep removes
// only files whose lock it can take, whatever process ids say.
class PartialFile final
{
    Q_DISABLE_COPY_MOVE(PartialFile)

public:
    PartialFile() = default;
    // Lets go of the file; the file itself stays.
    ~PartialFile();

    // Makes a new partial file beside `finalPath` and locks it: 0, or the
    // errno of the failure, and then nothing is made. path() names the file,
    // or the name that could not be made.
    int create(const QByteArray &finalPath);
    const QByteArray &path() const { return filePath; }
    // The descriptor that carries the lock; -1 when no file is held.
    int descriptor() const { return fd; }
    // What is at path() is still the regular file create() made, not a
    // link or another file put in its place.
    bool isIntact() const;
    // The file's inode, which its final name keeps; 0 when none is held.
    quint64 inode() const { return fileInode; }
    // Removes the file when it is still the one made, and lets go of it.
    void remove();
    // Closes the descriptor: the lock goes once no transcoder holds it
    // either. The file stays.
    void release();

    // How ffmpeg says it could not open an output: "<path>: <reason>\n",
    // the reason in English as ffmpeg gives it.
    QByteArray failureLine(int error) const;

    // Removes the regular file at `path` when nobody holds its lock; true
    // when it went. A link or anything else is left alone.
    static bool removeUnlessHeld(const QString &path);
    // The inode of the regular file at `path`, the last component not
    // followed; 0 for anything else or nothing.
    static quint64 inodeAt(const QByteArray &path);

private:
    QByteArray filePath;
    int fd = -1;
    quint64 fileDevice = 0;
    quint64 fileInode = 0;
};
