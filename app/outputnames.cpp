#include "outputnames.h"

QByteArray uniqueOutputPath(const QByteArray &planned, const QSet<QByteArray> &taken)
{
    if (!taken.contains(planned))
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
        if (!taken.contains(candidate))
            return candidate;
    }
}
