#pragma once

#include <QString>
#include <QtGlobal>

// What the output folder needs before a job may write into it: to exist,
// to be writable, and to have room.
class OutputFolder final
{
public:
    enum Problem {
        NoProblem,
        Missing,
        NotWritable,
        NoRoom,
    };

    explicit OutputFolder(const QString &path);

    // The room a job needs: as much as its source takes, but at least
    // 64 MiB and at most 1 GiB. An output is rarely larger than its source;
    // the floor keeps a tiny clip from filling the last megabytes of a disk,
    // and the cap is what batch converters commonly ask for.
    static qint64 roomFor(qint64 sourceBytes);

    Problem problem(qint64 neededBytes) const;
    qint64 freeBytes() const;
    // The user's message for a problem, naming the folder.
    QString message(Problem problem) const;

private:
    QString folder;
};
