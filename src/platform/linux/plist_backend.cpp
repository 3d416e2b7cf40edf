#include "platform/linux/plist_backend.h"

#include <QDateTime>
#include <algorithm>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/property_list.h"
#include "platform/log.h"

namespace platform::linux_backend {
namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool validDomainName(const QString& domain) {
    return !domain.isEmpty() && domain.size() <= 200 && domain != QLatin1String(".") &&
           domain != QLatin1String("..") && !domain.contains(QLatin1Char('/')) && !domain.contains(QChar(0)) &&
           !domain.startsWith(QLatin1Char('.'));
}

// The folder and any missing parents are the user's alone, whatever the umask.
bool makeFolder(const QString& dir) { return makeFolders(dir, 0700); }

// An exclusive lock on the preferences folder between processes (and between
// backends of one process: each holds its own open folder). Held while a
// domain is read and written back; lock files are never left behind.
class FolderLock {
public:
    explicit FolderLock(const QString& dir) {
        fd_ = openRetrying(native(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) return;  // no folder yet: nothing else can be writing in it
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

// ".<domain>.plist.XXXXXX": the temporary file of a save (mkostemp's six characters).
bool isTemporaryName(const QString& name) {
    static const QString marker = QStringLiteral(".plist.");
    if (!name.startsWith(QLatin1Char('.'))) return false;
    const qsizetype at = name.lastIndexOf(marker);
    if (at <= 1 || name.size() != at + marker.size() + 6) return false;
    for (qsizetype i = at + marker.size(); i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (!(c.isLetterOrNumber() && c.unicode() < 128)) return false;
    }
    return true;
}

}  // namespace

int PlistFileBackend::removeInterruptedSaves() {
    if (readOnly_) return 0;
    std::lock_guard lock(mutex_);
    FolderLock folder(directory_);
    int removed = 0;
    const QStringList names =
        QDir(directory_).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!isTemporaryName(name)) continue;
        const QByteArray path = native(QDir(directory_).filePath(name));
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::unlink(path.constData()) == 0) ++removed;
    }
    if (removed > 0)
        platform::log(QStringLiteral("[Quorvel] 已清理 %1 个中断保存留下的临时文件: %2").arg(removed).arg(directory_));
    return removed;
}

PlistFileBackend::PlistFileBackend(QString directory) : directory_(std::move(directory)) {}

QString PlistFileBackend::defaultDirectory() {
    const QString home = qEnvironmentVariable("QUORVEL_HOME");
    if (!home.isEmpty()) return home;
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative path.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir(xdg).filePath(QStringLiteral("quorvel"));
    return QDir(QDir::homePath()).filePath(QStringLiteral(".config/quorvel"));
}

QString PlistFileBackend::filePath(const QString& domain) const {
    if (!validDomainName(domain)) return {};
    return QDir(directory_).filePath(domain + QStringLiteral(".plist"));
}

QVariantMap PlistFileBackend::load(const QString& domain) {
    const QString path = filePath(domain);
    if (path.isEmpty()) {
        platform::log(QStringLiteral("[Quorvel] 偏好设置域名称无效，忽略: %1").arg(domain.left(80)));
        return {};
    }
    std::lock_guard lock(mutex_);
    FolderLock folder(directory_);
    return loadLocked(domain, path);
}

QVariantMap PlistFileBackend::loadLocked(const QString& domain, const QString& path) {
    QByteArray data;
    QString why;
    switch (readBoundedFile(path, plist::maximumDocumentSize, &data, &why)) {
        case ReadOutcome::missing:
            refused_.erase(domain);
            unreadable_.erase(domain);
            return {};
        case ReadOutcome::unreadable: setAside(domain, path, why); return {};
        case ReadOutcome::ok: break;
    }
    auto document = plist::parseDomain(data, &why);
    if (!document) {
        setAside(domain, path, why);
        return {};
    }
    refused_.erase(domain);
    // A value that cannot be read costs only its key: the key reads as
    // missing (its default), and its text goes back into the file untouched.
    auto& kept = unreadable_[domain];
    if (kept != document->unreadable) {
        for (auto it = document->reasons.cbegin(); it != document->reasons.cend(); ++it)
            if (!kept.contains(it.key()))
                platform::log(QStringLiteral("[Quorvel] 偏好设置值无法读取（%1），使用默认值并原样保留: %2 %3")
                                  .arg(it.value(), domain, it.key()));
        kept = document->unreadable;
    }
    return document->values;
}

std::vector<QVariantMap> PlistFileBackend::takeSetAsideValues(const QString& domain) {
    std::vector<QVariantMap> found;
    if (readOnly_ || filePath(domain).isEmpty()) return found;
    std::lock_guard lock(mutex_);
    FolderLock folder(directory_);
    const QString prefix = domain + QStringLiteral(".plist.corrupt-");
    QStringList names = QDir(directory_).entryList({prefix + u'*'}, QDir::Files | QDir::System);
    names.removeIf([](const QString& n) { return n.endsWith(QStringLiteral(".read")); });
    // "<time>" then "<time>-1", "<time>-2"...: by time, then by the number; the newest first.
    auto age = [&](const QString& n) {
        const QString rest = n.mid(prefix.size());
        const qsizetype dash = rest.indexOf(u'-');
        return std::make_pair(dash < 0 ? rest : rest.left(dash), dash < 0 ? 0 : rest.mid(dash + 1).toInt());
    };
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return age(a) > age(b); });
    for (const QString& name : names) {
        const QString path = QDir(directory_).filePath(name);
        QByteArray data;
        if (readBoundedFile(path, plist::maximumDocumentSize, &data) != ReadOutcome::ok) continue;
        const QVariantMap values = plist::salvageEntries(data);
        // Marked whatever it held, so a later run is never offered it again.
        if (::renameat2(AT_FDCWD, native(path).constData(), AT_FDCWD, native(path + QStringLiteral(".read")).constData(),
                        RENAME_NOREPLACE) != 0)
            continue;
        if (!values.isEmpty()) found.push_back(values);
    }
    return found;
}

void PlistFileBackend::setAside(const QString& domain, const QString& path, const QString& reason) {
    unreadable_.erase(domain);
    if (readOnly_) {
        // Another copy owns these files: leave them exactly as they are.
        platform::log(QStringLiteral("[Quorvel] 偏好设置文件无法读取（%1），使用默认值: %2").arg(reason, path));
        return;
    }
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString target = path + QStringLiteral(".corrupt-") + stamp;
        if (attempt > 0) target += QStringLiteral("-%1").arg(attempt);
        // Never replace an earlier copy that was kept aside.
        if (::renameat2(AT_FDCWD, native(path).constData(), AT_FDCWD, native(target).constData(), RENAME_NOREPLACE) == 0) {
            refused_.erase(domain);
            platform::log(QStringLiteral("[Quorvel] 偏好设置文件无法读取（%1），已移至 %2，使用默认值").arg(reason, target));
            return;
        }
        if (errno != EEXIST) break;
    }
    const QString err = systemError(errno);
    refused_.insert(domain);
    platform::log(QStringLiteral("[Quorvel] 偏好设置文件无法读取（%1），也无法移开（%2）: %3；本次运行不会写入该文件")
                      .arg(reason, err, path));
}

bool PlistFileBackend::save(const QString& domain, const QVariantMap& values) {
    const QString path = filePath(domain);
    if (path.isEmpty()) return false;
    std::lock_guard lock(mutex_);
    FolderLock folder(directory_);
    return saveLocked(domain, path, values);
}

bool PlistFileBackend::update(const QString& domain, const std::function<void(QVariantMap&)>& change,
                              QVariantMap* stored) {
    const QString path = filePath(domain);
    if (path.isEmpty()) return false;
    std::lock_guard lock(mutex_);
    // Held from the read to the rename, so a save of another process cannot
    // fall between them and be lost.
    FolderLock folder(directory_);
    QVariantMap values = loadLocked(domain, path);
    change(values);
    if (!saveLocked(domain, path, values)) return false;
    if (stored) *stored = std::move(values);
    return true;
}

bool PlistFileBackend::saveLocked(const QString& domain, const QString& path, const QVariantMap& values) {
    if (readOnly_) return false;
    QString why;
    const auto kept = unreadable_.find(domain);
    auto document = kept == unreadable_.end() ? plist::serialize(QVariant(values), &why)
                                              : plist::serializeDomain(values, kept->second, &why);
    if (!document) {
        platform::log(QStringLiteral("[Quorvel] 偏好设置无法保存（%1）: %2").arg(why, domain));
        return false;
    }
    if (refused_.count(domain)) return false;
    if (!makeFolder(directory_)) {
        platform::log(QStringLiteral("[Quorvel] 无法创建偏好设置文件夹: %1").arg(directory_));
        return false;
    }

    // ".<domain>.plist.XXXXXX" beside the file, renamed over it once written.
    if (!replaceFile(path, *document, 0600, &why)) {
        platform::log(QStringLiteral("[Quorvel] 偏好设置无法保存（%1）: %2").arg(why, path));
        return false;
    }
    // The rename itself is durable only once the folder is flushed.
    int dirFd = openRetrying(native(directory_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    // A key written with a value of its own no longer keeps its old text.
    if (kept != unreadable_.end())
        for (auto it = values.cbegin(); it != values.cend(); ++it) kept->second.remove(it.key());
    return true;
}

}  // namespace platform::linux_backend
