#include "outputfolder.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace {

constexpr qint64 mebibyte = 1024 * 1024;
constexpr qint64 leastRoom = 64 * mebibyte;
constexpr qint64 mostRoom = 1024 * mebibyte;

} // namespace

OutputFolder::OutputFolder(const QString &path)
    : folder(path)
{
}

qint64 OutputFolder::roomFor(qint64 sourceBytes)
{
    return qBound(leastRoom, sourceBytes, mostRoom);
}

OutputFolder::Problem OutputFolder::problem(qint64 neededBytes) const
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return Missing;
    if (!info.isWritable())
        return NotWritable;
    const qint64 free = freeBytes();
    if (free >= 0 && free < neededBytes)
        return NoRoom;
    return NoProblem;
}

qint64 OutputFolder::freeBytes() const
{
    const QStorageInfo storage(folder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

QString OutputFolder::message(Problem problem) const
{
    switch (problem) {
    case Missing:
        return QStringLiteral("输出文件夹不存在：\n%1\n请重新选择输出文件夹。\n").arg(folder);
    case NotWritable:
        return QStringLiteral("输出文件夹无法写入：\n%1\n请选择其他输出文件夹。\n").arg(folder);
    case NoRoom:
        return QStringLiteral("输出目录磁盘空间不足\n%1\n剩余空间：%2 MB\n")
            .arg(folder)
            .arg(QString::number(double(qMax<qint64>(0, freeBytes())) / mebibyte, 'f', 1));
    case NoProblem:
        break;
    }
    return QString();
}
