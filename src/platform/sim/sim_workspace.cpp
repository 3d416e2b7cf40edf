#include "platform/sim/sim_workspace.h"

#include <QFileInfo>

namespace platform::sim {

std::vector<RunningApplication> SimWorkspace::runningApplications() {
    std::lock_guard lock(core_->mutex);
    std::vector<RunningApplication> out;
    for (auto pid : core_->launchOrder) {
        const AppState* a = core_->app(pid);
        if (a && !a->terminated) out.push_back(core_->describe(*a));
    }
    return out;
}

std::optional<RunningApplication> SimWorkspace::application(std::int32_t pid) {
    std::lock_guard lock(core_->mutex);
    const AppState* a = core_->app(pid);
    if (!a) return std::nullopt;
    return core_->describe(*a);
}

std::optional<RunningApplication> SimWorkspace::frontmostApplication() {
    std::lock_guard lock(core_->mutex);
    const AppState* a = core_->app(core_->frontmost);
    if (!a || a->terminated) return std::nullopt;
    return core_->describe(*a);
}

std::int32_t SimWorkspace::ownProcessID() {
    std::lock_guard lock(core_->mutex);
    return core_->ownPid;
}

bool SimWorkspace::isProcessAlive(std::int32_t pid) {
    std::lock_guard lock(core_->mutex);
    const AppState* a = core_->app(pid);
    return a && !a->terminated;
}

bool SimWorkspace::activate(std::int32_t pid, bool allWindows) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("workspace.activate pid=%1%2").arg(pid).arg(allWindows ? " all" : ""));
    return core_->activate(pid);
}

bool SimWorkspace::hide(std::int32_t pid) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("workspace.hide pid=%1").arg(pid));
    return core_->setHidden(pid, true);
}

bool SimWorkspace::unhide(std::int32_t pid) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("workspace.unhide pid=%1").arg(pid));
    return core_->setHidden(pid, false);
}

bool SimWorkspace::terminate(std::int32_t pid) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("workspace.terminate pid=%1").arg(pid));
    return core_->terminate(pid, false);
}

bool SimWorkspace::forceTerminate(std::int32_t pid) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("workspace.forceTerminate pid=%1").arg(pid));
    return core_->terminate(pid, true);
}

void SimWorkspace::openApplication(const QString& path, std::function<void(OpenResult)> completion) {
    OpenResult result{true, {}};
    {
        std::lock_guard lock(core_->mutex);
        core_->log(QStringLiteral("workspace.openApplication ") + path);
        auto it = core_->openResults.find(path);
        if (it != core_->openResults.end()) {
            result = it->second;
        } else {
            // An installed bundle that does not run yet starts now.
            auto b = core_->bundles.find(path);
            bool running = false;
            for (auto& [pid, a] : core_->apps)
                if (!a.terminated && a.given.bundlePath == path) running = true;
            if (b != core_->bundles.end() && !running) {
                AppSpec given;
                given.bundleID = b->second.bundleID;
                given.bundlePath = path;
                given.name = b->second.info.value(QStringLiteral("CFBundleName")).toString();
                if (given.name.isEmpty()) given.name = QFileInfo(path).completeBaseName();
                given.active = true;
                core_->addApplication(given);
            } else if (b == core_->bundles.end() && !running) {
                result = OpenResult{false, QStringLiteral("The application can't be opened.")};
            } else {
                for (auto& [pid, a] : core_->apps)
                    if (!a.terminated && a.given.bundlePath == path) {
                        core_->activate(pid);
                        break;
                    }
            }
        }
    }
    if (completion) core_->onMain([completion, result] { completion(result); });
}

bool SimWorkspace::openURL(const QString& url) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("workspace.openURL ") + url);
    auto it = core_->openURLResults.find(url);
    return it == core_->openURLResults.end() ? true : it->second;
}

bool SimWorkspace::revealInFileViewer(const QString& path) {
    core_->log(QStringLiteral("workspace.reveal ") + path);
    std::lock_guard lock(core_->mutex);
    return core_->fileViewerAvailable;
}

std::optional<QString> SimWorkspace::urlForApplication(const QString& bundleID) {
    std::lock_guard lock(core_->mutex);
    if (bundleID.isEmpty()) return std::nullopt;
    for (auto& [path, info] : core_->bundles)
        if (info.bundleID == bundleID) return path;
    for (auto pid : core_->launchOrder) {
        const AppState* a = core_->app(pid);
        if (a && a->given.bundleID == bundleID && !a->given.bundlePath.isEmpty()) return a->given.bundlePath;
    }
    return std::nullopt;
}

std::optional<QImage> SimWorkspace::iconForApplication(std::int32_t pid) {
    QColor color;
    {
        std::lock_guard lock(core_->mutex);
        const AppState* a = core_->app(pid);
        if (!a || !a->given.hasIcon) return std::nullopt;
        color = a->given.iconColor.value_or(Core::colorFor(a->given.bundleID.isEmpty() ? a->given.name : a->given.bundleID));
    }
    return Core::makeIcon(color);
}

QImage SimWorkspace::iconForFile(const QString& path) {
    QColor color(128, 128, 128);
    {
        std::lock_guard lock(core_->mutex);
        auto b = core_->bundles.find(path);
        if (b != core_->bundles.end()) color = Core::colorFor(b->second.bundleID);
        for (auto& [pid, a] : core_->apps)
            if (a.given.bundlePath == path && !path.isEmpty())
                color = a.given.iconColor.value_or(Core::colorFor(a.given.bundleID.isEmpty() ? a.given.name : a.given.bundleID));
    }
    return Core::makeIcon(color);
}

QString SimWorkspace::displayName(const QString& path) {
    std::lock_guard lock(core_->mutex);
    auto it = core_->displayNames.find(path);
    if (it != core_->displayNames.end()) return it->second;
    QString p = path;
    while (p.size() > 1 && p.endsWith('/')) p.chop(1);
    QString name = p.section('/', -1);
    if (name.endsWith(QLatin1String(".app"))) name.chop(4);
    return name;
}

int SimWorkspace::addObserver(Callback callback) {
    std::lock_guard lock(core_->mutex);
    int token = core_->nextToken++;
    core_->workspaceObservers[token] = std::move(callback);
    return token;
}

void SimWorkspace::removeObserver(int token) {
    std::lock_guard lock(core_->mutex);
    core_->workspaceObservers.erase(token);
}

}  // namespace platform::sim
