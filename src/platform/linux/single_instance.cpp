#include "platform/linux/single_instance.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/plist_backend.h"
#include "platform/log.h"

namespace platform::linux_backend {

QString SingleInstanceLock::defaultPath() {
    // Beside the settings it guards: two sessions of one user with different
    // runtime folders still share these settings, so they must share the lock.
    return QDir(PlistFileBackend::defaultDirectory()).filePath(QStringLiteral("quorvel.lock"));
}

SingleInstanceLock::SingleInstanceLock(const QString& path) {
    QString why;
    if (!makeFolders(QFileInfo(path).absolutePath(), 0700, &why)) {
        problem_ = why;
        return;
    }
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    do fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        problem_ = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        // Someone else's file, or no file at all: it cannot stand for us.
        problem_ = QStringLiteral("%1 is not a file of this user").arg(path);
        ::close(fd);
        return;
    }
    if ((st.st_mode & 07777) != 0600) ::fchmod(fd, 0600);
    int taken;
    do taken = ::flock(fd, LOCK_EX | LOCK_NB);
    while (taken != 0 && errno == EINTR);
    if (taken == 0) {
        fd_ = fd;
        // The id is for people and for the other copy's alert; the lock
        // alone decides who runs. Written over the old id and cut only
        // where that was longer: a truncation to nothing cost about 0.4 ms
        // of every start-up. A reader between the two steps reads no id.
        const QByteArray pid = QByteArray::number(::getpid()) + '\n';
        if (::pwrite(fd_, pid.constData(), size_t(pid.size()), 0) == pid.size() && st.st_size > pid.size()) {
            int ignored = ::ftruncate(fd_, pid.size());
            (void)ignored;
        }
        return;
    }
    if (errno != EWOULDBLOCK) {
        problem_ = QStringLiteral("cannot lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return;
    }
    // Held by another copy. What the file says may be stale or not yet
    // written; it only names that copy when it names a live process.
    char buffer[32] = {};
    ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    ::close(fd);
    if (n <= 0) return;
    bool ok = false;
    const int pid = QByteArray(buffer, int(n)).trimmed().toInt(&ok);
    if (ok && pid > 1 && pid != ::getpid() && (::kill(pid, 0) == 0 || errno == EPERM)) other_ = pid;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

InstanceAwareWorkspace::InstanceAwareWorkspace(std::shared_ptr<Workspace> inner,
                                               std::shared_ptr<SingleInstanceLock> lock, QString bundleID)
    : ForwardingWorkspace(std::move(inner)), lock_(std::move(lock)), bundleID_(std::move(bundleID)) {}

std::vector<RunningApplication> InstanceAwareWorkspace::runningApplications() {
    auto apps = inner_->runningApplications();
    const std::int32_t own = inner_->ownProcessID();
    if (lock_->isHeld()) {
        // We hold the lock, so no other copy counts: one the desktop still
        // lists is on its way out.
        apps.erase(std::remove_if(apps.begin(), apps.end(),
                                  [&](const RunningApplication& a) { return a.bundleID == bundleID_ && a.pid != own; }),
                   apps.end());
        return apps;
    }
    // Whoever holds the lock is the running copy, whether or not its id
    // could be read.
    RunningApplication copy;
    copy.pid = lock_->otherProcess().value_or(-1);
    copy.bundleID = bundleID_;
    copy.localizedName = QStringLiteral("Quorvel");
    copy.activationPolicy = ActivationPolicy::accessory;
    apps.push_back(copy);
    return apps;
}

int LoggingAlerts::runModal(const Alert& alert) {
    const int answer = inner_->runModal(alert);
    QString line = QStringLiteral("alert: \"%1\" \"%2\"").arg(alert.messageText, alert.informativeText);
    if (answer >= alertFirstButtonReturn && answer - alertFirstButtonReturn < alert.buttons.size())
        line += QStringLiteral(" -> \"%1\"").arg(alert.buttons.at(answer - alertFirstButtonReturn));
    log(line);
    return answer;
}

}  // namespace platform::linux_backend
