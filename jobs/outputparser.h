#pragma once

#include <QByteArray>
#include <QList>

// Seconds of an "hh:mm:ss" text (zero-terminated): each field read like atoi
// at offsets 0, 3 and 6, the fraction ignored. -1 for a missing text or one
// shorter than 8 bytes.
int parseClock(const char *text);

// Two lengths of one piece of media disagree: they differ by more than 5 %
// of the reference and by more than half a second.
bool lengthsDisagree(double seconds, double referenceSeconds);

// Turns the transcoder's output, read by read, into the source length, the
// position and the reasons a job may fail. Only ffmpeg's own lines count:
// the metadata it echoes from the source (titles, comments) and the file
// names in its input and output headers are never searched for errors.
class OutputParser final
{
public:
    // Back to the state of a new job. Lines that begin with one of the two
    // paths and a colon are about that file: an error on the output path is
    // never blamed on the source. Whatever ffmpeg could not do with the
    // output ("av_interleaved_write_frame(): ", "Error writing trailer of",
    // "Error closing file", any error line naming it) fails the job.
    void reset(const QByteArray &inputPath = QByteArray(),
               const QByteArray &outputPath = QByteArray());

    // One read of output (a NUL ends its text). Only whole lines are looked
    // at: the piece after the last '\r' or '\n' waits for the next read, so a
    // marker is found wherever the reads cut it. Returns the progress bar's
    // new value (1 to 100), or -1 when the bar stays as it is.
    int processRead(const char *data, int size);

    // End of output: looks at the piece still waiting. Returns like
    // processRead.
    int flush();

    // A reason found outside the output (by the job itself), kept in order
    // with those found in it. Each reason is kept once per job.
    void addReason(const char *message);

    // Done (true) or error, from what the transcoder did: a clean exit that
    // left an output file, with nothing refused on the output side, is done
    // whatever the source's faults were; warningText then tells the user of
    // those, and of a source that ended clearly before its declared length.
    // Otherwise errorText gets the reasons found, or "模糊信息" with ffmpeg's
    // own last error line when none was.
    bool verdict(bool exitedCleanly, bool outputWritten);

    // The finished file reads back wrong: the container could not hold what
    // was copied into it. The job then fails with that reason.
    void copiedStreamsUnreadable();

    // The reasons found lie with the files and folders around the job (a
    // source or folder gone, no room, no permission, a name too long, the
    // source as the output): any other command would meet them too.
    bool surroundingsFailed() const;

    // How long the output should last: the source's declared length, or the
    // position ffmpeg reached when the source ended clearly before it; -1
    // when neither is known.
    double expectedOutputSeconds() const;

    int durationSeconds = 0;
    int positionSeconds = 0;
    bool progressSeen = false;
    // ffmpeg said the output's disk is full.
    bool outOfSpace = false;
    // ffmpeg could not write, finish or close the output.
    bool outputFailed = false;
    // The source's declared length and ffmpeg's last position, with their
    // fractions; -1 while unknown. A length ffmpeg only estimated from the
    // bit rate counts as unknown.
    double sourceSeconds = -1;
    double lastPositionSeconds = -1;
    // The user's messages found so far, each followed by "\n".
    QByteArray reasons;
    // After the verdict: the reasons of a failed job; empty when it is done.
    QByteArray errorText;
    // After the verdict: what the user should know of a job that is done all
    // the same, each line followed by "\n"; empty when it failed.
    QByteArray warningText;
    // ffmpeg's last line that names a cause, without its "[x @ 0x..] ".
    QByteArray lastErrorLine;

private:
    int processChunk(const QByteArray &chunk);
    bool isMetadata(const QByteArray &line);
    void findReasons(const QList<QByteArray> &generalLines, const QList<QByteArray> &outputLines);
    void noteErrorLine(const QByteArray &line);
    void notePositions(const char *text);
    static bool laterPositionSeen(const char *text);
    bool sourceEndedEarly() const;
    QByteArray userWarnings() const;

    QByteArray pending;
    QByteArray sourcePath;
    QByteArray targetPath;
    // Indentation of the "Metadata:" heading whose block is being read, or -1.
    int metadataIndent = -1;
    // The muxer refused the output's header, and a stream is copied: the
    // container cannot hold it. ffmpeg may print either first.
    bool headerRefused = false;
    bool streamCopied = false;
    // A line of ffmpeg's named the copy as the cause by itself.
    bool copyNamed = false;
    bool durationEstimated = false;
};
