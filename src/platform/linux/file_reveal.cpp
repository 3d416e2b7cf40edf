#include "platform/linux/file_reveal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include "platform/log.h"

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

bool revealInFileManager(const QString& path, std::function<void()> failed) {
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
    // xdg-open finds out only as it runs that nothing can open a folder (it
    // then ends with an error), and may run as long as the file manager it
    // started: it is watched, not awaited, and what it said is logged.
    auto* process = new QProcess();
    process->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0) {
                             const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
                             platform::log(QStringLiteral("[Quorvel] xdg-open could not show the folder (exit %1): %2")
                                               .arg(code)
                                               .arg(said));
                             if (failed) failed();
                         }
                         process->deleteLater();
                     });
    process->start(opener, {QUrl::fromLocalFile(file.absolutePath()).toString()});
    if (!process->waitForStarted(2000)) {
        delete process;
        return false;
    }
    return true;
}

}  // namespace platform::linux_backend
