#include "platform/sim/sim_core.h"

#include <QPainter>
#include <algorithm>
#include <limits>

namespace platform::sim {

namespace names = ax::names;
namespace wn = workspace_notifications;

Core::Core(std::shared_ptr<LabelingDispatcher> d, std::shared_ptr<ManualDispatcher> m)
    : dispatcher(std::move(d)), manual(std::move(m)) {}

void Core::log(const QString& line) {
    std::lock_guard lock(mutex);
    // A long-running demo must not grow without bound: keep the newer half.
    constexpr std::size_t maxLines = 100000;
    if (logLines.size() >= maxLines) logLines.erase(logLines.begin(), logLines.begin() + maxLines / 2);
    logLines.push_back(line);
}

void Core::onMain(Task task) { dispatcher->mainQueue().async(std::move(task)); }

AppState* Core::app(std::int32_t pid) {
    auto it = apps.find(pid);
    return it == apps.end() ? nullptr : &it->second;
}

WindowState* Core::window(std::uint64_t number) {
    auto it = windows.find(number);
    return it == windows.end() ? nullptr : &it->second;
}

ElementState* Core::element(std::uint64_t identity) {
    auto it = elements.find(identity);
    return it == elements.end() ? nullptr : &it->second;
}

std::uint64_t Core::newElement(ElementKind kind, std::int32_t pid, std::uint64_t windowNumber) {
    std::uint64_t id = nextElement++;
    ElementState e;
    e.kind = kind;
    e.pid = pid;
    e.window = windowNumber;
    elements.emplace(id, std::move(e));
    return id;
}

std::uint64_t Core::appElementFor(std::int32_t pid) {
    auto it = appElements.find(pid);
    if (it != appElements.end()) return it->second;
    std::uint64_t id = newElement(ElementKind::application, pid);
    appElements.emplace(pid, id);
    return id;
}

RunningApplication Core::describe(const AppState& a) const {
    RunningApplication r;
    r.pid = a.given.pid;
    if (!a.given.bundleID.isEmpty()) r.bundleID = a.given.bundleID;
    if (!a.given.bundlePath.isEmpty()) r.bundlePath = a.given.bundlePath;
    if (!a.given.executablePath.isEmpty()) r.executablePath = a.given.executablePath;
    r.localizedName = a.given.name;
    r.activationPolicy = a.given.policy;
    r.isHidden = a.given.hidden;
    r.isActive = !a.terminated && frontmost == a.given.pid;
    r.isTerminated = a.terminated;
    r.isFinishedLaunching = a.given.finishedLaunching;
    return r;
}

bool Core::isWindowVisible(const WindowState& w) const {
    auto it = apps.find(w.pid);
    if (it == apps.end() || it->second.terminated || it->second.given.hidden) return false;
    return w.given.onScreen && !w.given.minimized && w.given.space == currentSpace;
}

std::vector<std::uint64_t> Core::windowsOf(std::int32_t pid) const {
    std::vector<std::uint64_t> out;
    for (auto n : zOrder) {
        auto it = windows.find(n);
        if (it != windows.end() && it->second.pid == pid) out.push_back(n);
    }
    return out;
}

void Core::changed() {
    changes.fetch_add(1, std::memory_order_acq_rel);
    std::lock_guard lock(mutex);
    // One delivery for a burst: the changes that follow find it pending.
    if (changeObservers.empty() || changeDeliveryPending) return;
    changeDeliveryPending = true;
    std::weak_ptr<Core> weak = weak_from_this();
    dispatcher->mainQueue().async([weak] {
        auto core = weak.lock();
        if (!core) return;
        std::vector<std::function<void()>> callbacks;
        {
            std::lock_guard lock(core->mutex);
            core->changeDeliveryPending = false;
            for (auto& [token, cb] : core->changeObservers) callbacks.push_back(cb);
        }
        for (auto& cb : callbacks)
            if (cb) cb();
    });
}

std::int32_t Core::addApplication(AppSpec given) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    if (given.pid <= 0 || apps.count(given.pid)) {
        auto taken = [&](std::int32_t p) { return apps.count(p) || p == ownPid || p == dockPid; };
        while (taken(nextPid)) nextPid = nextPid == std::numeric_limits<std::int32_t>::max() ? 200 : nextPid + 1;
        given.pid = nextPid;
        nextPid = nextPid == std::numeric_limits<std::int32_t>::max() ? 200 : nextPid + 1;
    }
    std::int32_t pid = given.pid;
    bool makeActive = given.active;
    given.active = false;
    AppState a;
    a.given = std::move(given);
    a.element = appElementFor(pid);
    apps.emplace(pid, std::move(a));
    launchOrder.push_back(pid);
    postWorkspace(wn::didLaunchApplication, pid);
    if (makeActive) activate(pid);
    return pid;
}

std::uint64_t Core::addWindow(std::int32_t pid, WindowSpec given) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    AppState* a = app(pid);
    if (!a || a->terminated) return 0;
    std::uint64_t number = nextWindow++;
    if (given.space == 0) given.space = currentSpace;
    WindowState w;
    w.number = number;
    w.pid = pid;
    bool focus = given.focused;
    given.focused = false;
    w.given = std::move(given);
    w.element = newElement(ElementKind::window, pid, number);
    w.closeButton = newElement(ElementKind::closeButton, pid, number);
    windows.emplace(number, std::move(w));
    zOrder.insert(zOrder.begin(), number);
    postAx(windows[number].element, pid, names::windowCreated);
    if (focus || a->focusedWindow == 0) focusWindow(pid, number);
    return number;
}

void Core::destroyElementTree(std::uint64_t identity) {
    ChangeNote note(*this);
    ElementState* e = element(identity);
    if (!e || e->destroyed) return;
    e->destroyed = true;
    auto children = e->children;
    for (auto c : children) destroyElementTree(c);
}

bool Core::removeWindow(std::uint64_t number) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    WindowState* w = window(number);
    if (!w) return false;
    std::int32_t pid = w->pid;
    std::uint64_t el = w->element;
    std::uint64_t close = w->closeButton;
    postAx(el, pid, names::uiElementDestroyed);
    destroyElementTree(el);
    destroyElementTree(close);
    windows.erase(number);
    zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), number), zOrder.end());
    if (AppState* a = app(pid)) {
        bool wasFocused = a->focusedWindow == number;
        if (a->mainWindow == number) a->mainWindow = 0;
        if (wasFocused) {
            a->focusedWindow = 0;
            auto rest = windowsOf(pid);
            for (auto n : rest) {
                if (!windows[n].given.minimized) {
                    focusWindow(pid, n);
                    break;
                }
            }
        }
    }
    return true;
}

bool Core::activate(std::int32_t pid) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    AppState* a = app(pid);
    if (!a || a->terminated) return false;
    if (a->given.hidden) setHidden(pid, false);
    // The application's windows come to the front, keeping their order.
    auto mine = windowsOf(pid);
    std::vector<std::uint64_t> others;
    for (auto n : zOrder)
        if (std::find(mine.begin(), mine.end(), n) == mine.end()) others.push_back(n);
    mine.insert(mine.end(), others.begin(), others.end());
    zOrder = std::move(mine);
    if (frontmost == pid) return true;
    std::int32_t previous = frontmost;
    frontmost = pid;
    if (previous != 0 && app(previous)) {
        postAx(appElementFor(previous), previous, names::applicationDeactivated);
        postWorkspace(wn::didDeactivateApplication, previous);
    }
    postAx(a->element, pid, names::applicationActivated);
    postWorkspace(wn::didActivateApplication, pid);
    return true;
}

bool Core::setHidden(std::int32_t pid, bool hidden) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    AppState* a = app(pid);
    if (!a || a->terminated) return false;
    if (a->given.hidden == hidden) return true;
    a->given.hidden = hidden;
    postAx(a->element, pid, hidden ? names::applicationHidden : names::applicationShown);
    postWorkspace(hidden ? wn::didHideApplication : wn::didUnhideApplication, pid);
    if (hidden && frontmost == pid) {
        frontmost = 0;
        postAx(a->element, pid, names::applicationDeactivated);
        postWorkspace(wn::didDeactivateApplication, pid);
        activateNextAfter(pid);
    }
    return true;
}

void Core::activateNextAfter(std::int32_t pid) {
    ChangeNote note(*this);
    // The application that owns the frontmost visible window takes over.
    for (auto n : zOrder) {
        auto& w = windows[n];
        if (w.pid != pid && isWindowVisible(w)) {
            activate(w.pid);
            return;
        }
    }
}

bool Core::terminate(std::int32_t pid, bool force) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    AppState* a = app(pid);
    if (!a || a->terminated) return false;
    if (!force && a->terminateRefused) return true;
    a->terminated = true;
    for (auto n : windowsOf(pid)) {
        destroyElementTree(windows[n].element);
        destroyElementTree(windows[n].closeButton);
        windows.erase(n);
        zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), n), zOrder.end());
    }
    for (auto c : std::vector<std::uint64_t>(elements[a->element].children)) destroyElementTree(c);
    a->focusedWindow = a->mainWindow = 0;
    const bool wasFrontmost = frontmost == pid;
    if (wasFrontmost) {
        frontmost = 0;
        postWorkspace(wn::didDeactivateApplication, pid);
    }
    postWorkspace(wn::didTerminateApplication, pid);
    if (wasFrontmost) activateNextAfter(pid);
    return true;
}

bool Core::moveWindow(std::uint64_t number, Point origin) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    WindowState* w = window(number);
    if (!w) return false;
    if (w->moveRefused) return false;
    if (w->given.frame.origin == origin) return true;
    w->given.frame.origin = origin;
    postAx(w->element, w->pid, names::windowMoved);
    return true;
}

bool Core::resizeWindow(std::uint64_t number, Size size) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    WindowState* w = window(number);
    if (!w) return false;
    if (w->resizeRefused) return false;
    if (w->minSize) {
        size.width = std::max(size.width, w->minSize->width);
        size.height = std::max(size.height, w->minSize->height);
    }
    if (w->maxSize) {
        size.width = std::min(size.width, w->maxSize->width);
        size.height = std::min(size.height, w->maxSize->height);
    }
    size.width = std::max(0.0, size.width);
    size.height = std::max(0.0, size.height);
    if (w->given.frame.size == size) return true;
    w->given.frame.size = size;
    postAx(w->element, w->pid, names::windowResized);
    return true;
}

void Core::setMinimized(std::uint64_t number, bool minimized) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    WindowState* w = window(number);
    if (!w || w->given.minimized == minimized) return;
    w->given.minimized = minimized;
    postAx(w->element, w->pid, minimized ? names::windowMiniaturized : names::windowDeminiaturized);
    AppState* a = app(w->pid);
    if (!a) return;
    if (minimized && a->focusedWindow == number) {
        // Focus passes to the next window of the application that is not minimised.
        a->focusedWindow = 0;
        for (auto n : windowsOf(w->pid)) {
            if (n != number && !windows[n].given.minimized) {
                focusWindow(w->pid, n);
                break;
            }
        }
    } else if (!minimized) {
        raiseWindow(number);
    }
}

void Core::focusWindow(std::int32_t pid, std::uint64_t number) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    AppState* a = app(pid);
    WindowState* w = window(number);
    if (!a || !w || w->pid != pid) return;
    if (a->focusedWindow != number) {
        a->focusedWindow = number;
        postAx(w->element, pid, names::focusedWindowChanged);
    }
    if (a->mainWindow != number) {
        a->mainWindow = number;
        postAx(w->element, pid, names::mainWindowChanged);
    }
}

void Core::raiseWindow(std::uint64_t number) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    WindowState* w = window(number);
    if (!w) return;
    zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), number), zOrder.end());
    zOrder.insert(zOrder.begin(), number);
    focusWindow(w->pid, number);
}

void Core::setTitle(std::uint64_t number, const QString& title) {
    ChangeNote note(*this);
    std::lock_guard lock(mutex);
    WindowState* w = window(number);
    if (!w || w->given.title == title) return;
    w->given.title = title;
    postAx(w->element, w->pid, names::titleChanged);
}

void Core::moveWindowFrame(WindowState& win, Rect frame) {
    const Rect before = win.given.frame;
    win.given.frame = frame;
    if (!(before.origin == frame.origin)) postAx(win.element, win.pid, names::windowMoved);
    if (!(before.size == frame.size)) postAx(win.element, win.pid, names::windowResized);
}

void Core::postAx(std::uint64_t elementIdentity, std::int32_t pid, const QString& notification) {
    std::lock_guard lock(mutex);
    std::uint64_t appEl = appElementFor(pid);
    observers.erase(std::remove_if(observers.begin(), observers.end(), [](auto& w) { return w.expired(); }),
                    observers.end());
    ax::Element subject(elementIdentity, pid);
    std::weak_ptr<Core> weak = weak_from_this();
    for (auto& wobs : observers) {
        auto obs = wobs.lock();
        if (!obs || !obs->valid || obs->pid != pid) continue;
        bool wanted = obs->registrations.count({elementIdentity, notification}) ||
                      obs->registrations.count({appEl, notification});
        if (!wanted) continue;
        onMain([weak, obs, subject, notification] {
            auto core = weak.lock();
            if (!core) return;
            {
                std::lock_guard l(core->mutex);
                if (!obs->valid) return;
            }
            obs->callback(subject, notification);
        });
    }
}

void Core::postWorkspace(const QString& name, std::int32_t pid) {
    std::lock_guard lock(mutex);
    std::weak_ptr<Core> weak = weak_from_this();
    for (auto& [token, cb] : workspaceObservers) {
        int t = token;
        onMain([weak, t, name, pid] {
            auto core = weak.lock();
            if (!core) return;
            Workspace::Callback callback;
            {
                std::lock_guard l(core->mutex);
                auto it = core->workspaceObservers.find(t);
                if (it == core->workspaceObservers.end()) return;
                callback = it->second;
            }
            callback(name, pid);
        });
    }
}

void Core::postToObservers(std::map<int, std::function<void()>> Core::*table) {
    std::lock_guard lock(mutex);
    std::weak_ptr<Core> weak = weak_from_this();
    for (auto& [token, cb] : this->*table) {
        int t = token;
        onMain([weak, t, table] {
            auto core = weak.lock();
            if (!core) return;
            std::function<void()> callback;
            {
                std::lock_guard l(core->mutex);
                auto& map = (*core).*table;
                auto it = map.find(t);
                if (it == map.end()) return;
                callback = it->second;
            }
            callback();
        });
    }
}

double Core::primaryHeight() const { return displays.empty() ? 0 : displays.front().bounds.height(); }

Screen Core::screenOf(const DisplayState& d) const {
    Screen s;
    s.id = d.id;
    s.name = d.name;
    s.bounds = d.bounds;
    s.backingScale = d.scale;
    const double h = primaryHeight();
    s.frame = Rect(d.bounds.minX(), h - d.bounds.maxY(), d.bounds.width(), d.bounds.height());
    s.visibleFrame = s.frame;
    if (!displays.empty() && displays.front().id == d.id)
        s.visibleFrame.size.height = std::max(0.0, s.visibleFrame.size.height - menuBarHeight);
    return s;
}

QColor Core::colorFor(const QString& key) {
    const uint h = qHash(key.isEmpty() ? QStringLiteral("?") : key);
    return QColor::fromHsv(int(h % 360), 150 + int((h / 360) % 80), 200);
}

QImage Core::makeIcon(const QColor& color) {
    QImage img(64, 64, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);
    p.setBrush(color.lighter(160));
    p.drawEllipse(QRectF(20, 20, 24, 24));
    return img;
}

QString describeValue(const ax::Value& value) {
    auto num = [](double d) { return QString::number(d); };
    return std::visit(
        [&](const auto& v) -> QString {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) return QStringLiteral("(none)");
            else if constexpr (std::is_same_v<T, bool>) return v ? QStringLiteral("true") : QStringLiteral("false");
            else if constexpr (std::is_same_v<T, std::int64_t>) return QString::number(v);
            else if constexpr (std::is_same_v<T, double>) return num(v);
            else if constexpr (std::is_same_v<T, QString>) return QStringLiteral("\"%1\"").arg(v);
            else if constexpr (std::is_same_v<T, Point>) return num(v.x) + "," + num(v.y);
            else if constexpr (std::is_same_v<T, Size>) return num(v.width) + "x" + num(v.height);
            else if constexpr (std::is_same_v<T, Rect>)
                return num(v.origin.x) + "," + num(v.origin.y) + " " + num(v.size.width) + "x" + num(v.size.height);
            else if constexpr (std::is_same_v<T, ax::Element>) return QStringLiteral("element:%1").arg(v.identity());
            else if constexpr (std::is_same_v<T, ax::ElementList>) return QStringLiteral("elements[%1]").arg(v.size());
            else return QStringLiteral("url:") + v.string;
        },
        value);
}

}  // namespace platform::sim
