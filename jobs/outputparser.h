#pragma once

#include <QByteArray>
#include <QList>

// Seconds of an "hh:mm:ss" text (zero-terminated): each field read like atoi
// at offsets 0, 3 and 6, the fraction ignored. -1 for a missing text or one
// shorter than 8 bytes.
int parseClock(const char *text);

// Turns the transcoder's output, read by read, into the source length, the
// position and the reasons a job may fail. Only ffmpeg's own lines count:
// the metadata it echoes from the source (titles, comments) and the file
// names in its input and output headers are never searched for errors.
class OutputParser final
{
public:
    // Back to the state of a new job. Lines that begin with one of the two
    // paths and a colon are about that file: an error on the output path is
    // never blamed on the source, nor is what the writer of the output
    // refused ("av_interleaved_write_frame(): ", "Error writing trailer of").
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
    // with those found in it.
    void addReason(const char *message);

    // Done (true) or error, from what the transcoder did: a clean exit that
    // left an output file is done, whatever it complained of on the way
    // (warningText keeps that). Otherwise errorText gets the reasons found,
    // or "模糊信息" with ffmpeg's own last error line when none was.
    bool verdict(bool exitedCleanly, bool outputWritten);

    int durationSeconds = 0;
    int positionSeconds = 0;
    bool progressSeen = false;
    // ffmpeg said the output's disk is full.
    bool outOfSpace = false;
    // The user's messages found so far, each followed by "\n".
    QByteArray reasons;
    // After the verdict: the reasons of a failed job; empty when it is done.
    QByteArray errorText;
    // After the verdict: the reasons of a job that is done all the same.
    QByteArray warningText;
    // ffmpeg's last line that reads like an error, without its "[x @ 0x..] ".
    QByteArray lastErrorLine;

private:
    int processChunk(const QByteArray &chunk);
    bool isMetadata(const QByteArray &line);
    void findReasons(const QList<QByteArray> &generalLines, const QList<QByteArray> &outputLines);
    void noteErrorLine(const QByteArray &line);
    static bool laterPositionSeen(const char *text);

    QByteArray pending;
    QByteArray sourcePath;
    QByteArray targetPath;
    // Indentation of the "Metadata:" heading whose block is being read, or -1.
    int metadataIndent = -1;
};
