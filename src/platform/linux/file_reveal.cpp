#include "platform/linux/file_reveal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace platform::linux_backend {
namespace {

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

bool fileManagerOnBus(QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    auto* names = bus.interface();
    if (!names) return false;
    if (names->isServiceRegistered(fileManagerService).value()) return true;
    // A file manager the bus starts on demand counts too.
    return names->activatableServiceNames().value().contains(fileManagerService);
}

}  // namespace

bool revealInFileManager(const QString& path) {
    const QFileInfo file(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (fileManagerOnBus(bus)) {
        QDBusMessage call = QDBusMessage::createMethodCall(fileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                           fileManagerService, QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString()} << QString();
        // The answer is not awaited: the file manager may take its time to start.
        if (bus.send(call)) return true;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) return false;
    return QProcess::startDetached(opener, {QUrl::fromLocalFile(file.absolutePath()).toString()});
}

}  // namespace platform::linux_backend
