#include <QtTest>

#include "avsettings.h"
#include "avsettingsprinter.h"
#include "catalogue.h"
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
