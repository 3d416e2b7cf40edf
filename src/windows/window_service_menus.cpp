// Window service: context menus, the window list and the placement commands.
#include <algorithm>

#include "platform/alerts.h"
#include "windows/bar_metrics.h"
#include "windows/ax_element.h"
#include "windows/window_service.h"

#include "core/localization.h"

namespace ax = platform::ax;
using WindowLayoutCalculator::Placement;

namespace {

TaskMenuAction entry(const QString& title, bool separatorBefore, std::function<void()> perform) {
    return TaskMenuAction{title, separatorBefore, std::move(perform)};
}

const AppItem* findApp(const std::vector<AppItem>& apps, std::int32_t pid) {
    for (const auto& app : apps)
        if (app.pid == pid) return &app;
    return nullptr;
}

}  // namespace

std::vector<TaskMenuAction> WindowService::layoutMenuItems(WindowToken token, std::int32_t pid, bool isAppItem) {
    if (!running_) return {};
    std::weak_ptr<WindowService> weak = weak_from_this();
    auto place = [weak, token, pid, isAppItem](Placement placement) {
        return [weak, token, pid, isAppItem, placement] {
            if (auto self = weak.lock()) self->applyPlacement(token, pid, isAppItem, placement);
        };
    };
    return {
        entry(tr_("Maximize"), true, place(Placement::maximize)),
        entry(tr_("Tile Left"), false, place(Placement::leftHalf)),
        entry(tr_("Tile Right"), false, place(Placement::rightHalf)),
    };
}

std::vector<TaskMenuAction> WindowService::menuItems(const TaskButtonKind& kind) {
    if (!running_) return {};
    std::weak_ptr<WindowService> weak = weak_from_this();
    std::vector<TaskMenuAction> items;
    const std::int32_t pid = kind.pid();

    if (auto token = kind.token()) {
        const WindowToken t = *token;
        items.push_back(entry(tr_("Minimize"), false, [weak, t] {
            if (auto self = weak.lock()) self->minimizeWindow(t);
        }));
        items.push_back(entry(tr_("Close"), false, [weak, t] {
            if (auto self = weak.lock()) self->closeWindow(t);
        }));
        for (auto& e : layoutMenuItems(t, pid, false)) items.push_back(std::move(e));
        return items;
    }

    items.push_back(entry(tr_("Hide"), false, [weak, pid] {
        if (auto self = weak.lock()) self->hideApp(pid);
    }));
    items.push_back(entry(tr_("Show in Files"), false, [weak, pid] {
        if (auto self = weak.lock()) self->showInFinder(pid);
    }));
    // The window the placement entries act on unless another one is focused
    // when the command runs.
    if (const AppItem* app = findApp(lastRawSnapshot_, pid); app && !app->windows.empty()) {
        const auto& ws = app->windows;
        auto it = std::find_if(ws.begin(), ws.end(), [](const WindowItem& w) { return w.isFocused; });
        if (it == ws.end()) it = std::find_if(ws.begin(), ws.end(), [](const WindowItem& w) { return !w.isMinimized; });
        if (it == ws.end()) it = ws.begin();
        for (auto& e : layoutMenuItems(it->id, pid, true)) items.push_back(std::move(e));
    }
    items.push_back(entry(tr_("Quit"), true, [weak, pid] {
        if (auto self = weak.lock()) self->sendToApp(pid, AppRequest::terminate);
    }));
    items.push_back(entry(tr_("Force Quit"), false, [weak, pid] {
        if (auto self = weak.lock()) self->sendToApp(pid, AppRequest::forceTerminate);
    }));
    return items;
}

std::vector<TaskMenuAction> WindowService::windowMenuItems(std::int32_t pid) {
    if (!running_) return {};
    const AppItem* app = findApp(lastRawSnapshot_, pid);
    if (!app || app->windows.empty()) return {};
    std::vector<WindowItem> windows = app->windows;
    std::stable_sort(windows.begin(), windows.end(), [](const WindowItem& a, const WindowItem& b) { return a.id < b.id; });
    std::weak_ptr<WindowService> weak = weak_from_this();
    std::vector<TaskMenuAction> items;
    for (const auto& w : windows) {
        const WindowToken token = w.id;
        const QString title = w.title.isEmpty() ? tr_("Untitled") : w.title;
        items.push_back(entry(title, false, [weak, token, pid] {
            if (auto self = weak.lock()) self->focusWindow(token, pid);
        }));
    }
    return items;
}

// ---- commands ------------------------------------------------------------------

void WindowService::applyPlacement(WindowToken token, std::int32_t pid, bool isAppItem, Placement placement) {
    if (!running_ || pid <= 0) return;
    auto displays = BarMetrics::screenBarFrames();
    clickIntent_.reset();
    auto& ws = platform::workspace();
    ws.unhide(pid);
    if (ws.application(pid)) ws.activate(pid, false);
    std::weak_ptr<WindowService> weak = weak_from_this();
    windowQueue_.async([weak, token, isAppItem, pid, displays = std::move(displays), placement] {
        auto self = weak.lock();
        if (!self) {
            platform::MainQueue::async([] { platform::alerts().beep(); });
            return;
        }
        self->placeWindow(token, isAppItem, pid, displays, placement);
    });
}

void WindowService::placeWindow(WindowToken token, bool isAppItem, std::int32_t pid,
                                const std::vector<WindowLayoutCalculator::DisplayArea>& displays,
                                Placement placement) {
    auto it = q_.elements.find(token);
    if (it == q_.elements.end()) {
        beepOnMain();
        return;
    }
    ax::Element target = it->second;
    if (isAppItem) {
        if (auto focused = AXElement::focusedWindow(AXElement::application(pid))) {
            // Ascending token order: the lowest token holding it.
            for (const auto& [t, element] : q_.elements)
                if (element == *focused) {
                    target = element;
                    break;
                }
        }
    }
    if (!WindowEnumerator::place(target, displays, placement)) beepOnMain();
    scheduleScanFromAnyThread();
}

void WindowService::showInFinder(std::int32_t pid) {
    if (!running_ || pid <= 0) return;
    auto app = platform::workspace().application(pid);
    if (!app || !app->bundlePath) return;
    // Where no file viewer can be asked, the user hears that nothing happened.
    if (!platform::workspace().revealInFileViewer(*app->bundlePath)) beepOnMain();
}

void WindowService::sendToApp(std::int32_t pid, AppRequest request) {
    if (!running_ || pid <= 0) return;
    auto& ws = platform::workspace();
    // Never ask process 1 or ourselves to quit.
    if (pid <= 1 || pid == ws.ownProcessID()) return;
    if (!ws.application(pid)) return;
    if (request == AppRequest::terminate) ws.terminate(pid);
    else ws.forceTerminate(pid);
}
