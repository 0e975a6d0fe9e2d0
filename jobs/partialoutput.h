#pragma once

#include <QByteArray>
#include <QString>

// Names of the files a job writes before its verdict. ffmpeg writes under a
// hidden name in the output folder (the same file system, so the final
// rename is atomic) that keeps the container's extension, so that ffmpeg
// picks the same muxer, and carries the writer's host and process id, so
// that a leftover of a converter on another machine sharing the folder is
// left alone. A random part makes the name impossible to guess ahead, so
// nobody can plant a link where a job will write (see PartialFile).
class PartialOutput final
{
public:
    // ".vantor-<host>-<pid>-<16 hex digits>.part<ext>" beside the final
    // path, drawn anew at each call.
    static QByteArray pathFor(const QByteArray &finalPath);
    // This machine's name as partial names carry it: letters, digits, '.',
    // '_' and '-', anything else made '_'.
    static QByteArray hostTag();
    // Removes the partial files in a folder whose writer is gone: this
    // host's whose process id is not running here, and only when nobody
    // holds the file's lock (a process id says nothing of a writer in
    // another PID namespace, or on a clone of this machine sharing the
    // folder). The older form without a host, ".vantor-<pid>-<n>.part<ext>",
    // may come from any machine: such a file goes only when nothing has
    // written it for a day as well. Returns how many went.
    static int removeLeftovers(const QString &folder);
};
