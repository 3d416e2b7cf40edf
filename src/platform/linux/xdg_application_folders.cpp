#include "platform/linux/xdg_application_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sys/stat.h>

namespace platform::linux_backend {
namespace {

const QString suffix = QStringLiteral(".desktop");

bool statPath(const QString& path, struct stat& st) { return ::stat(QFile::encodeName(path).constData(), &st) == 0; }

}  // namespace

XdgApplicationFolders::XdgApplicationFolders()
    : XdgApplicationFolders(defaultApplicationFolders(), desktop_entry::userMessagesLocale(),
                            desktop_entry::currentDesktops()) {}

XdgApplicationFolders::XdgApplicationFolders(QStringList applicationFolders, QString messagesLocale,
                                             QStringList currentDesktops)
    : roots_(std::move(applicationFolders)),
      locales_(desktop_entry::localeCandidates(messagesLocale)),
      desktops_(std::move(currentDesktops)) {
    // Paths are composed as text, so a trailing slash would give "//".
    for (QString& r : roots_)
        while (r.size() > 1 && r.endsWith(u'/')) r.chop(1);
    // Set up at the first scan that asks, not here.
    watch_ = std::make_unique<FolderChangeWatch>(roots_);
}

QStringList XdgApplicationFolders::defaultApplicationFolders() {
    QStringList dirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home)) home = QDir::homePath() + QStringLiteral("/.local/share");
    dirs << home + QStringLiteral("/applications");
    QString data = qEnvironmentVariable("XDG_DATA_DIRS");
    if (data.isEmpty()) data = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& d : data.split(u':', Qt::SkipEmptyParts)) {
        if (!QDir::isAbsolutePath(d)) continue;  // relative entries are invalid and ignored
        const QString folder = QDir::cleanPath(d) + QStringLiteral("/applications");
        if (!dirs.contains(folder)) dirs << folder;
    }
    return dirs;
}

std::optional<QStringList> XdgApplicationFolders::contentsOfDirectory(const QString& path) {
    return BundleFolders({}, {}).contentsOfDirectory(path);
}

bool XdgApplicationFolders::fileExists(const QString& path, bool* isDirectory) {
    struct stat st {};
    if (!statPath(path, st)) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

std::optional<std::pair<int, QString>> XdgApplicationFolders::locate(const QString& path) const {
    for (int i = 0; i < roots_.size(); ++i) {
        const QString& root = roots_[i];
        if (!path.startsWith(root) || path.size() <= root.size() + 1 || path[root.size()] != u'/') continue;
        QString rel = path.mid(root.size() + 1);
        if (rel.count(u'/') > 1 || !rel.endsWith(suffix)) continue;
        rel.chop(suffix.size());
        return std::pair{i, rel.replace(u'/', u'-')};
    }
    return std::nullopt;
}

bool XdgApplicationFolders::shadowed(int rootIndex, const QString& id) const {
    // An earlier folder holds the same id directly ("a-b-c.desktop") or one
    // folder down at any of its dashes ("a/b-c.desktop", "a-b/c.desktop").
    struct stat st {};
    for (int i = 0; i < rootIndex; ++i) {
        const QString& root = roots_[i];
        // A folder that is not there shadows nothing: one look instead of one per dash.
        if (!statPath(root, st) || !S_ISDIR(st.st_mode)) continue;
        if (statPath(root + u'/' + id + suffix, st) && S_ISREG(st.st_mode)) return true;
        for (qsizetype dash = id.indexOf(u'-'); dash > 0; dash = id.indexOf(u'-', dash + 1)) {
            const QString candidate = root + u'/' + id.left(dash) + u'/' + id.mid(dash + 1) + suffix;
            if (statPath(candidate, st) && S_ISREG(st.st_mode)) return true;
        }
    }
    return false;
}

std::optional<XdgApplicationFolders::Entry> XdgApplicationFolders::entry(const QString& path) {
    struct stat st {};
    if (!statPath(path, st) || !S_ISREG(st.st_mode)) return std::nullopt;
    const qint64 mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    {
        std::lock_guard lock(mutex_);
        auto it = cache_.constFind(path);
        if (it != cache_.constEnd() && it->size == qint64(st.st_size) && it->mtimeNs == mtimeNs &&
            it->inode == quint64(st.st_ino))
            return *it;
    }
    Entry e;
    e.size = qint64(st.st_size);
    e.mtimeNs = mtimeNs;
    e.inode = quint64(st.st_ino);
    // Oversized, binary or badly encoded files are not read as entries.
    if (const auto group = desktop_entry::readMainGroup(path)) {
        e.shown = desktop_entry::isShownApplication(*group, desktops_, nullptr);
        e.name = desktop_entry::localizedValue(*group, QStringLiteral("Name"), locales_);
        e.categories = group->value(QStringLiteral("Categories")).split(u';', Qt::SkipEmptyParts);
        const QStringList exec = desktop_entry::execArguments(group->value(QStringLiteral("Exec")));
        if (!exec.isEmpty()) e.program = exec.first().section(u'/', -1);
    }
    std::lock_guard lock(mutex_);
    ++filesRead_;
    cache_.insert(path, e);
    return e;
}

bool XdgApplicationFolders::isApplicationEntry(const QString& folder, const QString& name) {
    if (!name.endsWith(suffix) || name.size() == suffix.size()) return false;
    const QString path = folder + u'/' + name;
    const auto where = locate(path);
    if (!where || shadowed(where->first, where->second)) return false;
    const auto e = entry(path);
    return e && e->shown;
}

QString XdgApplicationFolders::displayName(const QString& path) {
    if (const auto e = entry(path); e && !e->name.isEmpty()) return e->name;
    const qsizetype slash = path.lastIndexOf(u'/');
    QString file = path.mid(slash + 1);
    if (file.endsWith(suffix)) file.chop(suffix.size());
    return file;
}

std::optional<QString> XdgApplicationFolders::bundleIdentifier(const QString& path) {
    const auto where = locate(path);
    if (!where) return std::nullopt;
    const auto e = entry(path);
    if (!e || !e->shown) return std::nullopt;
    return where->second;
}

namespace {

// The [Default Applications] of the mimeapps.list files, most important
// first: the user's configuration, the system's, then the data folders'.
QStringList defaultHandlers(const QString& mimeType) {
    QStringList files;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    QStringList configDirs{config};
    QString systemConfig = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (systemConfig.isEmpty()) systemConfig = QStringLiteral("/etc/xdg");
    configDirs += systemConfig.split(u':', Qt::SkipEmptyParts);
    for (const QString& dir : configDirs) {
        for (const QString& desktop : desktop_entry::currentDesktops())
            files << dir + u'/' + desktop.toLower() + QStringLiteral("-mimeapps.list");
        files << dir + QStringLiteral("/mimeapps.list");
    }
    for (const QString& dir : XdgApplicationFolders::defaultApplicationFolders()) files << dir + QStringLiteral("/mimeapps.list");
    QStringList ids;
    for (const QString& path : files) {
        QFile f(path);
        if (f.size() > desktop_entry::maximumFileSize || !f.open(QIODevice::ReadOnly)) continue;
        bool inDefaults = false;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(u'[')) {
                inDefaults = line == QStringLiteral("[Default Applications]");
                continue;
            }
            if (!inDefaults || line.section(u'=', 0, 0).trimmed() != mimeType) continue;
            for (const QString& id : line.section(u'=', 1).split(u';', Qt::SkipEmptyParts)) ids << id.trimmed();
        }
    }
    return ids;
}

// What a Debian alternative ("x-www-browser") finally names: its program's file name.
QString alternativeProgram(const QString& name) {
    const QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty()) return {};
    return QFileInfo(found).canonicalFilePath().section(u'/', -1);
}

}  // namespace

QString XdgApplicationFolders::pathOfId(const QString& id) {
    QString plain = id;
    if (plain.endsWith(suffix)) plain.chop(suffix.size());
    for (const QString& root : roots_) {
        const QString path = root + u'/' + plain + suffix;
        const auto where = locate(path);
        if (!where || shadowed(where->first, where->second)) continue;
        if (const auto e = entry(path); e && e->shown) return path;
    }
    return {};
}

QString XdgApplicationFolders::firstEntry(const std::function<bool(const QString&, const Entry&)>& match) {
    for (const QString& root : roots_) {
        QStringList names = QDir(root).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            const QString path = root + u'/' + name;
            const auto where = locate(path);
            if (!where || shadowed(where->first, where->second)) continue;
            if (const auto e = entry(path); e && e->shown && match(where->second, *e)) return where->second;
        }
    }
    return {};
}

std::optional<QStringList> XdgApplicationFolders::everydayApplications() {
    struct Role {
        QStringList mimeTypes;
        QString alternative;
        QString category;
    };
    const Role roles[] = {
        {{QStringLiteral("x-scheme-handler/https"), QStringLiteral("x-scheme-handler/http")},
         QStringLiteral("x-www-browser"), QStringLiteral("WebBrowser")},
        {{QStringLiteral("inode/directory")}, {}, QStringLiteral("FileManager")},
        {{}, QStringLiteral("x-terminal-emulator"), QStringLiteral("TerminalEmulator")},
        {{QStringLiteral("text/plain")}, {}, QStringLiteral("TextEditor")},
    };
    QStringList out;
    auto idOf = [this](const QString& path) { return locate(path).value_or(std::pair{0, QString()}).second; };
    for (const Role& role : roles) {
        QString chosen;
        for (const QString& mime : role.mimeTypes) {
            for (const QString& id : defaultHandlers(mime)) {
                const QString path = pathOfId(id);
                // A handler already taken (a browser that also opens text) is no one's second role.
                if (!path.isEmpty() && !out.contains(idOf(path))) {
                    chosen = idOf(path);
                    break;
                }
            }
            if (!chosen.isEmpty()) break;
        }
        if (chosen.isEmpty() && !role.alternative.isEmpty()) {
            const QString program = alternativeProgram(role.alternative);
            // The entry named after the program is the program itself; others
            // that run it ("qterminal-drop") are variants of it.
            if (!program.isEmpty())
                chosen = firstEntry([&](const QString& id, const Entry&) { return !out.contains(id) && id == program; });
            if (chosen.isEmpty() && !program.isEmpty())
                chosen = firstEntry(
                    [&](const QString& id, const Entry& e) { return !out.contains(id) && e.program == program; });
        }
        if (chosen.isEmpty())
            chosen = firstEntry(
                [&](const QString& id, const Entry& e) { return !out.contains(id) && e.categories.contains(role.category); });
        if (!chosen.isEmpty()) out << chosen;
    }
    return out;
}

int XdgApplicationFolders::filesRead() const {
    std::lock_guard lock(mutex_);
    return filesRead_;
}

}  // namespace platform::linux_backend
