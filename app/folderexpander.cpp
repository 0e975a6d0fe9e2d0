#include "folderexpander.h"

#include <algorithm>

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {

// The order a Chinese file manager shows: case-insensitive, numbers by value
// ("第2集" before "第10集"), Chinese names by pinyin.
QStringList sortedNames(QStringList names)
{
    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(), collator);
    return names;
}

} // namespace

FolderExpander::FolderExpander(Accept accept)
    : accept(std::move(accept))
{
}

QStringList FolderExpander::expand(const QStringList &paths)
{
    QStringList found;
    for (const QString &path : paths) {
        if (!path.isEmpty() && QFileInfo(path).isDir())
            walk(path, found);
        else
            found << path;
    }
    return found;
}

void FolderExpander::walk(const QString &folder, QStringList &found)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || walked.contains(canonical))
        return;
    walked.insert(canonical);
    // Hidden files and folders (thumbnails, trash, editor state) are skipped.
    const QDir dir(folder);
    for (const QString &name : sortedNames(dir.entryList(QDir::Files))) {
        if (accept(name))
            found << dir.filePath(name);
    }
    for (const QString &name : sortedNames(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)))
        walk(dir.filePath(name), found);
}
