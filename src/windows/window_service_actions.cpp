// Window service: clicks, the click intent and the window actions.
#include <QApplication>
#include <QWidget>

#include "platform/alerts.h"
#include "windows/ax_element.h"
#include "windows/window_service.h"

namespace ax = platform::ax;

namespace {
const QString finderBundleID = QStringLiteral("com.apple.finder");

// A window of our own that the user could minimise from its title bar.
bool isMiniaturizable(const QWidget* w) {
    const Qt::WindowFlags flags = w->windowFlags();
    if (flags.testFlag(Qt::FramelessWindowHint)) return false;
    if (flags.testFlag(Qt::CustomizeWindowHint)) return flags.testFlag(Qt::WindowMinimizeButtonHint);
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || flags.testFlag(Qt::WindowMinimizeButtonHint);
}
}  // namespace

void WindowService::beepOnMain() const {
    platform::MainQueue::async([] { platform::alerts().beep(); });
}

// ---- click decision ----------------------------------------------------------

void WindowService::handleClick(const TaskButtonItem& item, bool toggle) {
    if (!running_) return;
    if (!toggle || !item.isActive) {
        activateApp(item);
        return;
    }
    if (auto token = item.kind.token()) {
        minimizeWindow(*token);
        return;
    }
    if (item.pid <= 0) return;
    setClickIntent(item.pid, true, std::nullopt);
    platform::workspace().hide(item.pid);
    scheduleScanFromAnyThread();
}

void WindowService::activateApp(const TaskButtonItem& item) {
    if (!running_) return;
    const std::int32_t pid = item.pid;
    if (pid <= 0) return;
    setClickIntent(pid, false, item.kind.token());
    auto& ws = platform::workspace();
    ws.unhide(pid);
    if (ws.application(pid)) ws.activate(pid, false);

    std::weak_ptr<WindowService> weak = weak_from_this();
    if (auto token = item.kind.token()) {
        const WindowToken t = *token;
        windowQueue_.async([weak, t] {
            if (auto self = weak.lock()) self->raiseToken(t, true);
        });
        return;
    }
    std::optional<WindowToken> target;
    for (const auto& app : lastRawSnapshot_) {
        if (app.pid != pid) continue;
        for (const auto& w : app.windows)
            if (w.isFocused) {
                target = w.id;
                break;
            }
        if (!target && !app.windows.empty()) target = app.windows.front().id;
        break;
    }
    if (target) {
        const WindowToken t = *target;
        windowQueue_.async([weak, t] {
            if (auto self = weak.lock()) self->raiseToken(t, true);
        });
    } else {
        openApp(pid);
        scheduleScanFromAnyThread();
    }
}

void WindowService::openApp(std::int32_t pid) {
    if (!running_ || pid <= 0) return;
    auto app = platform::workspace().application(pid);
    if (!app || !app->bundlePath) return;
    platform::workspace().openApplication(*app->bundlePath, [](platform::OpenResult result) {
        if (!result.ok) platform::alerts().beep();
    });
}

// ---- window actions ------------------------------------------------------------

void WindowService::raiseToken(WindowToken token, bool scanWhenMissing) {
    auto it = q_.elements.find(token);
    if (it == q_.elements.end()) {
        if (scanWhenMissing) scheduleScanFromAnyThread();
        return;
    }
    WindowEnumerator::raise(it->second);
    scheduleScanFromAnyThread();
}

void WindowService::minimizeWindow(WindowToken token) {
    if (!running_) return;
    // Show the result at once; the scan that follows the write confirms it
    // (a list changed here is not what a scan found).
    lastScan_.reset();
    resumePoll();
    for (auto& app : lastRawSnapshot_)
        for (auto& w : app.windows)
            if (w.id == token) {
                w.isMinimized = true;
                w.isFocused = false;
            }
    clickIntent_.reset();
    if (onSnapshot_) emitSnapshot(applyClickIntent(lastRawSnapshot_));

    std::weak_ptr<WindowService> weak = weak_from_this();
    windowQueue_.async([weak, token] {
        auto self = weak.lock();
        if (!self) return;
        auto it = self->q_.elements.find(token);
        if (it == self->q_.elements.end()) return;
        ax::api().setAttribute(it->second, ax::names::minimized, ax::Value(true));
        self->scheduleScanFromAnyThread();
    });
}

void WindowService::closeWindow(WindowToken token) {
    if (!running_) return;
    clickIntent_.reset();
    std::weak_ptr<WindowService> weak = weak_from_this();
    windowQueue_.async([weak, token] {
        auto self = weak.lock();
        if (!self) return;
        auto it = self->q_.elements.find(token);
        if (it == self->q_.elements.end()) return;
        AXElement::pressCloseButton(it->second);
        self->scheduleScanFromAnyThread();
    });
}

void WindowService::hideApp(std::int32_t pid) {
    if (!running_ || pid <= 0) return;
    setClickIntent(pid, true, std::nullopt);
    platform::workspace().hide(pid);
    scheduleScanFromAnyThread();
}

void WindowService::focusWindow(WindowToken token, std::int32_t pid) {
    if (!running_ || pid <= 0) return;
    setClickIntent(pid, false, token);
    auto& ws = platform::workspace();
    ws.unhide(pid);
    if (ws.application(pid)) ws.activate(pid, false);
    std::weak_ptr<WindowService> weak = weak_from_this();
    windowQueue_.async([weak, token] {
        if (auto self = weak.lock()) self->raiseToken(token, false);
    });
}

void WindowService::minimizeAll() {
    if (!running_) return;
    const std::uint64_t generation = lifecycleGeneration_;
    if (!ax::api().isProcessTrusted(false)) {
        platform::alerts().beep();
        return;
    }
    clickIntent_.reset();

    // Our own windows go first.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isWindow() || !w->isVisible() || w->isMinimized() || !isMiniaturizable(w)) continue;
            w->showMinimized();
        }
    }

    const auto pids = listedPIDs();
    std::weak_ptr<WindowService> weak = weak_from_this();
    windowQueue_.async([weak, pids, generation] {
        for (std::int32_t pid : pids) {
            const auto app = AXElement::application(pid);
            for (const auto& w : AXElement::windows(app)) {
                const auto sub = AXElement::subrole(w);
                if (!sub || *sub != ax::names::standardWindow) continue;
                if (!AXElement::hasCloseButton(w)) continue;
                if (AXElement::isMinimized(w) || AXElement::isFullScreen(w)) continue;
                ax::api().setAttribute(w, ax::names::minimized, ax::Value(true));
            }
        }
        platform::MainQueue::async([weak, generation] {
            auto self = weak.lock();
            if (!self) return;
            self->activateFinder(generation);
            self->scheduleScanFromAnyThread();
        });
    });
}

void WindowService::activateFinder(std::uint64_t generation) {
    if (!running_ || lifecycleGeneration_ != generation) return;
    auto& ws = platform::workspace();
    for (const auto& app : ws.runningApplications()) {
        if (app.bundleID && *app.bundleID == finderBundleID && !app.isTerminated) {
            ws.activate(app.pid, false);
            return;
        }
    }
}

// ---- click intent --------------------------------------------------------------

void WindowService::setClickIntent(std::int32_t pid, bool isHide, std::optional<WindowToken> focusToken) {
    clickIntent_ = ClickIntent{pid, isHide, focusToken, platform::uptime() + clickIntentLifetime};
    if (onSnapshot_) emitSnapshot(applyClickIntent(lastRawSnapshot_));
}

std::vector<AppItem> WindowService::applyClickIntent(const std::vector<AppItem>& raw) {
    if (!clickIntent_) return raw;
    const ClickIntent intent = *clickIntent_;
    if (platform::uptime() >= intent.deadline) {
        clickIntent_.reset();
        return raw;
    }
    const AppItem* target = nullptr;
    for (const auto& app : raw)
        if (app.pid == intent.pid) {
            target = &app;
            break;
        }
    if (!target) {
        clickIntent_.reset();
        return raw;
    }
    const bool shown = intent.isHide ? !target->hasVisibleWindow
                                     : (target->isActive && !target->isHidden && target->hasVisibleWindow);
    if (shown) {
        clickIntent_.reset();
        return raw;
    }

    std::vector<AppItem> out = raw;
    bool first = true;
    for (auto& app : out) {
        // Only the first application with the pid carries the overlay.
        const bool isTarget = app.pid == intent.pid && first;
        if (isTarget) first = false;
        if (intent.isHide) {
            if (!isTarget) continue;
            app.isActive = false;
            app.isHidden = true;
            app.hasVisibleWindow = false;
            for (auto& w : app.windows) w.isFocused = false;
        } else if (isTarget) {
            app.isActive = true;
            app.isHidden = false;
            app.hasVisibleWindow = true;
            for (auto& w : app.windows) {
                if (intent.focusToken) {
                    if (w.id == *intent.focusToken) {
                        w.isFocused = true;
                        w.isMinimized = false;
                    } else {
                        w.isFocused = false;
                    }
                } else {
                    w.isMinimized = false;
                }
            }
        } else {
            app.isActive = false;
        }
    }
    return out;
}
