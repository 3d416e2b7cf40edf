#include "platform/sim/simulated_desktop.h"

#include <QDir>
#include "platform/files.h"

#include <QFile>

#include "platform/linux/property_list.h"
#include "platform/linux/threaded_dispatcher.h"
#include "platform/power_sources.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_accessibility.h"
#include "platform/sim/sim_displays.h"
#include "platform/sim/sim_hotkeys.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_window_server.h"
#include "platform/sim/sim_workspace.h"

namespace platform::sim {

namespace names = ax::names;

SimulatedDesktop::SimulatedDesktop(const Options& options) : options_(options) {
    std::shared_ptr<ManualDispatcher> manual;
    std::shared_ptr<Dispatcher> inner;
    if (options.threaded) {
        inner = std::make_shared<linux_backend::ThreadedDispatcher>();
    } else {
        manual = std::make_shared<ManualDispatcher>(options.startTime);
        inner = manual;
    }
    auto labeling = std::make_shared<LabelingDispatcher>(inner);
    core_ = std::make_shared<Core>(labeling, manual);

    std::shared_ptr<prefs::Backend> prefsBackend = options.preferences;
    if (!prefsBackend) {
        memoryPrefs_ = std::make_shared<prefs::MemoryBackend>();
        prefsBackend = memoryPrefs_;
    }
    hotKeys_ = std::make_shared<SimHotKeys>(core_);
    windowServer_ = std::make_shared<SimWindowServer>(core_);

    services_.dispatcher = labeling;
    services_.accessibility = std::make_shared<SimAccessibility>(core_);
    services_.workspace = std::make_shared<SimWorkspace>(core_);
    services_.windowServer = windowServer_;
    services_.displays = std::make_shared<SimDisplays>(core_);
    services_.preferences = std::make_shared<LoggingPreferences>(core_, prefsBackend);
    services_.bundles = std::make_shared<SimBundles>(core_);
    services_.hotKeys = hotKeys_;
    services_.loginItems = std::make_shared<SimLoginItems>(core_);
    services_.powerSources = std::make_shared<SimPowerSources>(core_);
    services_.session = std::make_shared<SimSession>(core_);
    if (options.updater) services_.updater = std::make_shared<SimUpdater>(core_);
    services_.processes = std::make_shared<SimProcesses>(core_);
    services_.alerts = std::make_shared<SimAlerts>(core_);
    services_.application = std::make_shared<SimApplication>(core_);
    services_.log = std::make_shared<SimSystemLog>(core_);
    applicationFolders_ = std::make_shared<BundleFolders>(QStringList{}, QStringList{});
    services_.applicationFolders = applicationFolders_;
    compositor_ = std::make_shared<ManualCompositor>(true);
    services_.compositor = compositor_;

    std::lock_guard lock(core_->mutex);
    core_->mainInfo.insert(QStringLiteral("CFBundleName"), QStringLiteral("Quorvel"));
    core_->mainInfo.insert(QStringLiteral("CFBundleShortVersionString"), QStringLiteral("0.1.0"));
    core_->mainInfo.insert(QStringLiteral("SUFeedURL"), QStringLiteral("https://updates.quorvel.app/appcast.xml"));
    if (options.ownApplication) {
        AppSpec own;
        own.pid = core_->ownPid;
        own.bundleID = core_->mainBundleID;
        own.name = QStringLiteral("Quorvel");
        own.bundlePath = QStringLiteral("/Applications/Quorvel.app");
        own.executablePath = QStringLiteral("/Applications/Quorvel.app/Contents/MacOS/Quorvel");
        core_->addApplication(own);
    }
    if (options.dock) {
        AppSpec dock;
        dock.bundleID = prefs::dockDomain;
        dock.name = QStringLiteral("Dock");
        dock.bundlePath = QStringLiteral("/System/Library/CoreServices/Dock.app");
        dock.policy = ActivationPolicy::accessory;
        dock.pid = core_->dockPid;
        dockPid_ = core_->addApplication(dock);
        dockList_ = core_->newElement(ElementKind::generic, dockPid_);
        auto& list = core_->elements[dockList_];
        list.parent = core_->appElementFor(dockPid_);
        list.attributes[names::role] = QStringLiteral("AXList");
        core_->elements[list.parent].children.push_back(dockList_);
    }
}

SimulatedDesktop::~SimulatedDesktop() = default;

std::shared_ptr<SimulatedDesktop> SimulatedDesktop::create(Options options) {
    auto desktop = std::shared_ptr<SimulatedDesktop>(new SimulatedDesktop(options));
    if (options.defaultDisplay) desktop->addDisplay(Rect(0, 0, 1440, 900), QStringLiteral("Built-in Display"), 2.0);
    return desktop;
}

std::shared_ptr<SimulatedDesktop> SimulatedDesktop::fromScenarioJson(const QByteArray& json, Options options,
                                                                       QString* error) {
    Scenario scenario;
    QString problem;
    if (!parseScenario(json, scenario, &problem)) {
        if (error) *error = problem;
        return nullptr;
    }
    bool displays = !scenario.displays.empty();
    Options o = options;
    o.defaultDisplay = options.defaultDisplay && !displays;
    auto desktop = create(o);
    applyScenario(scenario, *desktop);
    return desktop;
}

std::shared_ptr<SimulatedDesktop> SimulatedDesktop::fromScenarioFile(const QString& path, Options options,
                                                                       QString* error) {
    // A scenario is a small description: a bounded read, whatever the path
    // names (a device, a FIFO, a folder), never waits and never grows without end.
    QByteArray json;
    QString why;
    if (path.startsWith(QLatin1Char(':'))) {  // built into the program
        QFile resource(path);
        if (resource.open(QIODevice::ReadOnly) && resource.size() <= maximumScenarioSize)
            return fromScenarioJson(resource.readAll(), options, error);
        if (error) *error = QStringLiteral("scenario: cannot read %1").arg(path);
        return nullptr;
    }
    switch (readBoundedFile(path, maximumScenarioSize, &json, &why)) {
        case ReadOutcome::ok: return fromScenarioJson(json, options, error);
        case ReadOutcome::missing: why = QStringLiteral("no such file"); break;
        case ReadOutcome::unreadable: break;
    }
    if (error) *error = QStringLiteral("scenario: cannot read %1: %2").arg(path, why);
    return nullptr;
}

Services SimulatedDesktop::services() const { return services_; }
void SimulatedDesktop::install() { platform::install(services_); }

ManualDispatcher& SimulatedDesktop::clock() {
    if (!core_->manual) throw std::logic_error("the simulated desktop runs on real threads: no manual clock");
    return *core_->manual;
}

void SimulatedDesktop::pump() {
    if (core_->manual) core_->manual->pump();
}

void SimulatedDesktop::advance(double seconds) {
    if (core_->manual) core_->manual->advance(seconds);
}

double SimulatedDesktop::now() const { return core_->dispatcher->uptime(); }

std::vector<QString> SimulatedDesktop::log() const {
    return locked([](Core& c) { return c.logLines; });
}

void SimulatedDesktop::clearLog() {
    locked([](Core& c) { c.logLines.clear(); return 0; });
}

std::vector<QString> SimulatedDesktop::logLines(const QString& prefix) const {
    return locked([&](Core& c) {
        std::vector<QString> out;
        for (const auto& l : c.logLines)
            if (l.startsWith(prefix)) out.push_back(l);
        return out;
    });
}

std::vector<QString> SimulatedDesktop::systemLog() const {
    return locked([](Core& c) { return c.systemLog; });
}

// ---- applications

std::int32_t SimulatedDesktop::addApplication(AppSpec given) {
    Core::ChangeNote note(*core_);
    std::int32_t pid = core_->addApplication(given);
    if (!given.bundlePath.isEmpty()) {
        std::lock_guard lock(core_->mutex);
        if (!core_->bundles.count(given.bundlePath)) {
            BundleInfo info;
            info.bundleID = given.bundleID;
            info.info.insert(QStringLiteral("CFBundleName"), given.name);
            if (given.policy == ActivationPolicy::accessory) info.info.insert(QStringLiteral("LSUIElement"), true);
            if (given.policy == ActivationPolicy::prohibited) info.info.insert(QStringLiteral("LSBackgroundOnly"), true);
            core_->bundles[given.bundlePath] = info;
        }
    }
    return pid;
}

void SimulatedDesktop::terminateApplication(std::int32_t pid) { core_->terminate(pid, true); }
void SimulatedDesktop::activateApplication(std::int32_t pid) { core_->activate(pid); }
void SimulatedDesktop::setHidden(std::int32_t pid, bool hidden) { core_->setHidden(pid, hidden); }

void SimulatedDesktop::setFinishedLaunching(std::int32_t pid, bool finished) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* a = c.app(pid)) a->given.finishedLaunching = finished;
        return 0;
    });
}

void SimulatedDesktop::setTerminateRefused(std::int32_t pid, bool refused) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* a = c.app(pid)) a->terminateRefused = refused;
        return 0;
    });
}

std::optional<RunningApplication> SimulatedDesktop::application(std::int32_t pid) const {
    return locked([&](Core& c) -> std::optional<RunningApplication> {
        auto* a = c.app(pid);
        if (!a) return std::nullopt;
        return c.describe(*a);
    });
}

std::int32_t SimulatedDesktop::frontmostPid() const {
    return locked([](Core& c) { return c.frontmost; });
}
std::int32_t SimulatedDesktop::ownPid() const {
    return locked([](Core& c) { return c.ownPid; });
}
std::int32_t SimulatedDesktop::dockPid() const { return dockPid_; }

void SimulatedDesktop::postWorkspaceNotification(const QString& name, std::int32_t pid) {
    core_->postWorkspace(name, pid);
}

void SimulatedDesktop::setOpenApplicationResult(const QString& path, OpenResult result) {
    locked([&](Core& c) { c.openResults[path] = result; return 0; });
}

void SimulatedDesktop::setOpenURLResult(const QString& url, bool ok) {
    locked([&](Core& c) { c.openURLResults[url] = ok; return 0; });
}

void SimulatedDesktop::setFileViewerAvailable(bool available) {
    std::lock_guard lock(core_->mutex);
    core_->fileViewerAvailable = available;
}

void SimulatedDesktop::setDisplayName(const QString& path, const QString& name) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.displayNames[path] = name; return 0; });
}

// ---- windows

std::uint64_t SimulatedDesktop::addWindow(std::int32_t pid, WindowSpec given) { return core_->addWindow(pid, std::move(given)); }
void SimulatedDesktop::removeWindow(std::uint64_t w) { core_->removeWindow(w); }

void SimulatedDesktop::setWindowFrame(std::uint64_t w, Rect frame) {
    Core::ChangeNote note(*core_);
    std::lock_guard lock(core_->mutex);
    // A change the application makes itself: no refusal, no clamping.
    if (WindowState* win = core_->window(w)) core_->moveWindowFrame(*win, frame);
}

void SimulatedDesktop::setFrameAfterNextPositionRead(std::uint64_t w, Rect frame) {
    Core::ChangeNote note(*core_);
    std::lock_guard lock(core_->mutex);
    if (WindowState* win = core_->window(w)) win->frameAfterPositionRead = frame;
}

void SimulatedDesktop::setWindowTitle(std::uint64_t w, const QString& title) { core_->setTitle(w, title); }
void SimulatedDesktop::setMinimized(std::uint64_t w, bool minimized) { core_->setMinimized(w, minimized); }

void SimulatedDesktop::setFullScreen(std::uint64_t w, bool fullScreen) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* win = c.window(w)) win->given.fullScreen = fullScreen;
        return 0;
    });
}

void SimulatedDesktop::setOnScreen(std::uint64_t w, bool onScreen) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* win = c.window(w)) win->given.onScreen = onScreen;
        return 0;
    });
}

void SimulatedDesktop::setWindowSpace(std::uint64_t w, int space) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* win = c.window(w)) win->given.space = space;
        return 0;
    });
}

void SimulatedDesktop::setFocusedWindow(std::int32_t pid, std::uint64_t w) { core_->focusWindow(pid, w); }
void SimulatedDesktop::raiseWindow(std::uint64_t w) { core_->raiseWindow(w); }

void SimulatedDesktop::setCurrentSpace(int space) {
    Core::ChangeNote note(*core_);
    std::lock_guard lock(core_->mutex);
    if (core_->currentSpace == space) return;
    core_->currentSpace = space;
    core_->postWorkspace(workspace_notifications::activeSpaceDidChange, 0);
}

int SimulatedDesktop::currentSpace() const {
    return locked([](Core& c) { return c.currentSpace; });
}

std::optional<WindowSpec> SimulatedDesktop::window(std::uint64_t w) const {
    return locked([&](Core& c) -> std::optional<WindowSpec> {
        auto* win = c.window(w);
        if (!win) return std::nullopt;
        WindowSpec s = win->given;
        auto* a = c.app(win->pid);
        s.focused = a && a->focusedWindow == w;
        return s;
    });
}

std::vector<std::uint64_t> SimulatedDesktop::windowsOf(std::int32_t pid) const {
    return locked([&](Core& c) { return c.windowsOf(pid); });
}

std::vector<std::uint64_t> SimulatedDesktop::windowOrder() const {
    return locked([](Core& c) { return c.zOrder; });
}

std::uint64_t SimulatedDesktop::focusedWindow(std::int32_t pid) const {
    return locked([&](Core& c) -> std::uint64_t {
        auto* a = c.app(pid);
        return a ? a->focusedWindow : 0;
    });
}

// ---- elements

ax::Element SimulatedDesktop::applicationElement(std::int32_t pid) const {
    return locked([&](Core& c) { return ax::Element(c.appElementFor(pid), pid); });
}

ax::Element SimulatedDesktop::windowElement(std::uint64_t w) const {
    return locked([&](Core& c) {
        auto* win = c.window(w);
        return win ? ax::Element(win->element, win->pid) : ax::Element();
    });
}

ax::Element SimulatedDesktop::closeButtonElement(std::uint64_t w) const {
    return locked([&](Core& c) {
        auto* win = c.window(w);
        return win ? ax::Element(win->closeButton, win->pid) : ax::Element();
    });
}

ax::Element SimulatedDesktop::addElement(const ax::Element& parent, std::map<QString, ax::Value> attributes) {
    Core::ChangeNote note(*core_);
    return locked([&](Core& c) {
        auto* p = c.element(parent.identity());
        if (!p || p->destroyed) return ax::Element();
        std::int32_t pid = p->pid;
        std::uint64_t id = c.newElement(ElementKind::generic, pid);
        auto& e = c.elements[id];
        e.parent = parent.identity();
        e.attributes = std::move(attributes);
        c.elements[parent.identity()].children.push_back(id);
        return ax::Element(id, pid);
    });
}

void SimulatedDesktop::removeElement(const ax::Element& element) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        auto* e = c.element(element.identity());
        if (!e || e->kind != ElementKind::generic) return 0;
        if (auto* p = c.element(e->parent)) std::erase(p->children, element.identity());
        c.destroyElementTree(element.identity());
        return 0;
    });
}

void SimulatedDesktop::setElementAttribute(const ax::Element& element, const QString& attribute, ax::Value value) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* e = c.element(element.identity())) e->attributes[attribute] = std::move(value);
        return 0;
    });
}

void SimulatedDesktop::clearElementAttribute(const ax::Element& element, const QString& attribute) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* e = c.element(element.identity())) e->attributes.erase(attribute);
        return 0;
    });
}

double SimulatedDesktop::messagingTimeout(const ax::Element& element) const {
    return locked([&](Core& c) {
        auto* e = c.element(element.identity());
        return e ? e->messagingTimeout : 0.0;
    });
}

ax::Element SimulatedDesktop::addDockItem(const QString& title, const QString& path, const QString& badge) {
    Core::ChangeNote note(*core_);
    if (!dockList_) return {};
    std::map<QString, ax::Value> attrs;
    attrs[names::role] = QStringLiteral("AXDockItem");
    attrs[names::subrole] = QStringLiteral("AXApplicationDockItem");
    attrs[names::title] = title;
    QString url = QStringLiteral("file://") + path;
    if (!url.endsWith('/')) url += '/';
    attrs[names::url] = ax::Url{path, url};
    if (!badge.isEmpty()) attrs[names::statusLabel] = badge;
    return addElement(ax::Element(dockList_, dockPid_), std::move(attrs));
}

void SimulatedDesktop::setDockBadge(const QString& path, const QString& badge) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        auto* list = c.element(dockList_);
        if (!list) return 0;
        for (auto id : list->children) {
            auto& e = c.elements[id];
            auto u = e.attributes.find(names::url);
            if (u == e.attributes.end()) continue;
            auto url = ax::as<ax::Url>(u->second);
            if (!url || url->path != path) continue;
            if (badge.isEmpty()) e.attributes.erase(names::statusLabel);
            else e.attributes[names::statusLabel] = badge;
        }
        return 0;
    });
}

// ---- faults

void SimulatedDesktop::setAttributeFault(const ax::Element& element, const QString& attribute, Fault fault) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.readFaults[{element.identity(), attribute}] = fault; return 0; });
}
void SimulatedDesktop::setWriteFault(const ax::Element& element, const QString& attribute, Fault fault) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.writeFaults[{element.identity(), attribute}] = fault; return 0; });
}
void SimulatedDesktop::setActionFault(const ax::Element& element, const QString& action, Fault fault) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.actionFaults[{element.identity(), action}] = fault; return 0; });
}
void SimulatedDesktop::clearFaults() {
    Core::ChangeNote note(*core_);
    locked([](Core& c) {
        c.readFaults.clear();
        c.writeFaults.clear();
        c.actionFaults.clear();
        return 0;
    });
}
void SimulatedDesktop::setUnresponsive(std::int32_t pid, bool unresponsive) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* a = c.app(pid)) a->unresponsive = unresponsive;
        return 0;
    });
}
void SimulatedDesktop::setResizeRefused(std::uint64_t w, bool refused) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* win = c.window(w)) win->resizeRefused = refused;
        return 0;
    });
}
void SimulatedDesktop::setMoveRefused(std::uint64_t w, bool refused) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* win = c.window(w)) win->moveRefused = refused;
        return 0;
    });
}
void SimulatedDesktop::setMaxSize(std::uint64_t w, std::optional<Size> size) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* win = c.window(w)) win->maxSize = size;
        return 0;
    });
}
void SimulatedDesktop::setMinSize(std::uint64_t w, std::optional<Size> size) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) {
        if (auto* win = c.window(w)) win->minSize = size;
        return 0;
    });
}
double SimulatedDesktop::blockedSeconds(const std::string& label) const {
    return locked([&](Core& c) {
        auto it = c.blocked.find(label);
        return it == c.blocked.end() ? 0.0 : it->second;
    });
}

// ---- trust

void SimulatedDesktop::setTrusted(bool trusted) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.trusted = trusted; return 0; });
}
int SimulatedDesktop::trustPrompts() const {
    return locked([](Core& c) { return c.trustPrompts; });
}
std::size_t SimulatedDesktop::liveObserverCount() const {
    return locked([](Core& c) {
        std::size_t n = 0;
        for (auto& w : c.observers)
            if (auto o = w.lock(); o && o->valid) ++n;
        return n;
    });
}

// ---- window server

void SimulatedDesktop::setWindowListUnavailable(bool unavailable) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.windowListUnavailable = unavailable; return 0; });
}
void SimulatedDesktop::addRawWindowEntry(QVariantMap entry, int position) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.rawEntries.emplace_back(position, std::move(entry)); return 0; });
}
void SimulatedDesktop::clearRawWindowEntries() {
    Core::ChangeNote note(*core_);
    locked([](Core& c) { c.rawEntries.clear(); return 0; });
}
void SimulatedDesktop::corruptWindowEntry(std::uint64_t w, const QString& key, std::optional<QVariant> value) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.corruptions[w][key] = std::move(value); return 0; });
}
SimWindowServer& SimulatedDesktop::windowServer() const { return *windowServer_; }

// ---- displays

DisplayID SimulatedDesktop::addDisplay(Rect bounds, const QString& name, double scale) {
    Core::ChangeNote note(*core_);
    std::lock_guard lock(core_->mutex);
    DisplayState d;
    d.id = core_->nextDisplay++;
    d.name = name.isEmpty() ? QStringLiteral("Display %1").arg(d.id) : name;
    d.bounds = bounds.standardized();
    d.scale = scale > 0 ? scale : 1.0;
    bool first = core_->displays.empty();
    core_->displays.push_back(d);
    if (first) core_->pointer = Point{d.bounds.midX(), d.bounds.midY()};
    core_->postToObservers(&Core::displayObservers);
    return d.id;
}

void SimulatedDesktop::removeDisplay(DisplayID id) {
    Core::ChangeNote note(*core_);
    std::lock_guard lock(core_->mutex);
    auto before = core_->displays.size();
    std::erase_if(core_->displays, [id](const DisplayState& d) { return d.id == id; });
    if (core_->displays.size() == before) return;
    if (core_->mainScreenID == id) core_->mainScreenID = 0;
    core_->postToObservers(&Core::displayObservers);
}

void SimulatedDesktop::setDisplayBounds(DisplayID id, Rect bounds) {
    Core::ChangeNote note(*core_);
    std::lock_guard lock(core_->mutex);
    for (auto& d : core_->displays) {
        if (d.id != id) continue;
        if (d.bounds == bounds.standardized()) return;
        d.bounds = bounds.standardized();
        core_->postToObservers(&Core::displayObservers);
    }
}

void SimulatedDesktop::setMainScreen(DisplayID id) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.mainScreenID = id; return 0; });
}

void SimulatedDesktop::setPointer(Point p) {
    std::lock_guard lock(core_->mutex);
    if (core_->pointer == p) return;
    core_->pointer = p;
    core_->postToObservers(&Core::pointerObservers);
}

void SimulatedDesktop::pressMouseElsewhere() {
    std::lock_guard lock(core_->mutex);
    core_->postToObservers(&Core::mouseDownObservers);
}

void SimulatedDesktop::setDisplayListUnavailable(bool unavailable) {
    Core::ChangeNote note(*core_);
    locked([&](Core& c) { c.displayListUnavailable = unavailable; return 0; });
}

// ---- power

void SimulatedDesktop::setPowerSources(std::optional<std::vector<QVariantMap>> descriptions) {
    std::lock_guard lock(core_->mutex);
    core_->powerSources = std::move(descriptions);
    core_->postToObservers(&Core::powerObservers);
}

QVariantMap SimulatedDesktop::battery(int percent, bool charging, bool onACPower) {
    namespace k = power_keys;
    return QVariantMap{
        {k::type, k::internalBattery},
        {k::isPresent, true},
        {k::currentCapacity, qlonglong(percent)},
        {k::maxCapacity, qlonglong(100)},
        {k::isCharging, charging},
        {k::powerSourceState, onACPower ? k::acPower : k::batteryPower},
        {k::name, QStringLiteral("InternalBattery-0")},
    };
}

// ---- login item

void SimulatedDesktop::setLoginItemStatus(LoginItemStatus status) {
    locked([&](Core& c) { c.loginStatus = status; return 0; });
}
void SimulatedDesktop::setLoginItemErrors(std::optional<QString> onRegister, std::optional<QString> onUnregister) {
    locked([&](Core& c) {
        c.loginRegisterError = onRegister;
        c.loginUnregisterError = onUnregister;
        return 0;
    });
}

// ---- hot keys

void SimulatedDesktop::takeHotKeyElsewhere(std::uint32_t keyCode, std::uint32_t modifiers, bool taken) {
    locked([&](Core& c) {
        std::pair<std::uint32_t, std::uint32_t> combo{keyCode, modifiers & (0x100 | 0x200 | 0x800 | 0x1000)};
        if (taken) c.hotKeysTakenElsewhere.insert(combo);
        else c.hotKeysTakenElsewhere.erase(combo);
        return 0;
    });
}
void SimulatedDesktop::setHotKeyRegistrationStatus(std::optional<OSStatus> status) {
    locked([&](Core& c) { c.hotKeyStatusOverride = status; return 0; });
}
bool SimulatedDesktop::pressHotKey(std::uint32_t keyCode, std::uint32_t modifiers) { return hotKeys_->press(keyCode, modifiers); }
std::vector<HotKeyRegistration> SimulatedDesktop::registeredHotKeys() const {
    return locked([](Core& c) {
        std::vector<HotKeyRegistration> out;
        for (auto& [ref, r] : c.hotKeys) out.push_back(r);
        return out;
    });
}

// ---- session

void SimulatedDesktop::setSessionEventResult(std::uint32_t eventID, OSStatus status) {
    locked([&](Core& c) { c.sessionResults[eventID] = status; return 0; });
}

void SimulatedDesktop::setScreenLockLibrary(const QString& path) {
    locked([&](Core& c) { c.screenLockLibrary = path; return 0; });
}

// ---- updater

void SimulatedDesktop::setUpdaterStartResult(bool ok) {
    locked([&](Core& c) { c.updaterStartResult = ok; return 0; });
}

void SimulatedDesktop::setCanCheckForUpdates(bool can) {
    std::function<void(bool)> observer;
    {
        std::lock_guard lock(core_->mutex);
        if (core_->canCheck == can) return;
        core_->canCheck = can;
        observer = core_->canCheckObserver;
    }
    if (observer) observer(can);
}

bool SimulatedDesktop::updaterStarted() const {
    return locked([](Core& c) { return c.updaterStarted; });
}
int SimulatedDesktop::updateChecks() const {
    return locked([](Core& c) { return c.updateChecks; });
}

namespace {
void callDelegate(const std::shared_ptr<Core>& core, std::function<void()> UpdaterDelegate::*member) {
    std::weak_ptr<Core> weak = core;
    core->onMain([weak, member] {
        auto c = weak.lock();
        if (!c) return;
        std::function<void()> f;
        {
            std::lock_guard lock(c->mutex);
            if (!c->updaterStarted) return;
            f = c->updaterDelegate.*member;
        }
        if (f) f();
    });
}
}  // namespace

void SimulatedDesktop::updaterWillInstall() { callDelegate(core_, &UpdaterDelegate::willInstallUpdate); }
void SimulatedDesktop::updaterAbort() { callDelegate(core_, &UpdaterDelegate::didAbort); }
void SimulatedDesktop::updaterFinishCycle() { callDelegate(core_, &UpdaterDelegate::didFinishUpdateCycle); }

// ---- alerts

void SimulatedDesktop::queueAlertAnswers(std::vector<int> indexes) {
    locked([&](Core& c) {
        c.alertAnswers.insert(c.alertAnswers.end(), indexes.begin(), indexes.end());
        return 0;
    });
}
std::vector<AlertRecord> SimulatedDesktop::alertsShown() const {
    return locked([](Core& c) { return c.alertsShown; });
}
void SimulatedDesktop::setCompositingActive(bool active) {
    compositor_->setActive(active);
}

bool SimulatedDesktop::compositingActive() const { return compositor_->isActive(); }

int SimulatedDesktop::beepCount() const {
    return locked([](Core& c) { return c.beeps; });
}

// ---- processes

void SimulatedDesktop::setProcessOutcome(const QString& executable, ProcessResult result) {
    locked([&](Core& c) { c.processOutcomes[executable] = result; return 0; });
}
ProcessResult SimulatedDesktop::exitedWith(int status) {
    ProcessResult r;
    r.launched = true;
    r.exitStatus = status;
    return r;
}
ProcessResult SimulatedDesktop::cannotStart(const QString& error) {
    ProcessResult r;
    r.launched = false;
    r.error = error;
    return r;
}
std::vector<std::pair<QString, QStringList>> SimulatedDesktop::processRuns() const {
    return locked([](Core& c) { return c.processRuns; });
}
void SimulatedDesktop::setLoadableFunction(const QString& library, const QString& symbol, std::function<int()> fn) {
    locked([&](Core& c) { c.loadableFunctions[{library, symbol}] = std::move(fn); return 0; });
}

// ---- bundles

void SimulatedDesktop::setMainBundleIdentifier(const QString& identifier) {
    locked([&](Core& c) { c.mainBundleID = identifier; return 0; });
}
void SimulatedDesktop::setMainInfoValue(const QString& key, QVariant value) {
    locked([&](Core& c) {
        if (value.isValid()) c.mainInfo.insert(key, value);
        else c.mainInfo.remove(key);
        return 0;
    });
}
void SimulatedDesktop::setPreferredLocalizations(QStringList localizations) {
    locked([&](Core& c) { c.preferredLocalizations = localizations; return 0; });
}
void SimulatedDesktop::addBundle(const QString& path, const QString& bundleID, QVariantMap info) {
    locked([&](Core& c) { c.bundles[path] = BundleInfo{bundleID, std::move(info)}; return 0; });
}

// ---- application

void SimulatedDesktop::setSystemAppearance(Appearance appearance) {
    std::lock_guard lock(core_->mutex);
    if (core_->systemAppearance == appearance) return;
    Appearance before = core_->appearance.value_or(core_->systemAppearance);
    core_->systemAppearance = appearance;
    if (before != core_->appearance.value_or(core_->systemAppearance)) core_->postToObservers(&Core::applicationObservers);
}
void SimulatedDesktop::setReduceMotion(bool reduce) {
    std::lock_guard lock(core_->mutex);
    if (core_->reduceMotion == reduce) return;
    core_->reduceMotion = reduce;
    core_->postToObservers(&Core::applicationObservers);
}
void SimulatedDesktop::setAccentColor(QColor color) {
    std::lock_guard lock(core_->mutex);
    if (core_->accentColor == color) return;
    core_->accentColor = color;
    core_->postToObservers(&Core::applicationObservers);
}
int SimulatedDesktop::terminateRequests() const {
    return locked([](Core& c) { return c.terminateRequests; });
}
void SimulatedDesktop::setTerminateHandler(std::function<void()> handler) {
    locked([&](Core& c) { c.terminateHandler = std::move(handler); return 0; });
}

}  // namespace platform::sim

namespace platform::sim {

// ---- installed applications

QString SimulatedDesktop::homeDirectory() {
    if (!home_) {
        home_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quorvel-home-XXXXXX"));
        if (!home_->isValid()) return {};
        applicationFolders_->setUnderPrefix(home_->path() + QStringLiteral("/System"), home_->path());
    }
    return home_->path();
}

QString SimulatedDesktop::writeBundle(const QString& folder, const QString& fileName, const QString& bundleID) {
    const QString bundle = folder + u'/' + fileName;
    if (!QDir().mkpath(bundle + QStringLiteral("/Contents"))) return {};
    QVariantMap info{{QStringLiteral("CFBundleName"), fileName}};
    if (!bundleID.isEmpty()) info.insert(QStringLiteral("CFBundleIdentifier"), bundleID);
    const auto document = plist::serialize(info);
    QFile file(bundle + QStringLiteral("/Contents/Info.plist"));
    if (!document || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*document) != document->size())
        return {};
    return bundle;
}

}  // namespace platform::sim
