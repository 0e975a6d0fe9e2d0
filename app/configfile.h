#pragma once

#include <QJsonObject>
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
    // at its path is not a regular file. A "ParallelJobs" the user wrote is
    // kept.
    int save(const QString &dir) const;
    // The folder the file names, whether or not it is there; empty when the
    // file names none.
    QString storedFolder() const;
    // How many jobs run at once: "ParallelJobs" from 1 to 8; 0 (automatic)
    // when it is missing, 0 or anything else.
    int parallelJobs() const;

private:
    // The file's object; empty when it is missing or unusable.
    QJsonObject read() const;

    QString filePath;
};
