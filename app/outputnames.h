#pragma once

#include <QByteArray>
#include <QSet>

// The path a job should write: the planned one, unless another job of the
// same run has already written it; then the first of "name (2).ext",
// "name (3).ext", ... that no such job has written.
QByteArray uniqueOutputPath(const QByteArray &planned, const QSet<QByteArray> &taken);
