#pragma once

#include <QByteArray>
#include <QObject>

#include "transcodeprocess.h"

class QSocketNotifier;
class QTimer;

// Reads a finished file back with ffprobe before the job that wrote it is
// done. ffmpeg copies a stream into a container that cannot name its codec
// (RealVideo in .avi) or keep its timing (AMR-NB in .avi) and still exits 0;
// only a reader sees it. ffprobe runs as a child of its own whose output is
// read as it comes: nothing here waits for it.
class OutputReadBack final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OutputReadBack)

public:
    explicit OutputReadBack(QObject *parent = nullptr);

    // Starts reading the file back. expectedSeconds is how long it should
    // last, audioTracks and subtitleTracks how many of each it should hold;
    // -1 leaves each unchecked. False when ffprobe cannot be found or
    // started: nothing runs then, and finished() never comes.
    bool start(const QByteArray &path, double expectedSeconds, int audioTracks = -1,
               int subtitleTracks = -1);
    // Ends a read-back in progress without waiting for it; finished() does
    // not come. Nothing happens when none runs.
    void cancel();
    bool isRunning() const;

signals:
    // ffprobe read the file, every stream has a codec it knows, and its
    // length and its tracks agree with the expected ones.
    void finished(bool readable);

private slots:
    void readOutput();
    void checkExit();

private:
    bool readable() const;

    TranscodeProcess process;
    QSocketNotifier *notifier = nullptr;
    // Collects an ffprobe that closed its output a moment before it exits.
    QTimer *exitTimer;
    int exitChecks = 0;
    QByteArray report;
    double expected = -1;
    int expectedAudio = -1;
    int expectedSubtitles = -1;
};
