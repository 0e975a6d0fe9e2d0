#include "mediaprobe.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

using Clock = std::chrono::steady_clock;

// One reading thread. A thread past its deadline is abandoned: it only ever
// touches this and the shared state again, both of which it keeps alive.
struct MediaProbe::Worker
{
    std::atomic<bool> abandoned{false};
    bool busy = false;
    QByteArray path;
    Clock::time_point since;
};

// The state the threads and the probe share.
struct MediaProbe::Shared
{
    std::mutex mutex;
    std::deque<QByteArray> pending;
    QList<QPair<QByteArray, MediaInfo>> results;
    MediaProbe *owner = nullptr;
    std::shared_ptr<Worker> worker;
    bool deliveryPosted = false;
};

namespace {

constexpr int watchIntervalMs = 1000;

int interrupted(void *flag)
{
    return flag && static_cast<const std::atomic<bool> *>(flag)->load() ? 1 : 0;
}

QByteArray tag(AVDictionary *metadata, const char *key)
{
    const AVDictionaryEntry *entry = av_dict_get(metadata, key, nullptr, 0);
    return entry ? QByteArray(entry->value) : QByteArray();
}

int typeOf(AVMediaType type)
{
    switch (type) {
    case AVMEDIA_TYPE_VIDEO:
        return StreamVideo;
    case AVMEDIA_TYPE_AUDIO:
        return StreamAudio;
    case AVMEDIA_TYPE_SUBTITLE:
        return StreamSubtitle;
    case AVMEDIA_TYPE_DATA:
        return StreamData;
    case AVMEDIA_TYPE_ATTACHMENT:
        return StreamAttachment;
    default:
        return StreamOther;
    }
}

QByteArray fieldOrderName(AVFieldOrder order)
{
    switch (order) {
    case AV_FIELD_PROGRESSIVE:
        return "progressive";
    case AV_FIELD_TT:
        return "tt";
    case AV_FIELD_BB:
        return "bb";
    case AV_FIELD_TB:
        return "tb";
    case AV_FIELD_BT:
        return "bt";
    default:
        return QByteArray();
    }
}

// The display matrix's turn as ffprobe reports it, or the "rotate" tag
// older muxers leave.
int rotationOf(const AVStream *stream)
{
    size_t size = 0;
    const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    double degrees = 0;
    if (matrix && size >= 9 * sizeof(int32_t))
        degrees = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    else
        degrees = tag(stream->metadata, "rotate").toDouble();
    if (!std::isfinite(degrees))
        return 0;
    const int turned = (int(std::lround(degrees / 90)) * 90 % 360 + 360) % 360;
    return turned;
}

MediaStream streamOf(const AVStream *stream)
{
    const AVCodecParameters *codec = stream->codecpar;
    MediaStream s;
    s.type = typeOf(codec->codec_type);
    s.index = stream->index;
    s.codec = avcodec_get_name(codec->codec_id);
    if (const char *profile = avcodec_profile_name(codec->codec_id, codec->profile))
        s.profile = profile;
    s.language = tag(stream->metadata, "language");
    s.title = QString::fromUtf8(tag(stream->metadata, "title"));
    s.isDefault = stream->disposition & AV_DISPOSITION_DEFAULT;
    s.forced = stream->disposition & AV_DISPOSITION_FORCED;
    s.attachedPicture = stream->disposition & AV_DISPOSITION_ATTACHED_PIC;
    if (s.type == StreamAudio) {
        s.channels = codec->ch_layout.nb_channels > 0 ? codec->ch_layout.nb_channels : -1;
        s.sampleRate = codec->sample_rate > 0 ? codec->sample_rate : -1;
    } else if (s.type == StreamVideo) {
        s.rotation = rotationOf(stream);
        if (const char *format = av_get_pix_fmt_name(AVPixelFormat(codec->format)))
            s.pixelFormat = format;
        s.width = codec->width > 0 ? codec->width : -1;
        s.height = codec->height > 0 ? codec->height : -1;
        const AVRational aspect = stream->sample_aspect_ratio.num ? stream->sample_aspect_ratio
                                                                  : codec->sample_aspect_ratio;
        s.aspectNum = aspect.num;
        s.aspectDen = aspect.den;
        if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
            s.frameRate = av_q2d(stream->avg_frame_rate);
        s.fieldOrder = fieldOrderName(codec->field_order);
    }
    // Matroska keeps a stream's rate only as the tag mkvmerge writes.
    const qint64 tagged = tag(stream->metadata, "BPS").toLongLong();
    s.bitRate = codec->bit_rate > 0 ? codec->bit_rate : tagged > 0 ? tagged : -1;
    s.mimeType = tag(stream->metadata, "mimetype");
    s.fileName = QString::fromUtf8(tag(stream->metadata, "filename"));
    return s;
}

MediaInfo readInfo(const QByteArray &path, std::atomic<bool> *abandoned)
{
    MediaInfo info;
    // A FIFO or a device would block the thread, or never end.
    if (!QFileInfo(QString::fromUtf8(path)).isFile())
        return info;
    AVFormatContext *context = avformat_alloc_context();
    if (!context)
        return info;
    context->interrupt_callback.callback = interrupted;
    context->interrupt_callback.opaque = abandoned;
    // "file:" so that a name with a colon is never taken for a protocol.
    if (avformat_open_input(&context, ("file:" + path).constData(), nullptr, nullptr) < 0)
        return info;
    // The same search ffmpeg makes, so that the streams and their numbers
    // are the ones it will see.
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        info.readable = true;
        info.format = context->iformat->name;
        if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
            info.duration = double(context->duration) / AV_TIME_BASE;
        for (unsigned i = 0; i < context->nb_chapters; ++i)
            info.chapterTitles << QString::fromUtf8(tag(context->chapters[i]->metadata, "title"));
        info.title = QString::fromUtf8(tag(context->metadata, "title"));
        info.creationTime = tag(context->metadata, "creation_time");
        for (unsigned i = 0; i < context->nb_streams; ++i)
            info.streams.append(streamOf(context->streams[i]));
    }
    avformat_close_input(&context);
    return info;
}

} // namespace

MediaProbe::MediaProbe(QObject *parent)
    : QObject(parent), shared(std::make_shared<Shared>()), watchdog(new QTimer(this))
{
    shared->owner = this;
    av_log_set_level(AV_LOG_QUIET);
    watchdog->setInterval(watchIntervalMs);
    connect(watchdog, &QTimer::timeout, this, &MediaProbe::watch);
}

MediaProbe::~MediaProbe()
{
    const std::lock_guard<std::mutex> lock(shared->mutex);
    shared->owner = nullptr;
    shared->pending.clear();
    if (shared->worker)
        shared->worker->abandoned = true;
    shared->worker.reset();
}

void MediaProbe::request(const QByteArray &path)
{
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->pending.push_back(path);
        if (!shared->worker)
            startWorker(shared);
    }
    if (!watchdog->isActive())
        watchdog->start();
}

void MediaProbe::hurry(const QByteArray &path)
{
    const std::lock_guard<std::mutex> lock(shared->mutex);
    auto &pending = shared->pending;
    const auto it = std::find(pending.begin(), pending.end(), path);
    if (it == pending.end() || it == pending.begin())
        return;
    pending.erase(it);
    pending.push_front(path);
}

MediaInfo MediaProbe::read(const QByteArray &path)
{
    return readInfo(path, nullptr);
}

// Called with the mutex held.
void MediaProbe::startWorker(const std::shared_ptr<Shared> &shared)
{
    shared->worker = std::make_shared<Worker>();
    // Detached: a file on a hung disk must not hold up the program's end.
    std::thread(&MediaProbe::work, shared, shared->worker).detach();
}

// Called with the mutex held.
void MediaProbe::post(Shared &shared, const QByteArray &path, const MediaInfo &info)
{
    if (!shared.owner)
        return;
    shared.results.append(qMakePair(path, info));
    // One delivery carries whatever arrived until the GUI thread gets to
    // it, so thousands of files cost a few events.
    if (!shared.deliveryPosted) {
        shared.deliveryPosted = true;
        MediaProbe *owner = shared.owner;
        QMetaObject::invokeMethod(owner, [owner] { owner->deliver(); }, Qt::QueuedConnection);
    }
}

void MediaProbe::deliver()
{
    QList<QPair<QByteArray, MediaInfo>> records;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        records.swap(shared->results);
        shared->deliveryPosted = false;
    }
    if (!records.isEmpty())
        emit known(records);
}

// A read past its deadline is given up: the file is unreadable, and a fresh
// thread goes on with the rest.
void MediaProbe::watch()
{
    const std::lock_guard<std::mutex> lock(shared->mutex);
    const std::shared_ptr<Worker> worker = shared->worker;
    if (!worker) {
        watchdog->stop();
        return;
    }
    if (!worker->busy || Clock::now() - worker->since < std::chrono::milliseconds(deadlineMs))
        return;
    worker->abandoned = true;
    post(*shared, worker->path, MediaInfo());
    shared->worker.reset();
    if (!shared->pending.empty())
        startWorker(shared);
}

// Reads until nothing is asked, then ends; the next request starts another.
void MediaProbe::work(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> worker)
{
    yieldToWindow();
    for (;;) {
        QByteArray path;
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (worker->abandoned)
                return;
            if (shared->pending.empty()) {
                shared->worker.reset();
                return;
            }
            path = shared->pending.front();
            shared->pending.pop_front();
            worker->path = path;
            worker->since = Clock::now();
            worker->busy = true;
        }
        const MediaInfo info = readInfo(path, &worker->abandoned);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        worker->busy = false;
        // An abandoned read was already reported as unreadable.
        if (worker->abandoned)
            return;
        post(*shared, path, info);
    }
}
