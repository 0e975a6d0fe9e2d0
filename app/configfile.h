#pragma once

#include <QString>

// The one settings file, "conf_main.json", holding the output folder. One in
// the working folder is used (portable use); without one there, the file
// lives in the user's configuration folder, which is created when the file is
// first written.
class ConfigFile final
{
public:
    ConfigFile();

    const QString &path() const { return filePath; }

    // ResultOk with the stored folder (absolute) in `dir`, or ResultUnusable
    // with `dir` untouched.
    int load(QString &dir) const;
    // ResultOk, or ResultUnusable when the file cannot be written or what is
    // at its path is not a regular file.
    int save(const QString &dir) const;

private:
    QString filePath;
};
