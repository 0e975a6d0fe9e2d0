#include "filemanager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "sessionbus.h"

namespace {

const char fileManagerService[] = "org.freedesktop.FileManager1";
const char fileManagerPath[] = "/org/freedesktop/FileManager1";

} // namespace

FileManager::FileManager(QObject *parent)
    : QObject(parent)
{
}

void FileManager::showFile(const QString &path)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    if (!hasSessionBus()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(fileManagerService), QLatin1String(fileManagerPath),
        QLatin1String(fileManagerService), QStringLiteral("ShowItems"));
    // The call takes percent-encoded URIs, and a startup id (none here).
    call << QStringList{QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())} << QString();
    // A file manager the bus starts for the call may take a few seconds.
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [folder](QDBusPendingCallWatcher *done) {
        if (done->isError())
            QDesktopServices::openUrl(folder);
        done->deleteLater();
    });
}
