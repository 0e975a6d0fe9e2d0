#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSize>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

#include "avsettings.h"
#include "catalogue.h"
#include "mediaprobe.h"
#include "processes.h"
#include "programs.h"
#include "transcodejob.h"

Q_DECLARE_METATYPE(AVSettings)

// Awkward sources through real jobs. Every file they keep must play on
// phones, televisions and browsers: 8-bit 4:2:0 with even sides, the
// displayed shape kept, streams as long as the source's that end together,
// no frame rate above the source's, nothing a decoder complains of.

namespace {

constexpr int conversionTimeoutMs = 120000;

bool ffmpeg(const QStringList &arguments)
{
    return runProgram(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + arguments).ok;
}

// Bars and a tone, the tone as long as the picture unless told otherwise.
QStringList lavfi(const QString &video, double seconds, double soundSeconds = 0)
{
    const QString length = QString::number(seconds);
    const QString soundLength = QString::number(soundSeconds > 0 ? soundSeconds : seconds);
    return {"-f", "lavfi", "-i", video + ":duration=" + length,
            "-f", "lavfi", "-i", "sine=duration=" + soundLength};
}

// One stream as its packets' timestamps tell it, never a header's duration.
struct Stream
{
    QString type;
    QString codec;
    QString tag;
    QString pixelFormat;
    QSize size;
    QString pixelShape;
    bool quarterTurn = false;
    int channels = 0;
    // What the decoder gives: frames, and sound in seconds.
    int frames = 0;
    double held = 0;
    double start = 0;
    double end = 0;

    double displayAspect() const
    {
        const QStringList shape = pixelShape.split(':');
        const double sar = shape.size() == 2 && shape.at(0).toInt() > 0
                               ? shape.at(0).toDouble() / shape.at(1).toDouble()
                               : 1;
        const double aspect = size.width() * sar / size.height();
        return quarterTurn ? 1 / aspect : aspect;
    }
    double rate() const { return frames / (end - start); }
};

struct Probe
{
    QList<Stream> streams;
    QByteArray errors;

    const Stream *stream(const QString &type) const
    {
        for (const Stream &s : streams) {
            if (s.type == type)
                return &s;
        }
        return nullptr;
    }
    double length() const
    {
        double start = 1e9;
        double end = -1e9;
        for (const Stream &s : streams) {
            start = std::min(start, s.start);
            end = std::max(end, s.end);
        }
        return end - start;
    }
};

// A packet without a duration (ASF's video) lasts as long as the stream's
// packets do on average.
void measure(Stream &stream, const QList<QPair<double, double>> &packets)
{
    if (packets.isEmpty())
        return;
    double first = 1e9;
    double last = -1e9;
    for (const auto &packet : packets) {
        first = std::min(first, packet.first);
        last = std::max(last, packet.first);
    }
    const double usual = packets.size() > 1 ? (last - first) / (packets.size() - 1) : 0;
    stream.start = first;
    stream.end = -1e9;
    for (const auto &packet : packets)
        stream.end = std::max(stream.end, packet.first + (packet.second > 0 ? packet.second : usual));
}

// Decodes every frame; whatever ffprobe reports on its error channel fails.
Probe probe(const QString &path)
{
    const ProgramRun probe = runProgram(
        QStringLiteral("ffprobe"),
        {"-v", "error", "-of", "json", "-show_entries",
         "stream=index,codec_type,codec_name,codec_tag_string,width,height,pix_fmt,sample_aspect_ratio,"
         "channels,sample_rate:stream_side_data=rotation:"
         "packet=stream_index,pts_time,dts_time,duration_time:frame=stream_index,nb_samples",
         path});
    Probe result;
    result.errors = probe.ok ? probe.errors : "ffprobe failed: " + probe.errors;
    const QJsonObject json = QJsonDocument::fromJson(probe.output).object();
    QHash<int, QList<QPair<double, double>>> packets;
    // Frames: how many, and how many samples.
    QHash<int, QPair<int, qint64>> decoded;
    for (const QJsonValue &value : json["packets_and_frames"].toArray()) {
        const QJsonObject entry = value.toObject();
        const int index = entry["stream_index"].toInt();
        if (entry["type"].toString() == QLatin1String("frame")) {
            ++decoded[index].first;
            decoded[index].second += entry["nb_samples"].toInt();
            continue;
        }
        // AVI's packets carry no presentation time; some of MPEG's carry none.
        const QJsonValue time = entry["pts_time"].isString() ? entry["pts_time"] : entry["dts_time"];
        if (time.isString())
            packets[index] << qMakePair(time.toString().toDouble(), entry["duration_time"].toString().toDouble());
    }
    for (const QJsonValue &value : json["streams"].toArray()) {
        const QJsonObject s = value.toObject();
        Stream stream;
        stream.type = s["codec_type"].toString();
        stream.codec = s["codec_name"].toString();
        stream.tag = s["codec_tag_string"].toString();
        stream.pixelFormat = s["pix_fmt"].toString();
        stream.size = QSize(s["width"].toInt(), s["height"].toInt());
        stream.pixelShape = s["sample_aspect_ratio"].toString();
        for (const QJsonValue &side : s["side_data_list"].toArray())
            stream.quarterTurn |= std::abs(side.toObject()["rotation"].toInt()) % 180 == 90;
        stream.channels = s["channels"].toInt();
        const QPair<int, qint64> frames = decoded.value(s["index"].toInt());
        stream.frames = frames.first;
        if (const int sampleRate = s["sample_rate"].toString().toInt())
            stream.held = double(frames.second) / sampleRate;
        measure(stream, packets.value(s["index"].toInt()));
        result.streams << stream;
    }
    return result;
}

QStringList h264Aac(const QString &pixelFormat = QStringLiteral("yuv420p"))
{
    return {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", pixelFormat, "-c:a", "aac"};
}

AVSettings chosen(int container, int level, int videoCodec = -1, int resolution = -1)
{
    AVSettings settings = makeAVSettings(container, level, level);
    if (videoCodec >= 0)
        settings.videoCodec = videoCodec;
    settings.resolution = resolution;
    return settings;
}

} // namespace

class TestPlayableFiles final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void conversion_data();
    void conversion();

private:
    QTemporaryDir dir;
    QHash<QString, QString> sources;
    QHash<QString, Probe> probes;
};

void TestPlayableFiles::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
    const auto add = [this](const QString &name, const QStringList &options) {
        const QString path = dir.filePath(name);
        sources.insert(name, path);
        return ffmpeg(options + QStringList{path});
    };
    const QString bars = QStringLiteral("testsrc=size=160x120:rate=25");
    QVERIFY(add("yuv444p.mkv", lavfi(bars, 4) + h264Aac("yuv444p")));
    QVERIFY(add("yuvj422p.avi", lavfi(bars, 4) + QStringList{"-c:v", "mjpeg", "-pix_fmt", "yuvj422p",
                                                             "-c:a", "pcm_s16le"}));
    QVERIFY(add("rgb24.mov", lavfi(bars, 4) + QStringList{"-c:v", "qtrle", "-pix_fmt", "rgb24",
                                                          "-c:a", "pcm_s16le"}));
    QVERIFY(add("84x33.avi", lavfi("testsrc=size=84x33:rate=25", 4)
                                 + QStringList{"-c:v", "mpeg4", "-c:a", "pcm_s16le", "-ar", "96000"}));
    // ffmpeg 5.1 keeps a rotation only on a copied stream.
    QVERIFY(add("upright.mkv", lavfi("testsrc=size=176x144:rate=25", 4) + h264Aac()));
    QVERIFY(add("portrait.mp4", {"-i", sources["upright.mkv"], "-c", "copy", "-metadata:s:v", "rotate=90"}));
    QVERIFY(add("anamorphic.mpg", lavfi("testsrc=size=720x576:rate=25", 4)
                                      + QStringList{"-aspect", "4:3", "-c:v", "mpeg2video",
                                                    "-c:a", "mp2", "-f", "mpeg"}));
    // Each frame woven of two moments 1/50 s apart, flagged top field first.
    QVERIFY(add("interlaced.mpg", lavfi("testsrc=size=160x120:rate=50", 4)
                                      + QStringList{"-vf", "interlace", "-c:v", "mpeg2video",
                                                    "-flags", "+ilme+ildct", "-top", "1",
                                                    "-c:a", "mp2", "-f", "mpeg"}));
    // 6 s of 5.1 sound whose timestamps step back 0.17 s every 20 packets
    // (Matroska counts in milliseconds), so they end with the 4 s picture.
    QVERIFY(add("steps back.mkv", lavfi(bars, 4, 6) + h264Aac()
                                      + QStringList{"-ac", "6", "-bsf:a", "setts=ts=TS-floor(N/20)*170"}));
    QVERIFY(add("8 fps.mkv", lavfi("testsrc=size=160x120:rate=8", 4) + h264Aac()));
    for (auto it = sources.cbegin(); it != sources.cend(); ++it)
        probes.insert(it.key(), probe(it.value()));
}

void TestPlayableFiles::init()
{
    const QString out = dir.filePath("out");
    QDir(out).removeRecursively();
    QVERIFY(QDir().mkpath(out));
    outputDir = out.toUtf8();
}

void TestPlayableFiles::cleanup()
{
    QCOMPARE(childProcesses().size(), 0);
}

void TestPlayableFiles::conversion_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<AVSettings>("settings");
    // The picture's stored size: even sides.
    QTest::addColumn<QSize>("size");

    const QSize small(160, 120);
    QTest::newRow("4:4:4 H.264 to .mp4") << "yuv444p.mkv" << chosen(0, 1) << small;
    QTest::newRow("4:4:4 H.264 to .flv in 480x320") << "yuv444p.mkv" << chosen(1, 0, -1, 3) << QSize(426, 320);
    QTest::newRow("4:2:2 Motion-JPEG to .avi") << "yuvj422p.avi" << chosen(2, 1) << small;
    QTest::newRow("RGB QuickTime to HEVC in .mp4") << "rgb24.mov" << chosen(0, 1, 3) << small;
    // Mono at 96 kHz, which .wmv at 默认 takes only resampled.
    for (int container = 0; container < 4; ++container) {
        QTest::addRow("84x33 to %s", containerExtensions.at(container).constData())
            << "84x33.avi" << chosen(container, container) << QSize(84, 34);
    }
    QTest::newRow("rotated portrait to .mp4 in 1280x720")
        << "portrait.mp4" << chosen(0, 0, -1, 1) << QSize(590, 720);
    QTest::newRow("anamorphic 4:3 to .mp4 in 720x480")
        << "anamorphic.mpg" << chosen(0, 0, -1, 2) << QSize(640, 480);
    QTest::newRow("anamorphic 4:3 to .avi at its size") << "anamorphic.mpg" << chosen(2, 0) << QSize(720, 576);
    QTest::newRow("interlaced MPEG-2 to .mp4 at 高质量") << "interlaced.mpg" << chosen(0, 2) << small;
    for (int container = 0; container < 4; ++container) {
        QTest::addRow("5.1 stepping back to %s", containerExtensions.at(container).constData())
            << "steps back.mkv" << chosen(container, 1) << small;
    }
    QTest::newRow("8 fps to .mp4 at 中质量") << "8 fps.mkv" << chosen(0, 1) << small;
    QTest::newRow("8 fps to .wmv at 低质量") << "8 fps.mkv" << chosen(3, 0) << small;
}

void TestPlayableFiles::conversion()
{
    QFETCH(QString, source);
    QFETCH(AVSettings, settings);
    QFETCH(QSize, size);

    TranscodeJob job;
    QCOMPARE(job.setInput(sources.value(source).toUtf8(), settings), ResultOk);
    job.setMedia(MediaProbe::read(sources.value(source).toUtf8()));
    QSignalSpy finished(&job, &TranscodeJob::finished);
    QCOMPARE(job.start(job.plannedOutputPath()), ResultOk);
    QVERIFY(finished.wait(conversionTimeoutMs));
    QVERIFY2(job.state() == ConvertDone, job.errorText().constData());

    const Probe &in = probes[source];
    const Probe out = probe(QString::fromUtf8(job.outputPath()));
    QCOMPARE(out.errors, QByteArray());
    QCOMPARE(out.streams.size(), in.streams.size());

    const Stream *picture = out.stream("video");
    QVERIFY(picture);
    QCOMPARE(picture->pixelFormat, QStringLiteral("yuv420p"));
    QCOMPARE(picture->size, size);
    const double aspect = in.stream("video")->displayAspect();
    QVERIFY2(std::abs(picture->displayAspect() / aspect - 1) <= 0.01,
             qPrintable(QStringLiteral("%1 for %2").arg(picture->displayAspect()).arg(aspect)));
    if (settings.resolution != -1)
        QCOMPARE(picture->pixelShape, QStringLiteral("1:1"));
    if (picture->codec == QLatin1String("hevc"))
        QCOMPARE(picture->tag, settings.container == 0 ? QStringLiteral("hvc1") : QStringLiteral("HEVC"));
    // Rounding to the level's clock may show a frame more or less.
    const double ceiling = settings.frameRate == -1
                               ? in.stream("video")->rate()
                               : std::min(in.stream("video")->rate(), double(settings.frameRate));
    QVERIFY2(picture->rate() <= ceiling * 1.02,
             qPrintable(QStringLiteral("%1 frames/s, at most %2").arg(picture->rate()).arg(ceiling)));

    const Stream *sound = out.stream("audio");
    QVERIFY(sound);
    const int channels = in.stream("audio")->channels;
    const bool twoAtMost = sound->codec == QLatin1String("mp3") || sound->codec == QLatin1String("wmav2");
    QCOMPARE(sound->channels, twoAtMost ? std::min(channels, 2) : channels);
    // The sound decoded fits its timestamps: none played over others, none
    // missing.
    const double length = in.length();
    QVERIFY2(std::abs(sound->held - (sound->end - sound->start)) <= 0.05 * length,
             qPrintable(QStringLiteral("%1 s of sound from %2 to %3 s").arg(sound->held).arg(sound->start)
                            .arg(sound->end)));
    for (const Stream &stream : out.streams) {
        QVERIFY2(std::abs(stream.end - stream.start - length) <= 0.05 * length,
                 qPrintable(QStringLiteral("%1 lasts %2 s of %3 s").arg(stream.type)
                                .arg(stream.end - stream.start).arg(length)));
    }
    QVERIFY2(std::abs(picture->end - sound->end) <= 0.2,
             qPrintable(QStringLiteral("picture ends at %1 s, sound at %2 s").arg(picture->end).arg(sound->end)));
}

QTEST_GUILESS_MAIN(TestPlayableFiles)
#include "tst_playablefiles.moc"
