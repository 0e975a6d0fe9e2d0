#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "avsettings.h"
#include "catalogue.h"
#include "clips.h"
#include "mediaprobe.h"
#include "processes.h"
#include "scripts.h"
#include "transcodejob.h"

Q_DECLARE_METATYPE(AVSettings)

// What is copied rather than encoded, through real jobs: a copied stream's
// packets are the source's, byte for byte.

namespace {

constexpr int conversionTimeoutMs = 120000;

// Each packet's size and checksum of a file's first picture or track, as
// ffmpeg's framemd5 lists them; the timestamps differ between containers.
QStringList packets(const QString &path, const char *stream)
{
    const ProgramRun run = runProgram(
        QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-map", QStringLiteral("0:%1:0").arg(stream),
                                   "-c", "copy", "-f", "framemd5", "-"});
    QStringList sums;
    for (const QByteArray &line : run.output.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (!line.startsWith('#') && fields.size() == 6)
            sums << QString::fromUtf8(fields.at(4).trimmed() + ' ' + fields.at(5).trimmed());
    }
    return sums;
}

} // namespace

class TestCopiedStreams final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void conversion_data();
    void conversion();

private:
    QTemporaryDir work;
};

void TestCopiedStreams::initTestCase()
{
    initCatalogue();
    QVERIFY(work.isValid());
    const QString bars = QStringLiteral("smptebars=size=320x240:rate=%1:duration=3");
    const QString tone = QStringLiteral("sine=frequency=440:duration=3");
    QVERIFY(makeTestClip(work.filePath(QStringLiteral("film.mkv")), 3));
    QVERIFY(runFfmpeg({"-f", "lavfi", "-i", bars.arg(25), "-f", "lavfi", "-i", tone, "-c:v", "libx264",
                       "-preset", "ultrafast", "-pix_fmt", "yuv444p", "-c:a", "aac",
                       work.filePath(QStringLiteral("full chroma.mkv"))}));
    QVERIFY(runFfmpeg({"-f", "lavfi", "-i", bars.arg(60), "-f", "lavfi", "-i", tone, "-c:v", "libx264",
                       "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                       work.filePath(QStringLiteral("sixty.mp4"))}));
    QVERIFY(makeTurnedClip(work.filePath(QStringLiteral("phone.mp4"))));
    // Refuses any copy the way the .mp4 writer refuses a codec it has no
    // tag for, and converts anything else with the real ffmpeg.
    QVERIFY(!writeScript(work.path(), QStringLiteral("refuses-copies"),
                         "for a; do [ \"$a\" = copy ] && copying=1; done\n"
                         "if [ -n \"$copying\" ]; then\n"
                         "  echo '[mp4 @ 0x1] Could not find tag for codec h264 in stream #0, codec not "
                         "currently supported in container' >&2\n"
                         "  echo 'Could not write header for output file #0 (incorrect codec parameters ?): "
                         "Invalid argument' >&2\n"
                         "  exit 1\n"
                         "fi\n"
                         "exec ffmpeg \"$@\"")
                 .isEmpty());
    QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("out"))));
    outputDir = QFile::encodeName(work.filePath(QStringLiteral("out")));
}

void TestCopiedStreams::cleanup()
{
    QCOMPARE(childProcesses().size(), 0);
}

void TestCopiedStreams::conversion_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<AVSettings>("settings");
    QTest::addColumn<bool>("refusesCopies");
    QTest::addColumn<bool>("pictureCopied");
    QTest::addColumn<bool>("soundCopied");
    QTest::addColumn<QByteArray>("warning");

    const AVSettings mp4 = makeAVSettings(0, 3, 3);
    QTest::newRow("H.264 and AAC in .mkv to .mp4 at 默认: both copied")
        << "film.mkv" << mp4 << false << true << true << QByteArray();
    QTest::newRow("4:4:4 is encoded, its sound copied")
        << "full chroma.mkv" << mp4 << false << false << true << QByteArray();
    QTest::newRow("a turned clip into .avi is encoded upright")
        << "phone.mp4" << makeAVSettings(2, 3, 3) << false << false << false << QByteArray();
    QTest::newRow("60 fps over 高质量's 30 is encoded")
        << "sixty.mp4" << makeAVSettings(0, 2, 3) << false << false << true << QByteArray();
    QTest::newRow("a copy the container refuses is encoded on the second try")
        << "film.mkv" << mp4 << true << false << false << QByteArray("直接复制失败，已重新编码\n");
}

void TestCopiedStreams::conversion()
{
    QFETCH(QString, source);
    QFETCH(AVSettings, settings);
    QFETCH(bool, refusesCopies);
    QFETCH(bool, pictureCopied);
    QFETCH(bool, soundCopied);
    QFETCH(QByteArray, warning);

    const QByteArray path = QFile::encodeName(work.filePath(source));
    TranscodeJob job;
    QCOMPARE(job.setInput(path, settings), ResultOk);
    job.setMedia(MediaProbe::read(path));
    if (refusesCopies)
        job.setTranscoderProgram(QFile::encodeName(work.filePath(QStringLiteral("refuses-copies"))));
    QSignalSpy finished(&job, &TranscodeJob::finished);
    QCOMPARE(job.start(job.plannedOutputPath()), ResultOk);
    QVERIFY(finished.wait(conversionTimeoutMs));
    QVERIFY2(job.state() == ConvertDone, job.errorText().constData());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(job.warningText(), warning);

    const QString output = QString::fromUtf8(job.outputPath());
    const QString original = QString::fromUtf8(path);
    const QStringList picture = packets(output, "v");
    QVERIFY(!picture.isEmpty());
    QCOMPARE(picture == packets(original, "v"), pictureCopied);
    QCOMPARE(packets(output, "a") == packets(original, "a"), soundCopied);
    // The row says which.
    const QStringList copied = job.plan().copied;
    QCOMPARE(copied.contains(QStringLiteral("视频直接复制，未重新编码")), pictureCopied);
    QCOMPARE(copied.contains(QStringLiteral("音频直接复制，未重新编码")), soundCopied);
    QVERIFY(QFile::remove(output));
}

QTEST_GUILESS_MAIN(TestCopiedStreams)
#include "tst_copiedstreams.moc"
