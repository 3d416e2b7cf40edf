#include "taskbar/app_icon_provider.h"

#include <QImageReader>

#include "platform/platform.h"
#include "services/trace_log.h"

namespace {
platform::SharedInstance<AppIconProvider>& sharedSlot() {
    static platform::SharedInstance<AppIconProvider> slot;
    return slot;
}
}  // namespace

AppIconProvider& AppIconProvider::shared() {
    return *sharedSlot().get([] { return std::make_shared<AppIconProvider>(); });
}

void AppIconProvider::resetShared() { sharedSlot().reset(); }

AppIconProvider::AppIconProvider() : alive_(std::make_shared<bool>(true)) {
    std::weak_ptr<bool> weak = alive_;
    observerToken_ = platform::workspace().addObserver([this, weak](const QString& name, std::int32_t pid) {
        if (weak.expired()) return;
        if (name == platform::workspace_notifications::didTerminateApplication) applicationTerminated(pid);
    });
}

AppIconProvider::~AppIconProvider() {
    alive_.reset();
    // The workspace may already be gone with its installation.
    if (platform::isInstalled() && platform::installed().workspace)
        platform::workspace().removeObserver(observerToken_);
}

void AppIconProvider::applicationTerminated(std::int32_t pid) {
    iconByPid_.remove(pid);
    const QString appID = appOfPid_.take(pid);
    if (appID.isEmpty()) return;
    // The application's icon goes with its last process.
    if (auto it = processesOfApp_.find(appID); it != processesOfApp_.end() && --it.value() <= 0) {
        processesOfApp_.erase(it);
        iconByApp_.remove(appID);
    }
}

void AppIconProvider::keep(std::int32_t pid, const QString& appID, const QImage& image) {
    iconByPid_.insert(pid, image);
    if (appID.isEmpty()) return;
    iconByApp_.insert(appID, image);
    if (!appOfPid_.contains(pid)) {
        appOfPid_.insert(pid, appID);
        ++processesOfApp_[appID];
    }
}

std::optional<QImage> AppIconProvider::icon(std::int32_t pid) {
    if (pid <= 0) return std::nullopt;
    if (auto it = iconByPid_.constFind(pid); it != iconByPid_.constEnd()) return it.value();
    auto& ws = platform::workspace();
    const auto app = ws.application(pid);
    if (!app) return std::nullopt;
    // Every process of one application shows its icon: a hundred terminals
    // decode it once.
    const QString appID = app->bundleID.value_or(QString());
    if (!appID.isEmpty())
        if (auto it = iconByApp_.constFind(appID); it != iconByApp_.constEnd()) {
            const QImage image = it.value();
            keep(pid, appID, image);
            return image;
        }
    std::optional<QImage> image = ws.iconForApplication(pid);
    if (!image || image->isNull()) {
        if (TraceLog::isEnabled()) {
            const QString name = app->localizedName.isEmpty() ? QStringLiteral("?") : app->localizedName;
            TraceLog::write(QStringLiteral("icon(pid:) .icon=nil → 退 bundle 图标 pid=") + QString::number(pid) +
                            QStringLiteral(" name=") + name + QStringLiteral(" bid=") +
                            app->bundleID.value_or(QStringLiteral("?")) + QStringLiteral(" pol=") +
                            QString::number(static_cast<int>(app->activationPolicy)));
        }
        image.reset();
        if (app->bundlePath && !app->bundlePath->isEmpty()) image = ws.iconForFile(*app->bundlePath);
        if (!image || image->isNull() || platform::isGenericIcon(*image)) {
            return std::nullopt;
        }
    }
    keep(pid, appID, *image);
    return image;
}

std::optional<QImage> AppIconProvider::iconForBundleID(const QString& bundleID) {
    if (auto it = iconByBundle_.constFind(bundleID); it != iconByBundle_.constEnd()) return it.value();
    auto& ws = platform::workspace();
    const auto url = ws.urlForApplication(bundleID);
    if (!url) return std::nullopt;
    QImage image = ws.iconForFile(*url);
    if (image.isNull() || platform::isGenericIcon(image)) {
        return std::nullopt;
    }
    iconByBundle_.insert(bundleID, image);
    return image;
}

std::optional<QImage> AppIconProvider::iconForPath(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    if (const QImage* found = iconByPath_.object(path)) return *found;
    if (const QImage* missing = missingByPath_.object(path))
        return missing->isNull() ? std::nullopt : std::optional<QImage>(*missing);
    QImage image = platform::workspace().iconForFile(path);
    // A missing icon (or the stand-in) is kept too, apart, so that a row
    // without one is not looked up on every paint; the start menu forgets
    // these when its list of applications changes.
    if (image.isNull() || platform::isGenericIcon(image)) {
        missingByPath_.insert(path, new QImage(image));
        return image.isNull() ? std::nullopt : std::optional<QImage>(image);
    }
    iconByPath_.insert(path, new QImage(image));
    return image;
}

void AppIconProvider::forgetMissingPathIcons() { missingByPath_.clear(); }

QImage AppIconProvider::decodeIconFile(const QString& file, int size) {
    QImageReader reader(file);
    const QSize native = reader.size();
    // A vector file is drawn at the size; a picture larger than it is scaled
    // down, a smaller one kept as it is, as the icon loader does.
    const bool vector = reader.format() == "svg" || reader.format() == "svgz";
    if (native.isValid() && (vector || native.width() > size || native.height() > size))
        reader.setScaledSize(native.scaled(size, size, Qt::KeepAspectRatio));
    else if (!native.isValid() && vector)
        reader.setScaledSize(QSize(size, size));
    QImage image = reader.read();
    if (!image.isNull()) image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

void AppIconProvider::preloadPathIcons(const QStringList& paths, std::function<void(QStringList)> rest) {
    const std::uint64_t generation = ++preloadGeneration_;
    QStringList wanted;
    for (const QString& path : paths)
        if (!path.isEmpty() && !iconByPath_.contains(path) && !missingByPath_.contains(path)) wanted << path;
    std::shared_ptr<platform::Workspace> workspace = platform::installed().workspace;
    if (!preloadQueue_) preloadQueue_.emplace("app.quorvel.icons");
    std::weak_ptr<bool> weak = alive_;
    // Results come back on the main thread, where the caches live.
    auto deliver = [this, weak, generation](QHash<QString, QImage> found) {
        if (weak.expired() || generation != preloadGeneration_) return false;
        for (auto it = found.cbegin(); it != found.cend(); ++it)
            if (!iconByPath_.contains(it.key())) iconByPath_.insert(it.key(), new QImage(it.value()));
        return true;
    };
    preloadQueue_->async([workspace, wanted, deliver, rest] {
        constexpr int batch = 16;
        QHash<QString, QImage> found;
        QStringList unknown;
        // Many entries name one icon: each file is decoded once, and its
        // rows share the one image.
        QHash<QString, QImage> byFile;
        for (const QString& path : wanted) {
            const QString file = workspace ? workspace->iconImageFile(path) : QString();
            QImage image;
            if (!file.isEmpty()) {
                auto it = byFile.constFind(file);
                if (it == byFile.constEnd()) it = byFile.insert(file, decodeIconFile(file));
                image = it.value();
            }
            if (image.isNull()) unknown << path;
            else found.insert(path, std::move(image));
            if (found.size() >= batch) {
                platform::MainQueue::async([deliver, found] { deliver(found); });
                found.clear();
            }
        }
        platform::MainQueue::async([deliver, found, unknown, rest] {
            if (deliver(found) && rest) rest(unknown);
        });
    });
}

QString AppIconProvider::displayName(const QString& bundleID) {
    if (auto it = nameByBundle_.constFind(bundleID); it != nameByBundle_.constEnd()) return it.value();
    auto& ws = platform::workspace();
    QString name;
    if (const auto url = ws.urlForApplication(bundleID)) {
        name = ws.displayName(*url);
        if (name.endsWith(QLatin1String(".app"))) name.chop(4);
    } else {
        name = bundleID;
    }
    nameByBundle_.insert(bundleID, name);
    return name;
}
