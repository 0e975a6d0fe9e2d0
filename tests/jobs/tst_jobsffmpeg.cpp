#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "avsettings.h"
#include "catalogue.h"
#include "clips.h"
#include "damagedsource.h"
#include "inputitem.h"
#include "processes.h"
#include "scripts.h"
#include "waits.h"

namespace {

constexpr int conversionTimeoutMs = 120000;

QString statusOf(InputItem &item)
{
    return item.findChild<QLabel *>("status")->text();
}

int barOf(InputItem &item)
{
    return item.findChild<QProgressBar *>("progressBar")->value();
}

} // namespace

class TestJobsFfmpeg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void convertsToEachContainer_data();
    void convertsToEachContainer();
    void textFileNamedMp4();
    void missingOutputFolder();
    void noisyDamagedSource();
    void cancelRunningConversion();

private:
    QTemporaryDir dir;
    QString clip;
    QString longClip;
    QString damaged;
};

void TestJobsFfmpeg::initTestCase()
{
    QVERIFY(dir.isValid());
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QFAIL("ffmpeg is not installed");
    initCatalogue();

    clip = dir.path() + "/源 clip.mkv";
    QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc=duration=5:size=160x120:rate=15",
                       "-f", "lavfi", "-i", "sine=frequency=440:duration=5",
                       "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest", clip}));
    longClip = dir.path() + "/long.mp4";
    QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc=duration=20:size=160x120:rate=15",
                       "-c:v", "libx264", "-preset", "ultrafast", longClip}));
    damaged = dir.path() + "/damaged.ts";
    QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=duration=10:size=640x360:rate=25",
                       "-f", "lavfi", "-i", "sine=frequency=440:duration=10",
                       "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac", "-shortest",
                       "-f", "mpegts", damaged}));
    QVERIFY(damageTransportStream(damaged));
}

void TestJobsFfmpeg::init()
{
    const QString out = dir.path() + "/out";
    QDir(out).removeRecursively();
    QVERIFY(QDir().mkpath(out));
    outputDir = out.toUtf8();
}

void TestJobsFfmpeg::cleanup()
{
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
}

void TestJobsFfmpeg::convertsToEachContainer_data()
{
    QTest::addColumn<int>("container");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("frameRate");
    QTest::newRow("mp4, x264 and aac") << 0 << ".mp4" << -1 << 18;
    QTest::newRow("flv, x264 and aac") << 1 << ".flv" << -1 << 18;
    QTest::newRow("avi, x264 and mp3") << 2 << ".avi" << -1 << 18;
    // wmv2 writes no closing statistics, so only a position shows its work,
    // and only the first position of a read counts: the run must last a few
    // of ffmpeg's half-second reports (1080p at 60 frames/s: about 2 s).
    QTest::newRow("wmv, wmv2 and wmav2") << 3 << ".wmv" << 0 << 60;
}

void TestJobsFfmpeg::convertsToEachContainer()
{
    QFETCH(int, container);
    QFETCH(QString, extension);
    QFETCH(int, resolution);
    QFETCH(int, frameRate);

    AVSettings settings = makeAVSettings(container, 1, 1);
    settings.resolution = resolution;
    settings.frameRate = frameRate;
    InputItem item(nullptr);
    QCOMPARE(item.setInputFile(clip.toUtf8(), settings), ResultOk);
    QSignalSpy done(&item, &InputItem::ItemConvertDone);
    QCOMPARE(item.startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, conversionTimeoutMs);

    QCOMPARE(item.errorText(), QByteArray());
    QCOMPARE(statusOf(item), QStringLiteral("转码完成   "));
    QCOMPARE(item.convertState(), ConvertDone);
    QCOMPARE(barOf(item), 100);
    const QString output = dir.path() + "/out/Vantor转码-源 clip" + extension;
    QCOMPARE(QString::fromUtf8(item.outputPath()), output);
    QVERIFY(qAbs(probedDuration(output) - 5.0) < 0.5);
}

void TestJobsFfmpeg::textFileNamedMp4()
{
    const QString fake = dir.path() + "/notes.mp4";
    QFile file(fake);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("These are notes, not a video.\n");
    file.close();

    InputItem item(nullptr);
    QCOMPARE(item.setInputFile(fake.toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
    QSignalSpy done(&item, &InputItem::ItemConvertDone);
    QCOMPARE(item.startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, conversionTimeoutMs);
    QCOMPARE(statusOf(item), QStringLiteral("转码错误   "));
    QCOMPARE(item.convertState(), ConvertError);
    QVERIFY(item.errorText().contains("未识别的输入文件格式！\n"));
}

void TestJobsFfmpeg::missingOutputFolder()
{
    outputDir = (dir.path() + "/no/such/folder").toUtf8();
    InputItem item(nullptr);
    QCOMPARE(item.setInputFile(clip.toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
    QSignalSpy done(&item, &InputItem::ItemConvertDone);
    QCOMPARE(item.startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, conversionTimeoutMs);
    // Blamed on the output folder, not on the source.
    QCOMPARE(item.convertState(), ConvertError);
    QCOMPARE(item.errorText(), QByteArray("输出文件夹不存在！\n"));
}

void TestJobsFfmpeg::noisyDamagedSource()
{
    InputItem item(nullptr);
    QCOMPARE(item.setInputFile(damaged.toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
    QSignalSpy done(&item, &InputItem::ItemConvertDone);
    QCOMPARE(item.startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, conversionTimeoutMs);

    // ffmpeg complains about the damage but converts all of it and exits 0:
    // the file is good, and the row says what was skipped.
    QCOMPARE(item.convertState(), ConvertDone);
    QCOMPARE(item.errorText(), QByteArray());
    QCOMPARE(item.warningText(), QByteArray("源文件有损坏的帧，已跳过\n"));
    QCOMPARE(item.findChild<QLabel *>("status")->toolTip(), QStringLiteral("源文件有损坏的帧，已跳过"));
    QCOMPARE(barOf(item), 100);
    QVERIFY(qAbs(probedDuration(QString::fromUtf8(item.outputPath())) - 10.0) < 1.0);
}

void TestJobsFfmpeg::cancelRunningConversion()
{
    // x265 at 1080p takes many seconds for this clip, so the job is surely
    // still running when it shows its first percentage.
    AVSettings settings = makeAVSettings(0, 1, 1);
    settings.videoCodec = 3;
    settings.resolution = 0;
    InputItem item(nullptr);
    QCOMPARE(item.setInputFile(longClip.toUtf8(), settings), ResultOk);
    QSignalSpy done(&item, &InputItem::ItemConvertDone);
    QCOMPARE(item.startConvert(), ResultOk);
    QTRY_VERIFY_WITH_TIMEOUT(barOf(item) > 0 || done.count() > 0, conversionTimeoutMs);
    QCOMPARE(done.count(), 0);
    const QString partial = QString::fromUtf8(item.partialPath());
    QVERIFY(QFile::exists(partial));

    QCOMPARE(item.stopConvert(), ResultOk);
    QCOMPARE(statusOf(item), QStringLiteral("转码取消   "));
    QVERIFY(!QFile::exists(partial));
    QVERIFY(!QFile::exists(QString::fromUtf8(item.outputPath())));
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
    QCOMPARE(done.count(), 0);
}

QTEST_MAIN(TestJobsFfmpeg)
#include "tst_jobsffmpeg.moc"
