#include "platform/x11/x11_icons.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QThread>
#include <cstring>

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

bool onGuiThread() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

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
    if (QIcon::themeName().isEmpty()) QIcon::setThemeName(QStringLiteral("hicolor"));
    if (QIcon::fallbackThemeName().isEmpty()) QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    QStringList fallback = QIcon::fallbackSearchPaths();
    if (!fallback.contains(QStringLiteral("/usr/share/pixmaps"))) {
        fallback << QStringLiteral("/usr/share/pixmaps");
        QIcon::setFallbackSearchPaths(fallback);
    }
}

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
