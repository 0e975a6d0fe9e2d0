#pragma once

#include <QStringList>

// The files and folders named on the command line (after the program name),
// as absolute paths against the working folder; file:// URLs become paths.
// Qt's own options (-style, -platform, ...) are gone by then.
QStringList commandLinePaths(const QStringList &arguments);
