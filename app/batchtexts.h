#pragma once

#include <QString>
#include <QtGlobal>

#include "conversionqueue.h"

// What the window says of a batch.

// While it runs: "总进度 42%  剩余约 3 分 10 秒", "已暂停  总进度 42%" while
// paused; "总进度 42%  剩余时间估算中…" while the time left is unknown.
QString batchProgressText(double share, qint64 secondsLeft, bool paused);

// Its summary: the counts, then each failed file with its reasons, each
// file done with a warning and each whose result could not keep everything,
// in list order.
QString runSummaryText(const RunReport &report);

// Why a batch did not start, from ConversionQueue::start()'s code.
QString startRefusalText(const ConversionQueue &queue, int code);
