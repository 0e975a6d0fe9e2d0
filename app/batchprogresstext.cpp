#include "batchprogresstext.h"

namespace {

QString timeLeftText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("剩余约 %1 秒").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("剩余约 %1 分 %2 秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("剩余约 %1 小时 %2 分").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

} // namespace

QString batchProgressText(double share, qint64 secondsLeft, bool paused)
{
    const QString progress = QStringLiteral("总进度 %1%").arg(qBound(0, int(share * 100), 100));
    if (paused)
        return QStringLiteral("已暂停  ") + progress;
    if (secondsLeft < 0)
        return progress;
    return progress + QStringLiteral("  ") + timeLeftText(secondsLeft);
}
