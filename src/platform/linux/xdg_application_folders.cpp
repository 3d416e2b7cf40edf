#include "platform/linux/xdg_application_folders.h"

#include <QDir>
#include <QFile>
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

int XdgApplicationFolders::filesRead() const {
    std::lock_guard lock(mutex_);
    return filesRead_;
}

}  // namespace platform::linux_backend
