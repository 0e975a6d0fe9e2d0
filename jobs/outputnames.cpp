#include "outputnames.h"

#include <QFileInfo>
#include <QString>

QByteArray uniqueOutputPath(const QByteArray &planned,
                            const std::function<bool(const QByteArray &)> &isTaken)
{
    if (!isTaken(planned))
        return planned;
    // The number goes before the extension of the file name, not before a dot
    // of a folder name.
    const int slash = planned.lastIndexOf('/');
    int dot = planned.lastIndexOf('.');
    if (dot <= slash + 1)
        dot = planned.size();
    const QByteArray stem = planned.left(dot);
    const QByteArray extension = planned.mid(dot);
    for (int n = 2;; ++n) {
        const QByteArray candidate = stem + " (" + QByteArray::number(n) + ")" + extension;
        if (!isTaken(candidate))
            return candidate;
    }
}

QByteArray uniqueOutputPath(const QByteArray &planned, const QSet<QByteArray> &taken)
{
    return uniqueOutputPath(planned, [&taken](const QByteArray &path) { return taken.contains(path); });
}

bool pathIsTaken(const QByteArray &path)
{
    const QFileInfo info(QString::fromUtf8(path));
    return info.exists() || info.isSymLink();
}
