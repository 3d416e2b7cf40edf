#include "platform/x11/x11_icons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace platform::x11 {
namespace {

std::optional<QImage> rendered(const QIcon& icon, int size) {
    if (icon.isNull()) return std::nullopt;
    const QImage image = icon.pixmap(size, size).toImage();
    if (image.isNull()) return std::nullopt;
    return image;
}

// Plain files only, for threads other than the GUI thread.
std::optional<QImage> fromIconFolders(const QString& name) {
    static const char* const folders[] = {
        "/usr/share/icons/hicolor/128x128/apps", "/usr/share/icons/hicolor/64x64/apps",
        "/usr/share/icons/hicolor/48x48/apps",   "/usr/share/icons/hicolor/256x256/apps",
        "/usr/share/icons/hicolor/32x32/apps",   "/usr/share/pixmaps",
    };
    for (const char* folder : folders)
        for (const char* ext : {".png", ".xpm", ".svg"}) {
            QImage img(QString::fromLatin1(folder) + u'/' + name + QString::fromLatin1(ext));
            if (!img.isNull()) return img;
        }
    return std::nullopt;
}

// The size a theme folder holds ("48x48/apps", "scalable/legacy"), guessed
// from its name where the theme's index does not give it.
int folderSize(const QString& folder) {
    if (folder.startsWith(QLatin1String("scalable"))) return 4096;
    int n = 0;
    for (QChar c : folder) {
        if (!c.isDigit()) break;
        n = n * 10 + c.digitValue();
    }
    return n;
}

// A settings file's lines, read in one go: a line-by-line read with a cap
// reserves the cap for every line, and a theme's index has thousands.
QList<QByteArray> fileLines(QFile& f) {
    constexpr qint64 maxFileBytes = 8 * 1024 * 1024;
    return f.read(maxFileBytes).split('\n');
}

// One folder of a theme and the pixel size of the icons in it.
struct ThemeFolder {
    QString name;
    int size = 0;
};

// A theme's folders with their sizes as the index's group of each folder
// gives them: Size times Scale (a folder of 32 px icons at scale 2 holds
// 64 px pictures), and for a scalable folder the largest size it may be
// drawn at (MaxSize, which defaults to Size). Folder names are only a
// convention, so the name is read for a size only when the group gives none.
std::vector<ThemeFolder> readThemeFolders(const QString& themeDir) {
    QFile f(themeDir + QStringLiteral("/index.theme"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    struct Group {
        int size = 0, scale = 1, maxSize = 0;
        bool scalable = false;
    };
    QStringList folders;
    QHash<QString, Group> groups;
    QString group;
    for (const QByteArray& raw : fileLines(f)) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            group = line.endsWith(u']') ? line.mid(1, line.size() - 2) : QString();
            continue;
        }
        const int eq = line.indexOf(u'=');
        if (group.isEmpty() || eq < 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (group == QStringLiteral("Icon Theme")) {
            if (key == QStringLiteral("Directories") || key == QStringLiteral("ScaledDirectories"))
                for (const QString& d : value.split(u',', Qt::SkipEmptyParts))
                    if (!folders.contains(d.trimmed())) folders << d.trimmed();
            continue;
        }
        if (key == QStringLiteral("Size")) groups[group].size = value.toInt();
        else if (key == QStringLiteral("Scale")) groups[group].scale = std::max(1, value.toInt());
        else if (key == QStringLiteral("MaxSize")) groups[group].maxSize = value.toInt();
        else if (key == QStringLiteral("Type")) groups[group].scalable = value == QStringLiteral("Scalable");
    }
    std::vector<ThemeFolder> out;
    out.reserve(std::size_t(folders.size()));
    for (const QString& folder : folders) {
        const Group g = groups.value(folder);
        const int size = g.scalable && g.maxSize > 0 ? g.maxSize : g.size;
        out.push_back({folder, size > 0 ? size * g.scale : folderSize(folder)});
    }
    return out;
}

// A theme's folders are read once: misses are asked about again and again.
std::vector<ThemeFolder> themeFolders(const QString& themeDir) {
    static std::mutex mutex;
    static std::map<QString, std::vector<ThemeFolder>> known;
    std::lock_guard lock(mutex);
    auto it = known.find(themeDir);
    if (it == known.end()) it = known.emplace(themeDir, readThemeFolders(themeDir)).first;
    return it->second;
}

// The parents an installed theme names (Inherits= of [Icon Theme]). That
// group comes first: the thousands of folder groups after it (hicolor's
// index is 55 kB) are never read.
QStringList themeParents(const QString& theme, const QStringList& searchPaths) {
    for (const QString& p : searchPaths) {
        QFile f(p + u'/' + theme + QStringLiteral("/index.theme"));
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
        bool inTheme = false;
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine()).trimmed();
            if (line.startsWith(u'[')) {
                if (inTheme) return {};
                inTheme = line == QStringLiteral("[Icon Theme]");
                continue;
            }
            if (inTheme && line.startsWith(QStringLiteral("Inherits"))) {
                const int eq = line.indexOf(u'=');
                if (eq < 0 || line.left(eq).trimmed() != QStringLiteral("Inherits")) continue;
                QStringList out;
                for (const QString& t : line.mid(eq + 1).split(u',', Qt::SkipEmptyParts)) out << t.trimmed();
                return out;
            }
        }
        return {};
    }
    return {};
}

// What the GUI thread's icon loader searches, copied for the other threads.
struct ThemeChain {
    QStringList themes;
    QStringList searchPaths;
};
std::mutex chainMutex;
ThemeChain chain;
// Answers of desktopIconFile under this chain, misses too: thousands of
// entries share a few dozen icon names.
std::map<std::pair<QString, int>, QString> fileByName;
QString themeChainFile(const ThemeChain& known, const QString& name, int size);

bool onGuiThread() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

QStringList gtkSettingsFiles() {
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty()) home = QDir::homePath() + QStringLiteral("/.config");
    QStringList files{home + QStringLiteral("/gtk-3.0/settings.ini")};
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty()) dirs = QStringLiteral("/etc/xdg");
    for (const QString& d : dirs.split(u':', Qt::SkipEmptyParts)) files << d + QStringLiteral("/gtk-3.0/settings.ini");
    files << QStringLiteral("/etc/gtk-3.0/settings.ini");
    files.removeDuplicates();
    return files;
}

QString gtkIconThemeName(const QStringList& settingsFiles) {
    for (const QString& path : settingsFiles) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
        bool inSettings = false;
        for (const QByteArray& raw : fileLines(f)) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(u'[')) {
                inSettings = line == QStringLiteral("[Settings]");
                continue;
            }
            const int eq = line.indexOf(u'=');
            if (!inSettings || eq < 0 || line.left(eq).trimmed() != QStringLiteral("gtk-icon-theme-name")) continue;
            QString value = line.mid(eq + 1).trimmed();
            if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')) value = value.mid(1, value.size() - 2);
            if (!value.isEmpty()) return value;
        }
    }
    return {};
}

QStringList installedFallbackThemes(const QStringList& searchPaths) {
    static const char* const usual[] = {"Adwaita", "breeze", "Papirus", "elementary", "gnome", "Tango", "oxygen"};
    QStringList out;
    for (const char* theme : usual)
        for (const QString& p : searchPaths)
            if (QFile::exists(p + u'/' + QLatin1String(theme) + QStringLiteral("/index.theme"))) {
                out << QLatin1String(theme);
                break;
            }
    return out;
}

QString themeIconFile(const QString& theme, const QString& name, int size, const QStringList& searchPaths) {
    QString best;
    int bestSize = 0;
    for (const QString& p : searchPaths) {
        const QString dir = p + u'/' + theme;
        for (const auto& [folder, s] : themeFolders(dir)) {
            // The smallest at least as large as asked for, else the largest.
            const bool better = best.isEmpty() || (bestSize < size ? s > bestSize : (s >= size && s < bestSize));
            if (!better) continue;
            for (const char* ext : {".png", ".svg", ".xpm"}) {
                const QString file = dir + u'/' + folder + u'/' + name + QLatin1String(ext);
                if (QFile::exists(file)) {
                    best = file;
                    bestSize = s;
                    break;
                }
            }
        }
        if (!best.isEmpty()) break;
    }
    return best;
}

void prepareIconLookup() {
    if (!onGuiThread()) return;
    QStringList paths = QIcon::themeSearchPaths();
    QStringList wanted;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    wanted << dataHome + QStringLiteral("/icons") << QDir::homePath() + QStringLiteral("/.icons");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& d : dataDirs.split(u':', Qt::SkipEmptyParts)) wanted << d + QStringLiteral("/icons");
    for (const QString& p : wanted)
        if (!paths.contains(p)) paths << p;
    QIcon::setThemeSearchPaths(paths);
    // Qt names hicolor (or nothing) when no desktop told it a theme: GTK's
    // choice, else an installed desktop theme, has the icons entries name
    // ("utilities-terminal"), which hicolor lacks.
    const QStringList fallbacks = installedFallbackThemes(paths);
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QStringLiteral("hicolor")) {
        QString chosen = gtkIconThemeName(gtkSettingsFiles());
        const bool installed = std::any_of(paths.begin(), paths.end(), [&](const QString& p) {
            return !chosen.isEmpty() && QFile::exists(p + u'/' + chosen + QStringLiteral("/index.theme"));
        });
        if (!installed) chosen = fallbacks.value(0, QStringLiteral("hicolor"));
        QIcon::setThemeName(chosen);
    }
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QStringLiteral("hicolor"))
        QIcon::setFallbackThemeName(fallbacks.value(0, QStringLiteral("hicolor")));
    QStringList fallback = QIcon::fallbackSearchPaths();
    if (!fallback.contains(QStringLiteral("/usr/share/pixmaps"))) {
        fallback << QStringLiteral("/usr/share/pixmaps");
        QIcon::setFallbackSearchPaths(fallback);
    }

    // The theme, its parents breadth first, the desktop themes, hicolor.
    ThemeChain found;
    found.searchPaths = paths;
    QStringList queue{QIcon::themeName()};
    while (!queue.isEmpty() && found.themes.size() < 16) {
        const QString theme = queue.takeFirst();
        if (theme.isEmpty() || found.themes.contains(theme)) continue;
        found.themes << theme;
        queue << themeParents(theme, paths);
    }
    for (const QString& theme : fallbacks + QStringList{QIcon::fallbackThemeName(), QStringLiteral("hicolor")})
        if (!theme.isEmpty() && !found.themes.contains(theme)) found.themes << theme;
    std::lock_guard lock(chainMutex);
    chain = std::move(found);
    fileByName.clear();
}

QString desktopIconFile(const QString& name, int size) {
    if (name.isEmpty()) return {};
    if (name.startsWith(u'/')) return QFile::exists(name) ? name : QString();
    ThemeChain known;
    {
        std::lock_guard lock(chainMutex);
        if (auto it = fileByName.find({name, size}); it != fileByName.end()) return it->second;
        known = chain;
    }
    if (known.themes.isEmpty()) return {};
    const QString file = themeChainFile(known, name, size);
    std::lock_guard lock(chainMutex);
    // A chain replaced meanwhile starts its own answers.
    if (chain.themes == known.themes && chain.searchPaths == known.searchPaths) fileByName[{name, size}] = file;
    return file;
}

namespace {
QString themeChainFile(const ThemeChain& known, const QString& name, int size) {
    QString themeName = name;
    for (const char* ext : {".png", ".svg", ".xpm"})
        if (themeName.endsWith(QLatin1String(ext))) themeName.chop(4);
    for (const QString& theme : known.themes) {
        const QString file = themeIconFile(theme, themeName, size, known.searchPaths);
        if (!file.isEmpty()) return file;
    }
    static const char* const plain[] = {"/usr/share/pixmaps"};
    for (const char* folder : plain)
        for (const QString& candidate : {name, themeName + QStringLiteral(".png"), themeName + QStringLiteral(".svg"),
                                         themeName + QStringLiteral(".xpm")}) {
            const QString file = QString::fromLatin1(folder) + u'/' + candidate;
            if (candidate.contains(u'.') && QFile::exists(file)) return file;
        }
    return {};
}
}  // namespace

std::optional<QImage> desktopIcon(const QString& name, int size) {
    if (name.isEmpty()) return std::nullopt;
    const bool gui = onGuiThread();
    if (name.startsWith(u'/')) {
        // QIcon renders SVG files at the size; a plain image reads any other.
        if (gui)
            if (auto img = rendered(QIcon(name), size)) return img;
        QImage img(name);
        if (!img.isNull()) return img;
        return std::nullopt;
    }
    if (gui) {
        // A name with an extension ("foo.png") names the icon without it.
        QString themeName = name;
        for (const char* ext : {".png", ".svg", ".xpm"})
            if (themeName.endsWith(QLatin1String(ext))) themeName.chop(4);
        if (auto img = rendered(QIcon::fromTheme(themeName), size)) return img;
        // A theme that names its own parents never reaches Qt's fallback:
        // the installed desktop themes are looked in before giving up.
        const QStringList paths = QIcon::themeSearchPaths();
        for (const QString& theme : installedFallbackThemes(paths)) {
            if (theme == QIcon::themeName()) continue;
            const QString file = themeIconFile(theme, themeName, size, paths);
            if (!file.isEmpty())
                if (auto img = rendered(QIcon(file), size)) return img;
        }
    }
    return fromIconFolders(name);
}

std::optional<QImage> imageFromPixels(const std::vector<std::uint32_t>& pixels, int width, int height) {
    if (width <= 0 || height <= 0 || pixels.size() < std::size_t(width) * std::size_t(height)) return std::nullopt;
    QImage img(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(img.scanLine(y), pixels.data() + std::size_t(y) * width, std::size_t(width) * 4);
    return img;
}

}  // namespace platform::x11
