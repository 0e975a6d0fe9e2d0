// Lists many files through MainWindow::addInputFile, lets the list lay out
// and paint, then clears it with the clear button: times and resident
// memory. With "perrow", one list grows to each of the sizes given and the
// cost of each of the last 100 rows added before that size is timed.
// Usage: bench_scale [files] [rounds] [target-seconds target-MB]   (defaults 1000 and 5)
//        bench_scale perrow SIZE...            the rows in one go
//        bench_scale perrow-laidout SIZE...    the list shown after each size
//        bench_scale restore FILES ROUNDS      FILES rows saved by one window, back in the next
//        bench_scale lengths FILES CLIP        FILES links to a real clip: listed, then
//                                              their records read while a probe times the
//                                              GUI thread
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "benchsupport.h"
#include "conversionqueue.h"
#include "mainwindow.h"
#include "testsupport.h"

namespace {

constexpr int timedRows = 100;

QList<QByteArray> emptyClips(const QTemporaryDir &work, int files)
{
    QList<QByteArray> paths;
    for (int i = 0; i < files; ++i) {
        const QString path = work.filePath(QStringLiteral("clip %1.mp4").arg(i, 5, 10, QLatin1Char('0')));
        touch(path);
        paths << path.toUtf8();
    }
    return paths;
}

void enterScratchHome(const QTemporaryDir &work)
{
    qputenv("HOME", work.path().toUtf8());
    QDir::setCurrent(work.path());
}

void addRow(MainWindow &window, const QByteArray &path)
{
    if (window.addInputFile(path) != 0) {
        std::printf("error: %s was not listed\n", path.constData());
        std::exit(1);
    }
}

const char *verdict(double value, double target)
{
    return value <= target ? "met" : "missed";
}

struct Round
{
    double addMs = 0;
    double shownMs = 0;
    double clearMs = 0;
    double peakGrowthKb = 0;
};

Round listAndClear(MainWindow &window, const QList<QByteArray> &paths, double baseKb)
{
    Round round;
    QElapsedTimer t;
    t.start();
    for (const QByteArray &path : paths)
        addRow(window, path);
    round.addMs = t.nsecsElapsed() / 1e6;
    window.setMainState(MainWindow::MainStateReady);
    QApplication::processEvents();
    round.shownMs = t.nsecsElapsed() / 1e6;
    round.peakGrowthKb = statusKilobytes("VmRSS") - baseKb;

    t.restart();
    buttonOf(window, "btnInputClear")->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    round.clearMs = t.nsecsElapsed() / 1e6;
    if (listOf(window)->count() != 0)
        std::exit(1);
    return round;
}

int listAndClearRounds(int files, int rounds, double targetSeconds, double targetMb)
{
    QTemporaryDir work;
    enterScratchHome(work);
    const QList<QByteArray> paths = emptyClips(work, files);

    MainWindow window;
    window.show();
    QApplication::processEvents();
    const double baseKb = statusKilobytes("VmRSS");
    QElapsedTimer clock;
    clock.start();
    ShowAnswerer answerer(clock);

    std::vector<double> addMs, shownMs, clearMs, bothMs, rssAfterClear;
    double peakGrowthKb = 0;
    // Round 0 warms up and is not counted.
    for (int round = 0; round <= rounds; ++round) {
        const Round r = listAndClear(window, paths, baseKb);
        peakGrowthKb = std::max(peakGrowthKb, r.peakGrowthKb);
        if (round == 0)
            continue;
        addMs.push_back(r.addMs);
        shownMs.push_back(r.shownMs);
        clearMs.push_back(r.clearMs);
        bothMs.push_back(r.addMs + r.clearMs);
        rssAfterClear.push_back(statusKilobytes("VmRSS") - baseKb);
    }

    const double peakMb = statusKilobytes("VmHWM") / 1024;
    std::printf("rows: %d, rounds: %d (after one warm-up)\n", files, rounds);
    std::printf("add (addInputFile loop):      median %8.1f ms\n", median(addMs));
    std::printf("add and first paint:          median %8.1f ms\n", median(shownMs));
    std::printf("clear (button, rows deleted): median %8.1f ms\n", median(clearMs));
    std::printf("add and clear:                median %8.1f ms\n", median(bothMs));
    std::printf("resident memory: %.1f MB with the empty window, peak %.1f MB (VmHWM), "
                "%.1f MB more with the rows listed\n",
                baseKb / 1024, peakMb, peakGrowthKb / 1024);
    std::printf("resident growth after each clear (MB):");
    for (double kb : rssAfterClear)
        std::printf(" %.1f", kb / 1024);
    std::printf("\n");
    if (targetSeconds > 0)
        std::printf("targets: add and clear <= %.1f s: %s; peak <= %.0f MB: %s\n", targetSeconds,
                    verdict(median(bothMs) / 1000, targetSeconds), targetMb, verdict(peakMb, targetMb));
    return 0;
}

// One list grown to each size in turn; each of the last rows before a size
// is timed on its own, so that the figure is the cost of a row at that size.
// Laid out, the list is shown after each size, as after a drop of files;
// otherwise the rows come in one go, as from one drop, and the list is only
// shown at the end.
int costPerRow(QList<int> sizes, bool laidOut)
{
    std::sort(sizes.begin(), sizes.end());
    QTemporaryDir work;
    enterScratchHome(work);
    const QList<QByteArray> paths = emptyClips(work, sizes.last());

    MainWindow window;
    window.show();
    QApplication::processEvents();
    std::printf("rows %s: rows listed | ms per row (last %d added) | resident MB\n",
                laidOut ? "laid out after each size" : "added in one go", timedRows);
    QElapsedTimer all;
    all.start();
    int listed = 0;
    for (int size : sizes) {
        const int timedFrom = std::max(listed, size - timedRows);
        for (; listed < timedFrom; ++listed)
            addRow(window, paths.at(listed));
        QElapsedTimer t;
        t.start();
        for (; listed < size; ++listed)
            addRow(window, paths.at(listed));
        const double perRow = t.nsecsElapsed() / 1e6 / (size - timedFrom);
        if (laidOut) {
            window.setMainState(MainWindow::MainStateReady);
            QApplication::processEvents();
        }
        std::printf("%6d | %8.3f | %.0f\n", size, perRow, statusKilobytes("VmRSS") / 1024);
        std::fflush(stdout);
    }
    const double addedMs = all.nsecsElapsed() / 1e6;
    QElapsedTimer t;
    t.start();
    window.setMainState(MainWindow::MainStateReady);
    QApplication::processEvents();
    std::printf("%d rows listed in %.1f s, then laid out and painted in %.0f ms\n", listed,
                addedMs / 1000, t.nsecsElapsed() / 1e6);
    return 0;
}

} // namespace

// A window listing `files` files, closed, and a new window that finds them
// again in the saved list: the new window's construction, with and without
// the list.
int restoreList(int files, int rounds)
{
    QTemporaryDir work;
    enterScratchHome(work);
    const QList<QByteArray> paths = emptyClips(work, files);
    {
        MainWindow window;
        for (const QByteArray &path : paths)
            addRow(window, path);
    }
    std::vector<double> restoredMs, emptyMs;
    int restored = 0;
    for (int round = 0; round <= rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        auto window = std::make_unique<MainWindow>();
        const double ms = clock.nsecsElapsed() / 1e6;
        restored = listOf(*window)->count();
        window.reset();
        qputenv("XDG_STATE_HOME", work.filePath(QStringLiteral("empty")).toUtf8());
        clock.start();
        window = std::make_unique<MainWindow>();
        const double empty = clock.nsecsElapsed() / 1e6;
        window.reset();
        qunsetenv("XDG_STATE_HOME");
        if (round == 0)
            continue;
        restoredMs.push_back(ms);
        emptyMs.push_back(empty);
    }
    std::printf("%d rows back in a new window: median %.1f ms to construct it (target <= 1 s: %s), "
                "%.1f ms with an empty list; %d rows restored\n",
                files, median(restoredMs), verdict(median(restoredMs) / 1000, 1), median(emptyMs), restored);
    return restored == files ? 0 : 1;
}

// Lists `files` links to one real clip (so every record is really read),
// then waits for the records while a 5 ms timer on the GUI thread
// notes its gaps.
int readLengths(int files, const QString &clip)
{
    QTemporaryDir work;
    enterScratchHome(work);
    QList<QByteArray> paths;
    for (int i = 0; i < files; ++i) {
        const QString path = work.filePath(QStringLiteral("clip %1.mkv").arg(i, 5, 10, QLatin1Char('0')));
        if (!QFile::link(clip, path)) {
            std::printf("error: cannot link %s\n", qPrintable(path));
            return 1;
        }
        paths << path.toUtf8();
    }
    MainWindow window;
    auto *queue = window.findChild<ConversionQueue *>();
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &path : paths)
        addRow(window, path);
    window.setMainState(MainWindow::MainStateReady);
    const double addMs = clock.nsecsElapsed() / 1e6;
    // The list's first layout and paint are the list's own cost.
    QApplication::processEvents();
    std::vector<double> gapsMs;
    qint64 last = clock.nsecsElapsed();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gapsMs.push_back((now - last) / 1e6);
        last = now;
    });
    probe.start();
    while (queue->lengthsPending() > 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    probe.stop();
    const double knownMs = clock.nsecsElapsed() / 1e6;
    const double longest = gapsMs.empty() ? 0 : *std::max_element(gapsMs.begin(), gapsMs.end());
    const double readMs = knownMs - addMs;
    const double readingPercentile = percentile(gapsMs, 0.99);
    // The same timer as long again with nothing to read: what the machine
    // itself does to the GUI thread.
    gapsMs.clear();
    last = clock.nsecsElapsed();
    probe.start();
    while (clock.nsecsElapsed() / 1e6 < knownMs + readMs)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    probe.stop();
    const double idleLongest = gapsMs.empty() ? 0 : *std::max_element(gapsMs.begin(), gapsMs.end());
    int known = 0;
    for (int i = 0; i < queue->count(); ++i)
        known += queue->duration(queue->jobAt(i)) > 0 ? 1 : 0;
    std::printf("%d files listed in %.1f ms (target <= 1 s: %s); %d records read %.0f ms after the "
                "first was asked; GUI thread meanwhile: longest gap %.1f ms (target <= 20 ms: %s), "
                "99th percentile %.1f ms; the same time with nothing to read: longest gap %.1f ms\n",
                files, addMs, verdict(addMs / 1000, 1), known, knownMs, longest, verdict(longest, 20),
                readingPercentile, idleLongest);
    return known == files ? 0 : 1;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first().startsWith(QLatin1String("perrow"))) {
        const bool laidOut = args.first() == QLatin1String("perrow-laidout");
        QList<int> sizes;
        for (const QString &size : args.mid(1))
            sizes << std::max(1, size.toInt());
        return costPerRow(sizes.isEmpty() ? QList<int>{200, 1000, 5000, 20000} : sizes, laidOut);
    }
    if (args.size() == 3 && args.first() == QLatin1String("restore"))
        return restoreList(args.at(1).toInt(), args.at(2).toInt());
    if (args.size() == 3 && args.first() == QLatin1String("lengths"))
        return readLengths(args.at(1).toInt(), QFileInfo(args.at(2)).absoluteFilePath());
    const int files = args.value(0, QStringLiteral("1000")).toInt();
    const int rounds = args.value(1, QStringLiteral("5")).toInt();
    return listAndClearRounds(files, rounds, args.value(2).toDouble(), args.value(3).toDouble());
}
