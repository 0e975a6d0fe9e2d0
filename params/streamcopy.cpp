#include "streamcopy.h"

#include <algorithm>
#include <iterator>

#include <QList>

#include "catalogue.h"

namespace {

// A stream at this rate or slower meets a ceiling: NTSC's 29.97 meets 30,
// and time bases that round 30 up a little do too.
constexpr double rateSlack = 0.01;

struct Playable
{
    // The encoder the catalogue names and the codec libavcodec reads back.
    const char *encoder;
    const char *codec;
    // Where every player of the container plays it. The muxers take more
    // (H.264 in .wmv, HEVC and AAC in .avi, FLV1 in .avi), but many
    // devices refuse those files. One bit per container key.
    unsigned containers;
};

constexpr unsigned mp4 = 1u << ContainerMp4;
constexpr unsigned flv = 1u << ContainerFlv;
constexpr unsigned avi = 1u << ContainerAvi;
constexpr unsigned wmv = 1u << ContainerWmv;

const Playable playable[] = {
    {"libx264", "h264", mp4 | flv | avi},
    {"libx265", "hevc", mp4},
    {"mpeg4", "mpeg4", mp4 | avi},
    {"libxvid", "mpeg4", mp4 | avi},
    {"wmv2", "wmv2", avi | wmv},
    {"flv", "flv1", flv},
    {"aac", "aac", mp4 | flv},
    {"mp3", "mp3", mp4 | flv | avi | wmv},
    {"wmav2", "wmav2", avi | wmv},
};

// Profiles every decoder of the codec plays; a codec not named has no rule.
bool profilePlays(const QByteArray &codec, const QByteArray &profile)
{
    if (codec == "h264")
        return profile == "Constrained Baseline" || profile == "Baseline" || profile == "Main"
               || profile == "High";
    if (codec == "hevc")
        return profile == "Main";
    if (codec == "aac")
        return profile == "LC" || profile == "HE-AAC" || profile == "HE-AACv2";
    return true;
}

const Playable *chosen(const MediaStream &stream, const AVSettings &settings)
{
    const QByteArray *encoder = catalogueText(stream.type == StreamVideo ? videoCodecIds : audioCodecIds,
                                              stream.type == StreamVideo ? settings.videoCodec
                                                                         : settings.audioCodec);
    if (!encoder)
        return nullptr;
    const auto found = std::find_if(std::begin(playable), std::end(playable),
                                    [encoder](const Playable &p) { return *encoder == p.encoder; });
    return found == std::end(playable) ? nullptr : found;
}

// A limit of -1 holds for anything; a set one only for a value known to meet it.
bool within(double value, double limit)
{
    return limit < 0 || (value > 0 && value <= limit);
}

// The picture needs none of the encode's filters: deinterlacing, even
// sides, 4:2:0 and turning upright.
bool unfiltered(const MediaStream &video, int container, bool burnsSubtitle)
{
    const bool eightBit420 = video.pixelFormat == "yuv420p" || video.pixelFormat == "yuvj420p";
    // MPEG-4 part 2 and WMV2 leave the field order unknown; H.264 and HEVC
    // always say it.
    const bool progressive = video.fieldOrder.isEmpty() || video.fieldOrder == "progressive";
    const bool evenSides = video.width > 0 && video.height > 0 && video.width % 2 == 0
                           && video.height % 2 == 0;
    // Only .mp4 players honour the turn a copied picture carries.
    const bool upright = video.rotation == 0 || container == ContainerMp4;
    return eightBit420 && progressive && evenSides && upright && !burnsSubtitle;
}

// The picture as it is shown, turned and with its pixel shape, inside the box.
bool fitsBox(const MediaStream &video, int resolution)
{
    const QByteArray *box = catalogueText(resolutions, resolution);
    if (!box)
        return true;
    const QList<QByteArray> sides = box->split('x');
    double width = video.width;
    double height = video.height;
    if (video.aspectNum > 0 && video.aspectDen > 0)
        width = width * video.aspectNum / video.aspectDen;
    if (video.rotation == 90 || video.rotation == 270)
        std::swap(width, height);
    return width <= sides.value(0).toDouble() && height <= sides.value(1).toDouble();
}

int videoVerdict(const MediaStream &video, const AVSettings &s, bool burnsSubtitle)
{
    if (!unfiltered(video, s.container, burnsSubtitle))
        return CopyNeedsFilter;
    if (!profilePlays(video.codec, video.profile))
        return CopyProfile;
    if (!fitsBox(video, s.resolution))
        return CopyTooLarge;
    if (!within(video.frameRate, s.frameRate < 0 ? -1 : s.frameRate + rateSlack))
        return CopyFrameRate;
    if (!within(double(video.bitRate), s.videoBitrate < 0 ? -1 : s.videoBitrate * 1000.0))
        return CopyBitRate;
    return CopyFits;
}

int audioVerdict(const MediaStream &audio, const AVSettings &s)
{
    if (!profilePlays(audio.codec, audio.profile))
        return CopyProfile;
    // FLV's header names no other rates.
    if (s.container == ContainerFlv && audio.sampleRate != 44100 && audio.sampleRate != 22050
        && audio.sampleRate != 11025)
        return CopySampleRate;
    // An encode gives the rate chosen, higher or lower.
    if (s.sampleRate >= 0 && audio.sampleRate != s.sampleRate)
        return CopySampleRate;
    // The MP3 and WMA encoders mix down to two channels.
    if ((audio.codec == "mp3" || audio.codec == "wmav2") && !within(audio.channels, 2))
        return CopyChannels;
    if (!within(double(audio.bitRate), s.audioBitrate < 0 ? -1 : s.audioBitrate * 1000.0))
        return CopyBitRate;
    return CopyFits;
}

} // namespace

int copyVerdict(const MediaStream &stream, const AVSettings &settings, bool burnsSubtitle)
{
    if (!settings.copyIfFits)
        return CopyTurnedOff;
    const Playable *codec = chosen(stream, settings);
    if (!codec || (stream.type != StreamVideo && stream.type != StreamAudio) || stream.attachedPicture
        || stream.codec != codec->codec)
        return CopyOtherCodec;
    if (settings.container < 0 || settings.container > ContainerWmv
        || !(codec->containers & (1u << settings.container)))
        return CopyNotPlayable;
    return stream.type == StreamVideo ? videoVerdict(stream, settings, burnsSubtitle)
                                      : audioVerdict(stream, settings);
}

QByteArray copyTag(const QByteArray &codec, int container)
{
    return codec == "hevc" && container == ContainerMp4 ? QByteArray("hvc1") : QByteArray();
}

QByteArray copyBitstreamFilter(const QByteArray &codec, int container)
{
    return codec == "h264" && container == ContainerAvi ? QByteArray("h264_mp4toannexb") : QByteArray();
}
