#pragma once

#include <QByteArray>
#include <QList>

#include "avsettings.h"
#include "mediainfo.h"
#include "streamplan.h"

// Bare name of the transcoder program on this platform.
QByteArray transcoderProgramName();

// One transcoder invocation. All strings are UTF-8.
class TranscodeCommand final
{
public:
    // A source whose record is not readable gets ffmpeg's own choice of
    // streams; a readable one gets every stream named (see StreamPlan).
    explicit TranscodeCommand(const AVSettings &settings, const MediaInfo &media = MediaInfo());

    // What becomes of each stream of the source.
    StreamPlan plan() const;

    // The whole line as a user would read it, paths and any other argument
    // with a space (a track's title) in double quotes, so the line splits
    // back into the vector at its spaces outside the quotes.
    QByteArray commandLine() const;
    // The same invocation as an argument vector, program first; paths are
    // single elements, unquoted and unchanged, so no file name can add or
    // split arguments.
    QList<QByteArray> arguments() const;

    QByteArray program;
    QByteArray globalOption;
    QByteArray inputPath;
    QByteArray outputPath;
    AVSettings settings;
    MediaInfo media;
    // A copy of a stream that fit was refused once: the streams the settings
    // leave to the plan are encoded, and only the user's "Copy" copies.
    bool copyRefused = false;

private:
    AVSettings planned() const;
};

// Output file for a source: outputDir + "/Vantor转码-" + base name + the
// container's extension (the source's own extension for an unknown container),
// the base name shortened where the name would be too long (fittedBaseName).
QByteArray makeOutputPath(const QByteArray &directory, const QByteArray &baseName,
                          const QByteArray &sourceExtension, int container);
