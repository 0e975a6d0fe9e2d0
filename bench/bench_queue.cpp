// Converts clips through the main window's queue (offscreen, driven like the
// user does it) and the same argument vectors through a plain loop that waits
// for each ffmpeg in turn, its output going to /dev/null; a 5 ms timer on the
// GUI thread measures the stalls during the queue's runs.
// Usage: bench_queue compare OUTDIR ROUNDS CLIP...   |   bench_queue damage FILE.ts
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "benchsupport.h"
#include "catalogue.h"
#include "damagedsource.h"
#include "mainwindow.h"
#include "testsupport.h"
#include "transcodecommand.h"
#include "transcodeprocess.h"

extern char **environ;

namespace {

struct QueueRun
{
    // To the poll tick that saw the last job end, and to the summary shown.
    double seconds;
    double summarySeconds;
    std::vector<double> gapsMs;
    QString summary;
};

// Notes when the rows' poll timers fire: the tick that ends the last job is
// the last one before the summary.
class PollWatcher final : public QObject
{
public:
    explicit PollWatcher(const QElapsedTimer &clock) : clock(clock) { qApp->installEventFilter(this); }
    ~PollWatcher() override { qApp->removeEventFilter(this); }
    qint64 lastTickNs = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer && qobject_cast<QTimer *>(watched)
            && qobject_cast<InputItem *>(watched->parent()))
            lastTickNs = clock.nsecsElapsed();
        return false;
    }

private:
    const QElapsedTimer &clock;
};

// The vectors the rows of a window would run, program resolved.
QList<QList<QByteArray>> argumentVectors(MainWindow &window)
{
    QList<QList<QByteArray>> vectors;
    for (int row = 0; row < listOf(window)->count(); ++row) {
        InputItem *item = rowItem(window, row);
        TranscodeCommand command(item->settings());
        command.inputPath = item->inputPath();
        command.outputPath = item->plannedOutputPath();
        QList<QByteArray> arguments = command.arguments();
        arguments.first() = findProgram(arguments.first());
        vectors << arguments;
    }
    return vectors;
}

void removeOutputs(const QList<QList<QByteArray>> &vectors)
{
    for (const auto &arguments : vectors)
        QFile::remove(QString::fromUtf8(arguments.last()));
}

double runLoop(const QList<QList<QByteArray>> &vectors)
{
    removeOutputs(vectors);
    QElapsedTimer clock;
    clock.start();
    for (const auto &arguments : vectors) {
        std::vector<char *> argv;
        for (const QByteArray &argument : arguments)
            argv.push_back(const_cast<char *>(argument.constData()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            std::exit(1);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return clock.nsecsElapsed() / 1e9;
}

MainWindow *listedWindow(const QStringList &clips)
{
    auto *window = new MainWindow;
    for (const QString &clip : clips) {
        if (window->addInputFile(clip.toUtf8()) != 0)
            std::exit(1);
    }
    window->setMainState(MainWindow::MainStateReady);
    QApplication::processEvents();
    return window;
}

// With probe, a 5 ms timer on the GUI thread records the gaps between its
// ticks; it costs some CPU, so the timed runs go without it.
QueueRun runQueue(const QStringList &clips, bool probed)
{
    MainWindow *window = listedWindow(clips);
    removeOutputs(argumentVectors(*window));
    QueueRun run;
    QElapsedTimer clock;
    ShowAnswerer answerer(clock);
    PollWatcher watcher(clock);
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    qint64 lastTick = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        run.gapsMs.push_back((now - lastTick) / 1e6);
        lastTick = now;
    });

    clock.start();
    buttonOf(*window, "btnConvertStart")->click();
    if (probed)
        probe.start();
    while (answerer.texts.isEmpty())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    probe.stop();
    // The rows' timers are stopped by then: the last tick is the one that
    // saw the last job end.
    run.seconds = watcher.lastTickNs / 1e9;
    run.summarySeconds = answerer.lastShownNs / 1e9;
    run.summary = answerer.texts.first().simplified().left(100);
    delete window;
    return run;
}

int compare(const QString &outDir, int rounds, const QStringList &clips)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QDir::setCurrent(home.path());
    // Every window reads its output folder from here.
    touch(QStringLiteral("conf_main.json"), "{\"VideosDir\":\"" + outDir.toUtf8() + "\"}");
    MainWindow *probeWindow = listedWindow(clips);
    const QList<QList<QByteArray>> vectors = argumentVectors(*probeWindow);
    delete probeWindow;

    // Warm-up: the first clip each way, not counted.
    runLoop(vectors.mid(0, 1));
    runQueue(clips.mid(0, 1), false);

    std::vector<double> loops, queues, summaries;
    QString summary;
    for (int round = 0; round < rounds; ++round) {
        loops.push_back(runLoop(vectors));
        const QueueRun run = runQueue(clips, false);
        queues.push_back(run.seconds);
        summaries.push_back(run.summarySeconds);
        summary = run.summary;
        std::printf("round %d: plain loop %.2f s, queue %.2f s (summary at %.2f s)\n", round + 1,
                    loops.back(), queues.back(), summaries.back());
        std::fflush(stdout);
    }
    const QueueRun probed = runQueue(clips, true);
    const double loop = median(loops);
    const double queue = median(queues);
    const int jobs = clips.size();
    std::printf("jobs: %d, rounds: %d (medians)\n", jobs, rounds);
    std::printf("plain loop:         %7.2f s\n", loop);
    std::printf("through the queue:  %7.2f s   ratio %.3f   overhead %.0f ms per job "
                "(to the poll tick that ends the last job)\n",
                queue, queue / loop, (queue - loop) * 1000 / jobs);
    std::printf("  to the summary:   %7.2f s   ratio %.3f\n", median(summaries),
                median(summaries) / loop);
    std::printf("GUI thread, 5 ms probe during one more queue run: longest gap %.1f ms, "
                "99th percentile %.1f ms, %zu ticks\n",
                *std::max_element(probed.gapsMs.begin(), probed.gapsMs.end()),
                percentile(probed.gapsMs, 0.99), probed.gapsMs.size());
    std::printf("summary of the last run: %s\n", qPrintable(summary));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("damage"))
        return damageTransportStream(args.at(2)) ? 0 : 1;
    if (args.size() < 5 || args.at(1) != QLatin1String("compare")) {
        std::fprintf(stderr, "usage: bench_queue compare OUTDIR ROUNDS CLIP... | damage FILE.ts\n");
        return 2;
    }
    return compare(args.at(2), args.at(3).toInt(), args.mid(4));
}
