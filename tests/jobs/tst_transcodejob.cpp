#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogue.h"
#include "partialoutput.h"
#include "processes.h"
#include "scripts.h"
#include "transcodejob.h"
#include "waits.h"

// A job without any widget, under QCoreApplication: a fake transcoder
// replays a recorded ffmpeg 5.1 transcript, once in one write and once cut
// into two writes at many offsets, among them one inside each marker the
// parser looks for. However the output is cut, the job ends the same way.
class TestTranscodeJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void cutAnywhere_data();
    void cutAnywhere();
    void verdict_data();
    void verdict();
    void stopDuringReadBack();
    void plantedLinks_data();
    void plantedLinks();

private:
    struct Outcome
    {
        int state = -1;
        QByteArray errorText;
        QByteArray warningText;
        QList<int> percents;
    };
    Outcome run(const QByteArray &program);

    void writeProbe(const QByteArray &body);

    QTemporaryDir dir;
    QByteArray source;
    QByteArray savedPath;
};

namespace {

const char *const markers[] = {
    "Duration:",
    "time=",
    "kb/s:",
    "No such file or directory",
    "Invalid data found when processing input",
};

QByteArray transcript(const QString &name)
{
    QFile file(QStringLiteral(VANTOR_TEST_DATA_DIR "/jobs/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The percentages the transcript's own progress records give.
QList<int> recordedPercents(const QByteArray &log)
{
    const QRegularExpression duration(QStringLiteral("Duration: (\\d\\d):(\\d\\d):(\\d\\d)"));
    const QRegularExpression position(QStringLiteral("time=(\\d\\d):(\\d\\d):(\\d\\d)"));
    auto seconds = [](const QRegularExpressionMatch &m) {
        return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt();
    };
    const QString text = QString::fromUtf8(log);
    const int length = seconds(duration.match(text));
    QList<int> percents;
    for (auto it = position.globalMatch(text); it.hasNext();) {
        const int at = seconds(it.next());
        if (length > 0 && at > 0)
            percents << qMax(1, at * 100 / length);
    }
    return percents;
}

} // namespace

void TestTranscodeJob::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
    outputDir = dir.path().toUtf8();
    source = (dir.path() + "/clip.mp4").toUtf8();
    QFile clip(QString::fromUtf8(source));
    QVERIFY(clip.open(QIODevice::WriteOnly));
    clip.write("source");
    // The read-back's ffprobe is looked up on PATH; a fake one comes first.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("probe")));
    savedPath = qgetenv("PATH");
    qputenv("PATH", dir.filePath(QStringLiteral("probe")).toUtf8() + ':' + savedPath);
}

void TestTranscodeJob::cleanupTestCase()
{
    qputenv("PATH", savedPath);
}

void TestTranscodeJob::cleanup()
{
    QCOMPARE(childProcesses().size(), 0);
}

void TestTranscodeJob::writeProbe(const QByteArray &body)
{
    QVERIFY(!writeScript(dir.filePath(QStringLiteral("probe")), QStringLiteral("ffprobe"), body).isEmpty());
}

void TestTranscodeJob::cutAnywhere_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("errorText");
    QTest::addColumn<QByteArray>("warningText");

    struct Case
    {
        const char *log;
        int exitStatus;
        int state;
        const char *errorText;
        const char *warningText;
    };
    const Case cases[] = {
        {"x264_mp4_mid.log", 0, ConvertDone, "", ""},
        // ffmpeg went on past the damage and exited 0 with a file.
        {"trunc_half_faststart_mp4.log", 0, ConvertDone, "",
         "源文件有损坏的帧，已跳过\n源文件不完整：只转换了前 4.9 秒（共 10.0 秒）\n"},
        {"out_dir_missing.log", 1, ConvertError, "文件或文件夹不存在！\n", ""},
    };
    for (const Case &c : cases) {
        const QByteArray log = transcript(QLatin1String(c.log));
        QVERIFY2(!log.isEmpty(), c.log);
        auto row = [&](const QByteArray &what, int cut) {
            QTest::addRow("%s, %s", c.log, what.constData())
                << QString::fromLatin1(c.log) << c.exitStatus << cut << c.state
                << QByteArray(c.errorText) << QByteArray(c.warningText);
        };
        row("whole", -1);
        for (const char *marker : markers) {
            const int at = log.indexOf(marker);
            if (at >= 0)
                row(QByteArray("inside ") + marker, at + int(qstrlen(marker)) / 2);
        }
        constexpr int evenCuts = 14;
        for (int i = 1; i <= evenCuts; ++i) {
            const int cut = int(qint64(log.size()) * i / (evenCuts + 1));
            row("at byte " + QByteArray::number(cut), cut);
        }
    }
}

TestTranscodeJob::Outcome TestTranscodeJob::run(const QByteArray &program)
{
    Outcome outcome;
    TranscodeJob job;
    if (job.setInput(source, makeAVSettings(0, 1, 1)) != ResultOk)
        return outcome;
    job.setTranscoderProgram(program);
    QSignalSpy progress(&job, &TranscodeJob::progressChanged);
    QSignalSpy finished(&job, &TranscodeJob::finished);
    if (job.start(job.plannedOutputPath()) != ResultOk)
        return outcome;
    if (!finished.wait(processWaitMs) || finished.count() != 1)
        return outcome;
    outcome.state = job.state();
    outcome.errorText = job.errorText();
    outcome.warningText = job.warningText();
    for (const QList<QVariant> &signal : qAsConst(progress))
        outcome.percents << signal.first().toInt();
    return outcome;
}

void TestTranscodeJob::cutAnywhere()
{
    QFETCH(QString, log);
    QFETCH(int, exitStatus);
    QFETCH(int, cut);
    QFETCH(int, state);
    QFETCH(QByteArray, errorText);
    QFETCH(QByteArray, warningText);

    const QByteArray file = QByteArray(VANTOR_TEST_DATA_DIR "/jobs/") + log.toUtf8();
    // Like ffmpeg, the replay leaves a file under the last argument.
    QByteArray body = "for a; do out=$a; done\nprintf x > \"$out\"\n";
    if (cut < 0) {
        body += "cat '" + file + "'\n";
    } else {
        // The pause is longer than anything the job waits before reading, so
        // the two pieces arrive as two reads.
        body += "head -c " + QByteArray::number(cut) + " '" + file + "'\n"
               "sleep 0.25\n"
               "tail -c +" + QByteArray::number(cut + 1) + " '" + file + "'\n";
    }
    body += "exit " + QByteArray::number(exitStatus) + "\n";
    const Outcome outcome = run(writeScript(dir.path(), QStringLiteral("replay"), body));

    QCOMPARE(outcome.state, state);
    QCOMPARE(outcome.errorText, errorText);
    QCOMPARE(outcome.warningText, warningText);
    QVERIFY(!outcome.percents.isEmpty());
    QCOMPARE(outcome.percents.first(), 0);
    // A read with several progress records shows the first, so which ones
    // appear depends on the cut; each one shown is a recorded one, in order.
    QList<int> shown = outcome.percents.mid(1);
    if (state == ConvertDone) {
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.takeLast(), 100);
    }
    const QList<int> recorded = recordedPercents(transcript(log));
    int from = 0;
    for (int percent : qAsConst(shown)) {
        const int at = recorded.indexOf(percent, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("percent %1 out of order").arg(percent)));
        from = at;
    }
}

void TestTranscodeJob::verdict_data()
{
    // The fake transcoder's lines once its output path is known as $out.
    QTest::addColumn<QByteArray>("transcript");
    QTest::addColumn<int>("exitStatus");
    // Video and audio are copied, so the result is read back.
    QTest::addColumn<bool>("copies");
    // The fake ffprobe's lines.
    QTest::addColumn<QByteArray>("probe");
    QTest::addColumn<int>("state");
    // The error text of a failed job, the warnings of a done one; %1 stands
    // for the partial file.
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("outOfSpace");

    const QByteArray whole = "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
                             "head -c 40000 /dev/zero > \"$out\"\n"
                             "printf 'frame=250 Lsize=40kB time=00:00:10.00 bitrate=1\\r'\n";
    const QByteArray none;
    // A re-encode is never read back: this ffprobe would fail it.
    const QByteArray unreadable = "exit 1";
    const QByteArray full = "输出目录磁盘空间不足！\n";
    const QByteArray copyRefused = "输出格式无法容纳复制的音视频流，请选择其他编码！\n";
    // ffprobe's compact lines: each stream's first and last packet, then
    // the streams, a picture and a track, each named by its codec.
    auto report = [](const QByteArray &picture, const QByteArray &track, double pictureEnd,
                     double trackEnd) {
        QByteArray lines;
        const QList<QPair<QByteArray, double>> ends{{picture, pictureEnd}, {track, trackEnd}};
        for (int index = 0; index < 2; ++index) {
            const QByteArray stream = "stream_index=" + QByteArray::number(index);
            lines += "packet|" + stream + "|pts_time=0.000000|duration_time=0.020000\n" + "packet|" + stream
                     + "|pts_time=" + QByteArray::number(ends.at(index).second - 0.02, 'f', 6)
                     + "|duration_time=0.020000\n";
        }
        lines += "stream|index=0|codec_name=" + picture + "|codec_type=video|disposition:attached_pic=0\n"
                 "stream|index=1|codec_name=" + track + "|codec_type=audio|disposition:attached_pic=0\n";
        return "printf '" + lines + "'";
    };

    // ffmpeg 5.1 exits 0 when only the file's end did not fit.
    QTest::newRow("trailer and close fail for want of room, exit 0")
        << whole + "printf 'Error writing trailer of %s: No space left on device\\n' \"$out\"\n"
                   "printf 'Error closing file %s: No space left on device\\n' \"$out\"\n"
        << 0 << false << unreadable << ConvertError << full << true;
    QTest::newRow("closing the output fails, exit 0")
        << whole + "printf 'Error closing file %s: Input/output error\\n' \"$out\"\n" << 0 << false
        << unreadable << ConvertError << QByteArray("模糊信息：Error closing file %1: Input/output error\n")
        << false;
    QTest::newRow("a packet not written, exit 0")
        << whole + "printf 'av_interleaved_write_frame(): Input/output error\\n'\n" << 0 << false
        << unreadable << ConvertError
        << QByteArray("模糊信息：av_interleaved_write_frame(): Input/output error\n") << false;
    QTest::newRow("a line naming the output, exit 0")
        << whole + "printf '[mp4 @ 0x1] Error writing to %s\\n' \"$out\"\n" << 0 << false << unreadable
        << ConvertError << QByteArray("模糊信息：Error writing to %1\n") << false;
    QTest::newRow("a warning naming the output, exit 0")
        << "printf 'Codec AVOption b (set bitrate (in bits/s)) specified for output file #0 (%s) "
           "has not been used for any stream.\\n' \"$out\"\n" + whole
        << 0 << false << unreadable << ConvertDone << none << false;
    QTest::newRow("the output named in its header only, exit 0")
        << "printf \"Output #0, mp4, to '%s':\\n\" \"$out\"\n" + whole << 0 << false << unreadable
        << ConvertDone << none << false;
    QTest::newRow("disk full during the job, exit 1")
        << whole + "printf 'av_interleaved_write_frame(): No space left on device\\n'\n" << 1 << false
        << unreadable << ConvertError << full << true;

    QTest::newRow("copy reads back whole")
        << whole << 0 << true << report("h264", "aac", 10.02, 10.0) << ConvertDone << none << false;
    QTest::newRow("copied stream without a codec")
        << whole << 0 << true << report("", "ac3", 10.02, 10.0) << ConvertError << copyRefused << false;
    QTest::newRow("copy reads back far longer than its source")
        << whole << 0 << true << report("h264", "aac", 88, 88) << ConvertError << copyRefused << false;
    // Players go by the packets, whatever the header says.
    QTest::newRow("the sound of the copy stops at half its length")
        << whole << 0 << true << report("h264", "aac", 10.02, 5.0) << ConvertError << copyRefused << false;
    QTest::newRow("ffprobe cannot read the copy")
        << whole << 0 << true << unreadable << ConvertError << copyRefused << false;
    // What a cut source gave is what the copy must hold.
    QTest::newRow("copy of a cut source")
        << QByteArray("printf '  Duration: 00:00:10.00, start: 0.000000\\n'\nprintf x > \"$out\"\n"
                      "printf 'frame=125 Lsize=20kB time=00:00:05.00 bitrate=1\\r'\n")
        << 0 << true << report("h264", "aac", 5.02, 5.0) << ConvertDone
        << QByteArray("源文件不完整：只转换了前 5.0 秒（共 10.0 秒）\n") << false;
}

void TestTranscodeJob::verdict()
{
    QFETCH(QByteArray, transcript);
    QFETCH(int, exitStatus);
    QFETCH(bool, copies);
    QFETCH(QByteArray, probe);
    QFETCH(int, state);
    QFETCH(QByteArray, text);
    QFETCH(bool, outOfSpace);

    writeProbe(probe);
    AVSettings settings = makeAVSettings(0, 1, 1);
    if (copies) {
        settings.videoCodec = 6;
        settings.audioCodec = 3;
    }
    TranscodeJob job;
    QCOMPARE(job.setInput(source, settings), ResultOk);
    QFile::remove(QString::fromUtf8(job.plannedOutputPath()));
    job.setTranscoderProgram(writeScript(dir.path(), QStringLiteral("verdict"),
                                         "for a; do out=$a; done\n" + transcript + "exit "
                                             + QByteArray::number(exitStatus)));
    QSignalSpy finished(&job, &TranscodeJob::finished);
    QCOMPARE(job.start(job.plannedOutputPath()), ResultOk);
    QVERIFY(finished.wait(processWaitMs));
    QCOMPARE(finished.count(), 1);

    QCOMPARE(job.state(), state);
    QCOMPARE(state == ConvertDone ? job.warningText() : job.errorText(),
             text.replace("%1", job.partialPath()));
    QCOMPARE(job.ranOutOfSpace(), outOfSpace);
    // Whole under the final name, or nothing at all.
    QVERIFY(!QFile::exists(QString::fromUtf8(job.partialPath())));
    QCOMPARE(QFile::remove(QString::fromUtf8(job.outputPath())), state == ConvertDone);
}

// A read-back that hangs (a share that stopped answering) must not keep a
// cancel waiting, nor end the job after it.
void TestTranscodeJob::stopDuringReadBack()
{
    const QByteArray probing = dir.filePath(QStringLiteral("probing")).toUtf8();
    writeProbe("touch '" + probing + "'\nexec sleep 30");
    AVSettings settings = makeAVSettings(0, 1, 1);
    settings.videoCodec = 6;
    TranscodeJob job;
    QCOMPARE(job.setInput(source, settings), ResultOk);
    job.setTranscoderProgram(writeScript(dir.path(), QStringLiteral("copying"),
                                         "for a; do out=$a; done\nprintf x > \"$out\""));
    QSignalSpy finished(&job, &TranscodeJob::finished);
    QCOMPARE(job.start(job.plannedOutputPath()), ResultOk);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromUtf8(probing)), processWaitMs);
    QCOMPARE(job.state(), ConvertRunning);
    const QString partial = QString::fromUtf8(job.partialPath());
    QVERIFY(QFile::exists(partial));

    QCOMPARE(job.stop(), ResultOk);
    QCOMPARE(job.state(), ConvertCancelled);
    // The job lives on, its ffprobe does not.
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
    QVERIFY(!QFile::exists(partial));
    QVERIFY(!QFile::exists(QString::fromUtf8(job.outputPath())));
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
    QCOMPARE(job.state(), ConvertCancelled);
    QFile::remove(QString::fromUtf8(probing));
}

void TestTranscodeJob::plantedLinks_data()
{
    // The fake transcoder's lines after it wrote "ours" to $out; $victim is a
    // document of the user's.
    QTest::addColumn<QByteArray>("transcript");
    QTest::addColumn<QByteArray>("errorText");
    QTest::newRow("links at every name the old counter gave") << QByteArray() << QByteArray();
    QTest::newRow("the partial file swapped for a link")
        << QByteArray("rm \"$out\"\nln -s \"$victim\" \"$out\"\n")
        << QByteArray("转码中的临时文件被替换，结果未保存！\n");
}

// Nothing planted in the output folder is written through or given the
// final name.
void TestTranscodeJob::plantedLinks()
{
    QFETCH(QByteArray, transcript);
    QFETCH(QByteArray, errorText);
    const auto contentOf = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    QFile document(victim);
    QVERIFY(document.open(QIODevice::WriteOnly) && document.write("the user's") > 0);
    document.close();
    const QString planted = QStringLiteral(".vantor-%1-%2-%3.part.mp4")
                                .arg(QString::fromUtf8(PartialOutput::hostTag()))
                                .arg(QCoreApplication::applicationPid());
    for (int n = 1; n <= 1000; ++n)
        QVERIFY(QFile::link(victim, dir.filePath(planted.arg(n))));

    TranscodeJob job;
    QCOMPARE(job.setInput(source, makeAVSettings(0, 1, 1)), ResultOk);
    job.setTranscoderProgram(writeScript(dir.path(), QStringLiteral("planted"),
                                         "victim='" + victim.toUtf8() + "'\nfor a; do out=$a; done\n"
                                         "printf ours > \"$out\"\n" + transcript));
    QSignalSpy finished(&job, &TranscodeJob::finished);
    QCOMPARE(job.start(job.plannedOutputPath()), ResultOk);
    QVERIFY(finished.wait(30000));
    QCOMPARE(job.state(), errorText.isEmpty() ? ConvertDone : ConvertError);
    QCOMPARE(job.errorText(), errorText);
    QCOMPARE(contentOf(victim), QByteArray("the user's"));
    QCOMPARE(contentOf(QString::fromUtf8(job.outputPath())), QByteArray(errorText.isEmpty() ? "ours" : ""));
    QFile::remove(QString::fromUtf8(job.outputPath()));
    QFile::remove(QString::fromUtf8(job.partialPath()));
    for (int n = 1; n <= 1000; ++n)
        QFile::remove(dir.filePath(planted.arg(n)));
}

QTEST_GUILESS_MAIN(TestTranscodeJob)
#include "tst_transcodejob.moc"
