#include <QCryptographicHash>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <limits>
#include <optional>

#include <unistd.h>

#include "catalogue.h"
#include "clips.h"
#include "conversionqueue.h"
#include "savedlist.h"
#include "testsupport.h"
#include "waits.h"

// Whole runs through the window with the real ffmpeg, over awkward inputs:
// every source stays byte-identical, each failure gives its status and its
// summary line, and nothing is left running.
class TestReliableRuns : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sourcesSurviveEveryRun_data();
    void sourcesSurviveEveryRun();
    void fullDisk_data();
    void fullDisk();
    void oddConfigFiles_data();
    void oddConfigFiles();

private:
    std::unique_ptr<FreshSavedList> savedList;
    QString path(const QString &name) const { return work.filePath(name); }
    QMap<QString, QByteArray> checksums(const QStringList &names) const;
    static bool isConverting(MainWindow &window)
    {
        return buttonOf(window, "btnConvertStart")->text() == QStringLiteral("取消转码");
    }

    QTemporaryDir work;
    QString src;
    QString home;
};

namespace {

// A folder nobody may write into, root included (root ignores the mode
// bits, not the immutable flag); undone when it goes out of scope.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &dir) : dir(dir)
    {
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        if (geteuid() == 0)
            immutable = QProcess::execute(QStringLiteral("chattr"), {"+i", dir}) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (immutable)
            QProcess::execute(QStringLiteral("chattr"), {"-i", dir});
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool isReadOnly() const
    {
        QFile probe(dir + QStringLiteral("/probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.remove();
        return false;
    }

private:
    QString dir;
    bool immutable = false;
};

// A small file system of its own (tmpfs), where the machine allows mounting
// one; unmounted when it goes out of scope.
class SmallDisk
{
public:
    SmallDisk(const QString &dir, const QString &size) : dir(dir)
    {
        QDir().mkpath(dir);
        mounted = geteuid() == 0
                  && QProcess::execute(QStringLiteral("mount"),
                                       {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", dir}) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {dir});
    }
    bool isMounted() const { return mounted; }

private:
    QString dir;
    bool mounted = false;
};

const char quotedName[] = "片 \"引号\" 'single' 空格.avi";

} // namespace

void TestReliableRuns::initTestCase()
{
    QVERIFY(work.isValid());
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(), "ffmpeg is needed");
    home = path(QStringLiteral("home"));
    QDir().mkpath(home);
    qputenv("HOME", home.toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    src = path(QStringLiteral("源 文件夹"));
    QDir().mkpath(src);
    // "Vantor转码-a.mp4" is exactly the name a.mkv converts to.
    QVERIFY(makeTestClip(src + QStringLiteral("/a.mkv"), 2));
    QVERIFY(makeTestClip(src + QStringLiteral("/Vantor转码-a.mp4"), 2));
    QVERIFY(makeTestClip(src + '/' + QString::fromUtf8(quotedName), 2));
    QVERIFY(makeTestClip(src + QStringLiteral("/long.mov"), 40));
    touch(src + QStringLiteral("/notes.mp4"), "These are notes, not a video.\n");
}

void TestReliableRuns::init()
{
    savedList.reset(new FreshSavedList);
    QDir::setCurrent(work.path());
    QFile::remove(path(QStringLiteral("conf_main.json")));
}

void TestReliableRuns::cleanup()
{
    QTRY_VERIFY_WITH_TIMEOUT(!hasChildProcesses(), processWaitMs);
    QDir::setCurrent(QDir::tempPath());
    // Outputs written beside the sources go; the sources stay.
    for (const QString &name : QDir(src).entryList({QStringLiteral("Vantor转码-Vantor转码-*"),
                                                    QStringLiteral("Vantor转码-a (*"),
                                                    QStringLiteral("Vantor转码-片*"),
                                                    QStringLiteral("Vantor转码-long*")}))
        QFile::remove(src + '/' + name);
}

QMap<QString, QByteArray> TestReliableRuns::checksums(const QStringList &names) const
{
    QMap<QString, QByteArray> sums;
    for (const QString &name : names) {
        QFile file(src + '/' + name);
        file.open(QIODevice::ReadOnly);
        sums.insert(name, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return sums;
}

void TestReliableRuns::sourcesSurviveEveryRun_data()
{
    // Files listed (in the source folder), the output folder ("" = the source
    // folder), and for each row its end state and the summary expected.
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("outFolder"); // "readonly": a folder nobody may write into
    QTest::addColumn<bool>("cancelOnLast");
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QString>("summary");

    const QString quoted = QString::fromUtf8(quotedName);
    // The sound of an .mp4 or .avi source already is what 中质量 asks for.
    const QString copied = QStringLiteral(" : 音频直接复制，未重新编码\n");
    QTest::newRow("output beside the sources, one named like an output")
        << QStringList{"a.mkv", "Vantor转码-a.mp4", quoted} << QString() << false
        << QList<int>{2, 2, 2}
        << QStringLiteral("转码任务完成！\n成功： 3 个\n直接复制： 2 个\n%1/Vantor转码-a.mp4") + copied + "%1/" + quoted
               + copied;
    QTest::newRow("cancelled while converting, output beside the sources")
        << QStringList{"a.mkv", "long.mov", "Vantor转码-a.mp4"} << QString() << true
        << QList<int>{2, 3, 3} << QStringLiteral("转码任务完成！\n成功： 1 个\n取消： 2 个\n");
    QTest::newRow("garbage named .mp4 and a file gone before the run")
        << QStringList{"notes.mp4", "gone.mp4", quoted} << QString() << false << QList<int>{4, 4, 2}
        << QStringLiteral("转码任务完成！\n成功： 1 个\n失败： 2 个\n%1/notes.mp4 : 未识别的输入文件格式！\n"
                          "%1/gone.mp4 : 文件或文件夹不存在！\n直接复制： 1 个\n%1/")
               + quoted + copied;
    // Nothing the run did not write is replaced: the job takes the next
    // free number, also when the folder is reached through a symbolic link
    // and given with a trailing slash.
    QTest::newRow("a user's file under the output name")
        << QStringList{"a.mkv"} << QString() << false << QList<int>{2}
        << QStringLiteral("转码任务完成！\n成功： 1 个\n");
    QTest::newRow("output folder through a symbolic link, trailing slash")
        << QStringList{"a.mkv", "Vantor转码-a.mp4"} << QStringLiteral("link/") << false
        << QList<int>{2, 2} << QStringLiteral("转码任务完成！\n成功： 2 个\n直接复制： 1 个\n%1/Vantor转码-a.mp4") + copied;
    // Said once, naming the folder, before anything runs.
    QTest::newRow("read-only output folder")
        << QStringList{"a.mkv"} << QStringLiteral("readonly") << false << QList<int>{0}
        << QStringLiteral("输出文件夹无法写入：\n%2\n请选择其他输出文件夹。\n");
}

void TestReliableRuns::sourcesSurviveEveryRun()
{
    QFETCH(QStringList, names);
    QFETCH(QString, outFolder);
    QFETCH(bool, cancelOnLast);
    QFETCH(QList<int>, states);
    QFETCH(QString, summary);

    const QString out = outFolder.isEmpty() ? src : path(outFolder);
    std::optional<ReadOnlyFolder> readOnly;
    if (outFolder == QLatin1String("link/")) {
        QFile::remove(path(QStringLiteral("link")));
        QVERIFY(QFile::link(src, path(QStringLiteral("link"))));
    } else if (!outFolder.isEmpty()) {
        readOnly.emplace(out);
        if (!readOnly->isReadOnly())
            QSKIP("this file system lets the test write into a read-only folder");
    }
    touch(path(QStringLiteral("conf_main.json")), "{\"VideosDir\":\"" + out.toUtf8() + "\"}");
    touch(src + QStringLiteral("/gone.mp4"));
    const QStringList before = QDir(out).entryList(QDir::Files | QDir::Hidden);

    MainWindow window;
    DialogAnswerer answerer;
    // The summaries below are those of one job at a time.
    window.findChild<ConversionQueue *>()->setParallelJobs(1);
    for (const QString &name : names)
        QCOMPARE(window.addInputFile((src + '/' + name).toUtf8()), ResultOk);
    QFile::remove(src + QStringLiteral("/gone.mp4"));
    const QStringList sources = QDir(src).entryList(QDir::Files);
    const QMap<QString, QByteArray> sums = checksums(sources);
    window.setMainState(MainWindow::MainStateReady);
    buttonOf(window, "btnConvertStart")->click();
    if (cancelOnLast) {
        // Cancel once the second job is under way and has written output.
        InputItem *second = rowItem(window, 1);
        QTRY_VERIFY_WITH_TIMEOUT(second->convertState() == ConvertRunning
                                     && QFileInfo(QString::fromUtf8(second->partialPath())).size() > 0,
                                 60000);
        answerer.answers << true;
        buttonOf(window, "btnConvertStart")->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window), 120000);
    summary.replace(QLatin1String("%1"), src).replace(QLatin1String("%2"), out);
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.texts.isEmpty() && answerer.texts.last() == summary, processWaitMs);
    QCOMPARE(answerer.texts.filter(QStringLiteral("转码任务完成！")).size(),
             summary.startsWith(QStringLiteral("转码任务完成！")) ? 1 : 0);

    QCOMPARE(checksums(sources), sums);
    QStringList written;
    for (int row = 0; row < names.size(); ++row) {
        InputItem *item = rowItem(window, row);
        QCOMPARE(item->convertState(), states.at(row));
        const QFileInfo output(QString::fromUtf8(item->outputPath()));
        if (states.at(row) == ConvertDone) {
            QVERIFY(output.size() > 1000);
            written << output.fileName();
            QCOMPARE(item->toolTip(), QStringLiteral("源文件：%1/%2\n输出文件：%3")
                                          .arg(src, names.at(row), output.filePath()));
        }
    }
    // Nothing but the outputs of the done jobs is new in the output folder.
    QStringList after = QDir(out).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : before)
        after.removeOne(name);
    after.removeOne(QStringLiteral("gone.mp4"));
    written.sort();
    after.sort();
    QCOMPARE(after, written);
}

void TestReliableRuns::fullDisk_data()
{
    QTest::addColumn<bool>("checkedFirst");
    QTest::newRow("too little room before the job") << true;
    QTest::newRow("disk full during the job") << false;
}

// A full disk stops the run with a message naming the folder and its free
// space; nothing partial is left to keep the disk full, and the files not
// converted yet stay waiting.
void TestReliableRuns::fullDisk()
{
    QFETCH(bool, checkedFirst);
    const QString out = path(QStringLiteral("small"));
    const SmallDisk disk(out, QStringLiteral("64k"));
    touch(path(QStringLiteral("conf_main.json")), "{\"VideosDir\":\"" + out.toUtf8() + "\"}");

    MainWindow window;
    DialogAnswerer answerer;
    window.findChild<ConversionQueue *>()->setParallelJobs(1);
    for (const char *name : {"long.mov", "a.mkv"})
        QCOMPARE(window.addInputFile((src + '/' + QLatin1String(name)).toUtf8()), ResultOk);
    window.setMainState(MainWindow::MainStateReady);
    if (!disk.isMounted()) {
        // No file system of our own: ffmpeg's own words, from a real full disk.
        const QByteArray full = writeFakeTranscoder(
            work.path(), QStringLiteral("full"),
            "printf '  Duration: 00:00:40.00, start: 0.000000\\n'\n"
            "head -c 300000 /dev/zero > \"$out\"\n"
            "printf 'av_interleaved_write_frame(): No space left on device\\n'\n"
            "printf 'Error writing trailer of %s: No space left on device\\n' \"$out\"\n"
            "printf 'Conversion failed!\\n'\nexit 1\n");
        for (int row = 0; row < 2; ++row)
            rowItem(window, row)->setTranscoderProgram(full);
        if (checkedFirst)
            window.setFreeSpaceFloor(std::numeric_limits<qint64>::max());
    }
    if (!checkedFirst)
        window.setFreeSpaceFloor(0);
    buttonOf(window, "btnConvertStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!isConverting(window) && !answerer.texts.isEmpty(), 120000);

    const QString message = answerer.texts.last();
    QVERIFY2(message.startsWith(QStringLiteral("输出目录磁盘空间不足\n") + out
                                + QStringLiteral("\n剩余空间：")),
             qPrintable(message));
    if (!checkedFirst) {
        QVERIFY(message.contains(QStringLiteral("已停止转码，未转码的文件仍在列表中等待。\n成功： 0 个\n失败： 1 个\n")
                                 + src + QStringLiteral("/long.mov : 输出目录磁盘空间不足！\n")));
    }
    QCOMPARE(answerer.texts.size(), 1);
    QCOMPARE(rowItem(window, 0)->convertState(), checkedFirst ? ConvertWaiting : ConvertError);
    QCOMPARE(rowItem(window, 1)->convertState(), ConvertWaiting);
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestReliableRuns::oddConfigFiles_data()
{
    // Content of conf_main.json, or "<folder>" when it is a folder itself,
    // and whether the stored folder is used.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("storedUsed");
    const QByteArray valid = "{\"VideosDir\":\"@\"}";
    QTest::newRow("64 MB of white space around a usable object")
        << QByteArray(32 << 20, ' ') + valid + QByteArray(32 << 20, '\n') << true;
    QTest::newRow("usable object, 64 MB member beside it")
        << "{\"Padding\":\"" + QByteArray(64 << 20, 'x') + "\",\"VideosDir\":\"@\"}" << true;
    QTest::newRow("64 MB of binary noise") << QByteArray(64 << 20, '\xfe') << false;
    QTest::newRow("a folder") << QByteArray("<folder>") << false;
}

void TestReliableRuns::oddConfigFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, storedUsed);
    const QString stored = path(QStringLiteral("stored"));
    const QString movies = home + QStringLiteral("/Videos");
    QDir().mkpath(stored);
    const QString config = path(QStringLiteral("conf_main.json"));
    if (content == "<folder>")
        QVERIFY(QDir().mkpath(config));
    else
        touch(config, content.replace('@', stored.toUtf8()));

    {
        MainWindow window;
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(),
                 storedUsed ? stored : movies);
        QCOMPARE(QString::fromUtf8(outputDir), storedUsed ? stored : movies);
    }
    QFile file(config);
    if (content == "<folder>") {
        // Cannot be replaced; the default serves until the program ends.
        QVERIFY(QFileInfo(config).isDir());
        QVERIFY(QDir(config).removeRecursively());
    } else {
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        if (storedUsed)
            QVERIFY(written == content);
        else
            QCOMPARE(written, "{\"VideosDir\":\"" + movies.toUtf8() + "\"}");
    }
}

QTEST_MAIN(TestReliableRuns)
#include "tst_reliableruns.moc"
