#include "taskbar/app_icon_provider.h"

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

void AppIconProvider::applicationTerminated(std::int32_t pid) { iconByPid_.remove(pid); }

std::optional<QImage> AppIconProvider::icon(std::int32_t pid) {
    if (pid <= 0) return std::nullopt;
    if (auto it = iconByPid_.constFind(pid); it != iconByPid_.constEnd()) return it.value();
    auto& ws = platform::workspace();
    const auto app = ws.application(pid);
    if (!app) return std::nullopt;
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
    iconByPid_.insert(pid, *image);
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
    if (auto it = iconByPath_.constFind(path); it != iconByPath_.constEnd()) return it.value();
    QImage image = platform::workspace().iconForFile(path);
    if (image.isNull()) return std::nullopt;
    // The stand-in is shown but not kept: the next ask may find the real icon.
    if (platform::isGenericIcon(image)) return image;
    iconByPath_.insert(path, image);
    return image;
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
