#include "childreaper.h"

#include <cerrno>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <sys/wait.h>

namespace {

// A killed child is normally gone by the first look.
constexpr int lookIntervalMs = 20;

QPointer<ChildReaper> reaper;

} // namespace

ChildReaper::ChildReaper(QObject *parent)
    : QObject(parent), timer(new QTimer(this))
{
    timer->setInterval(lookIntervalMs);
    connect(timer, &QTimer::timeout, this, &ChildReaper::collect);
}

bool ChildReaper::adopt(int pid, const QByteArray &leftover)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return false;
    if (!reaper)
        reaper = new ChildReaper(application);
    reaper->children.push_back({pid, leftover});
    if (!reaper->timer->isActive())
        reaper->timer->start();
    return true;
}

void ChildReaper::collect()
{
    for (auto child = children.begin(); child != children.end();) {
        int status = 0;
        const pid_t result = waitpid(child->pid, &status, WNOHANG);
        // ECHILD: the kernel collected it already (SIGCHLD ignored).
        if (result == 0 || (result < 0 && errno == EINTR)) {
            ++child;
            continue;
        }
        if (!child->leftover.isEmpty())
            QFile::remove(QString::fromUtf8(child->leftover));
        child = children.erase(child);
    }
    if (children.empty())
        timer->stop();
}
