#include "outputname.h"

namespace {

const QByteArray ellipsis = QByteArrayLiteral("…");

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The longest start of `text` of at most `bytes` bytes that ends between
// two characters.
QByteArray headOf(const QByteArray &text, int bytes)
{
    int end = qBound(0, bytes, int(text.size()));
    while (end > 0 && end < text.size() && isContinuationByte(text.at(end)))
        --end;
    return text.left(end);
}

// The same for the end of `text`.
QByteArray tailOf(const QByteArray &text, int bytes)
{
    int start = int(text.size()) - qBound(0, bytes, int(text.size()));
    while (start < text.size() && isContinuationByte(text.at(start)))
        ++start;
    return text.mid(start);
}

} // namespace

QByteArray fittedBaseName(const QByteArray &prefix, const QByteArray &baseName, const QByteArray &extension)
{
    const int room = maxFileNameBytes - takenNumberBytes - int(prefix.size() + extension.size());
    if (baseName.size() <= room)
        return baseName;
    if (room <= int(ellipsis.size()))
        return headOf(baseName, room);
    // Both ends stay: the title at the start, and the episode or part at the
    // end that tells the files of a series apart.
    const int kept = room - int(ellipsis.size());
    const int headBytes = (kept + 1) / 2;
    return headOf(baseName, headBytes) + ellipsis + tailOf(baseName, kept - headBytes);
}
