#include <QtTest>

#include "avsettings.h"
#include "avsettingsprinter.h"
#include "catalogue.h"
#include "mediaprobe.h"
#include "outputparser.h"
#include "transcodecommand.h"

// Runs every combination the catalogue offers through Debian's ffmpeg 5.1, with
// the argument vector exactly as the jobs build it: what ffmpeg finishes must
// decode with the codecs and rates asked for, and what it refuses must say why.

namespace {

enum Outcome { Works, Refused, Undecodable, TimestampsRewritten };

const char *outcomeName(int outcome)
{
    static const char *const names[] = {"works", "refused", "undecodable", "timestamps rewritten"};
    return names[outcome];
}

// What ffmpeg 5.1 refuses although the catalogue offers it, with the line
// that says why and the reason the row then shows. A run that ends as done
// must always give a file that decodes. The first matching line wins; -1
// matches any value, an empty source any source.
struct KnownFailure
{
    const char *sourceSuffix;
    int container;
    int videoCodec;
    int audioCodec;
    int level;
    const char *message;
    const char *errorText;
};

const KnownFailure knownFailures[] = {
    // -strict -1 writes a file that neither ffmpeg nor libvlc can read.
    {"", 1, 0, -1, -1, "Codec mpeg4 is not supported in the official FLV",
     "FLV 格式不支持所选的视频编码！\n"},
    // H.264 copied out of .mkv keeps its length-prefixed form, which .avi
    // cannot hold; the filter that converts it refuses any other codec.
    {".mkv", 2, 6, -1, -1, "H.264 bitstream malformed, no startcode found",
     "输出格式无法容纳复制的音视频流，请选择其他编码！\n"},
};

const KnownFailure *knownFailure(const QString &suffix, const AVSettings &s)
{
    auto matches = [](int wanted, int value) { return wanted == -1 || wanted == value; };
    for (const KnownFailure &known : knownFailures) {
        if ((known.sourceSuffix[0] == '\0' || suffix == QLatin1String(known.sourceSuffix))
            && matches(known.container, s.container) && matches(known.videoCodec, s.videoCodec)
            && matches(known.audioCodec, s.audioCodec) && matches(known.level, s.videoQuality))
            return &known;
    }
    return nullptr;
}

struct Run
{
    int exitCode = -1;
    // Both channels, or standard output alone when errors are kept apart.
    QByteArray output;
    QByteArray errors;
};

Run runProgram(const QString &program, const QStringList &arguments, bool merged = true)
{
    QProcess process;
    process.setProcessChannelMode(merged ? QProcess::MergedChannels : QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    Run run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

QByteArray tail(const QByteArray &text)
{
    return text.right(600);
}

// What a stream ends up as after each encoder name (copy keeps the source's).
QString producedCodec(const QByteArray &encoder, bool video)
{
    static const QHash<QByteArray, QString> names{
        {"mpeg4", "mpeg4"}, {"libxvid", "mpeg4"}, {"libx264", "h264"}, {"libx265", "hevc"},
        {"wmv2", "wmv2"},   {"flv", "flv1"},      {"aac", "aac"},      {"mp3", "mp3"},
        {"wmav2", "wmav2"},
    };
    if (encoder == "copy")
        return video ? QStringLiteral("h264") : QStringLiteral("aac");
    return names.value(encoder);
}

// The source's 44100 Hz unless the level asks another rate; FLV cannot
// label MP3 at 24000 Hz, which then gets 22050.
int expectedSampleRate(const AVSettings &settings, const QByteArray &encoder)
{
    if (settings.sampleRate == -1 || encoder == "copy")
        return 44100;
    if (settings.container == 1 && encoder == "mp3" && settings.sampleRate == 24000)
        return 22050;
    return settings.sampleRate;
}

} // namespace

class TestFfmpegAcceptance final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void combination_data();
    void combination();

private:
    QString makeSource(const QString &suffix);
    void checkStreams(const QByteArray &probeJson, const AVSettings &settings);
    static QByteArray parsedErrorText(const TranscodeCommand &command, const QByteArray &output);

    QTemporaryDir workDir;
    QString ffmpeg;
    QString ffprobe;
    QHash<QString, QString> sources;
};

void TestFfmpegAcceptance::initTestCase()
{
    initCatalogue();
    ffmpeg = QStandardPaths::findExecutable(QString::fromUtf8(transcoderProgramName()));
    ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    QVERIFY2(!ffmpeg.isEmpty() && !ffprobe.isEmpty(), "ffmpeg and ffprobe must be on PATH");
    QVERIFY(workDir.isValid());
    QVERIFY(QDir(workDir.path()).mkpath(QStringLiteral("out")));
    for (const QString &suffix : {QStringLiteral(".mp4"), QStringLiteral(".mkv")})
        sources.insert(suffix, makeSource(suffix));
}

// One second at 160x120 and 25 fps with a mono tone; the name holds a space,
// a double quote and Chinese so that every run also proves the paths survive.
QString TestFfmpegAcceptance::makeSource(const QString &suffix)
{
    const QString path = workDir.filePath(QStringLiteral("片段 \"一\" 1") + suffix);
    const Run run = runProgram(ffmpeg, {"-v", "error", "-y",
                                        "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1",
                                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1",
                                        "-c:v", "libx264", "-c:a", "aac", "-shortest", path});
    if (run.exitCode != 0 || !QFileInfo::exists(path))
        qFatal("cannot generate the source clip: %s", run.output.constData());
    return path;
}

void TestFfmpegAcceptance::combination_data()
{
    QTest::addColumn<QString>("sourceSuffix");
    QTest::addColumn<AVSettings>("settings");

    // Every offered codec pair of every container at the four level pairs; the
    // .mkv source only where it makes a difference, the copied H.264.
    for (const QString &suffix : {QStringLiteral(".mp4"), QStringLiteral(".mkv")}) {
        for (const auto &container : containerExtensions) {
            for (int video : offeredVideoCodecs(container.first)) {
                if (suffix == QLatin1String(".mkv") && video != 6)
                    continue;
                for (int audio : offeredAudioCodecs(container.first)) {
                    for (int level = 0; level < 4; ++level) {
                        AVSettings settings = makeAVSettings(container.first, level, level);
                        settings.videoCodec = video;
                        settings.audioCodec = audio;
                        QTest::addRow("%s to %s %s+%s level %d", qPrintable(suffix),
                                      container.second.constData(),
                                      videoCodecIds.at(video).constData(),
                                      audioCodecIds.at(audio).constData(), level)
                            << suffix << settings;
                    }
                }
            }
        }
    }
}

void TestFfmpegAcceptance::combination()
{
    QFETCH(QString, sourceSuffix);
    QFETCH(AVSettings, settings);

    const QString source = sources.value(sourceSuffix);
    const QFileInfo sourceInfo(source);
    // Every stream named, as a listed file's command has them.
    TranscodeCommand command(settings, MediaProbe::read(source.toUtf8()));
    command.inputPath = source.toUtf8();
    command.outputPath = makeOutputPath(workDir.filePath(QStringLiteral("out")).toUtf8(),
                                        sourceInfo.completeBaseName().toUtf8(),
                                        "." + sourceInfo.suffix().toUtf8(), settings.container);
    const QString output = QString::fromUtf8(command.outputPath);
    QFile::remove(output);

    QStringList arguments;
    for (const QByteArray &argument : command.arguments().mid(1))
        arguments << QString::fromUtf8(argument);
    const Run conversion = runProgram(ffmpeg, arguments);

    Outcome outcome = Works;
    QByteArray evidence = conversion.output;
    Run probe;
    if (conversion.exitCode != 0) {
        outcome = Refused;
    } else {
        QVERIFY2(QFileInfo::exists(output), "ffmpeg exited 0 without the output file");
        // ffprobe decodes every frame and speaks only of what fails. (ffmpeg's
        // own read-back to null also flags the last B-frames of any H.264 in
        // .avi, which carry no timestamp, though they decode.)
        probe = runProgram(ffprobe, {"-v", "error", "-count_frames", "-of", "json",
                                     "-show_entries",
                                     "stream=codec_type,codec_name,sample_rate,r_frame_rate,"
                                     "pix_fmt,nb_read_frames",
                                     output}, false);
        if (probe.exitCode != 0 || !probe.errors.isEmpty()) {
            outcome = Undecodable;
            evidence = probe.errors;
        } else if (conversion.output.contains("Non-monotonous DTS")) {
            outcome = TimestampsRewritten;
        }
    }

    const KnownFailure *known = knownFailure(sourceSuffix, settings);
    const Outcome expected = known ? Refused : Works;
    QVERIFY2(outcome == expected,
             QByteArray(QByteArray("got ") + outcomeName(outcome) + ", expected "
                        + outcomeName(expected) + "\n" + command.commandLine() + "\n"
                        + tail(evidence)).constData());
    if (known) {
        QVERIFY2(evidence.contains(known->message), tail(evidence).constData());
        QCOMPARE(parsedErrorText(command, conversion.output), QByteArray(known->errorText));
        return;
    }
    checkStreams(probe.output, settings);
}

// The row's error text, as the job's parser reads this run's output.
QByteArray TestFfmpegAcceptance::parsedErrorText(const TranscodeCommand &command,
                                                 const QByteArray &output)
{
    OutputParser parser;
    parser.reset(command.inputPath, command.outputPath);
    parser.processRead(output.constData(), output.size());
    parser.flush();
    return parser.verdict(false, false) ? QByteArray() : parser.errorText;
}

// ffprobe's streams hold the codecs, sample rate, frame rate, picture format
// and number of frames the vector asked for.
void TestFfmpegAcceptance::checkStreams(const QByteArray &probeJson, const AVSettings &settings)
{
    const QJsonArray streams = QJsonDocument::fromJson(probeJson).object().value("streams").toArray();
    QCOMPARE(streams.size(), 2);

    const QByteArray videoEncoder = videoCodecIds.at(settings.videoCodec);
    const QByteArray audioEncoder = audioCodecIds.at(settings.audioCodec);
    for (const QJsonValue &value : streams) {
        const QJsonObject stream = value.toObject();
        if (stream.value("codec_type").toString() == QLatin1String("video")) {
            QCOMPARE(stream.value("codec_name").toString(), producedCodec(videoEncoder, true));
            // The level's rate is a ceiling over the source's 25 frames/s,
            // which a copy keeps whatever the level asks.
            const bool copied = videoEncoder == "copy";
            const int rate = settings.frameRate == -1 || copied ? 25 : qMin(settings.frameRate, 25);
            QCOMPARE(stream.value("r_frame_rate").toString(), QStringLiteral("%1/1").arg(rate));
            // The source is 4:4:4, which only a copy keeps.
            QCOMPARE(stream.value("pix_fmt").toString(),
                     copied ? QStringLiteral("yuv444p") : QStringLiteral("yuv420p"));
            // At least a second's worth of frames decodes: no part of the
            // one-second source is lost.
            const int frames = stream.value("nb_read_frames").toString().toInt();
            QVERIFY2(frames >= qMin(rate, 25), qPrintable(QString::number(frames)));
        } else {
            QCOMPARE(stream.value("codec_name").toString(), producedCodec(audioEncoder, false));
            QCOMPARE(stream.value("sample_rate").toString(),
                     QString::number(expectedSampleRate(settings, audioEncoder)));
        }
    }
}

QTEST_GUILESS_MAIN(TestFfmpegAcceptance)
#include "tst_ffmpegacceptance.moc"
