#pragma once

#include <QFile>
#include <QList>
#include <QPair>
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

// A film as downloads come, in Matroska: bars with a Chinese stereo track
// flagged default and an English 5.1 one, a Chinese SRT flagged default and
// an English ASS, three chapters, a title, a creation time and a JPEG cover.
// Its helper files are written beside it.
inline bool makeFilm(const QString &path, double seconds = 6)
{
    const QString folder = path.left(path.lastIndexOf('/') + 1);
    const QString length = QString::number(seconds);
    const QString end = QStringLiteral("00:00:%1,000").arg(int(seconds), 2, 10, QLatin1Char('0'));
    const QList<QPair<QString, QByteArray>> helpers{
        {"zh.srt", "1\n00:00:00,000 --> " + end.toUtf8() + "\n你好，世界\n"},
        {"en.ass", "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 240\n\n[V4+ Styles]\n"
                   "Format: Name, Fontname, Fontsize, PrimaryColour, OutlineColour, BorderStyle, Outline, "
                   "Alignment, MarginV\nStyle: Default,DejaVu Sans,24,&H00FFFFFF,&H00000000,1,2,2,10\n\n"
                   "[Events]\nFormat: Layer, Start, End, Style, Text\nDialogue: 0,0:00:00.00,0:00:"
                       + QByteArray::number(int(seconds)).rightJustified(2, '0') + ".00,Default,Hello world\n"},
        {"chapters.txt", ";FFMETADATA1\ntitle=流浪之旅\ncreation_time=2021-06-01T08:30:00.000000Z\n"
                         "[CHAPTER]\nTIMEBASE=1/10\nSTART=0\nEND=10\ntitle=开始\n"
                         "[CHAPTER]\nTIMEBASE=1/10\nSTART=10\nEND=20\ntitle=中间\n"
                         "[CHAPTER]\nTIMEBASE=1/10\nSTART=20\nEND=" + QByteArray::number(int(seconds * 10))
                             + "\ntitle=结尾\n"},
    };
    for (const auto &helper : helpers) {
        QFile file(folder + helper.first);
        if (!file.open(QIODevice::WriteOnly) || file.write(helper.second) != helper.second.size())
            return false;
    }
    const ProgramRun cover = runProgram(QStringLiteral("ffmpeg"),
        {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120", "-frames:v", "1", folder + "cover.jpg"});
    return cover.ok && runProgram(QStringLiteral("ffmpeg"), {
        "-v", "error", "-y",
        "-f", "lavfi", "-i", "smptebars=size=320x240:rate=25:duration=" + length,
        "-f", "lavfi", "-i", "sine=frequency=440:duration=" + length,
        "-f", "lavfi", "-i", "sine=frequency=660:duration=" + length,
        "-i", folder + "zh.srt", "-i", folder + "en.ass", "-i", folder + "chapters.txt",
        "-map", "0:v", "-map", "1:a", "-map", "2:a", "-map", "3", "-map", "4",
        "-map_metadata", "5", "-map_chapters", "5",
        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
        "-c:a", "aac", "-ac:a:0", "2", "-ac:a:1", "6", "-c:s:0", "srt", "-c:s:1", "ass",
        "-attach", folder + "cover.jpg", "-metadata:s:t", "mimetype=image/jpeg",
        "-metadata:s:a:0", "language=chi", "-metadata:s:a:1", "language=eng",
        "-metadata:s:a:1", "title=English 5.1", "-disposition:a:0", "default", "-disposition:a:1", "0",
        "-metadata:s:s:0", "language=chi", "-metadata:s:s:1", "language=eng",
        "-disposition:s:0", "default", "-disposition:s:1", "0", path}).ok;
}

// A phone clip filmed upright: bars stored on their side with a quarter
// turn in the .mp4's display matrix, and the day it was filmed.
inline bool makeTurnedClip(const QString &path, double seconds = 3)
{
    const QString length = QString::number(seconds);
    const QString flat = path + QStringLiteral(".flat.mp4");
    return runProgram(QStringLiteral("ffmpeg"), {
               "-v", "error", "-y",
               "-f", "lavfi", "-i", "smptebars=size=320x240:rate=30:duration=" + length,
               "-f", "lavfi", "-i", "sine=frequency=500:duration=" + length,
               "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", flat}).ok
           && runProgram(QStringLiteral("ffmpeg"), {
               "-v", "error", "-y", "-i", flat, "-c", "copy", "-metadata:s:v:0", "rotate=90",
               "-metadata", "creation_time=2022-03-04T05:06:07.000000Z", path}).ok
           && QFile::remove(flat);
}
