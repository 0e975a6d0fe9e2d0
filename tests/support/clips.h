#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include "programs.h"

// Writes a clip of colour bars with a 440 Hz tone, so the centre of every
// frame is the green bar.
inline bool makeTestClip(const QString &path, int seconds)
{
    const QString length = QString::number(seconds);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {
        "-hide_banner", "-loglevel", "error", "-y",
        "-f", "lavfi", "-i", "smptebars=size=320x240:rate=25:duration=" + length,
        "-f", "lavfi", "-i", "sine=frequency=440:duration=" + length,
        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
        "-c:a", "aac", "-shortest", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit
        && ffmpeg.exitCode() == 0;
}

// Runs ffmpeg quietly with the arguments (overwriting its output); true
// when it exits 0.
inline bool runFfmpeg(const QStringList &arguments)
{
    return runProgram(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + arguments).ok;
}

// Length of a media file in seconds, as ffprobe reads it; -1 when it cannot.
inline double probedDuration(const QString &path)
{
    const ProgramRun probe = runProgram(
        QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
    bool ok = false;
    const double seconds = probe.output.trimmed().toDouble(&ok);
    return probe.ok && ok ? seconds : -1;
}
