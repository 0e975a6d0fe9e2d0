#include "desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "desktopentry.h"
#include "sessionbus.h"

namespace {

const char notificationsService[] = "org.freedesktop.Notifications";
const char notificationsPath[] = "/org/freedesktop/Notifications";
// The program's icon, so that the notice carries it.
const char iconName[] = "vantor-converter";
inline constexpr int serverDefaultExpiry = -1;

} // namespace

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!hasSessionBus())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(notificationsService), QLatin1String(notificationsPath),
        QLatin1String(notificationsService), QStringLiteral("Notify"));
    // The desktop entry groups the notice with the program's launcher.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(desktopEntryName)}};
    call << QStringLiteral("Vantor视频转换器") << 0u << QString::fromLatin1(iconName) << summary
         << body << QStringList() << hints << serverDefaultExpiry;
    QDBusConnection::sessionBus().send(call);
}
