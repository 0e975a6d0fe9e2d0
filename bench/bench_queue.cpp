// Converts clips through the main window's queue (offscreen, driven like the
// user does it) and the same argument vectors through a plain loop that waits
// for each ffmpeg in turn, its output going to /dev/null; a 5 ms timer on the
// GUI thread measures the stalls during the queue's runs.
// Usage:
//   bench_queue compare [--target RATIO] [--target-ms MS] OUTDIR ROUNDS CLIP...
//                                                the queue (its jobs at once as on this machine)
//                                                against the better of the loop one and two at a time
//   bench_queue parallel OUTDIR ROUNDS CLIP...   the loop one, two and three at a time
//   bench_queue estimate OUTDIR CLIP...          the time left the window shows against the
//                                                time really left
//   bench_queue vectors [--target RATIO] OUTDIR ROUNDS CLIP...
//                                                the vectors as built before their filters
//                                                against today's, by the plain loop
//   bench_queue maps [--target RATIO] OUTDIR ROUNDS CLIP...
//                                                the vectors as built for a source not read
//                                                (ffmpeg picks the streams) against those
//                                                naming every stream, by the plain loop
//   bench_queue copy [--target RATIO] OUTDIR ROUNDS TODAY CLIP...
//                                                the clips at 默认 through the window, what
//                                                fits copied, against a plain loop of
//                                                ffmpeg -c copy; and the first TODAY clips
//                                                encoded as before against copied
//   bench_queue nocopy [--target RATIO] OUTDIR ROUNDS CLIP...
//                                                clips that cannot be copied at 默认 through
//                                                the window, copying allowed and not
//   bench_queue chatty ROUNDS WRITER [MB]        one job whose transcoder floods its output
//   bench_queue damage FILE.ts
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "batchtexts.h"
#include "benchsupport.h"
#include "catalogue.h"
#include "conversionqueue.h"
#include "damagedsource.h"
#include "mainwindow.h"
#include "mediaprobe.h"
#include "testsupport.h"
#include "transcodecommand.h"
#include "transcodeprocess.h"

extern char **environ;

namespace {

using Vectors = QList<QList<QByteArray>>;

struct QueueRun
{
    // To the last job's end (its state turning done or failed), and to the
    // summary shown.
    double seconds = 0;
    double summarySeconds = 0;
    // From one job's end to the next one's start: the queue's own time, which
    // the load of a busy machine hardly changes.
    std::vector<double> betweenMs;
    // The probe's gaps while the jobs ran, and the one in which the last
    // job's end and the summary were handled.
    std::vector<double> gapsMs;
    double endGapMs = 0;
    // The button's click, which starts the first job, before the probe.
    double pressMs = 0;
    QString summary;
};

// Targets printed beside a comparison's figures; negative when there is none.
struct Targets
{
    double ratio = -1;
    double msPerJob = -1;
};

[[noreturn]] void fail(const char *what)
{
    std::printf("error: %s\n", what);
    std::fflush(stdout);
    std::exit(1);
}

const char *verdict(double value, double target)
{
    return value <= target ? "met" : "missed";
}

// The vectors the rows of a window would run, program resolved: every
// stream named from the source's record, or, without it, ffmpeg's choice.
Vectors argumentVectors(MainWindow &window, bool named = true)
{
    Vectors vectors;
    for (int row = 0; row < listOf(window)->count(); ++row) {
        InputItem *item = rowItem(window, row);
        TranscodeCommand command(item->settings(),
                                 named ? MediaProbe::read(item->inputPath()) : MediaInfo());
        command.inputPath = item->inputPath();
        command.outputPath = item->plannedOutputPath();
        QList<QByteArray> arguments = command.arguments();
        arguments.first() = findProgram(arguments.first());
        vectors << arguments;
    }
    return vectors;
}

void removeOutputs(const Vectors &vectors)
{
    for (const auto &arguments : vectors)
        QFile::remove(QString::fromUtf8(arguments.last()));
}

// Starts a child with its input on /dev/null and its output and errors on
// `output` (a descriptor, or /dev/null when -1).
pid_t spawnQuiet(const QList<QByteArray> &arguments, int output = -1)
{
    std::vector<char *> argv;
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output < 0)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail("cannot start the transcoder");
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void checkExit(int status)
{
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("a plain run of the transcoder failed");
}

// The vectors run by a plain loop that keeps `width` children at work.
double runSideBySide(const Vectors &vectors, int width)
{
    removeOutputs(vectors);
    QElapsedTimer clock;
    clock.start();
    int next = 0;
    int running = 0;
    while (next < vectors.size() || running > 0) {
        for (; running < width && next < vectors.size(); ++running)
            spawnQuiet(vectors.at(next++));
        int status = 0;
        if (waitpid(-1, &status, 0) < 0)
            fail("lost a child");
        checkExit(status);
        --running;
    }
    return clock.nsecsElapsed() / 1e9;
}

double runLoop(const Vectors &vectors)
{
    return runSideBySide(vectors, 1);
}

// Each window starts with a saved list of its own, empty, in the scratch
// home: the rounds are the same batch each time.
MainWindow *listedWindow(const QStringList &clips)
{
    static int windows = 0;
    qputenv("XDG_STATE_HOME", QDir::current().filePath(QStringLiteral("state-%1").arg(++windows)).toUtf8());
    auto *window = new MainWindow;
    for (const QString &clip : clips) {
        if (window->addInputFile(clip.toUtf8()) != 0)
            fail("a clip was not listed");
    }
    window->setMainState(MainWindow::MainStateReady);
    QApplication::processEvents();
    return window;
}

// Every row's job notes when it starts and ends: the last end is the run's
// end, and each start after an end shows the time between jobs.
struct JobClock
{
    const QElapsedTimer &clock;
    qint64 lastEndNs = 0;
    std::vector<double> betweenMs;
};

void watchJobs(MainWindow &window, JobClock *jobs)
{
    for (int row = 0; row < listOf(window)->count(); ++row) {
        QObject::connect(rowItem(window, row)->job(), &TranscodeJob::stateChanged, &window, [jobs](int state) {
            const qint64 now = jobs->clock.nsecsElapsed();
            if (state == ConvertDone || state == ConvertError)
                jobs->lastEndNs = now;
            else if (state == ConvertRunning && jobs->lastEndNs > 0)
                jobs->betweenMs.push_back((now - jobs->lastEndNs) / 1e6);
        });
    }
}

void checkAllDone(MainWindow &window)
{
    for (int row = 0; row < listOf(window)->count(); ++row) {
        if (rowItem(window, row)->convertState() != ConvertDone)
            fail("a job of the queue did not end done");
    }
}

// The gaps between the probe's ticks up to the last job's end, and the one
// that spans it (the end seen, the summary made and shown).
void splitGaps(const std::vector<qint64> &ticksNs, qint64 lastEndNs, QueueRun *run)
{
    for (size_t i = 1; i < ticksNs.size(); ++i) {
        const double gapMs = (ticksNs[i] - ticksNs[i - 1]) / 1e6;
        if (ticksNs[i] <= lastEndNs) {
            run->gapsMs.push_back(gapMs);
        } else {
            run->endGapMs = gapMs;
            return;
        }
    }
}

// The window's rows as the user set them before pressing the button.
using Preparation = std::function<void(MainWindow &)>;

// With probe, a 5 ms timer on the GUI thread records the gaps between its
// ticks; it costs some CPU, so the timed runs go without it. A program, when
// given, stands in for ffmpeg in every row.
QueueRun runQueue(const QStringList &clips, bool probed, const QByteArray &program = {},
                  const Preparation &prepare = {})
{
    MainWindow *window = listedWindow(clips);
    if (prepare)
        prepare(*window);
    removeOutputs(argumentVectors(*window));
    for (int row = 0; !program.isEmpty() && row < listOf(*window)->count(); ++row)
        rowItem(*window, row)->setTranscoderProgram(program);
    QueueRun run;
    QElapsedTimer clock;
    ShowAnswerer answerer(clock);
    JobClock jobs{clock, 0, {}};
    watchJobs(*window, &jobs);
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    std::vector<qint64> ticksNs;
    QObject::connect(&probe, &QTimer::timeout, [&] { ticksNs.push_back(clock.nsecsElapsed()); });

    clock.start();
    buttonOf(*window, "btnConvertStart")->click();
    run.pressMs = clock.nsecsElapsed() / 1e6;
    ticksNs.push_back(clock.nsecsElapsed());
    if (probed)
        probe.start();
    while (answerer.texts.isEmpty())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    probe.stop();
    checkAllDone(*window);
    run.seconds = jobs.lastEndNs / 1e9;
    run.betweenMs = jobs.betweenMs;
    splitGaps(ticksNs, jobs.lastEndNs, &run);
    run.summarySeconds = answerer.lastShownNs / 1e9;
    run.summary = answerer.texts.first().simplified().left(100);
    delete window;
    return run;
}

void printStalls(const QueueRun &probed)
{
    if (probed.gapsMs.empty())
        return;
    const double longest = *std::max_element(probed.gapsMs.begin(), probed.gapsMs.end());
    std::printf("GUI thread, 5 ms probe during one more queue run (%.2f s): longest gap while the "
                "jobs ran %.1f ms (target <= 20 ms: %s), 99th percentile %.1f ms, %zu ticks; "
                "the press that starts the run %.1f ms; the gap at the end (last job's end seen, "
                "summary made and shown) %.1f ms\n",
                probed.seconds, longest, verdict(longest, 20), percentile(probed.gapsMs, 0.99),
                probed.gapsMs.size(), probed.pressMs, probed.endGapMs);
}

// Runs in a scratch home whose settings send every output to outDir.
QTemporaryDir *scratchHome(const QString &outDir)
{
    auto *home = new QTemporaryDir;
    qputenv("HOME", home->path().toUtf8());
    QDir::setCurrent(home->path());
    QDir().mkpath(outDir);
    touch(QStringLiteral("conf_main.json"), "{\"VideosDir\":\"" + outDir.toUtf8() + "\"}");
    return home;
}

Vectors vectorsOf(const QStringList &clips, bool named = true)
{
    MainWindow *window = listedWindow(clips);
    const Vectors vectors = argumentVectors(*window, named);
    delete window;
    return vectors;
}

void printComparison(double loop, double queue, int jobs, const Targets &targets)
{
    const double ratio = queue / loop;
    const double msPerJob = (queue - loop) * 1000 / jobs;
    std::printf("better plain loop:  %7.2f s\n", loop);
    std::printf("through the queue:  %7.2f s   ratio %.3f   overhead %.0f ms per job "
                "(to the last job's end; %d at once)\n",
                queue, ratio, msPerJob, ConversionQueue::automaticJobs(QThread::idealThreadCount()));
    if (targets.ratio > 0)
        std::printf("  target: ratio <= %.2f: %s\n", targets.ratio, verdict(ratio, targets.ratio));
    if (targets.msPerJob > 0)
        std::printf("  target: <= %.0f ms per job: %s\n", targets.msPerJob,
                    verdict(msPerJob, targets.msPerJob));
}

int compare(const QString &outDir, int rounds, const QStringList &clips, const Targets &targets)
{
    std::unique_ptr<QTemporaryDir> home(scratchHome(outDir));
    const Vectors vectors = vectorsOf(clips);

    // Warm-up: the first clip each way, not counted.
    runLoop(vectors.mid(0, 1));
    runQueue(clips.mid(0, 1), false);

    std::vector<double> ones, twos, queues, summaries, between;
    QString summary;
    for (int round = 0; round < rounds; ++round) {
        ones.push_back(runSideBySide(vectors, 1));
        twos.push_back(runSideBySide(vectors, 2));
        const QueueRun run = runQueue(clips, false);
        queues.push_back(run.seconds);
        between.insert(between.end(), run.betweenMs.begin(), run.betweenMs.end());
        summaries.push_back(run.summarySeconds);
        summary = run.summary;
        std::printf("round %d: plain loop one at a time %.2f s, two at a time %.2f s, queue %.2f s "
                    "(summary at %.2f s)\n",
                    round + 1, ones.back(), twos.back(), queues.back(), summaries.back());
        std::fflush(stdout);
    }
    const QueueRun probed = runQueue(clips, true);
    const double loop = std::min(median(ones), median(twos));
    std::printf("jobs: %d, rounds: %d (medians)\n", int(clips.size()), rounds);
    std::printf("plain loop, one at a time: %7.2f s; two at a time: %7.2f s\n", median(ones),
                median(twos));
    printComparison(loop, median(queues), int(clips.size()), targets);
    std::printf("  to the summary:   %7.2f s   ratio %.3f\n", median(summaries),
                median(summaries) / loop);
    if (!between.empty())
        std::printf("  between jobs (a job's end to the next one's start): median %.2f ms, longest %.2f ms, "
                    "%zu gaps\n",
                    median(between), *std::max_element(between.begin(), between.end()), between.size());
    printStalls(probed);
    std::printf("summary of the last run: %s\n", qPrintable(summary));
    return 0;
}

// The same vectors by a plain loop, one, two and three children at a time.
int parallel(const QString &outDir, int rounds, const QStringList &clips)
{
    std::unique_ptr<QTemporaryDir> home(scratchHome(outDir));
    const Vectors vectors = vectorsOf(clips);
    runLoop(vectors.mid(0, 2));
    std::vector<double> times[3];
    for (int round = 0; round < rounds; ++round) {
        for (int width = 1; width <= 3; ++width)
            times[width - 1].push_back(runSideBySide(vectors, width));
        std::printf("round %d: one at a time %.2f s, two %.2f s, three %.2f s\n", round + 1,
                    times[0].back(), times[1].back(), times[2].back());
        std::fflush(stdout);
    }
    std::printf("jobs: %d, rounds: %d (medians), %ld cores online\n", int(clips.size()), rounds,
                sysconf(_SC_NPROCESSORS_ONLN));
    for (int width = 1; width <= 3; ++width)
        std::printf("%d at a time:        %7.2f s   speed-up %.2f\n", width, median(times[width - 1]),
                    median(times[0]) / median(times[width - 1]));
    return 0;
}

// The time left the window shows, against the time that really was left,
// from a run of equal clips: at each tenth of the batch done.
int estimate(const QString &outDir, const QStringList &clips)
{
    std::unique_ptr<QTemporaryDir> home(scratchHome(outDir));
    MainWindow *window = listedWindow(clips);
    removeOutputs(argumentVectors(*window));
    auto *queue = window->findChild<ConversionQueue *>();
    QElapsedTimer clock;
    ShowAnswerer answerer(clock);
    // The first estimate shown once each tenth is done: when, and what.
    std::vector<std::pair<double, qint64>> shown(10, {-1.0, -1});
    QObject::connect(queue, &ConversionQueue::progressChanged, window, [&] {
        const int tenth = qBound(0, int(queue->share() * 10), 9);
        if (shown[tenth].first < 0 && queue->secondsLeft() >= 0)
            shown[tenth] = {clock.nsecsElapsed() / 1e9, queue->secondsLeft()};
    });
    clock.start();
    buttonOf(*window, "btnConvertStart")->click();
    while (answerer.texts.isEmpty())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double end = answerer.lastShownNs / 1e9;
    checkAllDone(*window);
    std::printf("jobs: %d, %d at once, run %.2f s\n", int(clips.size()),
                ConversionQueue::automaticJobs(QThread::idealThreadCount()), end);
    for (int tenth = 1; tenth < 10; ++tenth) {
        const auto &[at, left] = shown[tenth];
        if (at < 0)
            continue;
        const double really = end - at;
        std::printf("%3d %% done at %6.2f s: shown %s, really %.1f s left: error %+.1f %%\n", tenth * 10, at,
                    qPrintable(batchProgressText(tenth / 10.0, left, false)), really,
                    (double(left) - really) * 100 / really);
    }
    delete window;
    return 0;
}

// A vector as the converter built it before the filters and the frame rate
// ceiling: no -vf or -af, -r for -fpsmax. (The default settings choose no
// frame size and no HEVC, the other two things that changed.)
QList<QByteArray> previousVector(const QList<QByteArray> &arguments)
{
    QList<QByteArray> previous;
    for (int at = 0; at < arguments.size(); ++at) {
        const QByteArray &argument = arguments.at(at);
        if (argument == "-vf" || argument == "-af")
            ++at;
        else
            previous << (argument == "-fpsmax" ? QByteArray("-r") : argument);
    }
    return previous;
}

// The options between the input and the output, for the reader of the figures.
QByteArray optionsOf(const QList<QByteArray> &arguments)
{
    return arguments.mid(4, arguments.size() - 5).join(' ');
}

// The processor time of every child waited for so far, user and system.
double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A plain loop's time, and the processor time its children took, which a
// busy machine changes far less.
struct LoopRun
{
    double seconds;
    double cpuSeconds;
};

LoopRun runTimedLoop(const Vectors &vectors)
{
    const double cpu = childrenCpuSeconds();
    const double seconds = runLoop(vectors);
    return {seconds, childrenCpuSeconds() - cpu};
}

// What the filters and options that make every file play cost: the same
// clips' vectors with and without them, by the plain loop, rounds alternating
// which goes first.
int compareLoops(const Vectors &previous, const Vectors &current, int rounds, const Targets &targets)
{
    std::printf("before: %s\nnow:    %s\n", optionsOf(previous.first()).constData(),
                optionsOf(current.first()).constData());

    runLoop(previous.mid(0, 1));
    runLoop(current.mid(0, 1));
    std::vector<double> befores, nows, beforeCpus, nowCpus;
    for (int round = 0; round < rounds; ++round) {
        LoopRun before{};
        LoopRun now{};
        if (round % 2 == 0) {
            before = runTimedLoop(previous);
            now = runTimedLoop(current);
        } else {
            now = runTimedLoop(current);
            before = runTimedLoop(previous);
        }
        befores.push_back(before.seconds);
        nows.push_back(now.seconds);
        beforeCpus.push_back(before.cpuSeconds);
        nowCpus.push_back(now.cpuSeconds);
        std::printf("round %d: before %.2f s (CPU %.2f s), now %.2f s (CPU %.2f s)\n", round + 1,
                    before.seconds, before.cpuSeconds, now.seconds, now.cpuSeconds);
        std::fflush(stdout);
    }
    const double ratio = median(nows) / median(befores);
    std::printf("jobs: %d, rounds: %d (medians)\n", int(current.size()), rounds);
    std::printf("vectors before:     %7.2f s   CPU %7.2f s\n", median(befores), median(beforeCpus));
    std::printf("vectors now:        %7.2f s   CPU %7.2f s   ratio %.3f, CPU ratio %.3f\n", median(nows),
                median(nowCpus), ratio, median(nowCpus) / median(beforeCpus));
    if (targets.ratio > 0)
        std::printf("  target: ratio <= %.2f: %s\n", targets.ratio, verdict(ratio, targets.ratio));
    return 0;
}

int compareVectors(const QString &outDir, int rounds, const QStringList &clips, const Targets &targets)
{
    std::unique_ptr<QTemporaryDir> home(scratchHome(outDir));
    const Vectors current = vectorsOf(clips);
    Vectors previous;
    for (const auto &arguments : current)
        previous << previousVector(arguments);
    return compareLoops(previous, current, rounds, targets);
}

// What naming every stream costs: the vectors of sources not read against
// those built from their records.
int compareMaps(const QString &outDir, int rounds, const QStringList &clips, const Targets &targets)
{
    std::unique_ptr<QTemporaryDir> home(scratchHome(outDir));
    return compareLoops(vectorsOf(clips, false), vectorsOf(clips), rounds, targets);
}

// The writer alone: its errors on /dev/null, or through a pipe that a plain
// loop drains in reads of the job's size.
double runWriter(const QList<QByteArray> &arguments, bool piped)
{
    QElapsedTimer clock;
    clock.start();
    int fds[2] = {-1, -1};
    if (piped && pipe2(fds, O_CLOEXEC) != 0)
        fail("no pipe");
    const pid_t pid = spawnQuiet(arguments, fds[1]);
    if (piped) {
        close(fds[1]);
        char buffer[8191];
        while (read(fds[0], buffer, sizeof buffer) > 0) {
        }
        close(fds[0]);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    checkExit(status);
    return clock.nsecsElapsed() / 1e9;
}

int chatty(int rounds, const QByteArray &writer, qint64 megabytes)
{
    QTemporaryDir work;
    std::unique_ptr<QTemporaryDir> home(scratchHome(work.filePath(QStringLiteral("out"))));
    const QByteArray bytes = QByteArray::number(megabytes * 1024 * 1024);
    const QByteArray lineBytes = "200";
    const QString source = home->filePath(QStringLiteral("chatty.mp4"));
    touch(source);
    const QByteArray program = writeFakeTranscoder(
        home->path(), QStringLiteral("chatty-transcoder"),
        "exec '" + writer + "' " + bytes + ' ' + lineBytes + " \"$out\"");
    const QList<QByteArray> alone{writer, bytes, lineBytes, work.filePath(QStringLiteral("alone")).toUtf8()};

    runQueue({source}, false, program);
    std::vector<double> nulls, pipes, queues;
    for (int round = 0; round < rounds; ++round) {
        nulls.push_back(runWriter(alone, false));
        pipes.push_back(runWriter(alone, true));
        queues.push_back(runQueue({source}, false, program).seconds);
        std::printf("round %d: writer to /dev/null %.2f s, through a plain pipe reader %.2f s, "
                    "through one job %.2f s\n",
                    round + 1, nulls.back(), pipes.back(), queues.back());
        std::fflush(stdout);
    }
    const QueueRun probed = runQueue({source}, true, program);
    std::printf("output: %lld MB in lines of %s bytes, rounds: %d (medians)\n", megabytes,
                lineBytes.constData(), rounds);
    std::printf("writer to /dev/null:        %6.2f s\n", median(nulls));
    std::printf("plain pipe reader (8191 B): %6.2f s\n", median(pipes));
    std::printf("start to the job's end:     %6.2f s   (target <= 5 s: %s), %.2f x the plain reader\n",
                median(queues), verdict(median(queues), 5), median(queues) / median(pipes));
    printStalls(probed);
    std::printf("summary of the probed run: %s\n", qPrintable(probed.summary));
    std::printf("peak resident memory of the converter: %.1f MB (VmHWM)\n",
                statusKilobytes("VmHWM") / 1024);
    return 0;
}

// Both levels at 默认, chosen in the bar under the list for every row, and
// "尽量直接复制" on or off in each row, as the settings dialog sets it.
Preparation atDefault(bool copying)
{
    return [copying](MainWindow &window) {
        window.findChild<QComboBox *>(QStringLiteral("cboxVQuality"))->setCurrentIndex(3);
        window.findChild<QComboBox *>(QStringLiteral("cboxAQuality"))->setCurrentIndex(3);
        for (int row = 0; row < listOf(window)->count(); ++row) {
            AVSettings settings = rowItem(window, row)->settings();
            settings.copyIfFits = copying;
            rowItem(window, row)->setSettings(settings);
        }
    };
}

// What a user would type instead: ffmpeg -i CLIP -c copy OUT.mp4, in turn.
Vectors plainCopies(const QString &outDir, const QStringList &clips)
{
    Vectors vectors;
    for (int i = 0; i < clips.size(); ++i)
        vectors << QList<QByteArray>{findProgram("ffmpeg"), "-y", "-i", clips.at(i).toUtf8(), "-c", "copy",
                                     QDir(outDir).filePath(QStringLiteral("plain%1.mp4").arg(i)).toUtf8()};
    return vectors;
}

// Copying what fits: the window against the plain loop of copies, rounds
// alternating which goes first; then the first `today` clips encoded as
// the window did before against the same clips copied.
int compareCopies(const QString &outDir, int rounds, int today, const QStringList &clips,
                  const Targets &targets)
{
    std::unique_ptr<QTemporaryDir> home(scratchHome(outDir));
    const Vectors plain = plainCopies(outDir, clips);
    std::printf("plain copy: %s\n", optionsOf(plain.first()).constData());
    runLoop(plain.mid(0, 1));
    runQueue(clips.mid(0, 1), false, {}, atDefault(true));
    std::vector<double> loops, queues;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            loops.push_back(runLoop(plain));
            queues.push_back(runQueue(clips, false, {}, atDefault(true)).seconds);
        } else {
            queues.push_back(runQueue(clips, false, {}, atDefault(true)).seconds);
            loops.push_back(runLoop(plain));
        }
        std::printf("round %d: plain copies %.2f s, the window %.2f s\n", round + 1, loops.back(), queues.back());
        std::fflush(stdout);
    }
    const QueueRun last = runQueue(clips, false, {}, atDefault(true));
    const double ratio = median(queues) / median(loops);
    std::printf("jobs: %d, rounds: %d (medians), %d at once in the window\n", int(clips.size()), rounds,
                ConversionQueue::automaticJobs(QThread::idealThreadCount()));
    std::printf("plain loop of copies: %7.2f s\n", median(loops));
    std::printf("through the window:   %7.2f s   ratio %.3f\n", median(queues), ratio);
    if (targets.ratio > 0)
        std::printf("  target: ratio <= %.2f: %s\n", targets.ratio, verdict(ratio, targets.ratio));
    std::printf("summary of the last run: %s\n", qPrintable(last.summary));

    // An encode of these files takes a minute or more each: one run of a few.
    const QStringList few = clips.mid(0, today);
    if (few.isEmpty())
        return 0;
    const double before = runQueue(few, false, {}, atDefault(false)).seconds;
    std::vector<double> nows;
    for (int round = 0; round < rounds; ++round)
        nows.push_back(runQueue(few, false, {}, atDefault(true)).seconds);
    std::printf("the first %d through the window, encoded as before: %.2f s; copied: %.2f s (median of %d): "
                "%.1f times faster (target >= 20: %s)\n",
                int(few.size()), before, median(nows), rounds, before / median(nows),
                before / median(nows) >= 20 ? "met" : "missed");
    return 0;
}

// What deciding costs where nothing fits: the same window with copying
// allowed and not, rounds alternating which goes first, with the
// children's processor time.
int compareNoCopies(const QString &outDir, int rounds, const QStringList &clips, const Targets &targets)
{
    std::unique_ptr<QTemporaryDir> home(scratchHome(outDir));
    runQueue(clips.mid(0, 1), false, {}, atDefault(true));
    std::vector<double> befores, nows, beforeCpus, nowCpus;
    const auto timed = [&clips](bool copy, std::vector<double> &seconds, std::vector<double> &cpus) {
        const double cpu = childrenCpuSeconds();
        seconds.push_back(runQueue(clips, false, {}, atDefault(copy)).seconds);
        cpus.push_back(childrenCpuSeconds() - cpu);
    };
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            timed(false, befores, beforeCpus);
            timed(true, nows, nowCpus);
        } else {
            timed(true, nows, nowCpus);
            timed(false, befores, beforeCpus);
        }
        std::printf("round %d: copying off %.2f s (CPU %.2f s), on %.2f s (CPU %.2f s)\n", round + 1,
                    befores.back(), beforeCpus.back(), nows.back(), nowCpus.back());
        std::fflush(stdout);
    }
    const double ratio = median(nows) / median(befores);
    std::printf("jobs: %d, rounds: %d (medians)\n", int(clips.size()), rounds);
    std::printf("copying off (as before): %7.2f s   CPU %7.2f s\n", median(befores), median(beforeCpus));
    std::printf("copying on:              %7.2f s   CPU %7.2f s   ratio %.3f, CPU ratio %.3f\n", median(nows),
                median(nowCpus), ratio, median(nowCpus) / median(beforeCpus));
    if (targets.ratio > 0)
        std::printf("  target: ratio <= %.2f: %s\n", targets.ratio, verdict(ratio, targets.ratio));
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_queue compare [--target RATIO] [--target-ms MS] OUTDIR ROUNDS CLIP...\n"
                         "       bench_queue parallel OUTDIR ROUNDS CLIP...\n"
                         "       bench_queue estimate OUTDIR CLIP...\n"
                         "       bench_queue vectors [--target RATIO] OUTDIR ROUNDS CLIP...\n"
                         "       bench_queue maps [--target RATIO] OUTDIR ROUNDS CLIP...\n"
                         "       bench_queue copy [--target RATIO] OUTDIR ROUNDS TODAY CLIP...\n"
                         "       bench_queue nocopy [--target RATIO] OUTDIR ROUNDS CLIP...\n"
                         "       bench_queue chatty ROUNDS WRITER [MB]\n"
                         "       bench_queue damage FILE.ts\n");
    return 2;
}

// Each mode works from a scratch folder of its own.
QStringList absolute(const QStringList &paths)
{
    QStringList absolutePaths;
    for (const QString &path : paths)
        absolutePaths << QFileInfo(path).absoluteFilePath();
    return absolutePaths;
}

// compare's options, taken off the front of args.
Targets takeTargets(QStringList &args)
{
    Targets targets;
    while (args.size() >= 2 && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        const double value = args.takeFirst().toDouble();
        if (option == QLatin1String("--target"))
            targets.ratio = value;
        else if (option == QLatin1String("--target-ms"))
            targets.msPerJob = value;
    }
    return targets;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString mode = args.isEmpty() ? QString() : args.takeFirst();
    if (mode == QLatin1String("damage") && args.size() == 1)
        return damageTransportStream(args.at(0)) ? 0 : 1;
    if (mode == QLatin1String("chatty") && args.size() >= 2)
        return chatty(args.at(0).toInt(), absolute(args.mid(1, 1)).first().toUtf8(),
                      args.value(2, QStringLiteral("100")).toLongLong());
    if (mode == QLatin1String("parallel") && args.size() >= 3)
        return parallel(absolute(args.mid(0, 1)).first(), args.at(1).toInt(), absolute(args.mid(2)));
    if (mode == QLatin1String("estimate") && args.size() >= 2)
        return estimate(absolute(args.mid(0, 1)).first(), absolute(args.mid(1)));
    if (mode == QLatin1String("copy") || mode == QLatin1String("nocopy")) {
        const Targets targets = takeTargets(args);
        const bool copy = mode == QLatin1String("copy");
        if (args.size() < (copy ? 4 : 3))
            return usage();
        const QString out = absolute(args.mid(0, 1)).first();
        return copy ? compareCopies(out, args.at(1).toInt(), args.at(2).toInt(), absolute(args.mid(3)), targets)
                    : compareNoCopies(out, args.at(1).toInt(), absolute(args.mid(2)), targets);
    }
    if (mode != QLatin1String("compare") && mode != QLatin1String("vectors") && mode != QLatin1String("maps"))
        return usage();
    const Targets targets = takeTargets(args);
    if (args.size() < 3)
        return usage();
    const auto run = mode == QLatin1String("compare") ? compare
                     : mode == QLatin1String("vectors") ? compareVectors
                                                        : compareMaps;
    return run(absolute(args.mid(0, 1)).first(), args.at(1).toInt(), absolute(args.mid(2)), targets);
}
