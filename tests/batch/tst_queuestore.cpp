#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "catalogue.h"
#include "conversionqueue.h"
#include "queuekeeper.h"
#include "queuestore.h"
#include "resultcodes.h"
#include "scripts.h"
#include "transcodejob.h"
#include "waits.h"

namespace {

const AVSettings settings{0, 0, 0, -1, 1500, 23, -1, 128, 44100, 1, 1};

QueueRow row(const QByteArray &input, int state, const QByteArray &output = QByteArray())
{
    return QueueRow{input, settings, state, output, QByteArray(), QByteArray()};
}

// "a=0 b=2": each row's name and state.
QString states(const QList<QueueRow> &rows)
{
    QStringList parts;
    for (const QueueRow &each : rows)
        parts << QString::fromUtf8(each.inputPath) + QLatin1Char('=') + QString::number(each.state);
    return parts.join(QLatin1Char(' '));
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What is at a path, for telling whether anything changed it.
QString describe(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("link to ") + info.symLinkTarget() + QLatin1Char(' ')
               + QString::fromLatin1(contentOf(path).toHex());
    if (info.isDir())
        return QStringLiteral("folder");
    if (info.exists())
        return QStringLiteral("file ") + QString::fromLatin1(contentOf(path).toHex());
    return QStringLiteral("nothing");
}

// Lists three files, saves them, records the second one's end and stays
// until it is killed: what comes back must not depend on anything after the
// record's return.
int endAndWait(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QList<QueueRow> rows;
    QueueStore store(QString::fromLocal8Bit(argv[2]));
    store.load(&rows);
    rows = {row("a", ConvertDone, "/out/a.mp4"), row("b", ConvertRunning), row("c", ConvertWaiting)};
    store.setSource([&rows] { return rows; });
    store.changed();
    store.flush();
    rows[1] = row("b", ConvertDone, "/out/b.mp4");
    rows[1].warningText = "damaged frame\n";
    if (store.recordEnd(rows[1]) != ResultOk)
        return 1;
    std::fputs("ended\n", stdout);
    std::fflush(stdout);
    for (;;)
        pause();
}

// Converts one file with the given transcoder into a folder, the list kept
// in another, and dies the moment the file has its final name, before the
// name reached can be recorded.
int convertAndDie(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    initCatalogue();
    outputDir = argv[4];
    ConversionQueue queue;
    QueueKeeper keeper(&queue, QString::fromLocal8Bit(argv[2]));
    QSet<QByteArray> absent;
    keeper.restore(&absent);
    TranscodeJob job;
    if (job.setInput(argv[3], makeAVSettings(0, 1, 1)) != ResultOk)
        return 1;
    job.setTranscoderProgram(argv[5]);
    queue.append(&job);
    QObject::connect(&job, &TranscodeJob::stateChanged, [](int state) {
        if (state == ConvertDone)
            ::raise(SIGKILL);
    });
    return queue.start() == ResultOk ? application.exec() : 1;
}

} // namespace

// The saved list: what comes back from every state its files can be found
// in, a round trip, and a job's end that survives the converter's death.
class TestQueueStore : public QObject
{
    Q_OBJECT

private:
    // Written by the store: rows a (waiting) and b (converting), then b's
    // end in the journal.
    QByteArray goodSnapshot;
    QByteArray goodJournal;

private slots:
    void initTestCase();
    void savedFiles_data();
    void savedFiles();
    void roundTrip();
    void endSurvivesKill();
    void restoreAfterKill_data();
    void restoreAfterKill();
};

void TestQueueStore::initTestCase()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state"));
    // The source outlives the store, whose destructor may read it.
    QList<QueueRow> rows;
    QueueStore store(folder);
    QCOMPARE(store.load(&rows), ResultOk);
    rows = {row("a", ConvertWaiting), row("b", ConvertRunning)};
    store.setSource([&rows] { return rows; });
    store.changed();
    store.flush();
    goodSnapshot = contentOf(folder + QStringLiteral("/queue.json"));
    rows[1] = row("b", ConvertDone, "/out/b.mp4");
    QCOMPARE(store.recordEnd(rows[1]), ResultOk);
    goodJournal = contentOf(folder + QStringLiteral("/queue.journal"));
    QVERIFY(!goodSnapshot.isEmpty());
    QVERIFY(goodJournal.count('\n') == 2);
}

void TestQueueStore::savedFiles_data()
{
    // What is at queue.json and queue.journal: null for nothing, "<link>" for
    // a link to a copy of the good file, "<folder>" for a folder.
    QTest::addColumn<QByteArray>("snapshot");
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("readOnly");
    // Which of the two are moved aside as ".bad".
    QTest::addColumn<bool>("snapshotAside");
    QTest::addColumn<bool>("journalAside");
    const QByteArray none;
    const QByteArray header = goodJournal.left(goodJournal.indexOf('\n') + 1);

    QTest::newRow("no list yet") << none << none << "" << false << false << false;
    QTest::newRow("snapshot and a later end") << goodSnapshot << goodJournal << "a=0 b=2" << false
                                              << false << false;
    QTest::newRow("snapshot alone") << goodSnapshot << none << "a=0 b=1" << false << false << false;
    QTest::newRow("an end before the first snapshot") << none << goodJournal << "b=2" << false
                                                      << false << false;
    QTest::newRow("last record torn") << goodSnapshot << goodJournal.chopped(9) << "a=0 b=1"
                                      << false << false << false;
    QTest::newRow("last record zeroed")
        << goodSnapshot << header + QByteArray(goodJournal.size() - header.size() - 1, '\0') + '\n'
        << "a=0 b=1" << false << false << false;
    QTest::newRow("journal header torn") << goodSnapshot << header.left(12) << "a=0 b=1" << false
                                         << false << false;
    QTest::newRow("another program's journal") << goodSnapshot << QByteArray("PK\3\4\n\n") << "a=0 b=1"
                                               << false << false << true;
    QTest::newRow("empty snapshot") << QByteArray("") << goodJournal << "" << false << true << true;
    QTest::newRow("snapshot cut after a byte") << goodSnapshot.left(1) << none << "" << false << true
                                               << false;
    QTest::newRow("snapshot cut inside a row")
        << goodSnapshot.left(goodSnapshot.indexOf("\"b\"")) << none << "" << false << true << false;
    QTest::newRow("snapshot without its last brace") << goodSnapshot.chopped(1) << none << ""
                                                     << false << true << false;
    QTest::newRow("not JSON") << QByteArray("\x7f" "ELF\0\1\2", 7) << none << "" << false << true
                              << false;
    QTest::newRow("another program's JSON") << QByteArray("{\"VideosDir\":\"/home\"}") << none << ""
                                            << false << true << false;
    QTest::newRow("a row with an unknown state")
        << QByteArray(goodSnapshot).replace("\"state\":1", "\"state\":7") << none << "" << false
        << true << false;
    QTest::newRow("snapshot of a newer version")
        << QByteArray(goodSnapshot).replace("\"version\":1", "\"version\":2") << goodJournal << ""
        << true << false << false;
    QTest::newRow("journal of a newer version")
        << goodSnapshot << QByteArray(goodJournal).replace("\"version\":1", "\"version\":2") << ""
        << true << false << false;
    QTest::newRow("a link instead of the snapshot") << QByteArray("<link>") << none << "" << true
                                                    << false << false;
    QTest::newRow("a folder instead of the journal") << goodSnapshot << QByteArray("<folder>") << ""
                                                     << true << false << false;
    // A converter on another display: its list is neither read nor written.
    QTest::newRow("another store holds the folder") << QByteArray("<held>") << goodJournal << ""
                                                    << true << false << false;
}

// Loads what is there, then records another end; the next load must show it
// after the rows found, or, for files it may not touch, find them unchanged.
void TestQueueStore::savedFiles()
{
    QFETCH(QByteArray, snapshot);
    QFETCH(QByteArray, journal);
    QFETCH(QString, expected);
    QFETCH(bool, readOnly);
    QFETCH(bool, snapshotAside);
    QFETCH(bool, journalAside);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state"));
    const QString paths[2] = {folder + QStringLiteral("/queue.json"),
                              folder + QStringLiteral("/queue.journal")};
    const QByteArray contents[2] = {snapshot, journal};
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < 2; ++i) {
        if (contents[i] == "<link>") {
            QFile copy(dir.filePath(QStringLiteral("elsewhere")));
            QVERIFY(copy.open(QIODevice::WriteOnly));
            copy.write(goodSnapshot);
            copy.close();
            QVERIFY(QFile::link(copy.fileName(), paths[i]));
        } else if (contents[i] == "<folder>") {
            QVERIFY(QDir().mkpath(paths[i]));
        } else if (!contents[i].isNull()) {
            QFile file(paths[i]);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents[i] == "<held>" ? goodSnapshot : contents[i]);
        }
    }
    std::unique_ptr<QueueStore> holder;
    if (snapshot == "<held>") {
        holder = std::make_unique<QueueStore>(folder);
        QList<QueueRow> held;
        QCOMPARE(holder->load(&held), ResultOk);
        QCOMPARE(states(held), QStringLiteral("a=0 b=2"));
    }
    const QString before[2] = {describe(paths[0]), describe(paths[1])};

    {
        QueueStore store(folder);
        QList<QueueRow> rows{row("left over", ConvertWaiting)};
        QCOMPARE(store.load(&rows), readOnly || snapshotAside ? ResultUnusable : ResultOk);
        QCOMPARE(states(rows), expected);
        QCOMPARE(store.isReadOnly(), readOnly);
        QCOMPARE(store.isHeldElsewhere(), snapshot == "<held>");
        QCOMPARE(describe(paths[0] + QStringLiteral(".bad")),
                 snapshotAside ? QStringLiteral("file ") + QString::fromLatin1(snapshot.toHex())
                               : QStringLiteral("nothing"));
        QCOMPARE(QFileInfo::exists(paths[1] + QStringLiteral(".bad")), journalAside);
        QCOMPARE(store.recordEnd(row("c", ConvertError)), readOnly ? ResultUnusable : ResultOk);
    }

    if (readOnly) {
        for (int i = 0; i < 2; ++i)
            QCOMPARE(describe(paths[i]), before[i]);
        return;
    }
    QueueStore again(folder);
    QList<QueueRow> rows;
    QCOMPARE(again.load(&rows), ResultOk);
    QCOMPARE(states(rows), (expected + QStringLiteral(" c=4")).trimmed());
}

// Every field as it was, however many changes came before the write; a row
// cut off while converting comes back waiting.
void TestQueueStore::roundTrip()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("new/state"));
    QList<QueueRow> rows;
    for (int state = ConvertWaiting; state <= ConvertError; ++state)
        rows << row("/视频/\"第" + QByteArray::number(state) + "集\" \\ a\tb.mkv", state);
    rows[ConvertRunning].outputPath = "/out/partial.mp4";
    rows[ConvertDone].outputPath = "/out/Vantor转码-第2集.mp4";
    rows[ConvertDone].warningText = "Invalid NAL unit size\nerror while decoding MB 3 4\n";
    rows[ConvertError].errorText = "模糊信息：Conversion failed!\n";
    rows[ConvertError].settings = AVSettings{3, 3, 2, 4, -1, -1, 60, -1, 22050, 0, 2};
    rows[ConvertError].settings.copyIfFits = false;
    // The tracks chosen ride beside the eleven numbers.
    rows[ConvertDone].settings.audioTracks = OneAudioTrack;
    rows[ConvertDone].settings.audioTrack = 2;
    rows[ConvertDone].settings.audioLanguage = "eng";
    rows[ConvertDone].settings.subtitleMode = SubtitlesBurn;
    rows[ConvertDone].settings.subtitleTrack = 3;
    rows[ConvertDone].settings.subtitleLanguage = "chi";
    {
        QueueStore store(folder);
        QList<QueueRow> none;
        QCOMPARE(store.load(&none), ResultOk);
        QVERIFY(none.isEmpty());
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/queue.json")));
        store.setSource([&rows] { return rows; });
        QSignalSpy saved(&store, &QueueStore::saved);
        for (int i = 0; i < 100; ++i)
            store.changed();
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, processWaitMs);
        store.flush();
        QCOMPARE(saved.count(), 1);
    }

    QueueStore store(folder);
    QList<QueueRow> loaded;
    QCOMPARE(store.load(&loaded), ResultOk);
    QCOMPARE(loaded.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QVERIFY2(loaded.at(i) == rows.at(i), qPrintable(states({loaded.at(i)})));
    QueueRow resumed = rows[ConvertRunning];
    resumed.state = ConvertWaiting;
    resumed.outputPath.clear();
    QVERIFY(restoredRow(loaded[ConvertRunning]) == resumed);
    QVERIFY(restoredRow(loaded[ConvertDone]) == rows[ConvertDone]);
}

void TestQueueStore::endSurvivesKill()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state"));
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--end-and-wait"), folder});
    QByteArray output;
    QTRY_VERIFY2_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("ended\n"),
                              child.readAllStandardError().constData(), processWaitMs);
    QCOMPARE(::kill(pid_t(child.processId()), SIGKILL), 0);
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    QueueStore store(folder);
    QList<QueueRow> rows;
    QCOMPARE(store.load(&rows), ResultOk);
    QCOMPARE(states(rows), QStringLiteral("a=2 b=2 c=0"));
    QCOMPARE(rows.at(1).outputPath, QByteArray("/out/b.mp4"));
    QCOMPARE(rows.at(1).warningText, QByteArray("damaged frame\n"));
}

void TestQueueStore::restoreAfterKill_data()
{
    // Someone else's file turns up under the planned name during the job,
    // so that the rename lands on a "(2)".
    QTest::addColumn<bool>("nameTaken");
    QTest::addColumn<bool>("sourceGone");
    QTest::addColumn<int>("state");
    QTest::newRow("killed after the rename") << false << false << int(ConvertDone);
    QTest::newRow("killed after a rename to a (2)") << true << false << int(ConvertWaiting);
    QTest::newRow("source gone meanwhile") << false << true << int(ConvertDone);
}

void TestQueueStore::restoreAfterKill()
{
    QFETCH(bool, nameTaken);
    QFETCH(bool, sourceGone);
    QFETCH(int, state);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString source = dir.filePath(QStringLiteral("a.mp4"));
    const QString planned = out + QStringLiteral("/Vantor转码-a.mp4");
    QVERIFY(QDir().mkpath(out));
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray program = writeScript(
        dir.path(), QStringLiteral("fake"),
        "for a; do out=$a; done\nprintf ours > \"$out\"\n"
            + (nameTaken ? "printf theirs > '" + planned.toUtf8() + "'\n" : QByteArray()));

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--convert-and-die"), dir.filePath(QStringLiteral("state")), source,
                 out, QString::fromUtf8(program)});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QString kept = nameTaken ? out + QStringLiteral("/Vantor转码-a (2).mp4") : planned;
    QCOMPARE(contentOf(kept), QByteArray("ours"));
    if (sourceGone)
        QVERIFY(QFile::remove(source));

    ConversionQueue queue;
    QueueKeeper keeper(&queue, dir.filePath(QStringLiteral("state")));
    QSet<QByteArray> absent;
    const QList<QueueRow> rows = keeper.restore(&absent);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().state, state);
    QCOMPARE(rows.first().outputPath, state == ConvertDone ? planned.toUtf8() : QByteArray());
    QCOMPARE(absent.contains(source.toUtf8()), sourceGone);
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--end-and-wait") == 0)
        return endAndWait(argc, argv);
    if (argc == 6 && qstrcmp(argv[1], "--convert-and-die") == 0)
        return convertAndDie(argc, argv);
    QCoreApplication application(argc, argv);
    TestQueueStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_queuestore.moc"
