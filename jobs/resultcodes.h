#pragma once

// Result codes of the job, process and configuration operations. The values
// are what the user reads in "启动失败！ 错误码：-102", so they never change.
inline constexpr int ResultOk = 0;
// No program, no buffer, or a path that is not listed.
inline constexpr int ResultInvalidArgument = -1;
inline constexpr int ResultPipeFailed = -101;
// The transcoder cannot be found or started.
inline constexpr int ResultSpawnFailed = -102;
// A child is still running on this object.
inline constexpr int ResultAlreadyRunning = -103;
// No pipe to read.
inline constexpr int ResultNotRunning = -104;
// The child has closed its output.
inline constexpr int ResultEndOfOutput = 102;
// stop() had nothing to stop, or the job is done and stays done.
inline constexpr int ResultNothingToStop = 102;
// A missing source file, or an unusable configuration file.
inline constexpr int ResultUnusable = -202;
// A run cannot start: every listed file is done.
inline constexpr int ResultNothingPending = -105;
// A run cannot start: the output folder is gone, read-only or full.
inline constexpr int ResultFolderProblem = -106;
