#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>

#include "batchestimate.h"
#include "mediainfo.h"
#include "outputfolder.h"

class MediaProbe;
class QTimer;
class TranscodeJob;

// Why a run ended, the values runEnded() gives.
inline constexpr int RunFinished = 0;
inline constexpr int RunCancelled = 1;
// The output folder went, became read-only or ran out of room.
inline constexpr int RunStoppedForFolder = 2;
// SIGTERM, SIGINT or SIGHUP: cancelled without a question.
inline constexpr int RunStoppedForSignal = 3;

// What a run did, for its summary: files in list order.
struct RunReport
{
    // Why the run stopped early (the folder's problem), empty otherwise.
    QString message;
    int succeeded = 0;
    int cancelled = 0;
    // Source path and the error lines of each failed file.
    QList<QPair<QByteArray, QByteArray>> failed;
    // Source path and the warning lines of each file done with warnings.
    QList<QPair<QByteArray, QByteArray>> warned;
    // Source path and what of it the result could not keep, of each file
    // done ("未保留字幕：.avi 不能保存可切换字幕，可在设置中选择烧录").
    QList<QPair<QByteArray, QByteArray>> notKept;
    // Source path and the streams of it copied rather than encoded, of each
    // file done ("视频直接复制，未重新编码").
    QList<QPair<QByteArray, QByteArray>> copied;
};

// The input list as a batch: the jobs in list order, and the run that
// converts those not done, up to N at a time, in list order. It owns the
// run: its members, what each did, why it stopped and its end, the batch's
// share and the time left, pause and resume. It knows nothing of rows,
// dialogs or the desktop; the jobs belong to whoever made them.
class ConversionQueue final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConversionQueue)

public:
    explicit ConversionQueue(QObject *parent = nullptr);
    ~ConversionQueue() override;

    // How many jobs run at once by default on a machine with `cores` cores.
    static int automaticJobs(int cores);
    // 0 for automatic, otherwise 1 to 8; anything else is automatic.
    void setParallelJobs(int jobs);

    // The list. A job appended during a run joins it, waiting; a job that
    // is converting cannot be removed (false).
    void append(TranscodeJob *job);
    bool remove(TranscodeJob *job);
    // Empties the list; not during a run.
    void clear();
    int count() const { return int(jobs.size()); }
    TranscodeJob *jobAt(int index) const { return jobs.at(index); }
    // The first job at or after `index` that is not done, or nullptr; a job
    // whose source is absent is never pending.
    TranscodeJob *findPending(int index) const;

    // Starts a run over the jobs not done: ResultOk; ResultNothingPending;
    // ResultFolderProblem (folderProblem() says what); or the failed start
    // code of the first job (its startErrorText() says why). Only ResultOk
    // begins a run.
    int start();
    // Ends the run: converting jobs are stopped (their partial files go)
    // and waiting members cancelled. RunCancelled or RunStoppedForSignal.
    void cancel(int reason = RunCancelled);
    bool isRunning() const { return running; }
    // Cancels one converting job of the run as cancel() would, paused or
    // not; the run goes on with the next job. False when it is not
    // converting.
    bool cancelJob(TranscodeJob *job);
    // A job that has ended (done, failed or cancelled) waits again; a run
    // takes it as a new member. False while it is converting or waiting.
    bool convertAgain(TranscodeJob *job);

    // Every converting child is stopped where it is (and no job starts)
    // until resume().
    void pause();
    void resume();
    bool isPaused() const { return paused; }

    // The batch's share done, 0 to 1, weighted by the files' lengths; and
    // the seconds left from the measured speed, or -1 while unknown or
    // paused.
    double share() const { return estimate.share(); }
    qint64 secondsLeft() const;
    // A file's length in seconds, once known; -1 before.
    double duration(const TranscodeJob *job) const;
    // Files whose length is still being read.
    int lengthsPending() const { return pendingLengths; }
    // What a file holds, once read; a record that is not readable before.
    MediaInfo media(const QByteArray &inputPath) const { return records.value(inputPath); }

    // The problem found before the last job that could not start, for the
    // user (empty when there was none).
    const QString &folderProblem() const { return lastFolderProblem; }
    // The last run's report, from its end until the next start.
    const RunReport &report() const { return lastReport; }

    // Where jobs write is checked before each start; the user's own movies
    // folder is made again when it has gone.
    void setDefaultFolder(const QString &folder) { defaultFolder = folder; }
    // The room a job needs; by default it follows the source's size.
    void setFreeSpaceFloor(qint64 bytes) { freeSpaceFloor = bytes; }

signals:
    // A job was appended or removed, or the list cleared.
    void listChanged();
    void runStarted();
    void jobStarted(TranscodeJob *job);
    // A job is done and its file is about to take this final name.
    void jobKeeping(TranscodeJob *job, const QByteArray &outputPath);
    // A member of the run has ended by itself (done or error), could not
    // start, or was cancelled alone.
    void jobEnded(TranscodeJob *job);
    // share() or secondsLeft() may have changed.
    void progressChanged();
    void pausedChanged(bool paused);
    void runEnded(int reason);

private slots:
    void jobFinished();
    void jobReadingBack();
    void jobKeepingOutput(const QByteArray &outputPath);
    void sample();
    void recordsKnown(const QList<QPair<QByteArray, MediaInfo>> &known);

private:
    static bool isPending(const TranscodeJob *job);
    void startMore();
    int startOne(TranscodeJob *job);
    TranscodeJob *nextMember();
    int capacity() const;
    int transcoding() const;
    // `next` may be null: the folder as the converting jobs need it.
    OutputFolder::Problem checkFolder(const TranscodeJob *next);
    qint64 roomFor(const TranscodeJob *job) const;
    qint64 roomStillNeeded() const;
    void stopForFolder(const QString &problem);
    void finish(int reason);
    void recordStartFailure(TranscodeJob *job, int code);
    void forget(TranscodeJob *job);

    QList<TranscodeJob *> jobs;
    // The same by source, for the records as they come.
    QMultiHash<QByteArray, TranscodeJob *> jobsByPath;
    // The run: its members in list order, the next one to look at, those
    // started and those that have ended.
    QList<TranscodeJob *> members;
    int cursor = 0;
    QSet<TranscodeJob *> started;
    QSet<TranscodeJob *> ended;
    QSet<TranscodeJob *> converting;
    QHash<TranscodeJob *, QByteArray> startErrors;
    // Final names the converting jobs will take.
    QHash<TranscodeJob *, QByteArray> targets;
    QSet<QByteArray> reserved;
    bool running = false;
    bool paused = false;
    // Time worked in the run, pauses left out.
    QElapsedTimer clock;
    qint64 workedMs = 0;
    int parallel = 0;
    QString defaultFolder;
    qint64 freeSpaceFloor = -1;
    QString lastFolderProblem;
    RunReport lastReport;
    // What each listed file holds, read behind the list; a job starts only
    // once its file's record is there.
    MediaProbe *probe;
    QHash<QByteArray, MediaInfo> records;
    int pendingLengths = 0;
    BatchEstimate estimate;
    // A job of the kind started since the last sample.
    bool encodedSinceSample = false;
    bool copiedSinceSample = false;
    QTimer *sampler;
};
