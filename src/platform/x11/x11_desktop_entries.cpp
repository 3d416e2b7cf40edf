#include "platform/x11/x11_desktop_entries.h"

#include "platform/desktop_entry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <chrono>

#include <cerrno>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform::x11 {
namespace {

double monotonicNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

QStringList desktopExecArguments(const QString& exec) { return desktop_entry::execArguments(exec); }

std::optional<DesktopEntry> parseDesktopEntry(const QString& path, const QString& id) {
    const auto group = desktop_entry::readMainGroup(path);
    if (!group) return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.path = path;
    entry.name = group->value(QStringLiteral("Name"));
    entry.startupWMClass = group->value(QStringLiteral("StartupWMClass"));
    entry.icon = group->value(QStringLiteral("Icon"));
    entry.exec = group->value(QStringLiteral("Exec"));
    entry.terminal = group->value(QStringLiteral("Terminal")) == QStringLiteral("true");
    if (group->value(QStringLiteral("Type")) != QStringLiteral("Application") ||
        group->value(QStringLiteral("Hidden")) == QStringLiteral("true") || entry.name.isEmpty())
        return std::nullopt;
    return entry;
}

QStringList DesktopEntryIndex::defaultDirectories() {
    QStringList dirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty()) home = QDir::homePath() + QStringLiteral("/.local/share");
    dirs << home + QStringLiteral("/applications");
    QString data = qEnvironmentVariable("XDG_DATA_DIRS");
    if (data.isEmpty()) data = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& d : data.split(u':', Qt::SkipEmptyParts)) dirs << d + QStringLiteral("/applications");
    return dirs;
}

DesktopEntryIndex::DesktopEntryIndex(QStringList directories, double rescanInterval)
    : directories_(std::move(directories)),
      rescanInterval_(rescanInterval),
      notifyFd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

DesktopEntryIndex::~DesktopEntryIndex() {
    if (notifyFd_ >= 0) ::close(notifyFd_);
}

void DesktopEntryIndex::watch(const QString& dir) {
    if (notifyFd_ < 0) return;
    constexpr std::uint32_t mask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                   IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (::inotify_add_watch(notifyFd_, QFile::encodeName(dir).constData(), mask) < 0) watchFailed_ = true;
}

bool DesktopEntryIndex::foldersMayHaveChanged() {
    if (notifyFd_ < 0 || watchFailed_) return true;
    bool reported = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(notifyFd_, buffer, sizeof buffer);
        if (n > 0) {
            reported = true;  // drained to the end: one walk answers them all
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    if (reported) return true;
    for (const QString& dir : missing_)
        if (QFileInfo(dir).isDir()) return true;
    return false;
}

void DesktopEntryIndex::scanIfStale() {
    const double now = monotonicNow();
    if (scannedAt_ >= 0 && now - scannedAt_ < rescanInterval_) return;
    // The folders are watched: while nothing in them changed, the last walk
    // stands and not one file is looked at again.
    if (scannedAt_ >= 0 && !foldersMayHaveChanged()) {
        scannedAt_ = now;
        return;
    }
    scannedAt_ = now;
    entries_.clear();
    byId_.clear();
    byWMClass_.clear();
    byFoldedId_.clear();
    byFoldedIdTail_.clear();
    missing_.clear();
    watchFailed_ = false;
    // Only a file whose modification time moved is read again; the rest
    // keep what the last scan read from them.
    std::map<QString, ReadEntry> previous;
    previous.swap(read_);
    // Earlier folders win: the user's own entries shadow the system's.
    for (const QString& dir : directories_) {
        if (!QFileInfo(dir).isDir()) {
            missing_ << dir;
            continue;
        }
        // Watched before the walk, so a change made during it is reported.
        watch(dir);
        QDirIterator sub(dir, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        for (int n = 0; sub.hasNext() && n < 1000; ++n) watch(sub.next());
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        int visited = 0;
        while (it.hasNext() && visited++ < 10000) {
            const QString path = it.next();
            QString rel = QDir(dir).relativeFilePath(path);
            rel.chop(int(sizeof(".desktop") - 1));
            const QString id = rel.replace(u'/', u'-');
            if (byId_.count(id)) continue;
            // A linked entry changes where its target lives.
            if (it.fileInfo().isSymLink()) watch(QFileInfo(it.fileInfo().canonicalFilePath()).path());
            const qint64 modified = it.fileInfo().lastModified().toMSecsSinceEpoch();
            std::optional<DesktopEntry> e;
            if (auto was = previous.find(path); was != previous.end() && was->second.modified == modified &&
                                                (!was->second.entry || was->second.entry->id == id))
                e = std::move(was->second.entry);
            else
                e = parseDesktopEntry(path, id);
            read_[path] = ReadEntry{modified, e};
            if (e) {
                const std::size_t index = entries_.size();
                byId_[id] = index;
                if (!e->startupWMClass.isEmpty()) byWMClass_.try_emplace(e->startupWMClass, index);
                byFoldedId_.try_emplace(e->id.toCaseFolded(), index);
                if (const int dot = e->id.lastIndexOf(u'.'); dot >= 0)
                    byFoldedIdTail_.try_emplace(e->id.mid(dot + 1).toCaseFolded(), index);
                entries_.push_back(std::move(*e));
            }
        }
    }
}

std::size_t DesktopEntryIndex::size() {
    std::lock_guard lock(mutex_);
    scanIfStale();
    return entries_.size();
}

std::optional<DesktopEntry> DesktopEntryIndex::byId(const QString& id) {
    std::lock_guard lock(mutex_);
    scanIfStale();
    auto it = byId_.find(id);
    if (it == byId_.end()) return std::nullopt;
    return entries_[it->second];
}

std::optional<DesktopEntry> DesktopEntryIndex::byPath(const QString& path) {
    std::lock_guard lock(mutex_);
    scanIfStale();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const auto& e : entries_)
        if (e.path == path || (!canonical.isEmpty() && QFileInfo(e.path).canonicalFilePath() == canonical)) return e;
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntryIndex::match(const QString& gtkApplicationId, const QString& wmClassClass,
                                                      const QString& wmClassInstance) {
    std::lock_guard lock(mutex_);
    scanIfStale();
    if (!gtkApplicationId.isEmpty())
        if (auto it = byId_.find(gtkApplicationId); it != byId_.end()) return entries_[it->second];
    // Of the entries the class or the instance names, the first in folder
    // order wins, at each step.
    auto first = [&](const std::map<QString, std::size_t>& by, bool fold) -> std::optional<std::size_t> {
        std::optional<std::size_t> best;
        for (const QString* s : {&wmClassClass, &wmClassInstance}) {
            if (s->isEmpty()) continue;
            auto it = by.find(fold ? s->toCaseFolded() : *s);
            if (it != by.end() && (!best || it->second < *best)) best = it->second;
        }
        return best;
    };
    for (auto [by, fold] : {std::pair{&byWMClass_, false}, {&byFoldedId_, true}, {&byFoldedIdTail_, true}})
        if (auto i = first(*by, fold)) return entries_[*i];
    return std::nullopt;
}

}  // namespace platform::x11
