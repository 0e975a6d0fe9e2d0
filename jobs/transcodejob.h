#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <vector>

#include "avsettings.h"
#include "outputparser.h"
#include "outputreadback.h"
#include "partialfile.h"
#include "resultcodes.h"
#include "transcodecommand.h"
#include "transcodeprocess.h"

class QSocketNotifier;
class QTimer;

// Job states, the values state() returns.
inline constexpr int ConvertWaiting = 0;
inline constexpr int ConvertRunning = 1;
inline constexpr int ConvertDone = 2;
inline constexpr int ConvertCancelled = 3;
inline constexpr int ConvertError = 4;

// The conversion of one file, without any widget: the command, the
// transcoder child, its output read and parsed, the state and the verdict.
// What shows a job only listens to its signals.
class TranscodeJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TranscodeJob)

public:
    explicit TranscodeJob(QObject *parent = nullptr);
    // A transcoder still running is killed: it never outlives its job.
    ~TranscodeJob() override;

    // Binds the job to a file: ResultOk, or ResultUnusable when no file is
    // there (nothing changes then).
    int setInput(const QByteArray &path, const AVSettings &settings);
    // Binds the job to a file that is not there now, as a saved list may
    // name one on an unplugged disk: the job keeps its settings and what it
    // did, and never starts (ResultUnusable).
    void setAbsentInput(const QByteArray &path, const AVSettings &settings);
    bool isSourceAbsent() const { return sourceAbsent; }
    // Where the job writes unless the queue chooses otherwise: the output
    // folder, the prefix, the base name and the container's extension.
    QByteArray plannedOutputPath() const;
    // ResultOk; ResultAlreadyRunning while the child is alive or its result
    // is read back; ResultUnusable for an absent source; otherwise the
    // process start's code, and then nothing changes.
    //
    // A run that copied a stream because it fit, and failed for anything
    // but the files and folders around it (the container refused the copy,
    // the result read back wrong), runs once more with those streams
    // encoded, under the same final name; the job ends only after that,
    // and says so ("直接复制失败，已重新编码").
    int start(const QByteArray &outputPath);
    // ResultOk, or ResultNothingToStop for a done job, which stays done. A
    // running child is killed, never waited for, and its partial output
    // removed; the job is cancelled at once.
    //
    // ffmpeg writes to a partial file; only a job that is done renames it to
    // its final name, so a file under a final name is always complete.
    int stop();
    // Stops a converting job like stop(), but it is waiting again rather
    // than cancelled: the run stopped, not the user.
    void requeue();
    // Holds the transcoder where it is, and lets it go on.
    void pause();
    void resume();
    bool isPaused() const { return paused; }
    // The transcoder has ended and its result is read back (see
    // OutputReadBack): the job is still converting, but runs no transcoder.
    bool isReadingBack() const { return readBack->isRunning(); }

    int state() const { return currentState; }
    // Changes take effect at the next start.
    AVSettings &settings() { return command.settings; }
    // The same, and a done job whose settings change is waiting again, so
    // that a converted list can be converted once more to something else.
    void setSettings(const AVSettings &settings);
    const AVSettings &settings() const { return command.settings; }
    // What the source holds, once it has been read; the command names its
    // streams from it. Until then the job has none (hasMedia() is false),
    // and started anyway it gets ffmpeg's own choice of streams.
    void setMedia(const MediaInfo &media);
    bool hasMedia() const { return mediaKnown; }
    const MediaInfo &media() const { return command.media; }
    // What becomes of each stream; its notes are what the row tells. After
    // a refused copy, the plan of the run that encoded instead.
    StreamPlan plan() const { return command.plan(); }
    // ffmpeg encodes the picture, rather than copying it or having none:
    // the job takes an encode's time.
    bool encodesPicture() const { return pictureEncoded; }
    // ResultOk when the transcoder can be found, else the code and the
    // startErrorText() a start would give; nothing starts.
    int checkProgram();
    const QByteArray &inputPath() const { return command.inputPath; }
    // The file the last run wrote, or writes once it is done: the path the
    // queue chose, or the next free number when that was taken meanwhile.
    const QByteArray &outputPath() const { return targetPath; }
    // What ffmpeg writes until the verdict (see PartialFile).
    const QByteArray &partialPath() const { return command.outputPath; }
    // The user's error lines of the last run, each ending in "\n"; empty
    // when it did not fail.
    const QByteArray &errorText() const { return parser.errorText; }
    // What the user should know of a job that is done all the same, in the
    // same form: "源文件有损坏的帧，已跳过", a source that ended before its
    // declared length ("源文件不完整：只转换了前 8.6 秒（共 17.5 秒）"); empty
    // otherwise.
    const QByteArray &warningText() const { return parser.warningText; }
    // The last run failed because the output's disk is full, also when ffmpeg
    // ran out of room only for the file's end and exited 0.
    bool ranOutOfSpace() const { return currentState == ConvertError && parser.outOfSpace; }
    // Why the last start failed, for the user; empty after a start.
    const QByteArray &startErrorText() const { return startError; }

    // Runs the job with another program (a path containing '/' is used as
    // given). The converter itself never calls it; tests put a fake
    // transcoder behind a job with it.
    void setTranscoderProgram(const QByteArray &program) { programOverride = program; }

    // The progress bar's value, 0 to 100.
    int progress() const { return shownPercent; }
    // Shows what an earlier run of the converter left: a done job with the
    // file it made (and its warnings), a failed one with its reasons, a
    // cancelled or waiting one. Not while the job runs.
    void restoreResult(int state, const QByteArray &outputPath, const QByteArray &errorText,
                       const QByteArray &warningText);

signals:
    // The progress bar's new value, 0 to 100.
    void progressChanged(int percent);
    // The job is done, and its file is about to take this final name (or
    // the next free number, when the name is taken meanwhile).
    void keeping(const QByteArray &outputPath);
    void stateChanged(int state);
    void pausedChanged(bool paused);
    // The settings or the source's record changed, and so may plan().
    void planChanged();
    // The transcoder has ended and its result is being read back.
    void readingBack();
    // The job has ended by itself, done or in error; never on a stop or a
    // failed start. state() and errorText() tell which.
    void finished();

private slots:
    void readOutput();
    void checkExit();
    void refreshProgress();
    void readBackFinished(bool readable);

private:
    void setState(int code);
    void setProgress(int percent);
    void stopWatching();
    void showProgress(int percent);
    void endJob();
    void finishJob(bool done);
    bool copiesAStream() const;
    bool startReadBack();
    // Ends a read-back of the finished file without waiting; the job then
    // never ends by itself. Whatever stops the job calls it.
    void cancelReadBack();
    bool partialWritten();
    bool keepOutput();
    void removePartial();
    bool ranTranscoder() const { return !refused && creationFailure.isEmpty(); }
    void bindInput(const QByteArray &path, const AVSettings &settings);
    int launch(const QByteArray &outputPath);
    bool encodeInstead();
    void notePlan();

    TranscodeCommand command;
    TranscodeProcess process;
    // Allocated while the child runs.
    std::vector<char> chunk;
    // Wakes the job when the child writes, and sees the end of its output.
    QSocketNotifier *outputNotifier = nullptr;
    // Collects a child that closed its output a moment before it exits.
    QTimer *exitTimer;
    int exitChecks = 0;
    // Paces what is shown: a flood of output costs no repaints.
    QTimer *refreshTimer;
    QElapsedTimer lastRefresh;
    int pendingPercent = -1;
    OutputParser parser;
    // A result with a copied stream is read back before it is done.
    OutputReadBack *readBack;
    int currentState = ConvertWaiting;
    int shownPercent = 0;
    bool paused = false;
    QByteArray baseName;
    QByteArray sourceExtension;
    QByteArray programOverride;
    QByteArray startError;
    QByteArray targetPath;
    // The final name is too long: the job ends at once, without ffmpeg.
    bool refused = false;
    bool sourceAbsent = false;
    // Made and locked before ffmpeg starts.
    PartialFile partial;
    // Why the partial file could not be made, as ffmpeg would say it: the
    // job ends at once, without ffmpeg.
    QByteArray creationFailure;
    bool mediaKnown = false;
    bool pictureEncoded = true;
};
