#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointF>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "batchestimate.h"
#include "catalogue.h"
#include "conversionqueue.h"
#include "processes.h"
#include "scripts.h"
#include "transcodejob.h"
#include "waits.h"

// The batch alone, under QCoreApplication: fake transcoders that note when
// they start and end in a shared log, so that the order, the number running
// at once and what each run leaves behind can be read back.
class TestConversionQueue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void run_data();
    void run();
    void estimate_data();
    void estimate();

private:
    QByteArray program(const QByteArray &kind);
    QStringList log() const;

    QTemporaryDir dir;
    QString out;
};

namespace {

// What each kind of fake does once it has noted its start.
const char *const bodies[][2] = {
    {"ok", "sleep 0.3\nprintf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
           "printf 'frame=1 time=00:00:10.00 bitrate=1\\r'\nprintf x > \"$out\"\n"},
    {"fail", "printf 'x: Invalid data found when processing input\\n'\nexit 1\n"},
    {"stall", "printf '  Duration: 00:00:10.00, start: 0.000000\\n'\n"
              "printf 'frame=1 time=00:00:02.00 bitrate=1\\r'\nprintf partial > \"$out\"\n"
              "exec sleep 60\n"},
    {"full", "sleep 0.3\nprintf '%s: No space left on device\\n' \"$out\"\nexit 1\n"},
    // Ends cleanly, without a file, once its folder has gone.
    {"gone", "i=0\nwhile [ -d \"${out%/*}\" ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n"},
};

// The kinds of a row's jobs, one letter each: o ok, f fail, s stall,
// d disk full, m a transcoder that is missing.
// g: waits for its folder to go.
// a: a source that was absent when the list was restored.
QByteArray kindOf(char letter)
{
    switch (letter) {
    case 'o': return "ok";
    case 'f': return "fail";
    case 's': return "stall";
    case 'd': return "full";
    case 'g': return "gone";
    default: return "missing";
    }
}

char stateLetter(int state)
{
    return "wrdce"[state];
}

// Every child of this process stopped (SIGSTOP), or none, from one reading
// of the list.
bool childrenStopped(bool every)
{
    const QList<ChildProcess> children = childProcesses();
    const auto stopped = [](const ChildProcess &child) { return child.state == 'T'; };
    return every ? std::all_of(children.cbegin(), children.cend(), stopped)
                 : std::none_of(children.cbegin(), children.cend(), stopped);
}

// Most starts not yet matched by an end, reading the log in order.
int mostAtOnce(const QStringList &log)
{
    int now = 0;
    int most = 0;
    for (const QString &line : log) {
        now += line.startsWith(QLatin1String("start")) ? 1 : -1;
        most = qMax(most, now);
    }
    return most;
}

} // namespace

void TestConversionQueue::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
}

void TestConversionQueue::init()
{
    out = dir.filePath(QStringLiteral("out"));
    QDir(out).removeRecursively();
    QVERIFY(QDir().mkpath(out));
    outputDir = out.toUtf8();
    QFile::remove(dir.filePath(QStringLiteral("log")));
}

void TestConversionQueue::cleanup()
{
    QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 0, processWaitMs);
    const QStringList partial = QDir(out).entryList({QStringLiteral(".vantor-*")}, QDir::Files | QDir::Hidden);
    QCOMPARE(partial, QStringList());
}

QByteArray TestConversionQueue::program(const QByteArray &kind)
{
    if (kind == "missing")
        return dir.filePath(QStringLiteral("no-such-ffmpeg")).toUtf8();
    QByteArray body;
    for (const auto &entry : bodies) {
        if (kind == entry[0])
            body = entry[1];
    }
    const QByteArray log = dir.filePath(QStringLiteral("log")).toUtf8();
    return writeScript(dir.path(), QString::fromLatin1(kind),
                       "for a; do [ \"$prev\" = -i ] && in=$a; prev=$a; out=$a; done\n"
                       "echo \"start ${in##*/}\" >> '" + log + "'\n"
                       "trap 'echo \"end ${in##*/}\" >> \"" + log + "\"' EXIT\n" + body);
}

QStringList TestConversionQueue::log() const
{
    QFile file(dir.filePath(QStringLiteral("log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestConversionQueue::run_data()
{
    QTest::addColumn<int>("parallel");
    QTest::addColumn<QByteArray>("kinds");
    // "cancel", "pause", "folder gone", "tight room", "same name" or nothing.
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("mostAtOnce");
    // Each row's state afterwards: w waiting, r running, d done, c cancelled,
    // e error.
    QTest::addColumn<QByteArray>("states");
    QTest::addColumn<int>("reason");
    // Succeeded, failed and cancelled in the report.
    QTest::addColumn<QList<int>>("counts");

    QTest::newRow("two at once, in list order") << 2 << QByteArray("oooo") << QString() << 2
                                                << QByteArray("dddd") << RunFinished << QList<int>{4, 0, 0};
    QTest::newRow("one at a time") << 1 << QByteArray("ooo") << QString() << 1 << QByteArray("ddd")
                                   << RunFinished << QList<int>{3, 0, 0};
    QTest::newRow("failures and a missing transcoder do not stall")
        << 2 << QByteArray("ofmo") << QString() << 2 << QByteArray("dewd") << RunFinished
        << QList<int>{2, 2, 0};
    QTest::newRow("three with one name") << 3 << QByteArray("ooo") << QString("same name") << 3
                                         << QByteArray("ddd") << RunFinished << QList<int>{3, 0, 0};
    QTest::newRow("cancel ends every child") << 2 << QByteArray("sso") << QString("cancel") << 2
                                             << QByteArray("ccc") << RunCancelled << QList<int>{0, 0, 3};
    QTest::newRow("pause holds the children") << 2 << QByteArray("sso") << QString("pause") << 2
                                              << QByteArray("ccc") << RunCancelled << QList<int>{0, 0, 3};
    QTest::newRow("disk full stops the run") << 2 << QByteArray("sdoo") << QString() << 2
                                             << QByteArray("weww") << RunStoppedForFolder
                                             << QList<int>{0, 1, 0};
    QTest::newRow("folder gone stops the run") << 2 << QByteArray("soo") << QString("folder gone") << 2
                                               << QByteArray("wew") << RunStoppedForFolder
                                               << QList<int>{0, 1, 0};
    // No next job finds the folder gone: the run must not count as finished.
    QTest::newRow("folder gone during the last job") << 1 << QByteArray("fg") << QString("folder gone")
                                                     << 1 << QByteArray("ee") << RunStoppedForFolder
                                                     << QList<int>{0, 2, 0};
    QTest::newRow("an absent source is skipped") << 2 << QByteArray("oao") << QString() << 2
                                                 << QByteArray("dwd") << RunFinished
                                                 << QList<int>{2, 0, 0};
    QTest::newRow("room for one at a time") << 2 << QByteArray("ooo") << QString("tight room") << 1
                                            << QByteArray("ddd") << RunFinished << QList<int>{3, 0, 0};
}

void TestConversionQueue::run()
{
    QFETCH(int, parallel);
    QFETCH(QByteArray, kinds);
    QFETCH(QString, action);
    QFETCH(int, mostAtOnce);
    QFETCH(QByteArray, states);
    QFETCH(int, reason);
    QFETCH(QList<int>, counts);

    ConversionQueue queue;
    queue.setParallelJobs(parallel);
    if (action == QLatin1String("tight room"))
        queue.setFreeSpaceFloor(QStorageInfo(out).bytesAvailable() * 6 / 10);
    std::vector<std::unique_ptr<TranscodeJob>> jobs;
    for (int i = 0; i < kinds.size(); ++i) {
        // One folder per source when they are to share a base name.
        const QString folder = action == QLatin1String("same name") ? dir.filePath(QString::number(i))
                                                                     : dir.path();
        QDir().mkpath(folder);
        const QString name = action == QLatin1String("same name") ? QStringLiteral("clip.mp4")
                                                                   : QStringLiteral("%1.mp4").arg(i);
        QFile source(folder + QLatin1Char('/') + name);
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("source");
        source.close();
        jobs.push_back(std::make_unique<TranscodeJob>());
        QCOMPARE(jobs.back()->setInput(source.fileName().toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
        if (kinds.at(i) == 'a')
            jobs.back()->setAbsentInput(source.fileName().toUtf8(), makeAVSettings(0, 1, 1));
        jobs.back()->setTranscoderProgram(program(kindOf(kinds.at(i))));
        queue.append(jobs.back().get());
    }
    QSignalSpy ended(&queue, &ConversionQueue::runEnded);
    QList<TranscodeJob *> started;
    connect(&queue, &ConversionQueue::jobStarted, this, [&started](TranscodeJob *job) { started << job; });
    QCOMPARE(queue.start(), ResultOk);

    if (action == QLatin1String("cancel") || action == QLatin1String("pause")) {
        QTRY_COMPARE_WITH_TIMEOUT(childProcesses().size(), 2, processWaitMs);
        if (action == QLatin1String("pause")) {
            queue.pause();
            QTRY_VERIFY_WITH_TIMEOUT(childrenStopped(true), processWaitMs);
            QCOMPARE(queue.secondsLeft(), qint64(-1));
            queue.resume();
            QTRY_VERIFY_WITH_TIMEOUT(childrenStopped(false), processWaitMs);
            queue.pause();
        }
        queue.cancel();
    } else if (action == QLatin1String("folder gone")) {
        // While the second job still works on its file.
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("start 1.mp4")), processWaitMs);
        QDir(out).removeRecursively();
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, processWaitMs);
    QCOMPARE(ended.first().first().toInt(), reason);
    QVERIFY(!queue.isRunning());

    QByteArray actual;
    for (const auto &job : jobs)
        actual += stateLetter(job->state());
    QCOMPARE(actual, states);
    const RunReport &report = queue.report();
    QCOMPARE((QList<int>{report.succeeded, int(report.failed.size()), report.cancelled}), counts);
    QCOMPARE(::mostAtOnce(log()), mostAtOnce);
    // Started in list order, and reported in list order.
    for (int i = 1; i < started.size(); ++i) {
        QVERIFY(std::find_if(jobs.cbegin(), jobs.cend(), [&](const auto &job) { return job.get() == started.at(i - 1); })
                < std::find_if(jobs.cbegin(), jobs.cend(), [&](const auto &job) { return job.get() == started.at(i); }));
    }
    for (int i = 1; i < report.failed.size(); ++i)
        QVERIFY(report.failed.at(i - 1).first < report.failed.at(i).first);
    QSet<QByteArray> outputs;
    for (const auto &job : jobs) {
        if (job->state() == ConvertDone) {
            QVERIFY(QFile::exists(QString::fromUtf8(job->outputPath())));
            outputs.insert(job->outputPath());
        }
    }
    QCOMPARE(outputs.size(), report.succeeded);
}

void TestConversionQueue::estimate_data()
{
    // The work done (media seconds) at points in time (ms) of a batch of
    // 1200 s; in between it is fed every half second, as the queue does.
    QTest::addColumn<QList<QPointF>>("work");
    // Copies, when given: then 600 s of each kind, each at work while its
    // own work moves.
    QTest::addColumn<QList<QPointF>>("copies");
    // No figure (-1), or one within 6 s of it.
    QTest::addColumn<int>("left");
    const QPointF start(0, 0);
    const QPointF minute(60000, 120);
    const QList<QPointF> none;
    QTest::newRow("nothing in the first 9 s") << QList<QPointF>{start, {9000, 18}} << none << -1;
    QTest::newRow("5 % done before 10 s") << QList<QPointF>{start, {6000, 60}} << none << 114;
    QTest::newRow("steady") << QList<QPointF>{start, minute} << none << 540;
    QTest::newRow("a ten-minute stall") << QList<QPointF>{start, minute, {660000, 120}} << none << -1;
    QTest::newRow("work resumes after the stall")
        << QList<QPointF>{start, minute, {660000, 120}, {666000, 132}} << none << 534;
    QTest::newRow("a crawl gives no absurd figure") << QList<QPointF>{start, {60000, 0.001}} << none << -1;
    QTest::newRow("counting down stops at zero")
        << QList<QPointF>{start, {1000, 0}, {1500, 1100}, {2000, 1150}, {8000, 1150}} << none << 0;
    // 480 s of encodes at 2 s a second, 600 s of copies at 60.
    QTest::newRow("copies not measured yet: 30 times the encodes' speed")
        << QList<QPointF>{start, minute} << QList<QPointF>{start} << 250;
    // 480 s of encodes at 2 s a second, 300 s of copies at 100.
    QTest::newRow("copies measured: their own speed, not the encodes'")
        << QList<QPointF>{start, minute} << QList<QPointF>{start, {60000, 0}, {63000, 300}} << 243;
}

namespace {

// The work done at `ms` along straight lines between the points, flat
// after the last.
double doneAt(const QList<QPointF> &points, qint64 ms)
{
    for (int i = 1; i < points.size(); ++i) {
        const QPointF from = points.at(i - 1);
        const QPointF to = points.at(i);
        if (ms <= to.x())
            return from.y() + (to.y() - from.y()) * (ms - from.x()) / (to.x() - from.x());
    }
    return points.isEmpty() ? 0 : points.last().y();
}

} // namespace

void TestConversionQueue::estimate()
{
    QFETCH(QList<QPointF>, work);
    QFETCH(QList<QPointF>, copies);
    QFETCH(int, left);
    BatchEstimate estimate;
    const qint64 end = qint64(std::max(work.last().x(), copies.isEmpty() ? 0 : copies.last().x()));
    for (qint64 ms = 500; ms <= end; ms += 500) {
        if (copies.isEmpty()) {
            estimate.update(1200, doneAt(work, ms), ms);
            continue;
        }
        const double encoded = doneAt(work, ms);
        const double copied = doneAt(copies, ms);
        estimate.update(BatchWork{600, encoded, encoded > doneAt(work, ms - 500)},
                        BatchWork{600, copied, copied > doneAt(copies, ms - 500)}, ms);
    }
    const qint64 shown = estimate.secondsLeft();
    QVERIFY2(left < 0 ? shown == -1 : shown >= 0 && qAbs(shown - left) <= 6, qPrintable(QString::number(shown)));
}

QTEST_GUILESS_MAIN(TestConversionQueue)
#include "tst_conversionqueue.moc"
