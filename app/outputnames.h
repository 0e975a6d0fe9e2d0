#pragma once

#include <QByteArray>
#include <QSet>

// The path a job should write: the planned one, unless it is taken (written
// by an earlier job of the same run, or a listed source); then the first of
// "name (2).ext", "name (3).ext", ... that is not taken.
QByteArray uniqueOutputPath(const QByteArray &planned, const QSet<QByteArray> &taken);
