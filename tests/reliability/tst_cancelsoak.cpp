#include <QElapsedTimer>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>

#include <unistd.h>

#include "clips.h"
#include "conversionqueue.h"
#include "partialoutput.h"
#include "savedlist.h"
#include "testsupport.h"
#include "waits.h"

// Starts and cancels runs at random moments, and closes windows during runs:
// afterwards no transcoder is left, running or as a zombie, no cancelled job
// leaves output behind, done jobs keep theirs, and each summary counts what
// the rows show.
class TestCancelSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startAndCancelAtRandom_data();
    void startAndCancelAtRandom();
    void closeDuringRun_data();
    void closeDuringRun();
    void killedConverter_data();
    void killedConverter();
    void restartAfterKill();

private:
    void startConverter(QProcess &converter, const QStringList &files);
    void listSources(MainWindow &window, const QByteArray &program);
    void checkRows(MainWindow &window, const QByteArray &complete);
    static bool isConverting(MainWindow &window)
    {
        return buttonOf(window, "btnConvertStart")->text() == QStringLiteral("取消转码");
    }

    QTemporaryDir work;
    QStringList sources;
    QByteArray fake;
    QByteArray ffmpeg;
    QString out;
    QString longSource;
    std::unique_ptr<FreshSavedList> savedList;
};

namespace {

// Ten progress lines, one output piece after each, about half a second.
const QByteArray fakeOutput = "piecepiecepiecepiecepiecepiecepiecepiecepiecepiece";
const QByteArray progressingBody =
    "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
    ": > \"$out\"\n"
    "for i in 1 2 3 4 5 6 7 8 9 10; do\n"
    "  printf 'frame=%d fps=1 time=00:00:%02d.00 bitrate=1\\r' $i $i\n"
    "  printf piece >> \"$out\"\n"
    "  sleep 0.05\n"
    "done\n"
    "printf '[libx264 @ 0x1] kb/s:100.00\\n'\n";

} // namespace

void TestCancelSoak::initTestCase()
{
    QVERIFY(work.isValid());
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(), "ffmpeg is needed");
    ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).toUtf8();
    fake = writeFakeTranscoder(work.path(), QStringLiteral("progressing"), progressingBody);
    for (const char *name : {"one.mkv", "two.mp4", "three 三.avi"}) {
        sources << work.filePath(QLatin1String(name));
        QVERIFY(makeTestClip(sources.last(), 12));
    }
    out = work.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    qputenv("HOME", work.path().toUtf8());
}

void TestCancelSoak::init()
{
    savedList.reset(new FreshSavedList);
    QDir::setCurrent(work.path());
    touch(work.filePath(QStringLiteral("conf_main.json")), "{\"VideosDir\":\"" + out.toUtf8() + "\"}");
}

void TestCancelSoak::cleanup()
{
    QTRY_VERIFY_WITH_TIMEOUT(!hasChildProcesses(), processWaitMs);
    QDir(out).removeRecursively();
    QDir().mkpath(out);
}

// A converter of its own, offscreen, converting `files` at once.
void TestCancelSoak::startConverter(QProcess &converter, const QStringList &files)
{
    converter.setWorkingDirectory(work.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The child dies of a signal on purpose; its sanitizers need not report it.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    converter.setProcessEnvironment(environment);
    converter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    converter.start(QStringLiteral(VANTOR_CHILD_CONVERTER), files);
}

void TestCancelSoak::listSources(MainWindow &window, const QByteArray &program)
{
    for (const QString &source : sources)
        QVERIFY(window.addInputFile(source.toUtf8()) == ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    for (int row = 0; row < listOf(window)->count(); ++row) {
        InputItem *item = rowItem(window, row);
        item->setTranscoderProgram(program);
        // Every file is encoded: the soak is about cancelling, its summaries
        // count only done and cancelled rows, and the stand-in writes
        // nothing a copy's read-back could read.
        AVSettings settings = item->settings();
        settings.copyIfFits = false;
        item->setSettings(settings);
    }
}

// Done rows keep a whole output (complete, when given, is its content);
// every other row is cancelled and has none.
void TestCancelSoak::checkRows(MainWindow &window, const QByteArray &complete)
{
    for (int row = 0; row < listOf(window)->count(); ++row) {
        InputItem *item = rowItem(window, row);
        QFile output(QString::fromUtf8(item->outputPath()));
        if (item->convertState() == ConvertDone) {
            QVERIFY(output.open(QIODevice::ReadOnly));
            const QByteArray content = output.readAll();
            QVERIFY(complete.isEmpty() ? content.size() > 1000 : content == complete);
        } else {
            QCOMPARE(item->convertState(), int(ConvertCancelled));
            QVERIFY2(item->outputPath().isEmpty() || !output.exists(), item->outputPath());
        }
    }
}

void TestCancelSoak::startAndCancelAtRandom_data()
{
    QTest::addColumn<bool>("realTranscoder");
    QTest::addColumn<int>("cycles");
    QTest::addColumn<int>("longestWaitMs");
    QTest::newRow("fake transcoder") << false << 80 << 1300;
    QTest::newRow("real ffmpeg") << true << 20 << 1200;
}

void TestCancelSoak::startAndCancelAtRandom()
{
    QFETCH(bool, realTranscoder);
    QFETCH(int, cycles);
    QFETCH(int, longestWaitMs);
    MainWindow window;
    DialogAnswerer answerer;
    listSources(window, realTranscoder ? ffmpeg : fake);
    QRandomGenerator random(realTranscoder ? 11 : 7);
    const int rows = listOf(window)->count();
    int cancels = 0;

    for (int cycle = 0; cycle < cycles; ++cycle) {
        int doneBefore = 0;
        for (int row = 0; row < rows; ++row)
            doneBefore += rowItem(window, row)->convertState() == ConvertDone;
        if (doneBefore == rows) {
            // Everything converted: list the files again for the next cycle.
            buttonOf(window, "btnInputClear")->click();
            QCOMPARE(listOf(window)->count(), 0);
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            listSources(window, realTranscoder ? ffmpeg : fake);
            doneBefore = 0;
        }
        answerer.texts.clear();
        buttonOf(window, "btnConvertStart")->click();
        QVERIFY(isConverting(window));
        QTest::qWait(int(random.bounded(longestWaitMs + 1)));
        if (isConverting(window)) {
            ++cancels;
            answerer.answers << true;
            buttonOf(window, "btnConvertStart")->click();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), processWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!hasChildProcesses(), processWaitMs);

        int doneAfter = 0;
        for (int row = 0; row < rows; ++row)
            doneAfter += rowItem(window, row)->convertState() == ConvertDone;
        checkRows(window, realTranscoder ? QByteArray() : fakeOutput);
        const QStringList summaries = answerer.texts.filter(QStringLiteral("转码任务完成！"));
        QCOMPARE(summaries.size(), 1);
        // The summary counts the rows this run took part in.
        const int cancelled = rows - doneAfter;
        QString expected = QStringLiteral("转码任务完成！\n成功： %1 个\n").arg(doneAfter - doneBefore);
        if (cancelled > 0)
            expected += QStringLiteral("取消： %1 个\n").arg(cancelled);
        QCOMPARE(summaries.first(), expected);
    }
    // Most runs must really have been cancelled, not have ended by themselves.
    qInfo("cancelled %d of %d", cancels, cycles);
    QVERIFY(cancels > cycles / 2);
}

void TestCancelSoak::closeDuringRun_data()
{
    QTest::addColumn<bool>("titleButton");
    QTest::newRow("close button, 10 windows") << true;
    QTest::newRow("platform close request, 10 windows") << false;
}

void TestCancelSoak::closeDuringRun()
{
    QFETCH(bool, titleButton);
    QRandomGenerator random(titleButton ? 3 : 5);
    for (int i = 0; i < 10; ++i) {
        const FreshSavedList ownList;
        auto *window = new MainWindow;
        DialogAnswerer answerer;
        // One at a time, so that the batch is sure to outlast the wait.
        window->findChild<ConversionQueue *>()->setParallelJobs(1);
        listSources(*window, fake);
        buttonOf(*window, "btnConvertStart")->click();
        QTest::qWait(int(random.bounded(1200)));
        QVERIFY(isConverting(*window));
        answerer.answers << true;
        if (titleButton)
            buttonOf(*window, "btnTopClose")->click();
        else
            window->close();
        QVERIFY(!window->isVisible());
        QCOMPARE(answerer.texts.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!hasChildProcesses(), processWaitMs);
        checkRows(*window, fakeOutput);
        delete window;
    }
}

void TestCancelSoak::killedConverter_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("cleansUp");
    QTest::newRow("SIGKILL") << int(SIGKILL) << false;
    QTest::newRow("SIGSEGV") << int(SIGSEGV) << false;
    QTest::newRow("SIGTERM, a logout") << int(SIGTERM) << true;
    QTest::newRow("SIGHUP, a closed terminal") << int(SIGHUP) << true;
    QTest::newRow("SIGINT, Ctrl+C") << int(SIGINT) << true;
}

// A converter killed in the middle of a real conversion: its ffmpeg goes
// with it, no file appears under a final name, and what is left under a
// partial name is removed by the next start.
void TestCancelSoak::killedConverter()
{
    QFETCH(int, signal);
    QFETCH(bool, cleansUp);
    const QString folder = work.filePath(QStringLiteral("killed"));
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));
    touch(work.filePath(QStringLiteral("conf_main.json")), "{\"VideosDir\":\"" + folder.toUtf8() + "\"}");
    if (longSource.isEmpty()) {
        longSource = work.filePath(QStringLiteral("long.mkv"));
        QVERIFY(makeTestClip(longSource, 120));
    }

    QProcess converter;
    startConverter(converter, {longSource});
    QVERIFY(converter.waitForStarted());
    const int pid = int(converter.processId());

    // Under way: a partial file with something in it, and its ffmpeg.
    auto partials = [&] {
        return QDir(folder).entryList({QStringLiteral(".vantor-*")}, QDir::Files | QDir::Hidden);
    };
    QTRY_VERIFY_WITH_TIMEOUT(!partials().isEmpty()
                                 && QFileInfo(folder + '/' + partials().first()).size() > 0,
                             60000);
    const QList<int> transcoders = childrenOf(pid);
    QCOMPARE(transcoders.size(), 1);
    QVERIFY(isLiveProcess(transcoders.first()));

    QCOMPARE(kill(pid, signal), 0);
    QVERIFY(converter.waitForFinished(30000));
    if (cleansUp) {
        // Cancelled as a confirmed close is, then gone with the signal's code.
        QCOMPARE(converter.exitStatus(), QProcess::NormalExit);
        QCOMPARE(converter.exitCode(), 128 + signal);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!isLiveProcess(transcoders.first()), processWaitMs);
    QCOMPARE(QDir(folder).entryList({QStringLiteral("Vantor转码-*")}, QDir::Files | QDir::Hidden),
             QStringList());
    QCOMPARE(partials().isEmpty(), cleansUp);

    // A partial file of a converter still running (this one) is left alone.
    const QString live = QString::fromUtf8(PartialOutput::pathFor((folder + QStringLiteral("/x.mp4")).toUtf8()));
    touch(live);
    { MainWindow next; }
    QCOMPARE(partials(), QStringList{QFileInfo(live).fileName()});
}

// A converter killed after some files of its batch: the next start lists the
// batch as it was, the finished files done with their outputs, and converts
// only the rest; nothing is converted twice and no "(2)" copy appears.
void TestCancelSoak::restartAfterKill()
{
    QStringList clips;
    for (int i = 1; i <= 6; ++i) {
        clips << work.filePath(QStringLiteral("第%1集.mkv").arg(i));
        QVERIFY(makeTestClip(clips.last(), 6));
    }
    // One at a time, so that the kill comes between ends.
    touch(work.filePath(QStringLiteral("conf_main.json")),
          "{\"VideosDir\":\"" + out.toUtf8() + "\",\"ParallelJobs\":1}");
    auto finished = [this] { return QDir(out).entryList({QStringLiteral("Vantor转码-*")}, QDir::Files); };

    QProcess converter;
    startConverter(converter, clips);
    QVERIFY(converter.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (finished().size() < 2 && waited.elapsed() < 60000)
        QTest::qWait(2);
    QCOMPARE(kill(pid_t(converter.processId()), SIGKILL), 0);
    QVERIFY(converter.waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(!hasChildProcesses(), processWaitMs);
    const QStringList before = finished();
    QVERIFY2(before.size() < clips.size(), "the batch ended before the kill");

    MainWindow window;
    DialogAnswerer answerer;
    QCOMPARE(listOf(window)->count(), clips.size());
    int done = 0;
    for (int row = 0; row < clips.size(); ++row) {
        InputItem *item = rowItem(window, row);
        QCOMPARE(QString::fromUtf8(item->inputPath()), clips.at(row));
        QVERIFY(item->convertState() == ConvertDone || item->convertState() == ConvertWaiting);
        if (item->convertState() == ConvertDone) {
            ++done;
            QVERIFY(before.contains(QFileInfo(QString::fromUtf8(item->outputPath())).fileName()));
        }
    }
    QCOMPARE(done, before.size());

    buttonOf(window, "btnConvertStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, 60000);
    QCOMPARE(answerer.texts.first(), QStringLiteral("转码任务完成！\n成功： %1 个\n").arg(clips.size() - done));
    QStringList expected;
    for (int i = 1; i <= 6; ++i)
        expected << QStringLiteral("Vantor转码-第%1集.mp4").arg(i);
    QCOMPARE(finished(), expected);
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), clips.size());
}

QTEST_MAIN(TestCancelSoak)
#include "tst_cancelsoak.moc"
