#include <QtTest>

#include "avsettings.h"
#include "avsettingsprinter.h"
#include "catalogue.h"
#include "mediainfo.h"
#include "records.h"
#include "streamcopy.h"
#include "transcodecommand.h"

namespace {

#ifdef Q_OS_WIN
const QByteArray program = QByteArrayLiteral("ffmpeg.exe");
#else
const QByteArray program = QByteArrayLiteral("ffmpeg");
#endif

// The filters of a re-encoded stream: pictures at the source's size, in a
// chosen box, and sound for AAC, MP3 and WMA.
const QByteArray sourceSize = "-vf bwdif=mode=send_frame:deint=interlaced,setsar=sar:max=1000,"
                              "scale=2*round(iw/2):2*round(ih/2),format=yuv420p";
QByteArray inBox(int width, int height)
{
    const QByteArray w = QByteArray::number(width);
    const QByteArray h = QByteArray::number(height);
    return "-vf bwdif=mode=send_frame:deint=interlaced,scale=w='2*max(1,round(min(" + w + ',' + h
           + "*dar)/2))':h='2*max(1,round(min(" + h + ',' + w + "/dar)/2))',setsar=1,format=yuv420p";
}
const QByteArray timed = "-af aresample=async=1";
const QByteArray twoChannels = "-af aresample=async=1,aformat=channel_layouts=stereo|mono";
const QByteArray wmaFormat = twoChannels + ":sample_rates=48000|44100|32000|24000|22050|16000|12000|11025|8000";

QByteArrayList split(const QByteArray &options)
{
    return options.isEmpty() ? QByteArrayList() : options.split(' ');
}

const QByteArray fit = "setsar=sar:max=1000,scale=2*round(iw/2):2*round(ih/2)";
const QByteArray chain = "bwdif=mode=send_frame:deint=interlaced," + fit;
QByteArrayList picture(const QByteArray &burned = QByteArray(), const QByteArray &encoding = "-crf:v:0 24")
{
    const QByteArray filters = chain + (burned.isEmpty() ? "" : ",subtitles=filename=" + burned) + ",format=yuv420p";
    return QByteArrayList{"-filter:v:0", filters} + split(encoding + " -fpsmax:v:0 18 -c:v:0")
           + QByteArrayList{encoding.startsWith("-crf") ? "libx264" : "wmv2"};
}
QByteArrayList track(int n, const QByteArray &codec, const QByteArray &disposition)
{
    const QByteArray a = "a:" + QByteArray::number(n);
    QByteArray filters = "aresample=async=1";
    if (codec == "mp3" || codec == "wmav2")
        filters += ",aformat=channel_layouts=stereo|mono";
    if (codec == "wmav2")
        filters += ":sample_rates=48000|44100|32000|24000|22050|16000|12000|11025|8000";
    return QByteArrayList{"-filter:" + a, filters, "-ar:" + a, "44100", "-b:" + a, "128k", "-c:" + a, codec,
                          "-disposition:" + a, disposition};
}
const QByteArrayList englishHandler{"-metadata:s:a:1", "handler_name=English 5.1"};
const QByteArrayList filmMetadata = split("-map_metadata 0 -map_chapters 0 -metadata creation_time=2021-06-01T08:30:00.000000Z");
const QByteArrayList filmDate = split("-map_metadata 0 -metadata creation_time=2021-06-01T08:30:00.000000Z");

} // namespace

class TestTranscodeCommand final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void workedExamples_data();
    void workedExamples();
    void options_data();
    void options();
    void plannedStreams_data();
    void plannedStreams();
    void copyDecision_data();
    void copyDecision();
    void unusualPaths_data();
    void unusualPaths();
    void outputPath_data();
    void outputPath();
    void sameBaseNameSameOutput();
};

void TestTranscodeCommand::initTestCase()
{
    initCatalogue();
}

void TestTranscodeCommand::workedExamples_data()
{
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("default record")
        << makeAVSettings(0, 1, 1)
        << program + " -y -i \"D:/Videos/clip.mkv\" " + sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 "
               + timed + " -ar 44100 -b:a 128k -c:a aac \"C:/Users/me/Videos/Vantor转码-clip.mp4\"";
    QTest::newRow(".wmv, both levels 默认")
        << makeAVSettings(3, 3, 3)
        << program + " -y -i \"D:/Videos/clip.mkv\" " + sourceSize + " -c:v wmv2 " + wmaFormat
               + " -c:a wmav2 \"C:/Users/me/Videos/Vantor转码-clip.wmv\"";
}

void TestTranscodeCommand::workedExamples()
{
    QFETCH(AVSettings, settings);
    QFETCH(QByteArray, line);

    TranscodeCommand command(settings);
    command.inputPath = "D:/Videos/clip.mkv";
    command.outputPath = makeOutputPath("C:/Users/me/Videos", "clip", ".mkv", settings.container);
    QCOMPARE(command.commandLine(), line);
}

void TestTranscodeCommand::options_data()
{
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<QByteArray>("options");

    const AVSettings base = makeAVSettings(0, 1, 1);
    auto with = [&base](auto change) {
        AVSettings s = base;
        change(s);
        return s;
    };

    QTest::newRow("libx264: CRF wins over bitrate")
        << base << sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + timed + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("mpeg4: bitrate, never CRF")
        << with([](AVSettings &s) { s.videoCodec = 0; })
        << sourceSize + " -b:v 512k -fpsmax 18 -c:v mpeg4 " + timed + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("libx265 without CRF: bitrate")
        << with([](AVSettings &s) { s.videoCodec = 3; s.crf = -1; s.videoBitrate = 1024; })
        << sourceSize + " -b:v 1024k -fpsmax 18 -c:v libx265 -tag:v hvc1 " + timed
               + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("libx265 with CRF")
        << with([](AVSettings &s) { s.videoCodec = 3; s.crf = 18; })
        << sourceSize + " -crf 18 -fpsmax 18 -c:v libx265 -tag:v hvc1 " + timed
               + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("libx264 without CRF or bitrate")
        << with([](AVSettings &s) { s.crf = -1; s.videoBitrate = -1; })
        << sourceSize + " -fpsmax 18 -c:v libx264 " + timed + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("libxvid with only a CRF: no rate option")
        << with([](AVSettings &s) { s.videoCodec = 1; s.videoBitrate = -1; })
        << sourceSize + " -fpsmax 18 -c:v libxvid " + timed + " -ar 44100 -b:a 128k -c:a aac";
    // A copied stream cannot change: -fpsmax would relabel its frames, and
    // ffmpeg refuses filters for it.
    QTest::newRow("copy of both streams drops sizes and rates")
        << with([](AVSettings &s) { s.videoCodec = 6; s.audioCodec = 3; s.resolution = 1; })
        << QByteArray("-c:v copy -c:a copy");
    QTest::newRow("copied video, encoded audio")
        << with([](AVSettings &s) { s.videoCodec = 6; s.resolution = 1; })
        << "-c:v copy " + timed + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("encoded video, copied audio")
        << with([](AVSettings &s) { s.audioCodec = 3; s.resolution = 1; })
        << inBox(1280, 720) + " -crf 24 -fpsmax 18 -c:v libx264 -c:a copy";
    QTest::newRow("resolution 0")
        << with([](AVSettings &s) { s.resolution = 0; })
        << inBox(1920, 1080) + " -crf 24 -fpsmax 18 -c:v libx264 " + timed + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("resolution 4 has no entry")
        << with([](AVSettings &s) { s.resolution = 4; })
        << sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + timed + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("video level 默认")
        << makeAVSettings(0, 3, 1) << sourceSize + " -c:v libx264 " + timed + " -ar 44100 -b:a 128k -c:a aac";
    QTest::newRow("audio level 默认")
        << makeAVSettings(0, 1, 3) << sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + timed + " -c:a aac";
    QTest::newRow("low levels in .flv")
        << makeAVSettings(1, 0, 0)
        << sourceSize + " -crf 32 -fpsmax 12 -c:v libx264 " + timed + " -ar 24000 -b:a 32k -c:a aac";
    QTest::newRow("mp3 in .flv: 24000 Hz becomes 22050")
        << with([](AVSettings &s) { s.container = 1; s.audioCodec = 1; s.sampleRate = 24000; })
        << sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + twoChannels + " -ar 22050 -b:a 128k -c:a mp3";
    QTest::newRow("mp3 in .flv: 48000 Hz stays")
        << with([](AVSettings &s) { s.container = 1; s.audioCodec = 1; s.sampleRate = 48000; })
        << sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + twoChannels + " -ar 48000 -b:a 128k -c:a mp3";
    QTest::newRow("mp3 in .flv: default rate stays unset")
        << with([](AVSettings &s) { s.container = 1; s.audioCodec = 1; s.sampleRate = -1; })
        << sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + twoChannels + " -b:a 128k -c:a mp3";
    QTest::newRow("mp3 at 24000 Hz in .avi stays")
        << with([](AVSettings &s) { s.container = 2; s.audioCodec = 1; s.sampleRate = 24000; })
        << sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + twoChannels + " -ar 24000 -b:a 128k -c:a mp3";
    QTest::newRow("high levels in .avi")
        << makeAVSettings(2, 2, 2)
        << sourceSize + " -crf 18 -fpsmax 30 -c:v libx264 " + twoChannels + " -ar 48000 -b:a 256k -c:a mp3";
    QTest::newRow("libx265 in .avi gets a FourCC")
        << with([](AVSettings &s) { s.container = 2; s.videoCodec = 3; s.audioCodec = 1; })
        << sourceSize + " -crf 24 -fpsmax 18 -c:v libx265 -tag:v HEVC " + twoChannels
               + " -ar 44100 -b:a 128k -c:a mp3";
    QTest::newRow("unknown codec keys write no codec")
        << with([](AVSettings &s) { s.videoCodec = 7; s.audioCodec = -1; })
        << sourceSize + " -b:v 512k -fpsmax 18 " + timed + " -ar 44100 -b:a 128k";
}

void TestTranscodeCommand::options()
{
    QFETCH(AVSettings, settings);
    QFETCH(QByteArray, options);

    TranscodeCommand command(settings);
    command.inputPath = "/src/in.mkv";
    command.outputPath = "/out/out.mp4";

    QByteArray line = program + " -y -i \"/src/in.mkv\" ";
    if (!options.isEmpty())
        line += options + ' ';
    line += "\"/out/out.mp4\"";
    QCOMPARE(command.commandLine(), line);

    const QByteArrayList arguments = QByteArrayList{program, "-y", "-i", "/src/in.mkv"}
        + split(options) + QByteArrayList{"/out/out.mp4"};
    QCOMPARE(command.arguments(), arguments);
    QCOMPARE(command.settings, settings);
}

void TestTranscodeCommand::plannedStreams_data()
{
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<MediaInfo>("media");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArrayList>("options");
    QTest::addColumn<QStringList>("notes");

    const QByteArray source = "/films/film.mkv";
    const auto with = [](AVSettings s, auto change) {
        change(s);
        return s;
    };
    const AVSettings mp4 = makeAVSettings(0, 1, 1);
    const AVSettings avi = makeAVSettings(2, 1, 1);
    const AVSettings copied = with(mp4, [](AVSettings &s) { s.videoCodec = 6; s.audioCodec = 3; });
    const QByteArrayList filmMaps = split("-map 0:0 -map 0:1 -map 0:2");
    const QByteArrayList switchable = split("-c:s:0 mov_text -disposition:s:0 default -c:s:1 mov_text -disposition:s:1 0");
    const QByteArrayList cover = split("-c:v:1 copy -disposition:v:1 attached_pic");
    const QString everything = QStringLiteral("音轨 2 条，字幕 2 条（可切换）");
    const QString burnedChinese = QStringLiteral("已烧录字幕：中文");

    // Data streams and attachments are never named; the cover is copied as
    // the attached picture, never encoded as a second film.
    QTest::newRow(".mp4: every track, subtitles switchable, cover, chapters and date")
        << mp4 << film() << source
        << filmMaps + split("-map 0:3 -map 0:4 -map 0:5") + picture() + track(0, "aac", "default")
               + track(1, "aac", "0") + englishHandler + switchable + cover + filmMetadata
        << QStringList{everything};
    QTest::newRow(".mp4 with Copy: the picture and the tracks copied, subtitles converted")
        << copied << film() << source
        << filmMaps + split("-map 0:3 -map 0:4 -map 0:5 -c:v:0 copy -c:a:0 copy -disposition:a:0 default")
               + split("-c:a:1 copy -disposition:a:1 0") + englishHandler + switchable + cover + filmMetadata
        << QStringList{everything};
    QTest::newRow(".flv: the default track; the default subtitle burned")
        << makeAVSettings(1, 1, 1) << film() << source
        << split("-map 0:0 -map 0:1") + picture(source + ":si=0") + track(0, "aac", "default") + filmDate
        << QStringList{QStringLiteral("音轨 1 条"), burnedChinese,
                       QStringLiteral("只保留了 1 条音轨（共 2 条）：.flv 只能保存一条音轨")};
    QTest::newRow(".avi: both tracks as MP3, the day as its date")
        << avi << film() << source
        << filmMaps + picture(source + ":si=0") + track(0, "mp3", "default") + track(1, "mp3", "0") + filmDate
               + split("-metadata date=2021-06-01")
        << QStringList{QStringLiteral("音轨 2 条"), burnedChinese};
    QTest::newRow(".wmv keeps chapters as markers")
        << makeAVSettings(3, 1, 1) << film() << source
        << filmMaps + picture(source + ":si=0", "-b:v:0 512k") + track(0, "wmav2", "default")
               + track(1, "wmav2", "0") + filmMetadata
        << QStringList{QStringLiteral("音轨 2 条"), burnedChinese};
    QTest::newRow("a copied picture takes no subtitle, and the row says so")
        << with(avi, [](AVSettings &s) { s.videoCodec = 6; }) << film() << source
        << filmMaps + split("-c:v:0 copy") + track(0, "mp3", "default") + track(1, "mp3", "0") + filmDate
               + split("-metadata date=2021-06-01")
        << QStringList{QStringLiteral("音轨 2 条"),
                       QStringLiteral("未保留字幕：.avi 不能保存这些字幕，直接复制的视频也不能烧录字幕")};
    MediaInfo unflagged = film();
    unflagged.streams[3].isDefault = false;
    QTest::newRow("no subtitle flagged: none burned, and the row says so")
        << avi << unflagged << source
        << filmMaps + picture() + track(0, "mp3", "default") + track(1, "mp3", "0") + filmDate
               + split("-metadata date=2021-06-01")
        << QStringList{QStringLiteral("音轨 2 条"),
                       QStringLiteral("未保留字幕：.avi 不能保存可切换字幕，可在设置中选择烧录")};
    QTest::newRow("不要字幕")
        << with(avi, [](AVSettings &s) { s.subtitleMode = SubtitlesNone; }) << film() << source
        << filmMaps + picture() + track(0, "mp3", "default") + track(1, "mp3", "0") + filmDate
               + split("-metadata date=2021-06-01")
        << QStringList{QStringLiteral("音轨 2 条")};
    // Chosen in another file, where English was stream 5: this file's
    // English track.
    QTest::newRow("one audio track, found by its language")
        << with(mp4, [](AVSettings &s) { s.audioTracks = OneAudioTrack; s.audioTrack = 5; s.audioLanguage = "eng"; })
        << film() << source
        << split("-map 0:0 -map 0:2 -map 0:3 -map 0:4 -map 0:5") + picture() + track(0, "aac", "default")
               + QByteArrayList{"-metadata:s:a:0", "handler_name=English 5.1"} + switchable + cover + filmMetadata
        << QStringList{QStringLiteral("音轨 1 条，字幕 2 条（可切换）")};
    QTest::newRow("one audio track in a language the file lacks: all")
        << with(mp4, [](AVSettings &s) { s.audioTracks = OneAudioTrack; s.audioTrack = 1; s.audioLanguage = "jpn"; })
        << film() << source
        << filmMaps + split("-map 0:3 -map 0:4 -map 0:5") + picture() + track(0, "aac", "default")
               + track(1, "aac", "0") + englishHandler + switchable + cover + filmMetadata
        << QStringList{everything};
    QTest::newRow("烧录 the English subtitle, found by its language; the rest stays switchable")
        << with(mp4, [](AVSettings &s) { s.subtitleMode = SubtitlesBurn; s.subtitleTrack = 9; s.subtitleLanguage = "eng"; })
        << film() << source
        << filmMaps + split("-map 0:3 -map 0:5") + picture(source + ":si=1") + track(0, "aac", "default")
               + track(1, "aac", "0") + englishHandler + split("-c:s:0 mov_text -disposition:s:0 default")
               + split("-c:v:1 copy -disposition:v:1 attached_pic") + filmMetadata
        << QStringList{QStringLiteral("音轨 2 条，字幕 1 条（可切换）"), QStringLiteral("已烧录字幕：英语")};
    QTest::newRow("烧录 with a copied picture: the track stays switchable, and the row says so")
        << with(copied, [](AVSettings &s) { s.subtitleMode = SubtitlesBurn; s.subtitleTrack = 3; s.subtitleLanguage = "chi"; })
        << film() << source
        << filmMaps + split("-map 0:3 -map 0:4 -map 0:5 -c:v:0 copy -c:a:0 copy -disposition:a:0 default")
               + split("-c:a:1 copy -disposition:a:1 0") + englishHandler + switchable + cover + filmMetadata
        << QStringList{everything, QStringLiteral("未烧录字幕：直接复制的视频不能烧录字幕")};
    QTest::newRow("a forced Blu-ray subtitle in .mp4 drawn over the picture before it is scaled")
        << mp4
        << withStreams({stream(StreamVideo, 0, "h264"), stream(StreamAudio, 1, "ac3", "chi"),
                        stream(StreamSubtitle, 2, "hdmv_pgs_subtitle", "chi", "简体中文", false, true),
                        stream(StreamSubtitle, 3, "subrip", "eng")})
        << source
        << QByteArrayList{"-filter_complex",
                          "[0:0]bwdif=mode=send_frame:deint=interlaced[picture];[picture][0:2]overlay[drawn];[drawn]"
                              + fit + ",format=yuv420p[shown]",
                          "-map", "[shown]"}
               + split("-map 0:1 -map 0:3 -crf:v:0 24 -fpsmax:v:0 18 -c:v:0 libx264") + track(0, "aac", "default")
               + split("-c:s:0 mov_text -disposition:s:0 0 -map_metadata 0")
        << QStringList{QStringLiteral("音轨 1 条，字幕 1 条（可切换）"), QStringLiteral("已烧录字幕：中文 · 简体中文")};
    QTest::newRow("DVD subtitles copied into .mp4")
        << mp4
        << withStreams({stream(StreamVideo, 0, "mpeg2video"), stream(StreamSubtitle, 1, "dvd_subtitle", "fre", "", true)})
        << source << split("-map 0:0 -map 0:1") + picture() + split("-c:s:0 copy -disposition:s:0 default -map_metadata 0")
        << QStringList{QStringLiteral("字幕 1 条（可切换）")};
    MediaInfo phone = withStreams({stream(StreamVideo, 0, "h264"), stream(StreamAudio, 1, "aac")});
    phone.streams[0].rotation = 90;
    QTest::newRow("a rotated picture copied into .avi: the row warns")
        << with(avi, [](AVSettings &s) { s.videoCodec = 6; }) << phone << source
        << split("-map 0:0 -map 0:1 -c:v:0 copy") + track(0, "mp3", "default") + split("-map_metadata 0")
        << QStringList{QStringLiteral("音轨 1 条"),
                       QStringLiteral("视频带有 90° 旋转标记，直接复制到 .avi 后播放时方向不对，可选择重新编码")};
    QTest::newRow("a file name that would end the filter or the graph")
        << makeAVSettings(1, 1, 1) << film() << QByteArray("/films/a'b:c,d[e];f\\g h.mkv")
        << split("-map 0:0 -map 0:1") + picture(R"(/films/a\\\'b\\:c\,d\[e\]\;f\\\\g\\\ h.mkv:si=0)")
               + track(0, "aac", "default") + filmDate
        << QStringList{QStringLiteral("音轨 1 条"), burnedChinese,
                       QStringLiteral("只保留了 1 条音轨（共 2 条）：.flv 只能保存一条音轨")};
    const MediaInfo clip = withStreams({phonePicture(), phoneSound()});
    const QString copiedPicture = QStringLiteral("视频直接复制，未重新编码");
    QTest::newRow("what fits is copied, and the row says so")
        << makeAVSettings(0, 3, 3) << clip << source
        << split("-map 0:0 -map 0:1 -c:v:0 copy -c:a:0 copy -disposition:a:0 default -map_metadata 0")
        << QStringList{QStringLiteral("音轨 1 条"), copiedPicture, QStringLiteral("音频直接复制，未重新编码")};
    MediaInfo hevc = clip;
    hevc.streams[0].codec = "hevc";
    hevc.streams[0].profile = "Main";
    QTest::newRow("HEVC copied into .mp4 as hvc1")
        << with(makeAVSettings(0, 3, 3), [](AVSettings &s) { s.videoCodec = 3; }) << hevc << source
        << split("-map 0:0 -map 0:1 -c:v:0 copy -tag:v:0 hvc1 -c:a:0 copy -disposition:a:0 default -map_metadata 0")
        << QStringList{QStringLiteral("音轨 1 条"), copiedPicture, QStringLiteral("音频直接复制，未重新编码")};
    QTest::newRow("H.264 copied into .avi with start codes, AAC to MP3")
        << makeAVSettings(2, 3, 3) << clip << source
        << split("-map 0:0 -map 0:1 -c:v:0 copy -bsf:v:0 h264_mp4toannexb -filter:a:0") + QByteArrayList{twoChannels.mid(4)}
               + split("-c:a:0 mp3 -disposition:a:0 default -map_metadata 0")
        << QStringList{QStringLiteral("音轨 1 条"), copiedPicture};
    QTest::newRow("a source that could not be read: ffmpeg's own choice, as before")
        << mp4 << MediaInfo() << source
        << split(sourceSize + " -crf 24 -fpsmax 18 -c:v libx264 " + timed + " -ar 44100 -b:a 128k -c:a aac")
        << QStringList();
}

void TestTranscodeCommand::plannedStreams()
{
    QFETCH(AVSettings, settings);
    QFETCH(MediaInfo, media);
    QFETCH(QByteArray, source);
    QFETCH(QByteArrayList, options);
    QFETCH(QStringList, notes);

    TranscodeCommand command(settings, media);
    command.inputPath = source;
    command.outputPath = "/out/out.mp4";
    const QByteArrayList arguments = command.arguments();
    QCOMPARE(arguments.mid(4, arguments.size() - 5), options);
    QCOMPARE(command.plan().notes, notes);
    // The readable line quotes whatever holds a space.
    QByteArray line = program + " -y -i \"" + source + '"';
    for (const QByteArray &option : options)
        line += ' ' + (option.contains(' ') ? '"' + option + '"' : option);
    QCOMPARE(command.commandLine(), line + " \"/out/out.mp4\"");
}

// Each row changes what its rule looks at in a phone's picture or sound.
void TestTranscodeCommand::copyDecision_data()
{
    QTest::addColumn<MediaStream>("stream");
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<bool>("burnsSubtitle");
    QTest::addColumn<int>("verdict");

    const MediaStream h264 = phonePicture();
    const MediaStream aac = phoneSound();
    const auto with = [](auto record, auto change) {
        change(record);
        return record;
    };
    const auto chosen = [](int container, int videoCodec, int audioCodec, int level = 3) {
        AVSettings s = makeAVSettings(container, level, level);
        s.videoCodec = videoCodec;
        s.audioCodec = audioCodec;
        return s;
    };
    const AVSettings mp4 = makeAVSettings(0, 3, 3);
    const auto codec = [&](const char *name, const char *profile = "") {
        return with(h264, [&](MediaStream &s) { s.codec = name; s.profile = profile; });
    };
    const auto track = [&](const char *name, int rate, int channels) {
        return with(aac, [&](MediaStream &s) { s.codec = name; s.profile = ""; s.sampleRate = rate; s.channels = channels; });
    };

    QTest::newRow("H.264 into .mp4 at 默认") << h264 << mp4 << false << CopyFits;
    QTest::newRow("尽量直接复制 off") << h264 << with(mp4, [](AVSettings &s) { s.copyIfFits = false; }) << false << CopyTurnedOff;
    QTest::newRow("HEVC chosen for H.264") << h264 << chosen(0, 3, 0) << false << CopyOtherCodec;
    QTest::newRow("HEVC Main into .mp4") << codec("hevc", "Main") << chosen(0, 3, 0) << false << CopyFits;
    QTest::newRow("HEVC Main 10") << with(codec("hevc", "Main 10"), [](MediaStream &s) { s.pixelFormat = "yuv420p10le"; })
                                  << chosen(0, 3, 0) << false << CopyNeedsFilter;
    QTest::newRow("HEVC into .avi plays badly") << codec("hevc", "Main") << chosen(2, 3, 1) << false << CopyNotPlayable;
    QTest::newRow("H.264 into .avi") << h264 << chosen(2, 2, 1) << false << CopyFits;
    QTest::newRow("H.264 into .flv") << h264 << chosen(1, 2, 0) << false << CopyFits;
    QTest::newRow("H.264 into .wmv plays badly") << h264 << chosen(3, 2, 2) << false << CopyNotPlayable;
    QTest::newRow("MPEG-4 for Xvid into .avi") << codec("mpeg4", "Advanced Simple Profile") << chosen(2, 1, 1) << false << CopyFits;
    QTest::newRow("MPEG-4 into .flv refused") << codec("mpeg4") << chosen(1, 0, 0) << false << CopyNotPlayable;
    QTest::newRow("WMV2 into .wmv, field order unknown")
        << with(codec("wmv2"), [](MediaStream &s) { s.fieldOrder.clear(); }) << chosen(3, 4, 2) << false << CopyFits;
    QTest::newRow("FLV1 into .flv") << codec("flv1") << chosen(1, 5, 0) << false << CopyFits;
    QTest::newRow("FLV1 into .avi plays badly") << codec("flv1") << chosen(2, 5, 1) << false << CopyNotPlayable;
    QTest::newRow("4:4:4") << with(h264, [](MediaStream &s) { s.profile = "High 4:4:4 Predictive"; s.pixelFormat = "yuv444p"; })
                           << mp4 << false << CopyNeedsFilter;
    QTest::newRow("pixel format unknown") << with(h264, [](MediaStream &s) { s.pixelFormat.clear(); }) << mp4 << false << CopyNeedsFilter;
    QTest::newRow("High 10 profile") << codec("h264", "High 10") << mp4 << false << CopyProfile;
    QTest::newRow("odd width") << with(h264, [](MediaStream &s) { s.width = 1917; }) << mp4 << false << CopyNeedsFilter;
    QTest::newRow("interlaced") << with(h264, [](MediaStream &s) { s.fieldOrder = "tt"; }) << mp4 << false << CopyNeedsFilter;
    const MediaStream turned = with(h264, [](MediaStream &s) { s.rotation = 90; });
    QTest::newRow("turned, into .mp4") << turned << mp4 << false << CopyFits;
    QTest::newRow("turned, into .avi") << turned << chosen(2, 2, 1) << false << CopyNeedsFilter;
    QTest::newRow("a subtitle to burn") << h264 << mp4 << true << CopyNeedsFilter;
    QTest::newRow("1080p in the 1280x720 box") << h264 << with(mp4, [](AVSettings &s) { s.resolution = 1; }) << false << CopyTooLarge;
    QTest::newRow("turned 1080p in the 1920x1080 box") << turned << with(mp4, [](AVSettings &s) { s.resolution = 0; }) << false << CopyTooLarge;
    QTest::newRow("720p in the 1280x720 box") << with(h264, [](MediaStream &s) { s.width = 1280; s.height = 720; })
                                              << with(mp4, [](AVSettings &s) { s.resolution = 1; }) << false << CopyFits;
    const AVSettings thirty = with(mp4, [](AVSettings &s) { s.frameRate = 30; });
    QTest::newRow("60 fps over a ceiling of 30") << with(h264, [](MediaStream &s) { s.frameRate = 60; }) << thirty << false << CopyFrameRate;
    QTest::newRow("29.97 fps under 30") << with(h264, [](MediaStream &s) { s.frameRate = 30000.0 / 1001; }) << thirty << false << CopyFits;
    QTest::newRow("frame rate unknown under a ceiling") << with(h264, [](MediaStream &s) { s.frameRate = -1; }) << thirty << false << CopyFrameRate;
    const AVSettings megabit = with(mp4, [](AVSettings &s) { s.videoBitrate = 1024; });
    QTest::newRow("4 Mb/s over 1024k") << h264 << megabit << false << CopyBitRate;
    QTest::newRow("bit rate unknown under 1024k") << with(h264, [](MediaStream &s) { s.bitRate = -1; }) << megabit << false << CopyBitRate;
    QTest::newRow("800 kb/s under 1024k") << with(h264, [](MediaStream &s) { s.bitRate = 800000; }) << megabit << false << CopyFits;
    QTest::newRow("AAC into .mp4 at 默认") << aac << mp4 << false << CopyFits;
    QTest::newRow("AAC Main profile") << with(aac, [](MediaStream &s) { s.profile = "Main"; }) << mp4 << false << CopyProfile;
    QTest::newRow("MP3 chosen for AAC") << aac << chosen(2, 2, 1) << false << CopyOtherCodec;
    QTest::newRow("AAC at 44.1 kHz into .flv") << aac << chosen(1, 2, 0) << false << CopyFits;
    QTest::newRow("AAC at 48 kHz into .flv") << with(aac, [](MediaStream &s) { s.sampleRate = 48000; }) << chosen(1, 2, 0) << false << CopySampleRate;
    QTest::newRow("AAC at 48 kHz, 44100 chosen") << with(aac, [](MediaStream &s) { s.sampleRate = 48000; }) << makeAVSettings(0, 3, 1)
                                                 << false << CopySampleRate;
    QTest::newRow("AAC at 22.05 kHz, 44100 chosen") << with(aac, [](MediaStream &s) { s.sampleRate = 22050; })
                                                    << makeAVSettings(0, 3, 1) << false << CopySampleRate;
    QTest::newRow("AAC at 128k, 128k chosen") << aac << makeAVSettings(0, 3, 1) << false << CopyFits;
    QTest::newRow("AAC at 192k, 128k chosen") << with(aac, [](MediaStream &s) { s.bitRate = 192000; }) << makeAVSettings(0, 3, 1)
                                              << false << CopyBitRate;
    QTest::newRow("MP3 stereo into .avi") << track("mp3", 44100, 2) << chosen(2, 2, 1) << false << CopyFits;
    QTest::newRow("MP3 5.1 into .avi") << track("mp3", 48000, 6) << chosen(2, 2, 1) << false << CopyChannels;
    QTest::newRow("WMA into .wmv") << track("wmav2", 44100, 2) << chosen(3, 4, 2) << false << CopyFits;
    QTest::newRow("WMA into .mp4 refused") << track("wmav2", 44100, 2) << chosen(0, 2, 2) << false << CopyNotPlayable;
}

void TestTranscodeCommand::copyDecision()
{
    QFETCH(MediaStream, stream);
    QFETCH(AVSettings, settings);
    QFETCH(bool, burnsSubtitle);
    QFETCH(int, verdict);

    QCOMPARE(copyVerdict(stream, settings, burnsSubtitle), verdict);
}

void TestTranscodeCommand::unusualPaths_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("spaces") << QByteArray("/home/me/My Videos/a  b.mkv")
                            << QByteArray("/home/me/Out Dir/Vantor转码-a  b.mp4");
    QTest::newRow("Chinese") << QByteArray("/视频/片段 一.mkv")
                             << QByteArray("/输出/Vantor转码-片段 一.mp4");
    QTest::newRow("double quote that would add options")
        << QByteArray("/tmp/a\" -f null \"b.mkv") << QByteArray("/tmp/Vantor转码-x\".mp4");
    QTest::newRow("leading dash") << QByteArray("-i.mkv") << QByteArray("/o/-y.mp4");
}

void TestTranscodeCommand::unusualPaths()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);

    TranscodeCommand command(makeAVSettings(3, 3, 3));
    command.inputPath = input;
    command.outputPath = output;

    // The readable line keeps the paths verbatim inside plain quotes.
    const QByteArray options = sourceSize + " -c:v wmv2 " + wmaFormat + " -c:a wmav2";
    QCOMPARE(command.commandLine(), program + " -y -i \"" + input + "\" " + options + " \"" + output + '"');
    // The vector keeps each path one element, whatever it holds.
    QCOMPARE(command.arguments(), (QByteArrayList{program, "-y", "-i", input} + split(options)
                                   + QByteArrayList{output}));
}

void TestTranscodeCommand::outputPath_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<QByteArray>("baseName");
    QTest::addColumn<QByteArray>("sourceExtension");
    QTest::addColumn<int>("container");
    QTest::addColumn<QByteArray>("path");

    QTest::newRow("a.b.mkv to .mp4") << QByteArray("/out") << QByteArray("a.b") << QByteArray(".mkv")
                                      << 0 << QByteArray("/out/Vantor转码-a.b.mp4");
    QTest::newRow("to .wmv") << QByteArray("C:/Users/me/Videos") << QByteArray("clip")
                              << QByteArray(".mkv") << 3
                              << QByteArray("C:/Users/me/Videos/Vantor转码-clip.wmv");
    QTest::newRow("container 7 keeps .rmvb") << QByteArray("/out") << QByteArray("clip")
                                              << QByteArray(".rmvb") << 7
                                              << QByteArray("/out/Vantor转码-clip.rmvb");
    QTest::newRow("container -1 keeps .MKV") << QByteArray("/out") << QByteArray("Clip")
                                              << QByteArray(".MKV") << -1
                                              << QByteArray("/out/Vantor转码-Clip.MKV");
    QTest::newRow("Chinese directory and name") << QByteArray("/home/我/视频") << QByteArray("片段")
                                                 << QByteArray(".flv") << 1
                                                 << QByteArray("/home/我/视频/Vantor转码-片段.flv");
    QTest::newRow("trailing slash doubles") << QByteArray("/out/") << QByteArray("a")
                                             << QByteArray(".mkv") << 2
                                             << QByteArray("/out//Vantor转码-a.avi");
#ifndef Q_OS_WIN
    QTest::newRow("backslash is part of the name") << QByteArray("/out") << QByteArray("a\\b")
                                                    << QByteArray(".mkv") << 0
                                                    << QByteArray("/out/Vantor转码-a\\b.mp4");
#endif
}

void TestTranscodeCommand::outputPath()
{
    QFETCH(QByteArray, directory);
    QFETCH(QByteArray, baseName);
    QFETCH(QByteArray, sourceExtension);
    QFETCH(int, container);
    QFETCH(QByteArray, path);

    QCOMPARE(makeOutputPath(directory, baseName, sourceExtension, container), path);
}

void TestTranscodeCommand::sameBaseNameSameOutput()
{
    // The later job overwrites the earlier one's result.
    QCOMPARE(makeOutputPath("/out", "clip", ".mkv", 0), makeOutputPath("/out", "clip", ".avi", 0));
}

QTEST_GUILESS_MAIN(TestTranscodeCommand)
#include "tst_transcodecommand.moc"
