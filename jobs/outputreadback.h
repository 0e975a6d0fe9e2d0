#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

#include "transcodeprocess.h"

class QSocketNotifier;
class QTimer;

// Reads a finished file back with ffprobe before the job that wrote it is
// done. ffmpeg copies a stream into a container that cannot name its codec
// (RealVideo in .avi) or keep its timing (AMR-NB in .avi) and still exits 0;
// only a reader sees it. Each stream's length is where its last packet ends,
// as a player sees it, not what the header declares. ffprobe runs as a
// child of its own whose lines are read as they come, one packet a line,
// and only each stream's end is kept: nothing here waits for it, and a
// film's packets are never held.
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
    // ffprobe read the file, every stream has a codec it knows, its tracks
    // are those expected, and each picture and track lasts as long as
    // expected.
    void finished(bool readable);

private slots:
    void readOutput();
    void checkExit();

private:
    // What ffprobe said of one stream of the file.
    struct StreamSeen
    {
        QByteArray codec;
        QByteArray type;
        bool cover = false;
        bool listed = false;
        bool packets = false;
        // Where its last packet ends, in seconds.
        double end = 0;
    };

    void readLine(const QByteArray &line);
    bool readable() const;

    TranscodeProcess process;
    QSocketNotifier *notifier = nullptr;
    // Collects an ffprobe that closed its output a moment before it exits.
    QTimer *exitTimer;
    int exitChecks = 0;
    // The end of a line that the next read completes.
    QByteArray pending;
    QHash<int, StreamSeen> streams;
    // Where a player's clock starts.
    double clockStart = 0;
    double expected = -1;
    int expectedAudio = -1;
    int expectedSubtitles = -1;
};
