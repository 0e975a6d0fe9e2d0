#include "systempower.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const char loginService[] = "org.freedesktop.login1";
const char loginPath[] = "/org/freedesktop/login1";
const char managerInterface[] = "org.freedesktop.login1.Manager";
inline constexpr int probeTimeoutMs = 3000;

} // namespace

SystemPower::SystemPower(QObject *parent)
    : QObject(parent)
{
}

void SystemPower::probe()
{
    if (unanswered > 0)
        return;
    if (!QDBusConnection::systemBus().isConnected()) {
        emit probed();
        return;
    }
    unanswered = 2;
    ask(QStringLiteral("CanSuspend"), &suspendOffered);
    ask(QStringLiteral("CanPowerOff"), &powerOffOffered);
}

void SystemPower::ask(const QString &method, bool *offered)
{
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(managerCall(method), probeTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, offered] {
        watcher->deleteLater();
        const QDBusPendingReply<QString> reply = *watcher;
        // "challenge": allowed once the user authenticates; "no" and "na"
        // (not possible here) are not offered.
        *offered = !reply.isError()
                   && (reply.value() == QLatin1String("yes")
                       || reply.value() == QLatin1String("challenge"));
        if (--unanswered == 0)
            emit probed();
    });
}

void SystemPower::suspend()
{
    QDBusMessage call = managerCall(QStringLiteral("Suspend"));
    call << true;
    QDBusConnection::systemBus().send(call);
}

void SystemPower::powerOff()
{
    QDBusMessage call = managerCall(QStringLiteral("PowerOff"));
    call << true;
    QDBusConnection::systemBus().send(call);
}

QDBusMessage SystemPower::managerCall(const QString &method)
{
    return QDBusMessage::createMethodCall(QLatin1String(loginService), QLatin1String(loginPath),
                                          QLatin1String(managerInterface), method);
}
