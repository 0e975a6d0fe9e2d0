#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

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

// Runs ffmpeg quietly with the arguments (overwriting its output), standard
// input on /dev/null; true when it exits 0.
inline bool runFfmpeg(const QStringList &arguments, int timeoutMs = 120000)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.setStandardInputFile(QProcess::nullDevice());
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + arguments);
    return ffmpeg.waitForFinished(timeoutMs) && ffmpeg.exitStatus() == QProcess::NormalExit
           && ffmpeg.exitCode() == 0;
}

// Length of a media file in seconds, as ffprobe reads it; -1 when it cannot.
inline double probedDuration(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return -1;
    bool ok = false;
    const double seconds = probe.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}
