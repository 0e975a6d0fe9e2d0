#include "mediainfo.h"

#include <algorithm>
#include <iterator>

namespace {

// The subtitle decoders of libavcodec 59 that give text (ASS events) and
// those that give pictures.
const char *const textSubtitles[] = {
    "ass",     "jacosub",   "microdvd",   "mov_text", "mpl2",      "pjs", "realtext", "sami",
    "ssa",     "stl",       "subrip",     "srt",      "subviewer", "subviewer1", "text",
    "vplayer", "webvtt",
};
const char *const bitmapSubtitles[] = {
    "dvb_subtitle",
    "dvd_subtitle",
    "hdmv_pgs_subtitle",
    "xsub",
};

template <std::size_t N>
bool named(const char *const (&names)[N], const QByteArray &codec)
{
    return std::any_of(std::begin(names), std::end(names),
                       [&codec](const char *name) { return codec == name; });
}

} // namespace

bool MediaStream::isTextSubtitle() const
{
    return type == StreamSubtitle && named(textSubtitles, codec);
}

bool MediaStream::isBitmapSubtitle() const
{
    return type == StreamSubtitle && named(bitmapSubtitles, codec);
}

QList<MediaStream> MediaInfo::streamsOf(int type) const
{
    QList<MediaStream> chosen;
    for (const MediaStream &stream : streams) {
        if (stream.type == type)
            chosen.append(stream);
    }
    return chosen;
}

const MediaStream *findStream(const QList<MediaStream> &streams, int index)
{
    const auto found = std::find_if(streams.cbegin(), streams.cend(),
                                    [index](const MediaStream &stream) { return stream.index == index; });
    return found == streams.cend() ? nullptr : &*found;
}
