#include "conversionqueue.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include "catalogue.h"
#include "mediaprobe.h"
#include "outputfolder.h"
#include "outputnames.h"
#include "partialoutput.h"
#include "resultcodes.h"
#include "transcodejob.h"

namespace {

// How often the batch's share and time left are brought up to date.
constexpr int sampleIntervalMs = 500;
constexpr int mostJobs = 8;

} // namespace

ConversionQueue::ConversionQueue(QObject *parent)
    : QObject(parent), probe(new MediaProbe(this)), sampler(new QTimer(this))
{
    sampler->setInterval(sampleIntervalMs);
    connect(sampler, &QTimer::timeout, this, &ConversionQueue::sample);
    connect(probe, &MediaProbe::known, this, &ConversionQueue::recordsKnown);
}

ConversionQueue::~ConversionQueue() = default;

// What a job does besides encoding (opening, probing, the encoder's start,
// writing the file) leaves a core idle that a second job fills: on two
// cores two short clips at once were 1.25 times as fast as one at a time,
// 720p clips of 30 s 1.05 times. A third gained nothing sure on 720p and
// left the window less of the processor. Each x264 uses several cores, so
// more cores are shared by fewer jobs each.
int ConversionQueue::automaticJobs(int cores)
{
    return cores <= 1 ? 1 : std::clamp(cores / 2, 2, mostJobs);
}

void ConversionQueue::setParallelJobs(int jobs)
{
    parallel = jobs >= 1 && jobs <= mostJobs ? jobs : 0;
}

int ConversionQueue::capacity() const
{
    return parallel > 0 ? parallel : automaticJobs(QThread::idealThreadCount());
}

// A job whose result is read back runs no transcoder: the next one starts
// beside it. A copy's read-back takes about as long as the copy.
int ConversionQueue::transcoding() const
{
    return int(std::count_if(converting.cbegin(), converting.cend(),
                             [](const TranscodeJob *job) { return !job->isReadingBack(); }));
}

// ------------------------------------------------------------------- list

void ConversionQueue::append(TranscodeJob *job)
{
    jobs.append(job);
    jobsByPath.insert(job->inputPath(), job);
    connect(job, &TranscodeJob::finished, this, &ConversionQueue::jobFinished);
    connect(job, &TranscodeJob::readingBack, this, &ConversionQueue::jobReadingBack);
    connect(job, &TranscodeJob::keeping, this, &ConversionQueue::jobKeepingOutput);
    const auto record = records.constFind(job->inputPath());
    if (record != records.constEnd()) {
        job->setMedia(*record);
    } else {
        probe->request(job->inputPath());
        ++pendingLengths;
    }
    emit listChanged();
    if (running && isPending(job)) {
        members.append(job);
        // A run with room to spare takes it at once.
        startMore();
    }
}

bool ConversionQueue::remove(TranscodeJob *job)
{
    if (converting.contains(job))
        return false;
    jobs.removeOne(job);
    jobsByPath.remove(job->inputPath(), job);
    disconnect(job, nullptr, this, nullptr);
    forget(job);
    emit listChanged();
    return true;
}

void ConversionQueue::forget(TranscodeJob *job)
{
    const int index = int(members.indexOf(job));
    if (index < 0)
        return;
    members.removeAt(index);
    if (index < cursor)
        --cursor;
    started.remove(job);
    ended.remove(job);
    startErrors.remove(job);
    // Nothing may be left to wait for.
    startMore();
}

void ConversionQueue::clear()
{
    if (running)
        return;
    for (TranscodeJob *job : qAsConst(jobs))
        disconnect(job, nullptr, this, nullptr);
    jobs.clear();
    jobsByPath.clear();
    emit listChanged();
}

TranscodeJob *ConversionQueue::findPending(int index) const
{
    for (; index < jobs.size(); ++index) {
        if (isPending(jobs.at(index)))
            return jobs.at(index);
    }
    return nullptr;
}

// A source that was absent when the list was restored waits for a start
// that finds it again.
bool ConversionQueue::isPending(const TranscodeJob *job)
{
    return job->state() != ConvertDone && !job->isSourceAbsent();
}

// -------------------------------------------------------------------- run

int ConversionQueue::start()
{
    if (running)
        return ResultAlreadyRunning;
    TranscodeJob *first = findPending(0);
    if (!first)
        return ResultNothingPending;
    lastFolderProblem.clear();
    if (checkFolder(first) != OutputFolder::NoProblem)
        return ResultFolderProblem;
    // What a converter that died left behind; a running one's stays.
    PartialOutput::removeLeftovers(QString::fromUtf8(outputDir));

    members.clear();
    for (TranscodeJob *job : qAsConst(jobs)) {
        if (isPending(job))
            members.append(job);
    }
    cursor = 0;
    started.clear();
    ended.clear();
    startErrors.clear();
    // A first file not read yet starts when its record comes; a missing
    // transcoder is still told at once.
    const int code = first->hasMedia() ? startOne(first) : first->checkProgram();
    if (code != ResultOk) {
        members.clear();
        return code;
    }
    running = true;
    paused = false;
    lastReport = RunReport();
    estimate.reset();
    workedMs = 0;
    clock.start();
    sampler->start();
    emit runStarted();
    if (started.contains(first))
        emit jobStarted(first);
    startMore();
    return ResultOk;
}

int ConversionQueue::startOne(TranscodeJob *job)
{
    // A name taken on disk, or by another job of the run, is never written
    // over: the job gets the next free number.
    const QByteArray target = uniqueOutputPath(job->plannedOutputPath(), [this](const QByteArray &path) {
        return reserved.contains(path) || pathIsTaken(path);
    });
    const int code = job->start(target);
    if (code != ResultOk)
        return code;
    reserved.insert(target);
    targets.insert(job, target);
    converting.insert(job);
    started.insert(job);
    (job->encodesPicture() ? encodedSinceSample : copiedSinceSample) = true;
    return ResultOk;
}

TranscodeJob *ConversionQueue::nextMember()
{
    while (cursor < members.size() && started.contains(members.at(cursor)))
        ++cursor;
    return cursor < members.size() ? members.at(cursor) : nullptr;
}

void ConversionQueue::startMore()
{
    if (!running)
        return;
    while (!paused && transcoding() < capacity()) {
        TranscodeJob *next = nextMember();
        if (!next)
            break;
        // The reading has a deadline, so the run never waits for long.
        if (!next->hasMedia()) {
            probe->hurry(next->inputPath());
            break;
        }
        const OutputFolder::Problem problem = checkFolder(next);
        // Room may come back as the converting jobs end and their real
        // size replaces what was kept for them.
        if (problem == OutputFolder::NoRoom && !converting.isEmpty())
            break;
        if (problem != OutputFolder::NoProblem) {
            stopForFolder(lastFolderProblem);
            return;
        }
        const int code = startOne(next);
        if (code == ResultOk)
            emit jobStarted(next);
        else
            recordStartFailure(next, code);
    }
    if (converting.isEmpty() && !nextMember())
        finish(RunFinished);
}

// A job that cannot start is a failure of this run, not a reason to leave
// the rest waiting.
void ConversionQueue::recordStartFailure(TranscodeJob *job, int code)
{
    started.insert(job);
    ended.insert(job);
    QByteArray error = "启动失败！ 错误码：" + QByteArray::number(code) + '\n';
    if (!job->startErrorText().isEmpty())
        error += job->startErrorText() + '\n';
    startErrors.insert(job, error);
    emit jobEnded(job);
}

OutputFolder::Problem ConversionQueue::checkFolder(const TranscodeJob *next)
{
    const QString folder = QString::fromUtf8(outputDir);
    // A fresh account has no movies folder yet; any other folder that is
    // gone was the user's choice, and is not made again behind their back.
    if (!defaultFolder.isEmpty() && folder == defaultFolder && !QFileInfo::exists(folder))
        QDir().mkpath(folder);
    const qint64 needed = (next ? roomFor(next) : 0) + roomStillNeeded();
    const OutputFolder output(folder);
    const OutputFolder::Problem problem = output.problem(needed);
    lastFolderProblem = output.message(problem);
    return problem;
}

qint64 ConversionQueue::roomFor(const TranscodeJob *job) const
{
    if (freeSpaceFloor >= 0)
        return freeSpaceFloor;
    return OutputFolder::roomFor(QFileInfo(QString::fromUtf8(job->inputPath())).size());
}

// What the converting jobs may still write.
qint64 ConversionQueue::roomStillNeeded() const
{
    qint64 needed = 0;
    for (TranscodeJob *job : converting) {
        const qint64 written = QFileInfo(QString::fromUtf8(job->partialPath())).size();
        needed += std::max<qint64>(0, roomFor(job) - written);
    }
    return needed;
}

// The folder cannot take the next job, or a job found the disk full: the
// run stops, and the rows not converted yet wait for another run.
void ConversionQueue::stopForFolder(const QString &problem)
{
    const QList<TranscodeJob *> stopping(converting.cbegin(), converting.cend());
    for (TranscodeJob *job : stopping)
        job->requeue();
    converting.clear();
    lastReport.message = problem + QStringLiteral("已停止转码，未转码的文件仍在列表中等待。\n");
    finish(RunStoppedForFolder);
}

void ConversionQueue::cancel(int reason)
{
    if (!running)
        return;
    for (TranscodeJob *job : qAsConst(members)) {
        if (!ended.contains(job))
            job->stop();
    }
    finish(reason);
}

bool ConversionQueue::cancelJob(TranscodeJob *job)
{
    if (!running || !converting.remove(job))
        return false;
    reserved.remove(targets.take(job));
    // A paused child is killed all the same.
    job->stop();
    ended.insert(job);
    emit jobEnded(job);
    sample();
    startMore();
    return true;
}

bool ConversionQueue::convertAgain(TranscodeJob *job)
{
    const int state = job->state();
    if (!jobs.contains(job) || state == ConvertRunning || state == ConvertWaiting)
        return false;
    forget(job);
    job->restoreResult(ConvertWaiting, QByteArray(), QByteArray(), QByteArray());
    if (running) {
        members.append(job);
        startMore();
    }
    return true;
}

void ConversionQueue::finish(int reason)
{
    running = false;
    paused = false;
    sampler->stop();
    encodedSinceSample = false;
    copiedSinceSample = false;
    reserved.clear();
    targets.clear();
    converting.clear();
    const QString message = lastReport.message;
    lastReport = RunReport();
    lastReport.message = message;
    const bool cancelled = reason == RunCancelled || reason == RunStoppedForSignal;
    for (TranscodeJob *job : qAsConst(members)) {
        if (!ended.contains(job)) {
            lastReport.cancelled += cancelled ? 1 : 0;
        } else if (startErrors.contains(job)) {
            lastReport.failed.append(qMakePair(job->inputPath(), startErrors.value(job)));
        } else if (job->state() == ConvertCancelled) {
            ++lastReport.cancelled;
        } else if (job->state() == ConvertDone) {
            ++lastReport.succeeded;
            if (!job->warningText().isEmpty())
                lastReport.warned.append(qMakePair(job->inputPath(), job->warningText()));
            const StreamPlan plan = job->plan();
            if (!plan.losses.isEmpty())
                lastReport.notKept.append(
                    qMakePair(job->inputPath(), plan.losses.join('\n').toUtf8() + '\n'));
            if (!plan.copied.isEmpty())
                lastReport.copied.append(
                    qMakePair(job->inputPath(), plan.copied.join('\n').toUtf8() + '\n'));
        } else {
            lastReport.failed.append(qMakePair(job->inputPath(), job->errorText()));
        }
    }
    members.clear();
    started.clear();
    ended.clear();
    startErrors.clear();
    cursor = 0;
    emit runEnded(reason);
}

void ConversionQueue::jobKeepingOutput(const QByteArray &outputPath)
{
    emit jobKeeping(qobject_cast<TranscodeJob *>(sender()), outputPath);
}

void ConversionQueue::jobReadingBack()
{
    startMore();
}

void ConversionQueue::jobFinished()
{
    auto *job = qobject_cast<TranscodeJob *>(sender());
    if (!running || !converting.remove(job))
        return;
    reserved.remove(targets.take(job));
    ended.insert(job);
    emit jobEnded(job);
    if (job->ranOutOfSpace()) {
        stopForFolder(OutputFolder(QString::fromUtf8(outputDir)).message(OutputFolder::NoRoom));
        return;
    }
    // A failure may be the folder's: the next start would find that out,
    // but after the last job none comes.
    if (job->state() == ConvertError) {
        const OutputFolder::Problem problem = checkFolder(nullptr);
        if (problem == OutputFolder::Missing || problem == OutputFolder::NotWritable) {
            stopForFolder(lastFolderProblem);
            return;
        }
    }
    sample();
    startMore();
}

// ------------------------------------------------------------ pause, time

void ConversionQueue::pause()
{
    if (!running || paused)
        return;
    paused = true;
    workedMs += clock.elapsed();
    sampler->stop();
    for (TranscodeJob *job : qAsConst(converting))
        job->pause();
    emit pausedChanged(true);
    emit progressChanged();
}

void ConversionQueue::resume()
{
    if (!running || !paused)
        return;
    paused = false;
    clock.start();
    sampler->start();
    for (TranscodeJob *job : qAsConst(converting))
        job->resume();
    emit pausedChanged(false);
    emit progressChanged();
    startMore();
}

qint64 ConversionQueue::secondsLeft() const
{
    return running && !paused ? estimate.secondsLeft() : -1;
}

double ConversionQueue::duration(const TranscodeJob *job) const
{
    const auto record = records.constFind(job->inputPath());
    return record != records.constEnd() ? record->duration : -1;
}

void ConversionQueue::recordsKnown(const QList<QPair<QByteArray, MediaInfo>> &known)
{
    for (const auto &record : known) {
        records.insert(record.first, record.second);
        for (TranscodeJob *job : jobsByPath.values(record.first))
            job->setMedia(record.second);
    }
    pendingLengths -= int(known.size());
    startMore();
}

void ConversionQueue::sample()
{
    if (!running)
        return;
    // A file whose length is not known yet weighs as much as the average
    // of those that are.
    double known = 0;
    int knownCount = 0;
    for (TranscodeJob *job : qAsConst(members)) {
        const double length = duration(job);
        if (length > 0) {
            known += length;
            ++knownCount;
        }
    }
    const double average = knownCount > 0 ? known / knownCount : 1;
    // Copies and encodes each at their own speed; a kind is at work when
    // one of its jobs converted at any time since the last sample.
    BatchWork encodes{0, 0, encodedSinceSample};
    BatchWork copies{0, 0, copiedSinceSample};
    for (TranscodeJob *job : qAsConst(members)) {
        const double length = duration(job);
        const double weight = length > 0 ? length : average;
        BatchWork &work = job->encodesPicture() ? encodes : copies;
        // A job cancelled alone weighs what it had converted.
        if (ended.contains(job) && job->state() == ConvertCancelled) {
            work.total += weight * job->progress() / 100.0;
            work.done += weight * job->progress() / 100.0;
            continue;
        }
        work.total += weight;
        if (ended.contains(job)) {
            work.done += weight;
        } else if (converting.contains(job)) {
            work.done += weight * job->progress() / 100.0;
            work.active = true;
        }
    }
    encodedSinceSample = false;
    copiedSinceSample = false;
    estimate.update(encodes, copies, paused ? workedMs : workedMs + clock.elapsed());
    emit progressChanged();
}
