#pragma once

#include <functional>

#include <QSet>
#include <QString>
#include <QStringList>

// Turns a list of dropped, handed-over or command-line paths into the files
// to list: a folder becomes the accepted files inside it and its subfolders
// (each folder's files in name order, then its subfolders in name order);
// any other path is passed on unchanged, to be checked like a single file.
class FolderExpander final
{
public:
    using Accept = std::function<bool(const QString &fileName)>;

    explicit FolderExpander(Accept accept);

    QStringList expand(const QStringList &paths);

private:
    void walk(const QString &folder, QStringList &found);

    Accept accept;
    // Canonical folders already walked, so that a link back up the tree ends.
    QSet<QString> walked;
};
