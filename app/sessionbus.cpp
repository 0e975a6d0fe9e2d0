#include "sessionbus.h"

#include <QDBusConnection>
#include <QFileInfo>

bool hasSessionBus()
{
    static const bool addressed = [] {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
               || (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")));
    }();
    return addressed && QDBusConnection::sessionBus().isConnected();
}
