#include "streamplan.h"

#include <algorithm>

#include <QHash>

#include "catalogue.h"
#include "streamcopy.h"

namespace {

QString extensionOf(int container)
{
    return QString::fromUtf8(catalogueValue(containerExtensions, container));
}

// .mp4 carries every text subtitle as mov_text and copies DVD pictures; no
// other output container takes a subtitle.
bool containerHolds(int container, const MediaStream &subtitle)
{
    return container == ContainerMp4
           && (subtitle.isTextSubtitle() || subtitle.codec == "dvd_subtitle");
}

bool burnable(const MediaStream &subtitle)
{
    return subtitle.isTextSubtitle() || subtitle.isBitmapSubtitle();
}


// The track burned when the user chose none: one the source shows by
// itself (forced first, then default) that the container cannot hold.
int automaticBurn(const QList<MediaStream> &subtitles, int container)
{
    for (const bool forced : {true, false}) {
        for (const MediaStream &subtitle : subtitles) {
            if (containerHolds(container, subtitle) || !burnable(subtitle))
                continue;
            if (forced ? subtitle.forced : subtitle.isDefault)
                return subtitle.index;
        }
    }
    return -1;
}

// The track the user chose to burn, as this file has it; -1 when none.
int chosenBurn(const AVSettings &settings, const QList<MediaStream> &subtitles)
{
    if (settings.subtitleMode != SubtitlesBurn)
        return -1;
    QList<MediaStream> candidates;
    for (const MediaStream &subtitle : subtitles) {
        if (burnable(subtitle))
            candidates.append(subtitle);
    }
    return chosenTrack(candidates, settings.subtitleTrack, settings.subtitleLanguage);
}

// The subtitle an encoded picture would have drawn into it: the one the
// user chose, else one the source shows by itself that the container
// cannot hold; -1 when none.
int subtitleToBurn(const AVSettings &settings, const MediaInfo &media)
{
    const QList<MediaStream> subtitles = media.streamsOf(StreamSubtitle);
    if (settings.subtitleMode == SubtitlesNone)
        return -1;
    const int chosen = chosenBurn(settings, subtitles);
    return chosen >= 0 ? chosen : automaticBurn(subtitles, settings.container);
}

// A stream that already is what the settings ask for is copied.
void copyIfFitting(PlannedStream &planned, const MediaStream &source, const AVSettings &settings,
                   bool burnsSubtitle)
{
    if (planned.copies() || copyVerdict(source, settings, burnsSubtitle) != CopyFits)
        return;
    planned.encoder = "copy";
    planned.fitted = true;
    planned.tag = copyTag(source.codec, settings.container);
    planned.bitstreamFilter = copyBitstreamFilter(source.codec, settings.container);
}

void planPicture(StreamPlan &plan, const AVSettings &settings, const MediaInfo &media)
{
    for (const MediaStream &video : media.streamsOf(StreamVideo)) {
        if (video.attachedPicture)
            continue;
        PlannedStream picture;
        picture.role = PlannedPicture;
        picture.source = video.index;
        picture.encoder = catalogueValue(videoCodecIds, settings.videoCodec);
        copyIfFitting(picture, video, settings, subtitleToBurn(settings, media) >= 0);
        plan.streams.append(picture);
        return;
    }
}

void planAudio(StreamPlan &plan, const AVSettings &settings, const MediaInfo &media)
{
    QList<MediaStream> tracks = media.streamsOf(StreamAudio);
    if (settings.audioTracks == OneAudioTrack) {
        const int chosen = chosenTrack(tracks, settings.audioTrack, settings.audioLanguage);
        if (const MediaStream *track = findStream(tracks, chosen))
            tracks = {*track};
    }
    // The track that plays first: the source's default, else the first.
    // Exactly one is flagged, and it is the one .flv, which holds one, keeps.
    int first = tracks.isEmpty() ? -1 : tracks.first().index;
    for (const MediaStream &track : qAsConst(tracks)) {
        if (track.isDefault) {
            first = track.index;
            break;
        }
    }
    if (settings.container == ContainerFlv && tracks.size() > 1) {
        plan.losses << QStringLiteral("只保留了 1 条音轨（共 %1 条）：.flv 只能保存一条音轨").arg(tracks.size());
        const MediaStream kept = *findStream(tracks, first);
        tracks = {kept};
    }
    for (const MediaStream &track : qAsConst(tracks)) {
        PlannedStream audio;
        audio.role = PlannedAudio;
        audio.source = track.index;
        audio.encoder = catalogueValue(audioCodecIds, settings.audioCodec);
        copyIfFitting(audio, track, settings, false);
        audio.isDefault = track.index == first;
        audio.title = track.title;
        plan.streams.append(audio);
    }
}


void planSubtitles(StreamPlan &plan, const AVSettings &settings, const MediaInfo &media)
{
    const QList<MediaStream> subtitles = media.streamsOf(StreamSubtitle);
    if (subtitles.isEmpty() || settings.subtitleMode == SubtitlesNone)
        return;
    const QList<PlannedStream> pictures = plan.streamsOf(PlannedPicture);
    const bool canBurn = !pictures.isEmpty() && !pictures.first().copies();
    const QString extension = extensionOf(settings.container);

    int burn = subtitleToBurn(settings, media);
    // A copied picture cannot take the track the user chose to burn.
    const bool refused = chosenBurn(settings, subtitles) >= 0 && !canBurn && !pictures.isEmpty();
    if (!canBurn)
        burn = -1;

    int dropped = 0;
    for (int ordinal = 0; ordinal < subtitles.size(); ++ordinal) {
        const MediaStream &subtitle = subtitles.at(ordinal);
        if (subtitle.index == burn) {
            plan.burned = burn;
            plan.burnedOrdinal = ordinal;
            plan.burnedBitmap = subtitle.isBitmapSubtitle();
            continue;
        }
        if (!containerHolds(settings.container, subtitle)) {
            ++dropped;
            continue;
        }
        PlannedStream kept;
        kept.role = PlannedSubtitle;
        kept.source = subtitle.index;
        kept.encoder = subtitle.isTextSubtitle() ? QByteArray("mov_text") : QByteArray("copy");
        kept.isDefault = subtitle.isDefault;
        kept.forced = subtitle.forced;
        kept.title = subtitle.title;
        plan.streams.append(kept);
    }
    if (const MediaStream *burned = findStream(subtitles, plan.burned))
        plan.notes << QStringLiteral("已烧录字幕：") + streamLabel(*burned);
    if (refused && dropped == 0)
        plan.losses << QStringLiteral("未烧录字幕：直接复制的视频不能烧录字幕");
    if (dropped == 0 || plan.burned >= 0)
        return;
    if (!canBurn && !pictures.isEmpty())
        plan.losses << QStringLiteral("未保留字幕：%1 不能保存这些字幕，直接复制的视频也不能烧录字幕")
                           .arg(extension);
    else if (settings.container == ContainerMp4)
        plan.losses << QStringLiteral("未保留字幕 %1 条：%2 不能保存图形字幕，可在设置中选择烧录")
                           .arg(dropped)
                           .arg(extension);
    else
        plan.losses << QStringLiteral("未保留字幕：%1 不能保存可切换字幕，可在设置中选择烧录").arg(extension);
}

// Only .mp4 takes a cover (as an attached picture); it is copied as it is.
void planCover(StreamPlan &plan, const AVSettings &settings, const MediaInfo &media)
{
    if (settings.container != ContainerMp4)
        return;
    for (const MediaStream &video : media.streamsOf(StreamVideo)) {
        if (!video.attachedPicture || (video.codec != "mjpeg" && video.codec != "png"))
            continue;
        PlannedStream cover;
        cover.role = PlannedCover;
        cover.source = video.index;
        cover.encoder = "copy";
        plan.streams.append(cover);
        return;
    }
}

// A copied picture keeps the source's rotation flag, which only .mp4 players
// honour; a re-encoded one is turned upright.
void warnOfRotation(StreamPlan &plan, const AVSettings &settings, const MediaInfo &media)
{
    const QList<PlannedStream> pictures = plan.streamsOf(PlannedPicture);
    if (pictures.isEmpty() || !pictures.first().copies() || settings.container == ContainerMp4)
        return;
    const MediaStream *source = findStream(media.streams, pictures.first().source);
    if (source && source->rotation != 0)
        plan.losses << QStringLiteral("视频带有 %1° 旋转标记，直接复制到 %2 后播放时方向不对，可选择重新编码")
                           .arg(source->rotation)
                           .arg(extensionOf(settings.container));
}

// Only the copies the plan chose: a user who picked "Copy" knows.
void noteCopies(StreamPlan &plan)
{
    const QList<PlannedStream> pictures = plan.streamsOf(PlannedPicture);
    if (!pictures.isEmpty() && pictures.first().fitted)
        plan.copied << QStringLiteral("视频直接复制，未重新编码");
    const QList<PlannedStream> tracks = plan.streamsOf(PlannedAudio);
    const int fitted = int(std::count_if(tracks.cbegin(), tracks.cend(),
                                         [](const PlannedStream &track) { return track.fitted; }));
    if (fitted > 0 && fitted == tracks.size())
        plan.copied << QStringLiteral("音频直接复制，未重新编码");
    else if (fitted > 0)
        plan.copied << QStringLiteral("音轨 %1 条（共 %2 条）直接复制，未重新编码").arg(fitted).arg(tracks.size());
}

QString summaryOf(const StreamPlan &plan)
{
    QStringList parts;
    const int audio = int(plan.streamsOf(PlannedAudio).size());
    const int subtitles = int(plan.streamsOf(PlannedSubtitle).size());
    if (audio > 0)
        parts << QStringLiteral("音轨 %1 条").arg(audio);
    if (subtitles > 0)
        parts << QStringLiteral("字幕 %1 条（可切换）").arg(subtitles);
    return parts.join(QStringLiteral("，"));
}

const QHash<QByteArray, QString> &languageNames()
{
    static const QHash<QByteArray, QString> names{
        {"chi", QStringLiteral("中文")},     {"zho", QStringLiteral("中文")},
        {"zh", QStringLiteral("中文")},      {"yue", QStringLiteral("粤语")},
        {"eng", QStringLiteral("英语")},     {"en", QStringLiteral("英语")},
        {"jpn", QStringLiteral("日语")},     {"kor", QStringLiteral("韩语")},
        {"fre", QStringLiteral("法语")},     {"fra", QStringLiteral("法语")},
        {"ger", QStringLiteral("德语")},     {"deu", QStringLiteral("德语")},
        {"spa", QStringLiteral("西班牙语")}, {"rus", QStringLiteral("俄语")},
        {"ita", QStringLiteral("意大利语")}, {"por", QStringLiteral("葡萄牙语")},
        {"tha", QStringLiteral("泰语")},     {"vie", QStringLiteral("越南语")},
        {"ara", QStringLiteral("阿拉伯语")}, {"hin", QStringLiteral("印地语")},
    };
    return names;
}

} // namespace

int chosenTrack(const QList<MediaStream> &tracks, int index, const QByteArray &language)
{
    for (const MediaStream &track : tracks) {
        if (track.index == index && track.language == language)
            return track.index;
    }
    if (language.isEmpty())
        return -1;
    for (const MediaStream &track : tracks) {
        if (track.language == language)
            return track.index;
    }
    return -1;
}

QList<PlannedStream> StreamPlan::streamsOf(int role) const
{
    QList<PlannedStream> chosen;
    for (const PlannedStream &stream : streams) {
        if (stream.role == role)
            chosen.append(stream);
    }
    return chosen;
}

bool StreamPlan::copiesAStream() const
{
    for (const PlannedStream &stream : streams) {
        if (stream.copies())
            return true;
    }
    return false;
}

bool StreamPlan::copiesFitted() const
{
    return std::any_of(streams.cbegin(), streams.cend(), [](const PlannedStream &s) { return s.fitted; });
}

bool StreamPlan::encodesPicture() const
{
    return std::any_of(streams.cbegin(), streams.cend(), [](const PlannedStream &s) {
        return s.role == PlannedPicture && !s.copies();
    });
}

StreamPlan planStreams(const AVSettings &settings, const MediaInfo &media)
{
    StreamPlan plan;
    if (!media.readable)
        return plan;
    plan.explicitMaps = true;
    planPicture(plan, settings, media);
    planAudio(plan, settings, media);
    planSubtitles(plan, settings, media);
    planCover(plan, settings, media);
    warnOfRotation(plan, settings, media);
    noteCopies(plan);
    // .wmv keeps chapters as markers; .flv and .avi have no place for them.
    plan.chapters = (settings.container == ContainerMp4 || settings.container == ContainerWmv)
                    && media.chapters() > 0;
    plan.creationTime = media.creationTime;
    const QString summary = summaryOf(plan);
    if (!summary.isEmpty())
        plan.notes.prepend(summary);
    plan.notes << plan.copied << plan.losses;
    return plan;
}

QString streamLabel(const MediaStream &stream)
{
    const QByteArray code = stream.language.toLower();
    QString language;
    if (stream.type == StreamAudio && (code == "chi" || code == "zho" || code == "zh"))
        language = QStringLiteral("国语");
    else if (code.isEmpty() || code == "und")
        language = QStringLiteral("未标明语言");
    else
        language = languageNames().value(code, QString::fromUtf8(stream.language));
    const QString title = stream.title.trimmed();
    if (title.isEmpty() || title == language)
        return language;
    return language + QStringLiteral(" · ") + title;
}
