#pragma once

#include <QByteArray>
#include <QString>

// Names of the files a job writes before its verdict. ffmpeg writes under a
// hidden name in the output folder (the same file system, so the final
// rename is atomic) that keeps the container's extension, so that ffmpeg
// picks the same muxer, and carries the writer's process id, so that a
// leftover of a converter that died is recognised as such.
class PartialOutput final
{
public:
    // ".vantor-<pid>-<n>.part<ext>" beside the final path.
    static QByteArray pathFor(const QByteArray &finalPath);
    // True for a name pathFor() makes; pid gets the writer's process id.
    static bool isPartialName(const QString &fileName, int *pid = nullptr);
    // Removes the partial files in a folder whose writer is no longer
    // running; returns how many went.
    static int removeLeftovers(const QString &folder);
};
