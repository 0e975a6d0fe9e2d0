#pragma once

#include <QByteArray>
#include <QList>

#include "avsettings.h"

// Bare name of the transcoder program on this platform.
QByteArray transcoderProgramName();

// One transcoder invocation. All strings are UTF-8.
class TranscodeCommand final
{
public:
    explicit TranscodeCommand(const AVSettings &settings);

    // The whole line as a user would read it, paths in double quotes. No
    // other argument holds a space, so the line splits back into the vector
    // at its spaces outside the quotes.
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
};

// Output file for a source: outputDir + "/Vantor转码-" + base name + the
// container's extension (the source's own extension for an unknown container),
// the base name shortened where the name would be too long (fittedBaseName).
QByteArray makeOutputPath(const QByteArray &directory, const QByteArray &baseName,
                          const QByteArray &sourceExtension, int container);
