#include "transcodejob.h"

#include <QFileInfo>
#include <QString>
#include <QSocketNotifier>
#include <QTimer>

#include "catalogue.h"
#include "outputnames.h"
#include "partialoutput.h"
#include "resultcodes.h"

namespace {

constexpr int chunkSize = 8192;
// One read leaves the chunk's last byte for the terminating zero.
constexpr int readCapacity = chunkSize - 1;
// Two pipes full; the bound only keeps a child that writes without pause
// from holding the GUI thread: the notifier wakes the job again at once.
constexpr int maxReadsPerWake = 16;
// Progress is shown at most this often.
constexpr int refreshIntervalMs = 200;
// A child that closed its output is looked for this often, a little less
// often the longer it lingers.
constexpr int firstExitCheckMs = 1;
constexpr int lastExitCheckMs = 100;
// The longest file name Linux file systems take, in bytes.
constexpr int maxNameBytes = 255;

const char copyRetried[] = "直接复制失败，已重新编码\n";

QByteArray missingProgramText()
{
    return "未找到转码程序 ffmpeg，请安装 ffmpeg（sudo apt-get install ffmpeg），"
           "或将 ffmpeg 放在本程序所在的文件夹中。";
}

} // namespace

TranscodeJob::TranscodeJob(QObject *parent)
    : QObject(parent), command(AVSettings{}), exitTimer(new QTimer(this)),
      refreshTimer(new QTimer(this)), readBack(new OutputReadBack(this))
{
    exitTimer->setSingleShot(true);
    refreshTimer->setSingleShot(true);
    connect(exitTimer, &QTimer::timeout, this, &TranscodeJob::checkExit);
    connect(refreshTimer, &QTimer::timeout, this, &TranscodeJob::refreshProgress);
    connect(readBack, &OutputReadBack::finished, this, &TranscodeJob::readBackFinished);
}

TranscodeJob::~TranscodeJob()
{
    if (currentState == ConvertRunning) {
        stopWatching();
        process.stop(command.outputPath);
        removePartial();
    }
}

int TranscodeJob::setInput(const QByteArray &path, const AVSettings &settings)
{
    if (!QFileInfo(QString::fromUtf8(path)).isFile())
        return ResultUnusable;
    bindInput(path, settings);
    sourceAbsent = false;
    return ResultOk;
}

void TranscodeJob::setAbsentInput(const QByteArray &path, const AVSettings &settings)
{
    bindInput(path, settings);
    sourceAbsent = true;
}

void TranscodeJob::bindInput(const QByteArray &path, const AVSettings &settings)
{
    const QFileInfo info(QString::fromUtf8(path));
    baseName = info.completeBaseName().toUtf8();
    sourceExtension = '.' + info.suffix().toUtf8();
    command = TranscodeCommand(settings, command.media);
    command.inputPath = path;
    notePlan();
}

void TranscodeJob::setMedia(const MediaInfo &media)
{
    command.media = media;
    mediaKnown = true;
    notePlan();
    emit planChanged();
}

// Asked for every member of a run twice a second: kept, not planned anew.
void TranscodeJob::notePlan()
{
    const StreamPlan planned = command.plan();
    pictureEncoded = planned.explicitMaps ? planned.encodesPicture()
                                          : catalogueValue(videoCodecIds, command.settings.videoCodec) != "copy";
}

QByteArray TranscodeJob::plannedOutputPath() const
{
    return makeOutputPath(outputDir, baseName, sourceExtension, command.settings.container);
}

void TranscodeJob::setSettings(const AVSettings &settings)
{
    if (settings == command.settings)
        return;
    command.settings = settings;
    notePlan();
    if (currentState == ConvertDone) {
        setState(ConvertWaiting);
        setProgress(0);
    }
    emit planChanged();
}

int TranscodeJob::start(const QByteArray &outputPath)
{
    if (process.isRunning() || !process.reapChild() || readBack->isRunning())
        return ResultAlreadyRunning;
    if (sourceAbsent)
        return ResultUnusable;
    // What was refused before may fit now: the settings or the file changed.
    if (command.copyRefused) {
        command.copyRefused = false;
        notePlan();
    }
    return launch(outputPath);
}

int TranscodeJob::launch(const QByteArray &outputPath)
{
    const QByteArray previousTarget = targetPath;
    const QByteArray previousPartial = command.outputPath;
    targetPath = outputPath;
    // ffmpeg never sees the final name, so a name too long for the file
    // system would only fail at the very end.
    refused = QFileInfo(QString::fromUtf8(outputPath)).fileName().toUtf8().size() > maxNameBytes;
    // A partial file that cannot be made fails the job as ffmpeg's own line
    // would have, without ffmpeg.
    const int createError = refused ? 0 : partial.create(outputPath);
    creationFailure = createError != 0 ? partial.failureLine(createError) : QByteArray();
    command.outputPath = refused ? PartialOutput::pathFor(outputPath) : partial.path();
    QList<QByteArray> arguments = command.arguments();
    if (!programOverride.isEmpty())
        arguments.first() = programOverride;
    const int code = !ranTranscoder() ? ResultOk : process.start(arguments, partial.descriptor());
    if (code != ResultOk) {
        partial.remove();
        targetPath = previousTarget;
        command.outputPath = previousPartial;
        startError = findProgram(arguments.first()).isEmpty() ? missingProgramText()
                                                               : "无法启动转码程序 " + arguments.first() + "。";
        return code;
    }
    startError.clear();

    chunk.assign(chunkSize, '\0');
    parser.reset(command.inputPath, command.outputPath);
    exitChecks = 0;
    pendingPercent = -1;
    lastRefresh.invalidate();
    setState(ConvertRunning);
    setProgress(0);
    if (!ranTranscoder()) {
        exitTimer->start(0);
    } else {
        outputNotifier = new QSocketNotifier(process.outputDescriptor(), QSocketNotifier::Read, this);
        connect(outputNotifier, &QSocketNotifier::activated, this, &TranscodeJob::readOutput);
    }
    return ResultOk;
}

int TranscodeJob::checkProgram()
{
    if (!findProgram(programOverride.isEmpty() ? command.program : programOverride).isEmpty())
        return ResultOk;
    startError = missingProgramText();
    return ResultSpawnFailed;
}

int TranscodeJob::stop()
{
    switch (currentState) {
    case ConvertDone:
        return ResultNothingToStop;
    case ConvertRunning:
        // The child is killed but not waited for: its partial file goes now,
        // and once more when the child is gone, in case the child made it
        // after. The final name was never written: whatever is there is not
        // this job's.
        stopWatching();
        process.stop(command.outputPath);
        removePartial();
        std::vector<char>().swap(chunk);
        break;
    default:
        break;
    }
    setState(ConvertCancelled);
    return ResultOk;
}

void TranscodeJob::pause()
{
    if (currentState != ConvertRunning || paused)
        return;
    process.pause();
    paused = true;
    emit pausedChanged(true);
}

void TranscodeJob::resume()
{
    if (!paused)
        return;
    process.resume();
    paused = false;
    emit pausedChanged(false);
}

void TranscodeJob::requeue()
{
    if (stop() != ResultOk)
        return;
    setState(ConvertWaiting);
    setProgress(0);
}

void TranscodeJob::readOutput()
{
    for (int reads = 0; reads < maxReadsPerWake; ++reads) {
        int count = 0;
        const int code = process.readOutput(chunk.data(), readCapacity, &count);
        if (code == ResultEndOfOutput) {
            showProgress(parser.flush());
            // The pipe is closed: the notifier must not watch it any more.
            outputNotifier->setEnabled(false);
            outputNotifier->deleteLater();
            outputNotifier = nullptr;
            checkExit();
            return;
        }
        if (code != ResultOk || count == 0)
            return;
        showProgress(parser.processRead(chunk.data(), count));
    }
}

// The exit status takes part in the verdict: a child that closed its output
// but has not exited yet is waited for, without ever blocking.
void TranscodeJob::checkExit()
{
    if (ranTranscoder() && !process.reapChild()) {
        exitTimer->start(qMin(lastExitCheckMs, firstExitCheckMs << qMin(exitChecks++, 7)));
        return;
    }
    endJob();
}

void TranscodeJob::showProgress(int percent)
{
    if (percent < 0)
        return;
    pendingPercent = percent;
    if (!lastRefresh.isValid() || lastRefresh.elapsed() >= refreshIntervalMs)
        refreshProgress();
    else if (!refreshTimer->isActive())
        refreshTimer->start(int(refreshIntervalMs - lastRefresh.elapsed()));
}

void TranscodeJob::refreshProgress()
{
    refreshTimer->stop();
    if (pendingPercent < 0)
        return;
    lastRefresh.start();
    setProgress(pendingPercent);
    pendingPercent = -1;
}

void TranscodeJob::stopWatching()
{
    cancelReadBack();
    exitTimer->stop();
    refreshTimer->stop();
    pendingPercent = -1;
    delete outputNotifier;
    outputNotifier = nullptr;
}

void TranscodeJob::endJob()
{
    std::vector<char>().swap(chunk);
    // The last position read is shown before the verdict.
    refreshProgress();
    stopWatching();
    const bool ran = ranTranscoder();
    if (refused) {
        refused = false;
        parser.addReason("输出文件名太长！");
    }
    if (!creationFailure.isEmpty()) {
        parser.processRead(creationFailure.constData(), int(creationFailure.size()));
        creationFailure.clear();
    }
    const bool clean = ran && process.exitedCleanly();
    const bool done = parser.verdict(clean, clean && partialWritten());
    // Without ffprobe the verdict stands as ffmpeg's output gives it.
    if (done && copiesAStream() && startReadBack()) {
        emit readingBack();
        return;
    }
    if (!done && encodeInstead())
        return;
    finishJob(done);
}

void TranscodeJob::readBackFinished(bool readable)
{
    if (!readable)
        parser.copiedStreamsUnreadable();
    if (!readable && encodeInstead())
        return;
    finishJob(readable);
}

// The run failed with a stream copied because it fit: once, the same job
// runs with those streams encoded. What failed for the folder or the
// source's sake fails the same way whatever the command.
bool TranscodeJob::encodeInstead()
{
    if (command.copyRefused || !ranTranscoder() || parser.surroundingsFailed()
        || !command.plan().copiesFitted())
        return false;
    removePartial();
    command.copyRefused = true;
    notePlan();
    if (launch(targetPath) == ResultOk)
        return true;
    parser.addReason("无法启动转码程序！");
    parser.verdict(false, false);
    return false;
}

void TranscodeJob::finishJob(bool done)
{
    const bool kept = done && keepOutput();
    if (!kept)
        removePartial();
    // The row tells why the file took an encode's time; a failed encode
    // has its own reasons.
    if (kept && command.copyRefused)
        parser.warningText.prepend(copyRetried);
    if (kept)
        setProgress(100);
    setState(kept ? ConvertDone : ConvertError);
    emit finished();
}

// The tracks the plan keeps are counted too: a muxer may leave one out.
bool TranscodeJob::startReadBack()
{
    const StreamPlan planned = command.plan();
    const int audio = planned.explicitMaps ? int(planned.streamsOf(PlannedAudio).size()) : -1;
    const int subtitles = planned.explicitMaps ? int(planned.streamsOf(PlannedSubtitle).size()) : -1;
    return readBack->start(command.outputPath, parser.expectedOutputSeconds(), audio, subtitles);
}

bool TranscodeJob::copiesAStream() const
{
    const StreamPlan planned = command.plan();
    if (planned.explicitMaps)
        return planned.copiesAStream();
    return catalogueValue(videoCodecIds, command.settings.videoCodec) == "copy"
           || catalogueValue(audioCodecIds, command.settings.audioCodec) == "copy";
}

void TranscodeJob::cancelReadBack()
{
    readBack->cancel();
}

// A clean exit proves nothing by itself: a folder deleted during the job
// takes the output with it, and a transcoder may exit 0 without writing.
bool TranscodeJob::partialWritten()
{
    const QFileInfo output(QString::fromUtf8(command.outputPath));
    if (output.isFile() && output.size() > 0)
        return true;
    parser.addReason(QFileInfo(output.absolutePath()).isDir() ? "没有生成输出文件！"
                                                              : "输出文件夹不存在！");
    return false;
}

// Gives the finished file its final name. The rename never replaces
// anything: a name taken meanwhile, even at the last moment, gets the next
// free number instead.
bool TranscodeJob::keepOutput()
{
    // Whatever took the partial file's place (a link to a user's document)
    // is never given the final name.
    if (!partial.isIntact()) {
        parser.addReason("转码中的临时文件被替换，结果未保存！");
        parser.verdict(false, false);
        return false;
    }
    emit keeping(targetPath);
    const QByteArray kept = renameToFreeName(command.outputPath, targetPath);
    if (!kept.isEmpty()) {
        partial.release();
        targetPath = kept;
        return true;
    }
    parser.addReason("无法保存输出文件！");
    parser.verdict(false, false);
    return false;
}

void TranscodeJob::removePartial()
{
    partial.remove();
}

void TranscodeJob::setProgress(int percent)
{
    shownPercent = percent;
    emit progressChanged(percent);
}

void TranscodeJob::restoreResult(int state, const QByteArray &outputPath, const QByteArray &errorText,
                                 const QByteArray &warningText)
{
    if (currentState == ConvertRunning)
        return;
    targetPath = outputPath;
    parser.errorText = state == ConvertError ? errorText : QByteArray();
    parser.warningText = state == ConvertDone ? warningText : QByteArray();
    setProgress(state == ConvertDone ? 100 : 0);
    setState(state);
}

void TranscodeJob::setState(int code)
{
    // A stopped or ended child is held by nothing.
    if (code != ConvertRunning)
        paused = false;
    currentState = code;
    emit stateChanged(code);
}
