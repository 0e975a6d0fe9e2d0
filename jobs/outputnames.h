#pragma once

#include <QByteArray>
#include <QSet>

#include <functional>

// The path a job should write: the planned one, unless it is taken; then
// the first of "name (2).ext", "name (3).ext", ... that is not taken.
QByteArray uniqueOutputPath(const QByteArray &planned,
                            const std::function<bool(const QByteArray &)> &isTaken);
// The same with a set of taken paths.
QByteArray uniqueOutputPath(const QByteArray &planned, const QSet<QByteArray> &taken);
// Taken on disk: a file, a folder or a symbolic link (even a dangling one)
// is there, so writing the path would replace something.
bool pathIsTaken(const QByteArray &path);

// Renames the file at `from` to `planned`, or to the first of "name (2).ext",
// "name (3).ext", ... that is free, and never replaces anything: a name that
// isTaken reports, or that turns out to exist at the very moment of the
// rename, is passed over. Both paths are in the same folder. Returns the path
// the file has now; empty when it could not be renamed, and it then stays
// at `from`.
QByteArray renameToFreeName(const QByteArray &from, const QByteArray &planned,
                            const std::function<bool(const QByteArray &)> &isTaken = pathIsTaken);
