#include "durationprobe.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

// The state the thread and the probe share; the thread keeps it alive
// after the probe has gone.
struct DurationProbe::Shared
{
    std::mutex mutex;
    std::deque<QByteArray> pending;
    QList<QPair<QByteArray, double>> results;
    DurationProbe *owner = nullptr;
    bool threadRunning = false;
    bool deliveryPosted = false;
    std::atomic<bool> abandoned{false};
};

namespace {

// Reading the packets of a file whose header gives no length stops here.
constexpr int64_t probeBytes = 1 << 20;

int interrupted(void *flag)
{
    return flag && static_cast<const std::atomic<bool> *>(flag)->load() ? 1 : 0;
}

double readLength(const QByteArray &path, std::atomic<bool> *abandoned)
{
    // A FIFO or a device would block the thread, or never end.
    if (!QFileInfo(QString::fromUtf8(path)).isFile())
        return -1;
    AVFormatContext *context = avformat_alloc_context();
    if (!context)
        return -1;
    context->interrupt_callback.callback = interrupted;
    context->interrupt_callback.opaque = abandoned;
    // "file:" so that a name with a colon is never taken for a protocol.
    if (avformat_open_input(&context, ("file:" + path).constData(), nullptr, nullptr) < 0)
        return -1;
    if (context->duration == AV_NOPTS_VALUE || context->duration <= 0) {
        context->probesize = probeBytes;
        avformat_find_stream_info(context, nullptr);
    }
    const double seconds = context->duration != AV_NOPTS_VALUE && context->duration > 0
                               ? double(context->duration) / AV_TIME_BASE
                               : -1;
    avformat_close_input(&context);
    return seconds;
}

} // namespace

DurationProbe::DurationProbe(QObject *parent)
    : QObject(parent), shared(std::make_shared<Shared>())
{
    shared->owner = this;
    av_log_set_level(AV_LOG_QUIET);
}

DurationProbe::~DurationProbe()
{
    const std::lock_guard<std::mutex> lock(shared->mutex);
    shared->owner = nullptr;
    shared->pending.clear();
    shared->abandoned = true;
}

void DurationProbe::request(const QByteArray &path)
{
    const std::lock_guard<std::mutex> lock(shared->mutex);
    shared->pending.push_back(path);
    if (shared->threadRunning)
        return;
    shared->threadRunning = true;
    // Detached: a file on a hung disk must not hold up the program's end.
    std::thread(&DurationProbe::work, shared).detach();
}

double DurationProbe::read(const QByteArray &path)
{
    return readLength(path, nullptr);
}

void DurationProbe::deliver()
{
    QList<QPair<QByteArray, double>> lengths;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        lengths.swap(shared->results);
        shared->deliveryPosted = false;
    }
    if (!lengths.isEmpty())
        emit known(lengths);
}

// Reads until nothing is asked, then ends; the next request starts another.
void DurationProbe::work(std::shared_ptr<Shared> shared)
{
    for (;;) {
        QByteArray path;
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->pending.empty()) {
                shared->threadRunning = false;
                return;
            }
            path = shared->pending.front();
            shared->pending.pop_front();
        }
        const double seconds = readLength(path, &shared->abandoned);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        if (!shared->owner)
            continue;
        shared->results.append(qMakePair(path, seconds));
        // One delivery carries whatever arrived until the GUI thread gets
        // to it, so thousands of files cost a few events.
        if (!shared->deliveryPosted) {
            shared->deliveryPosted = true;
            DurationProbe *owner = shared->owner;
            QMetaObject::invokeMethod(owner, [owner] { owner->deliver(); }, Qt::QueuedConnection);
        }
    }
}
