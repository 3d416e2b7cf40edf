#include "platform/x11/x11_desktop_entries.h"

#include "platform/desktop_entry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <chrono>

namespace platform::x11 {
namespace {

constexpr double rescanInterval = 10.0;

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

DesktopEntryIndex::DesktopEntryIndex(QStringList directories) : directories_(std::move(directories)) {}

void DesktopEntryIndex::scanIfStale() {
    const double now = monotonicNow();
    if (scannedAt_ >= 0 && now - scannedAt_ < rescanInterval) return;
    scannedAt_ = now;
    entries_.clear();
    byId_.clear();
    // Only a file whose modification time moved is read again; the rest
    // keep what the last scan read from them.
    std::map<QString, ReadEntry> previous;
    previous.swap(read_);
    // Earlier folders win: the user's own entries shadow the system's.
    for (const QString& dir : directories_) {
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        int visited = 0;
        while (it.hasNext() && visited++ < 10000) {
            const QString path = it.next();
            QString rel = QDir(dir).relativeFilePath(path);
            rel.chop(int(sizeof(".desktop") - 1));
            const QString id = rel.replace(u'/', u'-');
            if (byId_.count(id)) continue;
            const qint64 modified = it.fileInfo().lastModified().toMSecsSinceEpoch();
            std::optional<DesktopEntry> e;
            if (auto was = previous.find(path); was != previous.end() && was->second.modified == modified &&
                                                (!was->second.entry || was->second.entry->id == id))
                e = std::move(was->second.entry);
            else
                e = parseDesktopEntry(path, id);
            read_[path] = ReadEntry{modified, e};
            if (e) {
                byId_[id] = entries_.size();
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
    auto matchesClass = [&](const QString& s, Qt::CaseSensitivity cs) {
        return !s.isEmpty() && ((!wmClassClass.isEmpty() && s.compare(wmClassClass, cs) == 0) ||
                                (!wmClassInstance.isEmpty() && s.compare(wmClassInstance, cs) == 0));
    };
    for (const auto& e : entries_)
        if (matchesClass(e.startupWMClass, Qt::CaseSensitive)) return e;
    for (const auto& e : entries_)
        if (matchesClass(e.id, Qt::CaseInsensitive)) return e;
    for (const auto& e : entries_) {
        const int dot = e.id.lastIndexOf(u'.');
        if (dot >= 0 && matchesClass(e.id.mid(dot + 1), Qt::CaseInsensitive)) return e;
    }
    return std::nullopt;
}

}  // namespace platform::x11
