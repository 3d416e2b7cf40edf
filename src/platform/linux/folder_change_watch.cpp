#include "platform/linux/folder_change_watch.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::linux_backend {
namespace {

// Marks come from one counter for the whole process, so that a mark of one
// watch is never taken for the unchanged state of another.
std::uint64_t nextGeneration() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

constexpr std::uint32_t folderMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                     IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                     IN_MASK_ADD;
constexpr std::uint32_t fileMask = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_MASK_ADD;
constexpr std::uint32_t ancestorMask =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0) return QByteArrayLiteral("/");
    return path.left(slash);
}

}  // namespace

FolderChangeWatch::FolderChangeWatch(QStringList folders) {
    for (const QString& f : folders) folders_ << QFile::encodeName(f);
}

FolderChangeWatch::~FolderChangeWatch() { disarm(); }

int FolderChangeWatch::watchCount() const {
    std::lock_guard lock(mutex_);
    return int(watches_.size());
}

std::optional<std::uint64_t> FolderChangeWatch::generation() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0 && !drain()) return generation_;
    // First look, a change or an earlier failure: watch the folders as they
    // are now. Whatever changes from here on is queued for the next look.
    disarm();
    if (!arm()) {
        disarm();
        return std::nullopt;
    }
    generation_ = nextGeneration();
    return generation_;
}

bool FolderChangeWatch::arm() {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return false;
    for (const QByteArray& folder : folders_) {
        struct stat st {};
        const bool ok = ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) ? watchFolder(folder, true)
                                                                                    : watchMissing(folder);
        if (!ok) return false;
    }
    return true;
}

void FolderChangeWatch::disarm() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    watches_.clear();
}

bool FolderChangeWatch::add(const QByteArray& path, std::uint32_t mask, Watch watch) {
    const int wd = ::inotify_add_watch(fd_, path.constData(), mask);
    if (wd < 0) return false;
    // The same folder can be reached twice (a link to a watched folder, two
    // missing folders under one parent); a full watch outranks a parent's.
    auto [it, inserted] = watches_.try_emplace(wd, std::move(watch));
    if (!inserted && it->second.ancestor) {
        if (!watch.ancestor) it->second = Watch{};
        else it->second.children += watch.children;
    }
    return true;
}

bool FolderChangeWatch::watchFolder(const QByteArray& path, bool withSubfolders) {
    // Watched before it is listed: what is made meanwhile is told, not missed.
    if (!add(path, folderMask, Watch{})) return false;
    DIR* dir = ::opendir(path.constData());
    if (!dir) return errno == ENOENT || errno == ENOTDIR;  // gone again: the watch tells
    bool ok = true;
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (name == "." || name == "..") continue;
        if (d->d_type == DT_REG) continue;
        if (d->d_type == DT_DIR && !withSubfolders) continue;
        const QByteArray full = path + '/' + name;
        struct stat st {};
        if (::stat(full.constData(), &st) != 0) continue;  // a dangling link: its folder's watch sees it change
        if (S_ISDIR(st.st_mode)) {
            if (withSubfolders) ok = watchFolder(full, false);
        } else if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
            struct stat lst {};
            // A linked file changes where its folder's watch does not see it.
            if (::lstat(full.constData(), &lst) == 0 && S_ISLNK(lst.st_mode) && S_ISREG(st.st_mode))
                ok = add(full, fileMask, Watch{});
        }
        if (!ok) break;
    }
    ::closedir(dir);
    return ok;
}

bool FolderChangeWatch::watchMissing(const QByteArray& path) {
    QByteArray child = path;
    for (QByteArray parent = parentOf(path);; child = parent, parent = parentOf(parent)) {
        struct stat st {};
        if (::stat(parent.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            Watch w;
            w.ancestor = true;
            w.children << child.mid(child.lastIndexOf('/') + 1);
            return add(parent, ancestorMask, std::move(w));
        }
        if (parent == "/") return false;
    }
}

bool FolderChangeWatch::drain() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool changed = false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return changed || errno != EAGAIN;  // anything but an empty queue: watch afresh
        if (n == 0) return true;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            if (changed) continue;
            if (e->mask & IN_Q_OVERFLOW) {
                changed = true;
                continue;
            }
            const auto it = watches_.find(e->wd);
            if (it == watches_.end()) continue;
            const Watch& w = it->second;
            // The parent's own going away, or the name that leads to a missing folder.
            if (!w.ancestor || (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) ||
                (e->len > 0 && w.children.contains(QByteArray(e->name))))
                changed = true;
        }
    }
}

}  // namespace platform::linux_backend
