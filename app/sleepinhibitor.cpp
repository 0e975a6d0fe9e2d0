#include "sleepinhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "sessionbus.h"

namespace {

const char portalService[] = "org.freedesktop.portal.Desktop";
const char portalPath[] = "/org/freedesktop/portal/desktop";
const char portalInterface[] = "org.freedesktop.portal.Inhibit";
const char requestInterface[] = "org.freedesktop.portal.Request";
const char screenSaverService[] = "org.freedesktop.ScreenSaver";
const char screenSaverPath[] = "/org/freedesktop/ScreenSaver";
// The portal's flags: 4 suspend, 8 idle (blanking, locking).
inline constexpr uint inhibitSuspendAndIdle = 4 | 8;
inline constexpr int callTimeoutMs = 5000;

} // namespace

SleepInhibitor::SleepInhibitor(QObject *parent)
    : QObject(parent)
{
}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

void SleepInhibitor::inhibit(const QString &window, const QString &reason)
{
    wanted = true;
    if (asking || held != Held::Nothing || !hasSessionBus())
        return;
    reasonText = reason;
    askPortal(window);
}

void SleepInhibitor::release()
{
    wanted = false;
    if (!asking)
        letGo();
}

void SleepInhibitor::askPortal(const QString &window)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(portalService), QLatin1String(portalPath), QLatin1String(portalInterface),
        QStringLiteral("Inhibit"));
    call << window << inhibitSuspendAndIdle
         << QVariantMap{{QStringLiteral("reason"), reasonText}};
    asking = true;
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::portalAnswered);
}

void SleepInhibitor::portalAnswered(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        askScreenSaver();
        return;
    }
    portalRequest = reply.value().path();
    granted(Held::Portal);
}

void SleepInhibitor::askScreenSaver()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(screenSaverService), QLatin1String(screenSaverPath),
        QLatin1String(screenSaverService), QStringLiteral("Inhibit"));
    call << QStringLiteral("vantor-converter") << reasonText;
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            &SleepInhibitor::screenSaverAnswered);
}

void SleepInhibitor::screenSaverAnswered(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        asking = false;
        return;
    }
    screenSaverCookie = reply.value();
    granted(Held::ScreenSaver);
}

void SleepInhibitor::granted(Held kind)
{
    asking = false;
    held = kind;
    if (!wanted)
        letGo();
}

void SleepInhibitor::letGo()
{
    QDBusMessage call;
    switch (held) {
    case Held::Nothing:
        return;
    case Held::Portal:
        call = QDBusMessage::createMethodCall(QLatin1String(portalService), portalRequest,
                                              QLatin1String(requestInterface),
                                              QStringLiteral("Close"));
        break;
    case Held::ScreenSaver:
        call = QDBusMessage::createMethodCall(
            QLatin1String(screenSaverService), QLatin1String(screenSaverPath),
            QLatin1String(screenSaverService), QStringLiteral("UnInhibit"));
        call << screenSaverCookie;
        break;
    }
    held = Held::Nothing;
    QDBusConnection::sessionBus().send(call);
}
