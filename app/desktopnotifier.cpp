#include "desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "sessionbus.h"

namespace {

const char notificationsService[] = "org.freedesktop.Notifications";
const char notificationsPath[] = "/org/freedesktop/Notifications";
// The desktop entry's and the icon's name, so the notice carries the
// program's icon and groups with its launcher.
const char desktopEntry[] = "vantor-converter";
inline constexpr int serverDefaultExpiry = -1;

} // namespace

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!hasSessionBus())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(notificationsService), QLatin1String(notificationsPath),
        QLatin1String(notificationsService), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(desktopEntry)}};
    call << QStringLiteral("Vantor视频转换器") << 0u << QString::fromLatin1(desktopEntry) << summary
         << body << QStringList() << hints << serverDefaultExpiry;
    QDBusConnection::sessionBus().send(call);
}
