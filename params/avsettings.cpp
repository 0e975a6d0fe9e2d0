#include "avsettings.h"

#include "catalogue.h"

bool operator==(const AVSettings &a, const AVSettings &b)
{
    return a.container == b.container && a.videoCodec == b.videoCodec
        && a.audioCodec == b.audioCodec && a.resolution == b.resolution
        && a.videoBitrate == b.videoBitrate && a.crf == b.crf
        && a.frameRate == b.frameRate && a.audioBitrate == b.audioBitrate
        && a.sampleRate == b.sampleRate && a.videoQuality == b.videoQuality
        && a.audioQuality == b.audioQuality && a.audioTracks == b.audioTracks
        && a.audioTrack == b.audioTrack && a.audioLanguage == b.audioLanguage
        && a.subtitleMode == b.subtitleMode && a.subtitleTrack == b.subtitleTrack
        && a.subtitleLanguage == b.subtitleLanguage && a.copyIfFits == b.copyIfFits;
}

bool operator!=(const AVSettings &a, const AVSettings &b)
{
    return !(a == b);
}

AVSettings makeAVSettings(int container, int videoQuality, int audioQuality)
{
    AVSettings settings{};
    settings.resolution = -1;
    applyContainer(settings, container);
    applyVideoQuality(settings, videoQuality);
    applyAudioQuality(settings, audioQuality);
    return settings;
}

void applyContainer(AVSettings &settings, int index)
{
    settings.container = index;
    if (const ContainerCodecs *codecs = containerDefaults(index)) {
        settings.videoCodec = codecs->videoCodec;
        settings.audioCodec = codecs->audioCodec;
    }
}

void applyVideoQuality(AVSettings &settings, int level)
{
    settings.videoQuality = level;
    if (const VideoPreset *preset = videoPreset(level)) {
        settings.videoBitrate = preset->videoBitrate;
        settings.crf = preset->crf;
        settings.frameRate = preset->frameRate;
    }
}

void applyAudioQuality(AVSettings &settings, int level)
{
    settings.audioQuality = level;
    if (const AudioPreset *preset = audioPreset(level)) {
        settings.audioBitrate = preset->audioBitrate;
        settings.sampleRate = preset->sampleRate;
    }
}
