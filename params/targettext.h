#pragma once

#include <QByteArray>
#include <QString>

#include "avsettings.h"
#include "mediainfo.h"

// What a file becomes, as its row says it: the container, the picture's
// encoder with the size it will have and the frame rate when the level caps
// the source's, the audio's encoder ("→ MP4 · H.264 1280x720 · AAC"); a
// copied stream is its codec and "直接复制" ("AAC 直接复制"). A record that is not readable, or not read
// yet, gives what the settings say, without the size.
QString targetText(const AVSettings &settings, const MediaInfo &media);

// How the window names an encoder, or a source's codec: "H.264", "AAC",
// "直接复制" for "copy".
QString encoderLabel(const QByteArray &encoder);

// A length as the row shows it ("0:42", "12:34", "1:02:03"); empty when it
// is unknown.
QString lengthText(double seconds);
