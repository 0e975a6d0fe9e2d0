#include "outputreadback.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include "outputparser.h"
#include "resultcodes.h"

namespace {

constexpr int readCapacity = 8191;
// ffprobe's report of a few streams is a few hundred bytes; more is no file
// of ours.
constexpr int maxReport = 1 << 20;
// An ffprobe that closed its output is looked for this often, a little less
// often the longer it lingers.
constexpr int firstExitCheckMs = 1;
constexpr int lastExitCheckMs = 100;

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
    // and its exit status says whether it could read the file at all.
    const QList<QByteArray> arguments{"ffprobe", "-v", "quiet", "-of", "json", "-show_entries",
                                      "stream=codec_name,codec_type:format=duration", "-i", path};
    if (process.start(arguments) != ResultOk)
        return false;
    report.clear();
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
    for (;;) {
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
        if (report.size() < maxReport)
            report.append(buffer, count);
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
    const QJsonObject probe = QJsonDocument::fromJson(report).object();
    const QJsonArray streams = probe.value(QLatin1String("streams")).toArray();
    if (streams.isEmpty())
        return false;
    int audio = 0;
    int subtitles = 0;
    for (const QJsonValue &stream : streams) {
        // A stream whose codec has no name in the container reads back
        // without one.
        const QString codec = stream.toObject().value(QLatin1String("codec_name")).toString();
        if (codec.isEmpty() || codec == QLatin1String("unknown") || codec == QLatin1String("none"))
            return false;
        const QString type = stream.toObject().value(QLatin1String("codec_type")).toString();
        audio += type == QLatin1String("audio") ? 1 : 0;
        subtitles += type == QLatin1String("subtitle") ? 1 : 0;
    }
    if ((expectedAudio >= 0 && audio != expectedAudio)
        || (expectedSubtitles >= 0 && subtitles != expectedSubtitles))
        return false;
    bool known = false;
    const double seconds = probe.value(QLatin1String("format"))
                               .toObject()
                               .value(QLatin1String("duration"))
                               .toString()
                               .toDouble(&known);
    return expected < 0 || !known || !lengthsDisagree(seconds, expected);
}
