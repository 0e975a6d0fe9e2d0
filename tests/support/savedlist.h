#pragma once

#include <QTemporaryDir>

// Gives the windows made from now on a saved list of their own, empty, so
// that a window starts without the rows an earlier one left; the folder goes
// with the object, which must outlive those windows.
class FreshSavedList final
{
public:
    FreshSavedList() { qputenv("XDG_STATE_HOME", dir.path().toUtf8()); }
    QString folder() const { return dir.filePath(QStringLiteral("vantor-converter")); }

private:
    QTemporaryDir dir;
};
