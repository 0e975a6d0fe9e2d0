#pragma once

#include "avsettings.h"

// A container at two levels, with the codecs the settings dialog would set
// (-1 keeps the container's own).
inline AVSettings chosen(int container, int videoCodec = -1, int audioCodec = -1, int videoLevel = 1,
                         int audioLevel = 1)
{
    AVSettings settings = makeAVSettings(container, videoLevel, audioLevel);
    if (videoCodec >= 0)
        settings.videoCodec = videoCodec;
    if (audioCodec >= 0)
        settings.audioCodec = audioCodec;
    return settings;
}
