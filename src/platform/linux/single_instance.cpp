#include "platform/linux/single_instance.h"

#include <QByteArray>
#include <QDir>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/log.h"

namespace platform::linux_backend {

QString SingleInstanceLock::defaultPath() {
    QByteArray home = qgetenv("QUORVEL_HOME");
    if (!home.isEmpty()) return QString::fromLocal8Bit(home) + QStringLiteral("/quorvel.lock");
    QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return QString::fromLocal8Bit(runtime) + QStringLiteral("/quorvel.lock");
    return QStringLiteral("/tmp/quorvel-%1.lock").arg(::getuid());
}

SingleInstanceLock::SingleInstanceLock(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = path.toLocal8Bit();
    int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        if (::ftruncate(fd_, 0) == 0) {
            QByteArray pid = QByteArray::number(::getpid());
            ssize_t ignored = ::pwrite(fd_, pid.constData(), size_t(pid.size()), 0);
            (void)ignored;
        }
        return;
    }
    char buffer[32] = {};
    ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    ::close(fd);
    if (n <= 0) return;
    bool ok = false;
    const int pid = QByteArray(buffer, int(n)).trimmed().toInt(&ok);
    // Only a live process other than ourselves counts.
    if (ok && pid > 1 && pid != ::getpid() && (::kill(pid, 0) == 0 || errno == EPERM)) other_ = pid;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

InstanceAwareWorkspace::InstanceAwareWorkspace(std::shared_ptr<Workspace> inner,
                                               std::shared_ptr<SingleInstanceLock> lock, QString bundleID)
    : inner_(std::move(inner)), lock_(std::move(lock)), bundleID_(std::move(bundleID)) {}

std::vector<RunningApplication> InstanceAwareWorkspace::runningApplications() {
    auto apps = inner_->runningApplications();
    if (auto other = lock_->otherProcess()) {
        RunningApplication copy;
        copy.pid = *other;
        copy.bundleID = bundleID_;
        copy.localizedName = QStringLiteral("Quorvel");
        copy.activationPolicy = ActivationPolicy::accessory;
        apps.push_back(copy);
    }
    return apps;
}

std::int32_t InstanceAwareWorkspace::ownProcessID() { return inner_->ownProcessID(); }

int LoggingAlerts::runModal(const Alert& alert) {
    const int answer = inner_->runModal(alert);
    QString line = QStringLiteral("alert: \"%1\" \"%2\"").arg(alert.messageText, alert.informativeText);
    if (answer >= alertFirstButtonReturn && answer - alertFirstButtonReturn < alert.buttons.size())
        line += QStringLiteral(" -> \"%1\"").arg(alert.buttons.at(answer - alertFirstButtonReturn));
    log(line);
    return answer;
}

}  // namespace platform::linux_backend
