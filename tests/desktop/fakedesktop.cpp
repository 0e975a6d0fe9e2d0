// A stand-in for the desktop's services on private buses: it owns the names
// it is told to (notifications, portal, screensaver, file manager on the
// session bus; logind on the system bus, "cannot-suspend" making it answer "na" for
// suspend), answers their calls as the real services do, listens to launcher
// updates, and prints each call as one line on standard output:
//   <member> <argument>|<argument>|...   (maps as key=value,key=value)
// It prints "ready" once its names are owned.
#include <cstdio>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>

namespace {

QString text(const QVariant &value);

QString mapText(const QVariantMap &map)
{
    QStringList pairs;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        pairs << it.key() + QLatin1Char('=') + text(it.value());
    return pairs.join(QLatin1Char(','));
}

QString text(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentType() == QDBusArgument::MapType) {
            QVariantMap map;
            argument >> map;
            return mapText(map);
        }
        QStringList list;
        argument >> list;
        return list.join(QLatin1Char(','));
    }
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return text(value.value<QDBusVariant>().variant());
    if (value.userType() == QMetaType::QVariantMap)
        return mapText(value.toMap());
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    if (value.userType() == QMetaType::Double)
        return QString::number(value.toDouble(), 'f', 4);
    return value.toString();
}

void print(const QDBusMessage &message)
{
    // A request object is closed by a call on its own path.
    if (message.member() == QLatin1String("Close")) {
        std::printf("Close %s\n", message.path().toUtf8().constData());
        std::fflush(stdout);
        return;
    }
    QStringList arguments;
    for (const QVariant &argument : message.arguments())
        arguments << text(argument);
    const QString line = message.member() + QLatin1Char(' ') + arguments.join(QLatin1Char('|'));
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class Services final : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        print(message);
        const QString member = message.member();
        QDBusMessage reply = message.createReply();
        if (member == QLatin1String("Notify")) {
            reply << ++serial;
        } else if (member == QLatin1String("Inhibit")
                   && message.interface() == QLatin1String("org.freedesktop.portal.Inhibit")) {
            reply << QVariant::fromValue(QDBusObjectPath(
                QStringLiteral("/org/freedesktop/portal/desktop/request/1/t%1").arg(++serial)));
        } else if (member == QLatin1String("Inhibit")) {
            reply << ++serial;
        } else if (member.startsWith(QLatin1String("Can"))) {
            const bool allowed = suspendAllowed || member != QLatin1String("CanSuspend");
            reply << (allowed ? QStringLiteral("yes") : QStringLiteral("na"));
        }
        connection.send(reply);
        return true;
    }

    bool suspendAllowed = true;

private:
    uint serial = 0;
};

class LauncherListener final : public QObject
{
    Q_OBJECT

public slots:
    void update(const QDBusMessage &message) { print(message); }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    Services services;
    LauncherListener launcher;
    const QStringList wanted = application.arguments().mid(1);
    services.suspendAllowed = !wanted.contains(QLatin1String("cannot-suspend"));
    const struct { const char *word, *name, *path; bool system; } offers[] = {
        {"notifications", "org.freedesktop.Notifications", "/org/freedesktop/Notifications", false},
        {"portal", "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", false},
        {"screensaver", "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", false},
        {"logind", "org.freedesktop.login1", "/org/freedesktop/login1", true},
        {"filemanager", "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", false},
    };
    for (const auto &offer : offers) {
        if (!wanted.contains(QLatin1String(offer.word)))
            continue;
        // Each bus is only connected to when a service on it is wanted.
        QDBusConnection bus = offer.system ? QDBusConnection::systemBus()
                                           : QDBusConnection::sessionBus();
        if (!bus.registerService(QLatin1String(offer.name))
            || !bus.registerVirtualObject(QLatin1String(offer.path), &services,
                                          QDBusConnection::SubPath))
            return 1;
    }
    if (wanted.contains(QLatin1String("launcher"))
        && !QDBusConnection::sessionBus().connect(
            QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
            QStringLiteral("Update"), &launcher, SLOT(update(QDBusMessage))))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

#include "fakedesktop.moc"
