#include <QtTest>

#include "avsettingsprinter.h"
#include "catalogue.h"
#include "presettexts.h"
#include "records.h"
#include "targettext.h"

namespace {

MediaStream picture(int width, int height, double rate, int rotation = 0, int aspectNum = 0,
                    int aspectDen = 0)
{
    MediaStream s = stream(StreamVideo, 0, "mpeg2video");
    s.width = width;
    s.height = height;
    s.frameRate = rate;
    s.rotation = rotation;
    s.aspectNum = aspectNum;
    s.aspectDen = aspectDen;
    return s;
}

MediaInfo source(const QList<MediaStream> &streams, double duration = -1)
{
    MediaInfo media = withStreams(streams);
    media.duration = duration;
    return media;
}

AVSettings sized(AVSettings settings, int resolution)
{
    settings.resolution = resolution;
    return settings;
}

AVSettings coded(AVSettings settings, int videoCodec, int audioCodec)
{
    settings.videoCodec = videoCodec;
    settings.audioCodec = audioCodec;
    return settings;
}

} // namespace

// What a row says its file becomes, and what the bar says the settings hold
// beyond its levels.
class TestTargetText final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initCatalogue(); }
    void rowSaysWhatTheFileBecomes_data();
    void rowSaysWhatTheFileBecomes();
    void barSaysWhatTheLevelsDoNotShow_data();
    void barSaysWhatTheLevelsDoNotShow();
};

void TestTargetText::rowSaysWhatTheFileBecomes_data()
{
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<MediaInfo>("media");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("length");

    const AVSettings medium = makeAVSettings(0, 1, 1);
    // Streams no output takes as they are, so that each is encoded.
    const MediaStream ac3 = stream(StreamAudio, 1, "ac3");
    QTest::newRow("not read yet: the settings, no size")
        << medium << MediaInfo() << "→ MP4 · H.264 18 帧/秒 · AAC" << "";
    QTest::newRow("wide source in the chosen box, rate capped")
        << sized(medium, 1) << source({picture(1920, 1080, 25), ac3}, 754.4)
        << "→ MP4 · H.264 1280x720 18 帧/秒 · AAC" << "12:34";
    // 176x144 with 12:11 pixels shows as 4:3; 15 frames a second stay.
    QTest::newRow("phone clip by its displayed shape")
        << sized(medium, 1) << source({picture(176, 144, 15, 0, 12, 11), ac3}, 3723)
        << "→ MP4 · H.264 960x720 · AAC" << "1:02:03";
    // Upright 1080x1920 in 1280x720: 405 wide, evened up as ffmpeg rounds.
    QTest::newRow("turned picture in a box")
        << sized(makeAVSettings(0, 3, 3), 1) << source({picture(1920, 1080, 30, 90), ac3}, 59.6)
        << "→ MP4 · H.264 406x720 · AAC" << "1:00";
    QTest::newRow("turned picture keeps its size, upright")
        << makeAVSettings(2, 3, 3) << source({picture(1920, 1080, 30, 270), ac3})
        << "→ AVI · H.264 1080x1920 · MP3" << "";
    QTest::newRow("odd sides evened")
        << makeAVSettings(3, 2, 1) << source({picture(175, 143, 60), ac3}, 5)
        << "→ WMV · WMV2 176x144 30 帧/秒 · WMA" << "0:05";
    QTest::newRow("copied streams")
        << coded(medium, 6, 3) << source({picture(1920, 1080, 25), ac3})
        << "→ MP4 · 直接复制 · 直接复制" << "";
    QTest::newRow("sound only") << medium << source({ac3}, 200) << "→ MP4 · AAC" << "3:20";
    QTest::newRow("unreadable: the settings")
        << coded(makeAVSettings(2, 3, 1), 6, 1) << MediaInfo() << "→ AVI · 直接复制 · MP3" << "";
}

void TestTargetText::rowSaysWhatTheFileBecomes()
{
    QFETCH(AVSettings, settings);
    QFETCH(MediaInfo, media);
    QFETCH(QString, target);
    QFETCH(QString, length);

    QCOMPARE(targetText(settings, media), target);
    QCOMPARE(lengthText(media.duration), length);
}

void TestTargetText::barSaysWhatTheLevelsDoNotShow_data()
{
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<QString>("marker");

    const AVSettings medium = makeAVSettings(0, 1, 1);
    QTest::newRow("the levels as they are") << medium << "";
    QTest::newRow("another container's codecs") << makeAVSettings(3, 0, 2) << "";
    QTest::newRow("a size") << sized(medium, 1) << "（已自定义：1280x720）";
    AVSettings several = coded(sized(makeAVSettings(0, 3, 3), 0), 3, 3);
    several.frameRate = 24;
    several.audioTracks = OneAudioTrack;
    several.audioLanguage = "eng";
    several.subtitleMode = SubtitlesBurn;
    several.subtitleLanguage = "chi";
    QTest::newRow("size, codecs, rate, tracks")
        << several << "（已自定义：1920x1080、H.265、24 帧/秒、音频直接复制、音轨：英语、烧录字幕：中文）";
    AVSettings rates = medium;
    rates.crf = -1;
    rates.videoBitrate = 2048;
    rates.sampleRate = 48000;
    rates.subtitleMode = SubtitlesNone;
    QTest::newRow("rates and no subtitles")
        << rates << "（已自定义：CRF 默认、视频 2048 kb/s、48000 Hz、不要字幕）";
}

void TestTargetText::barSaysWhatTheLevelsDoNotShow()
{
    QFETCH(AVSettings, settings);
    QFETCH(QString, marker);

    QCOMPARE(customisedText(settings), marker);
}

QTEST_GUILESS_MAIN(TestTargetText)
#include "tst_targettext.moc"
