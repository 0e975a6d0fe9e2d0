#include "outputreadback.h"

#include <algorithm>

#include <QList>
#include <QSocketNotifier>
#include <QTimer>

#include "outputparser.h"
#include "resultcodes.h"

namespace {

constexpr int readCapacity = 8191;
constexpr int maxReadsPerWake = 16;
// A packet's or a stream's line is well under 200 bytes; a longer piece
// without a line end is no line of ffprobe's compact report.
constexpr int maxLine = 4096;
// lengthsDisagree's share, and room for a seek that lands on the key frame
// before it (x264 puts one at least every 10 s).
constexpr double lengthTolerance = 0.05;
constexpr double seekMarginSeconds = 20;
// An ffprobe that closed its output is looked for this often, a little less
// often the longer it lingers.
constexpr int firstExitCheckMs = 1;
constexpr int lastExitCheckMs = 100;

// "key=value" among a compact line's fields; empty when absent.
QByteArray field(const QList<QByteArray> &fields, const QByteArray &key)
{
    for (const QByteArray &f : fields) {
        if (f.size() > key.size() && f.startsWith(key) && f.at(key.size()) == '=')
            return f.mid(key.size() + 1);
    }
    return QByteArray();
}

} // namespace

OutputReadBack::OutputReadBack(QObject *parent)
    : QObject(parent), exitTimer(new QTimer(this))
{
    exitTimer->setSingleShot(true);
    connect(exitTimer, &QTimer::timeout, this, &OutputReadBack::checkExit);
}

bool OutputReadBack::start(const QByteArray &path, double expectedSeconds, int audioTracks,
                           int subtitleTracks)
{
    cancel();
    // Only the report on the pipe: ffprobe's own complaints would break it,
    // and its exit status says whether it could read the file at all. The
    // packets come first, one line each, then the streams and the file's
    // start. Only the packets from a little before the shortest length that
    // still agrees are listed: a stream that ends earlier disagrees anyway,
    // and a film is not read twice over.
    QList<QByteArray> arguments{"ffprobe", "-v", "quiet", "-of", "compact", "-show_entries",
                                "stream=index,codec_name,codec_type:stream_disposition=attached_pic:"
                                "format=start_time"};
    if (expectedSeconds >= 0) {
        arguments[6].prepend("packet=stream_index,pts_time,duration_time:");
        const double from = std::max(0.0, expectedSeconds * (1 - lengthTolerance) - seekMarginSeconds);
        arguments << "-read_intervals" << QByteArray::number(from, 'f', 3) + '%';
    }
    arguments << "-i" << path;
    if (process.start(arguments) != ResultOk)
        return false;
    pending.clear();
    streams.clear();
    clockStart = 0;
    expected = expectedSeconds;
    expectedAudio = audioTracks;
    expectedSubtitles = subtitleTracks;
    exitChecks = 0;
    notifier = new QSocketNotifier(process.outputDescriptor(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &OutputReadBack::readOutput);
    return true;
}

void OutputReadBack::cancel()
{
    exitTimer->stop();
    delete notifier;
    notifier = nullptr;
    process.stop();
}

bool OutputReadBack::isRunning() const
{
    return notifier || exitTimer->isActive();
}

void OutputReadBack::readOutput()
{
    char buffer[readCapacity];
    // A long film's packets come faster than the window would like to wait:
    // the notifier wakes this again at once.
    for (int reads = 0; reads < maxReadsPerWake; ++reads) {
        int count = 0;
        const int code = process.readOutput(buffer, readCapacity, &count);
        if (code == ResultEndOfOutput) {
            // The pipe is closed: the notifier must not watch it any more.
            notifier->setEnabled(false);
            notifier->deleteLater();
            notifier = nullptr;
            checkExit();
            return;
        }
        if (code != ResultOk || count == 0)
            return;
        pending.append(buffer, count);
        int from = 0;
        for (int end = int(pending.indexOf('\n')); end >= 0; end = int(pending.indexOf('\n', from))) {
            readLine(pending.mid(from, end - from));
            from = end + 1;
        }
        pending.remove(0, from);
        if (pending.size() > maxLine)
            pending.clear();
    }
}

void OutputReadBack::readLine(const QByteArray &line)
{
    const QList<QByteArray> fields = line.trimmed().split('|');
    const QByteArray &section = fields.first();
    if (section == "packet") {
        bool timed = false;
        const double pts = field(fields, "pts_time").toDouble(&timed);
        if (!timed)
            return;
        const double duration = std::max(0.0, field(fields, "duration_time").toDouble());
        StreamSeen &stream = streams[field(fields, "stream_index").toInt()];
        stream.end = stream.packets ? std::max(stream.end, pts + duration) : pts + duration;
        stream.packets = true;
    } else if (section == "format") {
        clockStart = field(fields, "start_time").toDouble();
    } else if (section == "stream") {
        StreamSeen &stream = streams[field(fields, "index").toInt()];
        stream.listed = true;
        stream.codec = field(fields, "codec_name");
        stream.type = field(fields, "codec_type");
        stream.cover = field(fields, "disposition:attached_pic") == "1";
    }
}

void OutputReadBack::checkExit()
{
    if (!process.reapChild()) {
        exitTimer->start(qMin(lastExitCheckMs, firstExitCheckMs << qMin(exitChecks++, 7)));
        return;
    }
    emit finished(process.exitedCleanly() && readable());
}

bool OutputReadBack::readable() const
{
    int audio = 0;
    int subtitles = 0;
    int listed = 0;
    for (const StreamSeen &stream : streams) {
        if (!stream.listed)
            continue;
        ++listed;
        // A stream whose codec has no name in the container reads back
        // without one.
        if (stream.codec.isEmpty() || stream.codec == "unknown" || stream.codec == "none")
            return false;
        audio += stream.type == "audio" ? 1 : 0;
        subtitles += stream.type == "subtitle" ? 1 : 0;
        // Each picture and track must last the film: a header may declare
        // the length while the packets run on, or the other way round.
        const bool timed = (stream.type == "video" && !stream.cover) || stream.type == "audio";
        if (timed && expected >= 0 && (!stream.packets || lengthsDisagree(stream.end - clockStart, expected)))
            return false;
    }
    if (listed == 0)
        return false;
    return (expectedAudio < 0 || audio == expectedAudio)
           && (expectedSubtitles < 0 || subtitles == expectedSubtitles);
}
