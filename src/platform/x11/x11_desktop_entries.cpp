#include "platform/x11/x11_desktop_entries.h"

#include "platform/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <chrono>

namespace platform::x11 {
namespace {

constexpr qint64 maxEntryFileSize = 256 * 1024;
constexpr double rescanInterval = 10.0;

double monotonicNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The value of a desktop-entry string: \s \n \t \r \\ escapes.
QString unescapeValue(const QString& v) {
    QString out;
    out.reserve(v.size());
    for (int i = 0; i < v.size(); ++i) {
        QChar c = v[i];
        if (c == u'\\' && i + 1 < v.size()) {
            QChar n = v[++i];
            if (n == u's') out += u' ';
            else if (n == u'n') out += u'\n';
            else if (n == u't') out += u'\t';
            else if (n == u'r') out += u'\r';
            else if (n == u'\\') out += u'\\';
            else { out += u'\\'; out += n; }
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

QStringList desktopExecArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool inQuotes = false, haveArg = false;
    for (int i = 0; i < exec.size(); ++i) {
        QChar c = exec[i];
        if (inQuotes) {
            if (c == u'\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                current += c;
            }
            continue;
        }
        if (c == u'"') {
            inQuotes = true;
            haveArg = true;
        } else if (c == u' ' || c == u'\t') {
            if (haveArg) args << current;
            current.clear();
            haveArg = false;
        } else if (c == u'%' && i + 1 < exec.size()) {
            QChar code = exec[++i];
            if (code == u'%') {
                current += u'%';
                haveArg = true;
            }
            // Every other field code stands for files, URLs, the icon or the
            // name: we pass none of them.
        } else {
            current += c;
            haveArg = true;
        }
    }
    if (inQuotes) return {};
    if (haveArg) args << current;
    return args;
}

std::optional<DesktopEntry> parseDesktopEntry(const QString& path, const QString& id) {
    QByteArray bytes;  // a FIFO or device planted among the entries never stalls the scan
    if (readBoundedFile(path, maxEntryFileSize, &bytes) != ReadOutcome::ok) return std::nullopt;
    const QString text = QString::fromUtf8(bytes);
    DesktopEntry entry;
    entry.id = id;
    entry.path = path;
    bool inMain = false, isApplication = false, hidden = false;
    for (const QString& rawLine : text.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            inMain = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inMain) continue;
        const int eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = unescapeValue(line.mid(eq + 1).trimmed());
        if (key == QStringLiteral("Type")) isApplication = value == QStringLiteral("Application");
        else if (key == QStringLiteral("Name")) entry.name = value;
        else if (key == QStringLiteral("StartupWMClass")) entry.startupWMClass = value;
        else if (key == QStringLiteral("Icon")) entry.icon = value;
        else if (key == QStringLiteral("Exec")) entry.exec = value;
        else if (key == QStringLiteral("Hidden")) hidden = value == QStringLiteral("true");
    }
    if (!isApplication || hidden || entry.name.isEmpty()) return std::nullopt;
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
            if (auto e = parseDesktopEntry(path, id)) {
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
