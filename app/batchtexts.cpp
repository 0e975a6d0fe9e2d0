#include "batchtexts.h"

#include "resultcodes.h"
#include "transcodejob.h"

namespace {

QString timeLeftText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("剩余约 %1 秒").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("剩余约 %1 分 %2 秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("剩余约 %1 小时 %2 分").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

QString fileLines(const QList<QPair<QByteArray, QByteArray>> &files)
{
    QString text;
    for (const auto &file : files)
        text += QStringLiteral("%1 : %2").arg(QString::fromUtf8(file.first), QString::fromUtf8(file.second));
    return text;
}

} // namespace

QString batchProgressText(double share, qint64 secondsLeft, bool paused)
{
    const QString progress = QStringLiteral("总进度 %1%").arg(qBound(0, int(share * 100), 100));
    if (paused)
        return QStringLiteral("已暂停  ") + progress;
    return progress + QStringLiteral("  ")
           + (secondsLeft < 0 ? QStringLiteral("剩余时间估算中…") : timeLeftText(secondsLeft));
}

QString runSummaryText(const RunReport &report)
{
    QString text = report.message.isEmpty() ? QStringLiteral("转码任务完成！\n") : report.message;
    text += QStringLiteral("成功： %1 个\n").arg(report.succeeded);
    if (report.cancelled > 0)
        text += QStringLiteral("取消： %1 个\n").arg(report.cancelled);
    if (!report.failed.isEmpty())
        text += QStringLiteral("失败： %1 个\n").arg(report.failed.size()) + fileLines(report.failed);
    if (!report.warned.isEmpty())
        text += QStringLiteral("提示： %1 个\n").arg(report.warned.size()) + fileLines(report.warned);
    if (!report.notKept.isEmpty())
        text += QStringLiteral("未全部保留： %1 个\n").arg(report.notKept.size()) + fileLines(report.notKept);
    if (!report.copied.isEmpty())
        text += QStringLiteral("直接复制： %1 个\n").arg(report.copied.size()) + fileLines(report.copied);
    return text;
}

QString startRefusalText(const ConversionQueue &queue, int code)
{
    if (code == ResultNothingPending)
        return QStringLiteral("没有需要转码的文件。\n点击<添加文件>选择视频文件，或直接<拖拽>文件至窗口内。\n");
    if (code == ResultFolderProblem)
        return queue.folderProblem();
    QString text = QStringLiteral("启动失败！\n错误码：%1").arg(code);
    const TranscodeJob *first = queue.findPending(0);
    if (first && !first->startErrorText().isEmpty())
        text += '\n' + QString::fromUtf8(first->startErrorText());
    return text;
}
