#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "avsettings.h"
#include "catalogue.h"
#include "inputitem.h"
#include "processes.h"
#include "programs.h"
#include "settings.h"
#include "transcodecommand.h"

Q_DECLARE_METATYPE(AVSettings)

// Real conversions of unusual sources and choices: what ffmpeg is asked,
// what the row then says, and whether the file it keeps really decodes.

namespace {

constexpr int conversionTimeoutMs = 120000;

bool makeClip(const QString &path, const QStringList &options)
{
    return runProgram(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + options + QStringList{path})
        .ok;
}

QStringList lavfiClip(double seconds, bool withAudio = true)
{
    const QString length = QString::number(seconds);
    QStringList options{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=" + length};
    if (withAudio)
        options << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=44100:duration=" + length;
    return options;
}

// Overwrites the header of one AC-3 frame in the middle of the file, found
// from ffprobe's packet positions: the decoder rejects that frame only.
bool damageOneAc3Frame(const QString &path)
{
    const ProgramRun probe = runProgram(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "a",
                                                                    "-show_entries", "packet=pos,size", "-of",
                                                                    "json", path});
    QList<qint64> positions;
    for (const QJsonValue &packet : QJsonDocument::fromJson(probe.output)["packets"].toArray()) {
        if (packet["pos"].isString())
            positions << packet["pos"].toString().toLongLong();
    }
    QFile file(path);
    if (!probe.ok || positions.isEmpty() || !file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    // Container headers sit between a packet's position and its frame.
    const int sync = bytes.indexOf("\x0b\x77", int(positions.at(positions.size() / 2)));
    if (sync < 0 || sync + 10 > bytes.size())
        return false;
    bytes.replace(sync + 4, 6, QByteArray(6, '\xff'));
    return file.seek(0) && file.write(bytes) == bytes.size();
}

// The streams ffprobe finds after decoding every frame, as "codec@rate" for
// audio; empty when it reports any error.
QStringList decodedStreams(const QString &path, QByteArray *errors)
{
    const ProgramRun probe = runProgram(QStringLiteral("ffprobe"),
                                        {"-v", "error", "-count_frames", "-of", "json", "-show_entries",
                                         "stream=codec_type,codec_name,sample_rate,nb_read_frames", path});
    *errors = probe.errors;
    if (!probe.ok || !probe.errors.isEmpty())
        return {};
    QStringList streams;
    for (const QJsonValue &value : QJsonDocument::fromJson(probe.output)["streams"].toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream["nb_read_frames"].toString().toInt() < 1)
            return {};
        QString text = stream["codec_name"].toString();
        if (stream["codec_type"].toString() == QLatin1String("audio"))
            text += '@' + stream["sample_rate"].toString();
        streams << text;
    }
    return streams;
}

bool containsRun(const QByteArrayList &arguments, const QByteArrayList &part)
{
    for (int at = 0; at + part.size() <= arguments.size(); ++at) {
        if (arguments.mid(at, part.size()) == part)
            return true;
    }
    return false;
}

// ffmpeg's output for the command, run apart from any job.
QByteArray transcoderOutput(TranscodeCommand command)
{
    command.outputPath = outputDir + "/apart" + containerExtensions.at(command.settings.container);
    QStringList arguments;
    for (const QByteArray &argument : command.arguments().mid(1))
        arguments << QString::fromUtf8(argument);
    const ProgramRun transcoder = runProgram(QString::fromUtf8(command.program), arguments);
    QFile::remove(QString::fromUtf8(command.outputPath));
    return transcoder.errors + transcoder.output;
}

} // namespace

class TestFaithfulResults final : public QObject
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
};

void TestFaithfulResults::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
    const auto add = [this](const QString &name, const QStringList &options) {
        const QString path = dir.filePath(name);
        sources.insert(name, path);
        return makeClip(path, options);
    };
    const QStringList h264Aac{"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest"};
    QVERIFY(add("clip.mkv", lavfiClip(1) + h264Aac));
    QVERIFY(add("short.mkv", lavfiClip(0.4) + h264Aac));
    QVERIFY(add("raw.h264", lavfiClip(1, false) + QStringList{"-c:v", "libx264", "-f", "h264"}));
    QVERIFY(add("program.mpg", lavfiClip(1) + QStringList{"-c:v", "mpeg2video", "-c:a", "mp2",
                                                          "-f", "mpeg"}));
    QVERIFY(add("titled.mkv", lavfiClip(1) + h264Aac
                                  + QStringList{"-metadata", "title=No such file or directory"}));
    QVERIFY(add("clip.wmv", lavfiClip(1) + QStringList{"-c:v", "wmv2", "-c:a", "wmav2"}));
    QVERIFY(add("ac3.mkv", lavfiClip(2) + QStringList{"-c:v", "libx264", "-c:a", "ac3", "-shortest"}));
    QVERIFY(add("ac3.mpg", lavfiClip(2) + QStringList{"-c:v", "mpeg2video", "-c:a", "ac3",
                                                      "-shortest", "-f", "mpeg"}));
    QVERIFY(damageOneAc3Frame(sources["ac3.mkv"]));
    QVERIFY(damageOneAc3Frame(sources["ac3.mpg"]));
}

void TestFaithfulResults::init()
{
    const QString out = dir.filePath("out");
    QDir(out).removeRecursively();
    QVERIFY(QDir().mkpath(out));
    outputDir = out.toUtf8();
}

void TestFaithfulResults::cleanup()
{
    QCOMPARE(childProcesses().size(), 0);
}

void TestFaithfulResults::conversion_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<AVSettings>("settings");
    // Consecutive arguments ffmpeg must get, and options it must not.
    QTest::addColumn<QByteArrayList>("given");
    QTest::addColumn<QByteArrayList>("withheld");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("errorText");
    QTest::addColumn<QByteArray>("warningText");
    // ffprobe's streams of the kept file; audio as "codec@rate".
    QTest::addColumn<QStringList>("streams");
    // What ffmpeg's own output lacks for this case, when it matters.
    QTest::addColumn<QByteArray>("unprinted");

    const QByteArrayList none;
    const QByteArray ok;
    const QByteArray damaged = "源文件有损坏的帧，已跳过\n";
    QTest::newRow("under a second to .wmv")
        << "short.mkv" << chosen(3, -1, -1) << QByteArrayList{"-c:v", "wmv2"} << none << ConvertDone
        << ok << ok << QStringList{"wmv2", "wmav2@44100"} << ok;
    QTest::newRow("raw H.264 without a duration")
        << "raw.h264" << chosen(0, -1, -1) << QByteArrayList{"-c:v", "libx264"} << none << ConvertDone
        << ok << ok << QStringList{"h264"} << ok;
    // ffmpeg prints no encoder statistics for a copy; MP4 reads MPEG audio
    // of any layer back as mp3.
    QTest::newRow("MPEG-2 program stream copied into .mp4")
        << "program.mpg" << chosen(0, 6, 3) << QByteArrayList{"-c:v", "copy", "-c:a", "copy"}
        << QByteArrayList{"-r", "-b:v", "-ar", "-b:a"} << ConvertDone << ok << ok
        << QStringList{"mpeg2video", "mp3@44100"} << QByteArray("kb/s:");
    QTest::newRow("title that reads like an error")
        << "titled.mkv" << chosen(0, -1, -1) << QByteArrayList{"-c:v", "libx264"} << none
        << ConvertDone << ok << ok << QStringList{"h264", "aac@44100"} << ok;
    QTest::newRow("damaged AC-3 frame in .mkv")
        << "ac3.mkv" << chosen(0, -1, -1) << QByteArrayList{"-c:a", "aac"} << none << ConvertDone
        << ok << damaged << QStringList{"h264", "aac@44100"} << ok;
    QTest::newRow("damaged AC-3 frame in .mpg")
        << "ac3.mpg" << chosen(0, -1, -1) << QByteArrayList{"-c:a", "aac"} << none << ConvertDone
        << ok << damaged << QStringList{"h264", "aac@44100"} << ok;
    QTest::newRow("MP3 at the low level into .flv")
        << "clip.mkv" << chosen(1, -1, 1, 1, 0) << QByteArrayList{"-ar", "22050", "-b:a", "32k", "-c:a", "mp3"}
        << none << ConvertDone << ok << ok << QStringList{"h264", "mp3@22050"} << ok;
    // -strict -1 would write a file no reader can take.
    QTest::newRow("MPEG-4 into .flv")
        << "clip.mkv" << chosen(1, 0, -1) << QByteArrayList{"-c:v", "mpeg4"}
        << QByteArrayList{"-strict"} << ConvertError
        << QByteArray("FLV 格式不支持所选的视频编码！\n") << ok << QStringList() << ok;
    QTest::newRow("HEVC into .avi")
        << "clip.mkv" << chosen(2, 3, -1) << QByteArrayList{"-c:v", "libx265", "-tag:v", "HEVC"}
        << none << ConvertDone << ok << ok << QStringList{"hevc", "mp3@44100"} << ok;
    QTest::newRow("WMV copied into .mp4")
        << "clip.wmv" << chosen(0, 6, 3) << QByteArrayList{"-c:v", "copy"} << none << ConvertError
        << QByteArray("输出格式无法容纳复制的音视频流，请选择其他编码！\n") << ok << QStringList() << ok;
}

void TestFaithfulResults::conversion()
{
    QFETCH(QString, source);
    QFETCH(AVSettings, settings);
    QFETCH(QByteArrayList, given);
    QFETCH(QByteArrayList, withheld);
    QFETCH(int, state);
    QFETCH(QByteArray, errorText);
    QFETCH(QByteArray, warningText);
    QFETCH(QStringList, streams);
    QFETCH(QByteArray, unprinted);

    const QString input = sources.value(source);
    TranscodeCommand command(settings);
    command.inputPath = input.toUtf8();
    const QByteArrayList arguments = command.arguments();
    QVERIFY2(containsRun(arguments, given), arguments.join(' '));
    for (const QByteArray &option : withheld)
        QVERIFY2(!arguments.contains(option), arguments.join(' '));
    if (!unprinted.isEmpty())
        QVERIFY(!transcoderOutput(command).contains(unprinted));

    InputItem item(nullptr);
    QCOMPARE(item.setInputFile(input.toUtf8(), settings), ResultOk);
    QSignalSpy done(&item, &InputItem::ItemConvertDone);
    QCOMPARE(item.startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, conversionTimeoutMs);

    TranscodeJob *job = item.job();
    QCOMPARE(job->state(), state);
    QCOMPARE(job->errorText(), errorText);
    QCOMPARE(job->warningText(), warningText);
    const QString reason = item.findChild<QLabel *>("status")->toolTip();
    if (state == ConvertError) {
        QCOMPARE(reason, QString::fromUtf8(errorText).trimmed());
        QVERIFY(!QFile::exists(QString::fromUtf8(job->outputPath())));
        QVERIFY(!QFile::exists(QString::fromUtf8(job->partialPath())));
        return;
    }
    QCOMPARE(reason, QString::fromUtf8(warningText).trimmed());
    QByteArray errors;
    QCOMPARE(decodedStreams(QString::fromUtf8(job->outputPath()), &errors), streams);
    QCOMPARE(errors, QByteArray());
}

QTEST_MAIN(TestFaithfulResults)
#include "tst_faithfulresults.moc"
