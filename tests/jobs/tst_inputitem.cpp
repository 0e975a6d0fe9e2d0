#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "avsettings.h"
#include "catalogue.h"
#include "inputitem.h"
#include "processes.h"
#include "scripts.h"
#include "waits.h"

namespace {

// The fake transcoders take the real argument vector; the output path is its
// last element.
const QByteArray lastArgument = "for a; do out=$a; done\n";
const QByteArray halfway =
    "printf 'Input #0\\n  Duration: 00:00:10.00, start: 0.000000\\n'\n"
    "printf 'frame=  1 fps=0.0 time=00:00:05.00 bitrate=N/A\\r'\n";
const QByteArray closingStats = "printf '[libx264 @ 0x1] kb/s:300.5\\n'\n";
// A job that stops at halfway's position and is done says so.
const QString halfMade = QStringLiteral("源文件不完整：只转换了前 5.0 秒（共 10.0 秒）");
const QString damagedFrames = QStringLiteral("源文件有损坏的帧，已跳过");

QString text(const QLabel *label)
{
    return label->text();
}

bool anyTimerActive(const QObject *object)
{
    const QList<QTimer *> timers = object->findChildren<QTimer *>();
    return std::any_of(timers.cbegin(), timers.cend(), [](const QTimer *t) { return t->isActive(); });
}

} // namespace

class TestInputItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void sizeAndName_data();
    void sizeAndName();
    void missingFileIsRefused();
    void outputPath_data();
    void outputPath();
    void endOfJob_data();
    void endOfJob();
    void doneRowWaitsAgainWhenItsSettingsChange();
    void cancel_data();
    void cancel();
    void restartAfterErrorClearsErrorText();
    void startWhileRunningChangesNothing();
    void failedStartChangesNothing();
    void deleteButtonInAnyState();
    void destroyingRunningItemKillsChild();
    void oneWakeReadsWhatArrived();
    void rowInASharingListLooksTheSame();
    void formBuiltLaterShowsTheJobAsItStands_data();
    void formBuiltLaterShowsTheJobAsItStands();

private:
    std::unique_ptr<InputItem> makeItem(const QByteArray &program, const QString &name = "clip.mkv");
    QByteArray script(const QString &name, const QByteArray &body);

    QTemporaryDir dir;
    QString sources;
    QByteArray succeeding;
    QByteArray failing;
    QByteArray stalling;
};

void TestInputItem::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
    QVERIFY(QDir(dir.path()).mkpath("out"));
    QVERIFY(QDir(dir.path()).mkpath("src"));
    outputDir = (dir.path() + "/out").toUtf8();
    sources = dir.path() + "/src/";
    succeeding = script("succeeding", lastArgument + halfway + "printf x > \"$out\"\n" + closingStats);
    failing = script("failing", lastArgument +
                     "printf x > \"$out\"\n"
                     "printf 'in.mp4: Invalid data found when processing input\\n'\nexit 1");
    stalling = script("stalling", lastArgument + "printf partial > \"$out\"\n" + halfway +
                      "exec sleep 30");
}

void TestInputItem::cleanup()
{
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
}

QByteArray TestInputItem::script(const QString &name, const QByteArray &body)
{
    return writeScript(dir.path(), name, body);
}

std::unique_ptr<InputItem> TestInputItem::makeItem(const QByteArray &program, const QString &name)
{
    QFile source(sources + name);
    if (!source.exists() && source.open(QIODevice::WriteOnly))
        source.write("source");
    source.close();
    auto item = std::make_unique<InputItem>(nullptr);
    if (item->setInputFile((sources + name).toUtf8(), makeAVSettings(0, 1, 1)) != 0)
        return nullptr;
    item->setTranscoderProgram(program);
    return item;
}

void TestInputItem::sizeAndName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("sizeText");
    QTest::newRow("one and a half MiB") << "a.mp4" << qint64(1572864) << "大小:1.5 MB";
    QTest::newRow("empty file") << "空文件.mkv" << qint64(0) << "大小:0.0 MB";
    QTest::newRow("ten million bytes") << "my clip.avi" << qint64(10000000) << "大小:9.5 MB";
}

void TestInputItem::sizeAndName()
{
    QFETCH(QString, name);
    QFETCH(qint64, bytes);
    QFETCH(QString, sizeText);
    QFile file(sources + name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.resize(bytes));
    file.close();

    InputItem item(nullptr);
    QCOMPARE(item.size(), QSize(398, 48));
    QVERIFY(item.styleSheet().contains("QWidget#InputItem"));
    QCOMPARE(text(item.findChild<QLabel *>("status")), QStringLiteral("等待转码..."));
    QCOMPARE(item.findChild<QProgressBar *>("progressBar")->value(), 0);
    const QByteArray path = file.fileName().toUtf8();
    QCOMPARE(item.setInputFile(path, makeAVSettings(1, 2, 0)), ResultOk);
    QCOMPARE(text(item.findChild<QLabel *>("filesize")), sizeText);
    QCOMPARE(text(item.findChild<QLabel *>("filename")), name);
    QCOMPARE(item.inputPath(), path);
    QCOMPARE(item.settings(), makeAVSettings(1, 2, 0));
}

void TestInputItem::missingFileIsRefused()
{
    InputItem item(nullptr);
    const QString before = text(item.findChild<QLabel *>("filesize"));
    QCOMPARE(item.setInputFile((sources + "absent.mp4").toUtf8(), makeAVSettings(0, 1, 1)), ResultUnusable);
    QCOMPARE(item.setInputFile(sources.toUtf8(), makeAVSettings(0, 1, 1)), ResultUnusable);
    QCOMPARE(text(item.findChild<QLabel *>("filesize")), before);
    QVERIFY(item.inputPath().isEmpty());
    // A saved row whose disk is unplugged stays listed, and never starts.
    item.setAbsentInputFile((sources + "absent.mp4").toUtf8(), makeAVSettings(0, 1, 1));
    QCOMPARE(text(item.findChild<QLabel *>("status")), QStringLiteral("源文件不存在"));
    QCOMPARE(text(item.findChild<QLabel *>("filename")), QStringLiteral("absent.mp4"));
    QCOMPARE(item.startConvert(), ResultUnusable);
}

void TestInputItem::outputPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("container");
    QTest::addColumn<QString>("output");
    QTest::newRow("last dot only") << "movie.part1.mkv" << 0 << "Vantor转码-movie.part1.mp4";
    QTest::newRow("unknown container keeps the extension") << "movie.part1.mkv" << 7
                                                           << "Vantor转码-movie.part1.mkv";
    QTest::newRow("no extension") << "noext" << 7 << "Vantor转码-noext.";
    QTest::newRow("spaces and CJK") << "我的 视频.flv" << 2 << "Vantor转码-我的 视频.avi";
}

void TestInputItem::outputPath()
{
    QFETCH(QString, name);
    QFETCH(int, container);
    QFETCH(QString, output);
    auto item = makeItem(succeeding, name);
    QVERIFY(item);
    applyContainer(item->settings(), container);
    QSignalSpy done(item.get(), &InputItem::ItemConvertDone);
    QCOMPARE(item->startConvert(), ResultOk);
    const QString expected = QString::fromUtf8(outputDir) + '/' + output;
    QCOMPARE(QString::fromUtf8(item->outputPath()), expected);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, processWaitMs);
    // The transcoder got the same path as its output argument.
    QVERIFY(QFile::exists(expected));
    QFile::remove(expected);
}

void TestInputItem::endOfJob_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("errorText");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("reason");

    const QString doneText = QStringLiteral("转码完成   ");
    const QString errorText = QStringLiteral("转码错误   ");
    const QByteArray vague = "模糊信息\n";
    const QByteArray writes = "printf x > \"$out\"\n";
    const QByteArray noFile = "没有生成输出文件！\n";
    QTest::newRow("progress and closing stats")
        << halfway + writes + closingStats << ConvertDone << doneText << QByteArray() << 100
        << halfMade;
    QTest::newRow("decode error on the way, clean exit with a file")
        << halfway + "sleep 0.3\nprintf 'Error while decoding stream #0:1: Invalid data found "
                     "when processing input\\n'\n" + writes + closingStats
        << ConvertDone << doneText << QByteArray() << 100 << damagedFrames + '\n' + halfMade;
    QTest::newRow("a file without closing stats or a position")
        << writes << ConvertDone << doneText << QByteArray() << 100 << QString();
    QTest::newRow("error marker cut between reads")
        << halfway + "printf '[h264] frame decoding fa'\nsleep 0.5\nprintf 'iled: x\\n'\n" + writes
               + closingStats + "exit 1"
        << ConvertError << errorText << QByteArray("帧解码错误-Error\n") << 50
        << QStringLiteral("帧解码错误-Error");
    QTest::newRow("failing exit after progress")
        << halfway + writes + closingStats + "exit 1" << ConvertError << errorText << vague << 50
        << QStringLiteral("模糊信息");
    QTest::newRow("killed after progress")
        << halfway + writes + closingStats + "kill -KILL $$" << ConvertError << errorText << vague
        << 50 << QStringLiteral("模糊信息");
    QTest::newRow("output closed, clean exit later")
        << halfway + writes + closingStats + "exec >&- 2>&-\nsleep 0.5\nexit 0" << ConvertDone
        << doneText << QByteArray() << 100 << halfMade;
    QTest::newRow("output closed, failing exit later")
        << halfway + writes + closingStats + "exec >&- 2>&-\nsleep 0.5\nexit 1" << ConvertError
        << errorText << vague << 50 << QStringLiteral("模糊信息");
    QTest::newRow("progress and a clean exit, but no file")
        << halfway + closingStats << ConvertError << errorText << noFile << 50
        << QStringLiteral("没有生成输出文件！");
    QTest::newRow("clean exit with an empty file")
        << halfway + ": > \"$out\"\n" + closingStats << ConvertError << errorText << noFile << 50
        << QStringLiteral("没有生成输出文件！");
    QTest::newRow("nothing recognisable") << QByteArray("echo hello") << ConvertError << errorText
                                          << noFile << 0 << QStringLiteral("没有生成输出文件！");
}

void TestInputItem::endOfJob()
{
    QFETCH(QByteArray, body);
    QFETCH(int, state);
    QFETCH(QString, status);
    QFETCH(QByteArray, errorText);
    QFETCH(int, bar);
    QFETCH(QString, reason);

    auto item = makeItem(script("job", lastArgument + body));
    QVERIFY(item);
    QSignalSpy done(item.get(), &InputItem::ItemConvertDone);
    QCOMPARE(item->startConvert(), ResultOk);
    QCOMPARE(text(item->findChild<QLabel *>("status")), QStringLiteral("正在转码..."));
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, processWaitMs);
    QCOMPARE(done.first().first().value<InputItem *>(), item.get());
    QCOMPARE(item->convertState(), state);
    QCOMPARE(text(item->findChild<QLabel *>("status")), status);
    QCOMPARE(item->errorText(), errorText);
    QCOMPARE(item->findChild<QProgressBar *>("progressBar")->value(), bar);
    // The reason stays on the row.
    QCOMPARE(item->findChild<QLabel *>("status")->toolTip(), reason);
    // Nothing is pending any more, so the job cannot end a second time.
    QVERIFY(!anyTimerActive(item.get()));
    QCOMPARE(zombieChildren(), 0);
    QFile::remove(QString::fromUtf8(item->outputPath()));
}

void TestInputItem::doneRowWaitsAgainWhenItsSettingsChange()
{
    auto item = makeItem(succeeding);
    QVERIFY(item);
    QSignalSpy done(item.get(), &InputItem::ItemConvertDone);
    QCOMPARE(item->startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, processWaitMs);
    QCOMPARE(item->convertState(), ConvertDone);
    item->setSettings(item->settings());
    QCOMPARE(item->convertState(), ConvertDone);
    item->setSettings(makeAVSettings(1, 1, 1));
    QCOMPARE(item->convertState(), ConvertWaiting);
    QCOMPARE(text(item->findChild<QLabel *>("status")), QStringLiteral("等待转码..."));
    QCOMPARE(item->findChild<QProgressBar *>("progressBar")->value(), 0);
    QCOMPARE(item->settings(), makeAVSettings(1, 1, 1));
    QFile::remove(QString::fromUtf8(item->outputPath()));
}

void TestInputItem::cancel_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("outputKept");
    QTest::newRow("waiting") << "waiting" << 0 << "转码取消   " << false;
    QTest::newRow("converting") << "converting" << 0 << "转码取消   " << false;
    QTest::newRow("done") << "done" << ResultNothingToStop << "转码完成   " << true;
    QTest::newRow("error") << "error" << 0 << "转码取消   " << false;
    QTest::newRow("cancelled") << "cancelled" << 0 << "转码取消   " << false;
}

void TestInputItem::cancel()
{
    QFETCH(QString, before);
    QFETCH(int, result);
    QFETCH(QString, status);
    QFETCH(bool, outputKept);

    const QByteArray program =
        before == "done" ? succeeding : before == "error" ? failing : stalling;
    auto item = makeItem(program);
    QVERIFY(item);
    QSignalSpy done(item.get(), &InputItem::ItemConvertDone);
    if (before != "waiting" && before != "cancelled") {
        QCOMPARE(item->startConvert(), ResultOk);
        if (before == "converting")
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromUtf8(item->partialPath())), processWaitMs);
        else
            QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, processWaitMs);
    }
    if (before == "cancelled")
        QCOMPARE(item->stopConvert(), ResultOk);

    QCOMPARE(item->stopConvert(), result);
    QCOMPARE(text(item->findChild<QLabel *>("status")), status);
    QCOMPARE(item->convertState(), result == ResultNothingToStop ? ConvertDone : ConvertCancelled);
    const QString output = QString::fromUtf8(item->outputPath());
    QCOMPARE(!output.isEmpty() && QFile::exists(output), outputKept);
    QFile::remove(output);
    // Whatever was written under the partial name is gone.
    QVERIFY(item->partialPath().isEmpty() || !QFile::exists(QString::fromUtf8(item->partialPath())));
    // A cancelled job never reports an end, and its child is collected soon.
    QCOMPARE(done.count(), before == "done" || before == "error" ? 1 : 0);
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
    QVERIFY(!anyTimerActive(item.get()));
}

void TestInputItem::restartAfterErrorClearsErrorText()
{
    auto item = makeItem(failing);
    QVERIFY(item);
    QSignalSpy done(item.get(), &InputItem::ItemConvertDone);
    QCOMPARE(item->startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, processWaitMs);
    QCOMPARE(item->errorText(), QByteArray("未识别的输入文件格式！\n"));

    item->setTranscoderProgram(succeeding);
    QCOMPARE(item->startConvert(), ResultOk);
    QCOMPARE(item->errorText(), QByteArray());
    QCOMPARE(item->findChild<QProgressBar *>("progressBar")->value(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, processWaitMs);
    QCOMPARE(item->convertState(), ConvertDone);
    QCOMPARE(item->errorText(), QByteArray());
    QFile::remove(QString::fromUtf8(item->outputPath()));
}

void TestInputItem::startWhileRunningChangesNothing()
{
    auto item = makeItem(stalling);
    QVERIFY(item);
    QCOMPARE(item->startConvert(), ResultOk);
    auto *bar = item->findChild<QProgressBar *>("progressBar");
    QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 50, processWaitMs);
    item->settings().container = 3;
    const QByteArray output = item->outputPath();
    QCOMPARE(item->startConvert(), ResultAlreadyRunning);
    QCOMPARE(item->outputPath(), output);
    QCOMPARE(bar->value(), 50);
    QCOMPARE(childProcesses().size(), 1);
    QCOMPARE(item->stopConvert(), ResultOk);
}

void TestInputItem::failedStartChangesNothing()
{
    auto item = makeItem(failing);
    QVERIFY(item);
    QSignalSpy done(item.get(), &InputItem::ItemConvertDone);
    QCOMPARE(item->startConvert(), ResultOk);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, processWaitMs);

    item->setTranscoderProgram(dir.path().toUtf8() + "/no-such-transcoder");
    QCOMPARE(item->startConvert(), ResultSpawnFailed);
    QCOMPARE(item->convertState(), ConvertError);
    QCOMPARE(text(item->findChild<QLabel *>("status")), QStringLiteral("转码错误   "));
    QCOMPARE(item->errorText(), QByteArray("未识别的输入文件格式！\n"));
    QVERIFY(!anyTimerActive(item.get()));
    QCOMPARE(done.count(), 1);
    QFile::remove(QString::fromUtf8(item->outputPath()));
}

void TestInputItem::deleteButtonInAnyState()
{
    auto item = makeItem(stalling);
    QVERIFY(item);
    QSignalSpy deleted(item.get(), &InputItem::ItemDelete);
    auto *button = item->findChild<QPushButton *>("btnDel");
    item->show();
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(item->startConvert(), ResultOk);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(deleted.count(), 2);
    QCOMPARE(deleted.last().first().value<InputItem *>(), item.get());
    // Deleting is the list's business; the job runs on.
    QCOMPARE(item->convertState(), ConvertRunning);
    QCOMPARE(item->stopConvert(), ResultOk);
}

void TestInputItem::destroyingRunningItemKillsChild()
{
    auto item = makeItem(stalling);
    QVERIFY(item);
    QCOMPARE(item->startConvert(), ResultOk);
    QCOMPARE(childProcesses().size(), 1);
    item.reset();
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
}

void TestInputItem::oneWakeReadsWhatArrived()
{
    // About 56 KB of warnings, less than the pipe holds, so the fake finishes
    // writing without being read; the position comes last.
    const QByteArray noisy = script(
        "noisy",
        "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
        "i=0; while [ $i -lt 800 ]; do\n"
        "  echo '[mpegts @ 0x5616ec936980] Packet corrupt (stream = 0, dts = 406800).'\n"
        "  i=$((i+1)); done\n"
        "printf 'frame=  9 time=00:00:05.00 bitrate=N/A\\r'\n"
        ": > \"" + dir.path().toUtf8() + "/written\"\nexec sleep 30");
    auto item = makeItem(noisy);
    QVERIFY(item);
    QCOMPARE(item->startConvert(), ResultOk);
    // Without the event loop, so that nothing is read before the one wake.
    for (int i = 0; i < 1000 && !QFile::exists(dir.path() + "/written"); ++i)
        QThread::msleep(10);
    QVERIFY(QFile::remove(dir.path() + "/written"));

    QVERIFY(QMetaObject::invokeMethod(item->job(), "readOutput"));
    QCOMPARE(item->findChild<QProgressBar *>("progressBar")->value(), 50);
    QCOMPARE(item->stopConvert(), ResultOk);
}

QTEST_MAIN(TestInputItem)
// A list that carries the rows' sheet spares each row its own copy; the row
// must look exactly as one that loads the sheet itself.
void TestInputItem::rowInASharingListLooksTheSame()
{
    auto alone = makeItem(succeeding, QStringLiteral("look.mkv"));
    QVERIFY(alone);
    QWidget list;
    InputItem::shareStyleSheet(&list);
    auto *listed = new InputItem(&list);
    QCOMPARE(listed->setInputFile((sources + "look.mkv").toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
    QVERIFY(!alone->styleSheet().isEmpty());
    QVERIFY(listed->styleSheet().isEmpty());

    list.resize(alone->size());
    listed->setGeometry(QRect(QPoint(0, 0), alone->size()));
    alone->show();
    list.show();
    const QImage own = alone->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shared = listed->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shared.size(), own.size());
    // A child is grabbed with alpha, a window without: compare the pixels.
    QVERIFY(shared == own);
    // Not a blank pair: the row's green background is drawn.
    QCOMPARE(own.pixelColor(2, 2), QColor(58, 187, 138));
}

void TestInputItem::formBuiltLaterShowsTheJobAsItStands_data()
{
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("formDuringRun");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("reason");
    const QByteArray writes = "printf x > \"$out\"\n";
    const QByteArray damaged = "printf 'Error while decoding stream #0:1: Invalid data found "
                               "when processing input\\n'\n";
    for (bool during : {false, true}) {
        const char *when = during ? "form dropped during the run" : "no form until the end";
        QTest::addRow("done, %s", when) << writes + closingStats << false << during
                                        << QStringLiteral("转码完成   ") << 100 << halfMade;
        QTest::addRow("done with damaged frames, %s", when)
            << damaged + writes + closingStats << false << during << QStringLiteral("转码完成   ")
            << 100 << damagedFrames + '\n' + halfMade;
        QTest::addRow("failed, %s", when) << writes + closingStats + "exit 1" << false << during
                                          << QStringLiteral("转码错误   ") << 50
                                          << QStringLiteral("模糊信息");
        QTest::addRow("cancelled, %s", when) << QByteArray() << true << during
                                             << QStringLiteral("转码取消   ") << 50 << QString();
    }
}

// A row of a long list has its form only while it is in view; whatever its
// job did meanwhile, the form it gets shows the job as it stands.
void TestInputItem::formBuiltLaterShowsTheJobAsItStands()
{
    QFETCH(QByteArray, rest);
    QFETCH(bool, cancel);
    QFETCH(bool, formDuringRun);
    QFETCH(QString, status);
    QFETCH(int, bar);
    QFETCH(QString, reason);

    const QString name = QStringLiteral("稍后 显示.mkv");
    QVERIFY(makeItem(succeeding, name));
    InputItem item(nullptr, InputItem::FormWhenShown);
    QCOMPARE(item.setInputFile((sources + name).toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
    // Halfway, then held until the test lets it go on.
    const QString gate = dir.filePath(QStringLiteral("gate"));
    QFile::remove(gate);
    item.setTranscoderProgram(script("late", lastArgument + halfway + "printf partial > \"$out\"\n" +
                                     "while [ ! -e '" + gate.toUtf8() + "' ]; do sleep 0.02; done\n" +
                                     rest));
    QVERIFY(!item.hasForm());
    QVERIFY(item.findChildren<QWidget *>().isEmpty());
    QCOMPARE(item.size(), InputItem::rowSize());

    QSignalSpy done(&item, &InputItem::ItemConvertDone);
    QSignalSpy progress(item.job(), &TranscodeJob::progressChanged);
    QCOMPARE(item.startConvert(), ResultOk);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().first().toInt() == 50, processWaitMs);
    if (formDuringRun) {
        item.ensureForm();
        QCOMPARE(text(item.findChild<QLabel *>("status")), QStringLiteral("正在转码..."));
        QCOMPARE(item.findChild<QProgressBar *>("progressBar")->value(), 50);
        item.releaseForm();
        QVERIFY(!item.hasForm());
        QTest::qWait(0);
        QVERIFY(item.findChildren<QWidget *>().isEmpty());
    }
    if (cancel) {
        QCOMPARE(item.stopConvert(), ResultOk);
    } else {
        QFile opened(gate);
        QVERIFY(opened.open(QIODevice::WriteOnly));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, processWaitMs);
    }
    QVERIFY(!item.hasForm());

    item.ensureForm();
    QCOMPARE(item.size(), InputItem::rowSize());
    QCOMPARE(text(item.findChild<QLabel *>("filename")), name);
    QCOMPARE(text(item.findChild<QLabel *>("filesize")), QStringLiteral("大小:0.0 MB"));
    QCOMPARE(text(item.findChild<QLabel *>("status")), status);
    QCOMPARE(item.findChild<QProgressBar *>("progressBar")->value(), bar);
    QCOMPARE(item.findChild<QLabel *>("status")->toolTip(), reason);
    // The delete button of the new form works.
    QSignalSpy deleted(&item, &InputItem::ItemDelete);
    item.findChild<QPushButton *>("btnDel")->click();
    QCOMPARE(deleted.count(), 1);
    QFile::remove(QString::fromUtf8(item.outputPath()));
    QFile::remove(gate);
}

#include "tst_inputitem.moc"
