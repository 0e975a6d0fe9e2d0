#pragma once

#include <QString>
#include <QtGlobal>

// What the window says of a running batch: "总进度 42%  剩余约 3 分 10 秒",
// "已暂停  总进度 42%" while paused; no time left while it is unknown.
QString batchProgressText(double share, qint64 secondsLeft, bool paused);
