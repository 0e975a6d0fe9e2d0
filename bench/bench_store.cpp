// The saved list at scale: how long ROWS rows take to come back, what a
// change and a job's end cost the GUI thread, and how often a burst of
// changes rewrites the file.
// Usage: bench_store FOLDER [rows] [rounds]   (defaults 5000 and 9)
// FOLDER is made and emptied; it should be on the disk a user's home is on,
// not a tmpfs, where a sync costs nothing.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include "benchsupport.h"
#include "queuestore.h"
#include "transcodejob.h"

namespace {

// A burst: one row changed every few milliseconds for a few seconds.
constexpr int burstMs = 3000;
constexpr int changeEveryMs = 5;
constexpr int probeEveryMs = 1;
constexpr int timedEnds = 50;

// Rows as a long batch leaves them: a third done with their output, some
// failed with ffmpeg's lines, the rest waiting.
QVector<QueueRow> batchRows(int count)
{
    QVector<QueueRow> rows;
    rows.reserve(count);
    const AVSettings settings{0, 0, 0, -1, 1500, 23, -1, 128, 44100, 1, 1};
    for (int i = 0; i < count; ++i) {
        const QByteArray name = "第" + QByteArray::number(i + 1) + "集 - 一个不短的片名 " + QByteArray::number(i);
        QueueRow row{"/home/user/视频/连续剧/第一季/" + name + ".mkv", settings, ConvertWaiting,
                     QByteArray(), QByteArray(), QByteArray()};
        if (i % 3 == 0) {
            row.state = ConvertDone;
            row.outputPath = "/home/user/视频/Vantor转码-" + name + ".mp4";
        } else if (i % 50 == 1) {
            row.state = ConvertError;
            row.errorText = "Invalid data found when processing input\n模糊信息：Conversion failed!\n";
        }
        rows.append(row);
    }
    return rows;
}

QList<QueueRow> listOf(const QVector<QueueRow> &rows)
{
    return QList<QueueRow>(rows.cbegin(), rows.cend());
}

void emptyFolder(const QString &folder)
{
    QDir(folder).removeRecursively();
}

double fileKb(const QString &path)
{
    return QFileInfo(path).size() / 1024.0;
}

const char *verdict(double value, double target)
{
    return value <= target ? "met" : "missed";
}

double longest(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

struct Burst
{
    int changes = 0;
    std::vector<double> changedUs;
    std::vector<double> gapsMs;
};

// One row changed every few milliseconds, each change told to the store
// (when there is one), while a probe timer notes every gap on the thread.
Burst runBurst(QVector<QueueRow> &rows, QueueStore *store)
{
    Burst burst;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTickNs = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(probeEveryMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        burst.gapsMs.push_back((now - lastTickNs) / 1e6);
        lastTickNs = now;
    });
    QTimer changes;
    changes.setTimerType(Qt::PreciseTimer);
    changes.setInterval(changeEveryMs);
    QObject::connect(&changes, &QTimer::timeout, [&] {
        rows[burst.changes % rows.size()].settings.crf = 18 + burst.changes % 10;
        ++burst.changes;
        if (store) {
            QElapsedTimer t;
            t.start();
            store->changed();
            burst.changedUs.push_back(t.nsecsElapsed() / 1e3);
        }
        if (clock.elapsed() >= burstMs)
            QCoreApplication::quit();
    });
    lastTickNs = clock.nsecsElapsed();
    probe.start();
    changes.start();
    QCoreApplication::exec();
    return burst;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    if (args.isEmpty()) {
        std::printf("usage: bench_store FOLDER [rows] [rounds]\n");
        return 2;
    }
    const QString folder = args.at(0);
    const int count = args.value(1, QStringLiteral("5000")).toInt();
    const int rounds = args.value(2, QStringLiteral("9")).toInt();
    emptyFolder(folder);
    QVector<QueueRow> rows = batchRows(count);

    // A snapshot written whole on the calling thread, as at exit.
    std::vector<double> flushMs;
    {
        QueueStore store(folder);
        QList<QueueRow> none;
        store.load(&none);
        store.setSource([&rows] { return listOf(rows); });
        for (int round = 0; round <= rounds; ++round) {
            store.changed();
            QElapsedTimer t;
            t.start();
            store.flush();
            if (round > 0)
                flushMs.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    const QString snapshot = folder + QStringLiteral("/queue.json");
    std::printf("rows: %d; snapshot %.0f KB, written and synced whole in median %.1f ms "
                "(on the store's thread when coalesced)\n",
                count, fileKb(snapshot), median(flushMs));

    std::vector<double> loadMs;
    for (int round = 0; round <= rounds; ++round) {
        QueueStore store(folder);
        QList<QueueRow> loaded;
        QElapsedTimer t;
        t.start();
        store.load(&loaded);
        if (round > 0)
            loadMs.push_back(t.nsecsElapsed() / 1e6);
        if (loaded.size() != count) {
            std::printf("error: %d rows came back, not %d\n", int(loaded.size()), count);
            return 1;
        }
    }
    std::printf("load:                     median %8.1f ms, longest %.1f ms (%d rounds, page cache warm)\n",
                median(loadMs), longest(loadMs), rounds);

    // The burst, with a probe on the GUI thread that sees every stall; the
    // same burst without the store first gives the machine's own gaps.
    const Burst idle = runBurst(rows, nullptr);
    QList<QueueRow> loaded;
    QueueStore store(folder);
    store.load(&loaded);
    std::vector<double> sourceMs;
    store.setSource([&rows, &sourceMs] {
        QElapsedTimer t;
        t.start();
        QList<QueueRow> list = listOf(rows);
        sourceMs.push_back(t.nsecsElapsed() / 1e6);
        return list;
    });
    int saves = 0;
    QObject::connect(&store, &QueueStore::saved, [&saves] { ++saves; });
    const Burst burst = runBurst(rows, &store);
    std::printf("burst: %d changes in %.1f s: %d snapshots written (%.1f a second)\n", burst.changes,
                burstMs / 1000.0, saves, saves * 1000.0 / burstMs);
    std::printf("changed():                median %8.1f us, longest %.1f us\n",
                median(burst.changedUs), longest(burst.changedUs));
    std::printf("rows read for a snapshot: median %8.2f ms, longest %.2f ms (%d reads)\n",
                median(sourceMs), longest(sourceMs), int(sourceMs.size()));
    std::printf("GUI-thread probe (%d ms): longest gap %.2f ms, 99th percentile %.2f ms; "
                "without the store %.2f ms and %.2f ms\n",
                probeEveryMs, longest(burst.gapsMs), percentile(burst.gapsMs, 0.99),
                longest(idle.gapsMs), percentile(idle.gapsMs, 0.99));

    // Job ends, each one synced before recordEnd() returns, while the
    // snapshots they cause are written beside them.
    std::vector<double> endMs;
    for (int i = 0; i < timedEnds; ++i) {
        QueueRow &row = rows[(3 * i + 1) % count];
        row.state = ConvertDone;
        row.outputPath = row.inputPath + ".mp4";
        QElapsedTimer t;
        t.start();
        store.recordEnd(row);
        endMs.push_back(t.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    store.flush();
    std::printf("recordEnd():              median %8.2f ms, longest %.2f ms (%d ends); journal %.1f KB "
                "after the last snapshot\n",
                median(endMs), longest(endMs), timedEnds,
                fileKb(folder + QStringLiteral("/queue.journal")));
    std::printf("targets: load <= 1000 ms: %s; GUI stall <= 20 ms: %s; snapshots <= 4 a second: %s\n",
                verdict(median(loadMs), 1000), verdict(longest(burst.gapsMs), 20),
                verdict(saves * 1000.0 / burstMs, 4));
    emptyFolder(folder);
    return 0;
}
