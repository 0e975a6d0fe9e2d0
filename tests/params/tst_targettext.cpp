#include <QtTest>

#include "avsettingsprinter.h"
#include "catalogue.h"
#include "presettexts.h"
#include "records.h"
#include "targettext.h"

namespace {

// A record of a picture (of a codec no output takes as it is) and an AC-3
// track, so that both are encoded.
MediaInfo source(int width, int height, double rate, double duration, int rotation = 0,
                 int aspectNum = 0, int aspectDen = 0)
{
    MediaStream picture = stream(StreamVideo, 0, "mpeg2video");
    picture.width = width;
    picture.height = height;
    picture.frameRate = rate;
    picture.rotation = rotation;
    picture.aspectNum = aspectNum;
    picture.aspectDen = aspectDen;
    MediaInfo media = withStreams({picture, stream(StreamAudio, 1, "ac3")});
    media.duration = duration;
    return media;
}

AVSettings with(AVSettings settings, int resolution, int videoCodec = -1, int audioCodec = -1)
{
    settings.resolution = resolution;
    if (videoCodec >= 0)
        settings.videoCodec = videoCodec;
    if (audioCodec >= 0)
        settings.audioCodec = audioCodec;
    return settings;
}

} // namespace

// What a row says its file becomes, and what the bar says a record holds
// beyond its levels.
class TestTargetText final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initCatalogue(); }
    void texts_data();
    void texts();
};

void TestTargetText::texts_data()
{
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<MediaInfo>("media");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("marker");

    const AVSettings medium = makeAVSettings(0, 1, 1);
    QTest::newRow("not read yet: the settings, no size")
        << medium << MediaInfo() << "→ MP4 · H.264 18 帧/秒 · AAC" << "" << "";
    QTest::newRow("wide source in a chosen box, rate capped")
        << with(medium, 1) << source(1920, 1080, 25, 754.4) << "→ MP4 · H.264 1280x720 18 帧/秒 · AAC"
        << "12:34" << "（已自定义：1280x720）";
    // 176x144 with 12:11 pixels shows as 4:3; 15 frames a second stay.
    QTest::newRow("phone clip by its displayed shape")
        << with(medium, 1) << source(176, 144, 15, 3723, 0, 12, 11) << "→ MP4 · H.264 960x720 · AAC"
        << "1:02:03" << "（已自定义：1280x720）";
    // Upright 1080x1920 in 1280x720: 405 wide, evened up as ffmpeg rounds.
    QTest::newRow("turned picture in a box")
        << with(makeAVSettings(0, 3, 3), 1) << source(1920, 1080, 30, 59.6, 90)
        << "→ MP4 · H.264 406x720 · AAC" << "1:00" << "（已自定义：1280x720）";
    QTest::newRow("turned picture keeps its size, upright, another codec")
        << with(makeAVSettings(2, 3, 3), -1, 3) << source(1920, 1080, 30, -1, 270)
        << "→ AVI · H.265 1080x1920 · MP3" << "" << "（已自定义：H.265）";
    QTest::newRow("odd sides evened")
        << makeAVSettings(3, 2, 1) << source(175, 143, 60, 5) << "→ WMV · WMV2 176x144 30 帧/秒 · WMA"
        << "0:05" << "";
    QTest::newRow("copied streams")
        << with(medium, -1, 6, 3) << source(1920, 1080, 25, -1) << "→ MP4 · MPEG2VIDEO 直接复制 · AC3 直接复制" << ""
        << "（已自定义：视频直接复制、音频直接复制）";
    AVSettings chosen = with(medium, 0);
    chosen.crf = -1;
    chosen.videoBitrate = 2048;
    chosen.frameRate = 24;
    chosen.sampleRate = 48000;
    chosen.audioTracks = OneAudioTrack;
    chosen.audioLanguage = "eng";
    chosen.subtitleMode = SubtitlesBurn;
    chosen.subtitleLanguage = "chi";
    QTest::newRow("unreadable, every choice made")
        << chosen << MediaInfo() << "→ MP4 · H.264 24 帧/秒 · AAC" << ""
        << "（已自定义：1920x1080、CRF 默认、视频 2048 kb/s、24 帧/秒、48000 Hz、音轨：英语、烧录字幕：中文）";
}

void TestTargetText::texts()
{
    QFETCH(AVSettings, settings);
    QFETCH(MediaInfo, media);
    QFETCH(QString, target);
    QFETCH(QString, length);
    QFETCH(QString, marker);

    QCOMPARE(targetText(settings, media), target);
    QCOMPARE(lengthText(media.duration), length);
    QCOMPARE(customisedText(settings), marker);
}

QTEST_GUILESS_MAIN(TestTargetText)
#include "tst_targettext.moc"
