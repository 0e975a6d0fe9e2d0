#include "launcherprogress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include "desktopentry.h"
#include "sessionbus.h"

namespace {

const char entryPath[] = "/com/canonical/unity/launcherentry/vantor_converter";
const char entryInterface[] = "com.canonical.Unity.LauncherEntry";
const QString applicationUri =
    QStringLiteral("application://") + QLatin1String(desktopEntryName) + QStringLiteral(".desktop");

} // namespace

void LauncherProgress::show(double fraction)
{
    update(qBound(0.0, fraction, 1.0), true);
}

void LauncherProgress::clear()
{
    if (shown)
        update(0.0, false);
}

void LauncherProgress::update(double fraction, bool visible)
{
    if (!hasSessionBus())
        return;
    // A signal: nobody answers, so nothing ever waits for a dock.
    QDBusMessage message = QDBusMessage::createSignal(
        QLatin1String(entryPath), QLatin1String(entryInterface), QStringLiteral("Update"));
    const QVariantMap properties{
        {QStringLiteral("progress"), fraction},
        {QStringLiteral("progress-visible"), visible},
    };
    message << applicationUri << properties;
    QDBusConnection::sessionBus().send(message);
    shown = visible;
}
