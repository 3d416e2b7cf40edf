// Window service: lifecycle, observation, scanning and publication.
#include "windows/window_service.h"

#include <cassert>

#include "platform/bundle.h"
#include "platform/platform.h"
#include "platform/preferences.h"
#include "windows/ax_element.h"
#include "windows/task_items.h"
#include "services/trace_log.h"

namespace ax = platform::ax;
namespace wsn = platform::workspace_notifications;

namespace {
const QString dockBundleID = QStringLiteral("com.apple.dock");
const QString showUnreadBadgeKey = QStringLiteral("showUnreadBadge");
}  // namespace

const std::vector<QString>& WindowService::observedNotifications() {
    static const std::vector<QString> list{
        ax::names::windowCreated,       ax::names::uiElementDestroyed,    ax::names::focusedWindowChanged,
        ax::names::mainWindowChanged,   ax::names::windowMiniaturized,    ax::names::windowDeminiaturized,
        ax::names::titleChanged,        ax::names::applicationHidden,     ax::names::applicationShown,
    };
    return list;
}

std::shared_ptr<WindowService> WindowService::create(platform::SerialQueue windowQueue) {
    return std::shared_ptr<WindowService>(new WindowService(std::move(windowQueue)));
}

WindowService::WindowService(platform::SerialQueue windowQueue) : windowQueue_(std::move(windowQueue)) {}

WindowService::~WindowService() {
    // Observers still registered (the service was never stopped) must not
    // call into a destroyed service; invalidating stops their delivery.
    for (auto& [pid, observer] : q_.observers) observer->invalidate();
}

// ---- lifecycle -------------------------------------------------------------

void WindowService::start() {
    if (running_) return;
    running_ = true;
    ++lifecycleGeneration_;

    std::weak_ptr<WindowService> weak = weak_from_this();
    workspaceObserver_ = platform::workspace().addObserver([weak](const QString& name, std::int32_t) {
        auto self = weak.lock();
        if (!self) return;
        if (name == wsn::didLaunchApplication || name == wsn::didTerminateApplication ||
            name == wsn::didHideApplication || name == wsn::didUnhideApplication) {
            self->appsChanged();
        } else if (name == wsn::didActivateApplication) {
            self->appActivated();
        }
    });

    const auto pids = listedPIDs();
    const std::set<std::int32_t> pidSet(pids.begin(), pids.end());
    windowQueue_.async([weak, pidSet] {
        if (auto self = weak.lock()) self->syncObservers(pidSet);
    });

    changeObserver_ = platform::windowServer().addChangeObserver([weak] {
        if (auto self = weak.lock()) self->resumePoll();
    });
    // The badge setting is read by every scan but moves no count.
    prefsContext_ = std::make_unique<QObject>();
    QObject::connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, prefsContext_.get(),
                     [weak](const QString& key) {
                         if (key != showUnreadBadgeKey) return;
                         if (auto self = weak.lock()) self->resumePoll();
                     });
    scheduleScan();
    startPoll();
}

void WindowService::startPoll() {
    std::weak_ptr<WindowService> weak = weak_from_this();
    // The poll needs no precision: its tick shares a wake-up with the other
    // second-scale polls.
    poll_.start([weak] {
        if (auto self = weak.lock()) self->pollTick();
    });
}

void WindowService::pollTick() {
    if (!running_) return;
    if (scanPending_ || clickIntent_ || !standingList()) {
        scheduleScan();
        return;
    }
    // Nothing a scan reads has changed since the last one: its list stands,
    // and until the window server reports a change every tick would say so.
    publishStandingList();
    if (changeObserver_) poll_.rest();
}

void WindowService::resumePoll() {
    if (running_) poll_.resume();
}

bool WindowService::standingList() const {
    if (!lastScan_) return false;
    const bool readsBadges = platform::prefs::userDefaults().boolValue(showUnreadBadgeKey).value_or(true);
    return lastScan_->readsBadges == readsBadges && ChangeStamp::unchanged(lastScan_->stamp, ChangeStamp::now());
}

void WindowService::publishStandingList() {
    ++scansTakenAgain_;
    const auto keep = lastScan_;
    publish(std::vector<AppItem>(lastRawSnapshot_));
    lastScan_ = keep;
}

void WindowService::stop() {
    assert(platform::isMainThread());
    if (running_) {
        running_ = false;
        ++lifecycleGeneration_;
        clickIntent_.reset();
        lastRawSnapshot_.clear();
        lastScan_.reset();
        if (workspaceObserver_) {
            platform::workspace().removeObserver(*workspaceObserver_);
            workspaceObserver_.reset();
        }
        cancelPendingScan();
        poll_.stop();
        if (changeObserver_ && platform::isInstalled() && platform::installed().windowServer)
            platform::windowServer().removeChangeObserver(changeObserver_);
        changeObserver_ = 0;
        prefsContext_.reset();
        std::weak_ptr<WindowService> weak = weak_from_this();
        windowQueue_.async([weak] {
            if (auto self = weak.lock()) self->dropAXState();
        });
    }
    windowQueue_.sync([] {});
}

void WindowService::resync() { syncObserversAndScan(); }

void WindowService::appsChanged() { syncObserversAndScan(); }

void WindowService::appActivated() { scheduleScan(); }

void WindowService::syncObserversAndScan() {
    if (!running_) return;
    const auto pids = listedPIDs();
    const std::set<std::int32_t> pidSet(pids.begin(), pids.end());
    std::weak_ptr<WindowService> weak = weak_from_this();
    windowQueue_.async([weak, pidSet] {
        if (auto self = weak.lock()) self->syncObservers(pidSet);
    });
    scheduleScan();
}

// ---- listing ---------------------------------------------------------------

bool WindowService::declaresAgent(const platform::RunningApplication& app) {
    if (!app.bundlePath) return false;
    const QString& path = *app.bundlePath;
    if (auto it = agentDeclCache_.find(path); it != agentDeclCache_.end()) return it->second;
    // Only the two keys the rule looks at are needed from the dictionary.
    std::optional<QVariantMap> info;
    auto& bundles = platform::bundles();
    for (const QString& key : {QStringLiteral("LSUIElement"), QStringLiteral("LSBackgroundOnly")}) {
        if (auto v = bundles.infoValue(path, key)) {
            if (!info) info = QVariantMap();
            info->insert(key, *v);
        }
    }
    const bool agent = AppBundleInfo::isAgentApp(info);
    agentDeclCache_[path] = agent;
    return agent;
}

std::vector<platform::RunningApplication> WindowService::listedApps() {
    auto& ws = platform::workspace();
    const std::int32_t own = ws.ownProcessID();
    std::vector<platform::RunningApplication> listed;
    for (auto& app : ws.runningApplications()) {
        if (app.pid == own || app.isTerminated) continue;
        // Process 1 and below are never probed or acted on.
        if (app.pid <= 1) continue;
        if (!ws.isProcessAlive(app.pid)) continue;
        if (app.activationPolicy != platform::ActivationPolicy::regular) continue;
        const QString path = app.bundlePath.value_or(QString());
        if (AppBundleInfo::isAppPath(path) && declaresAgent(app)) continue;
        listed.push_back(std::move(app));
    }
    return listed;
}

std::vector<std::int32_t> WindowService::listedPIDs() {
    std::vector<std::int32_t> pids;
    for (const auto& app : listedApps()) pids.push_back(app.pid);
    return pids;
}

std::vector<WindowEnumerator::AppDescriptor> WindowService::appDescriptors() {
    const auto front = platform::workspace().frontmostApplication();
    std::vector<WindowEnumerator::AppDescriptor> out;
    for (const auto& app : listedApps()) {
        WindowEnumerator::AppDescriptor d;
        d.pid = app.pid;
        d.bundleID = app.bundleID;
        d.name = app.localizedName.normalized(QString::NormalizationForm_C);
        d.isActive = front && front->pid == app.pid;
        d.isHidden = app.isHidden;
        out.push_back(std::move(d));
    }
    return out;
}

// ---- scanning --------------------------------------------------------------

void WindowService::cancelPendingScan() {
    scanPending_ = false;
    ++scanRequest_;
    scanWait_.clear();
}

void WindowService::scheduleScan() {
    if (!running_) return;
    resumePoll();
    // Each request replaces the pending one, but the scan is never put off
    // past the cap: a window retitled several times a second must not keep
    // every other change off the strip.
    const double wait = scanWait_.trigger(platform::uptime());
    scanPending_ = true;
    const std::uint64_t request = ++scanRequest_;
    std::weak_ptr<WindowService> weak = weak_from_this();
    platform::MainQueue::asyncAfter(wait, [weak, request] {
        auto self = weak.lock();
        if (!self || !self->scanPending_ || self->scanRequest_ != request) return;
        self->scanPending_ = false;
        self->scanWait_.clear();
        self->performScan();
    });
}

void WindowService::scheduleScanFromAnyThread() {
    std::weak_ptr<WindowService> weak = weak_from_this();
    platform::MainQueue::async([weak] {
        if (auto self = weak.lock()) self->scheduleScan();
    });
}

void WindowService::performScan() {
    if (!running_) return;
    const std::uint64_t generation = lifecycleGeneration_;
    // Taken before anything is read, so a change during the scan shows at the next one.
    const auto stamp = ChangeStamp::now();
    const bool readsBadges = platform::prefs::userDefaults().boolValue(showUnreadBadgeKey).value_or(true);
    if (lastScan_ && lastScan_->readsBadges == readsBadges && ChangeStamp::unchanged(lastScan_->stamp, stamp)) {
        // Nothing the scan reads has changed since the last one: its list stands.
        publishStandingList();
        return;
    }
    auto descriptors = appDescriptors();

    std::optional<std::int32_t> dockPID;
    if (readsBadges) {
        for (const auto& app : platform::workspace().runningApplications()) {
            if (app.bundleID && *app.bundleID == dockBundleID) {
                dockPID = app.pid;
                break;
            }
        }
    }

    std::weak_ptr<WindowService> weak = weak_from_this();
    windowQueue_.async([weak, generation, stamp, readsBadges, descriptors = std::move(descriptors), dockPID] {
        auto self = weak.lock();
        if (!self) return;
        auto& q = self->q_;
        auto result = WindowEnumerator::enumerate(descriptors, q.elements, q.nextToken, q.titleCache,
                                                  q.knownStandard);
        q.elements = std::move(result.elements);
        auto items = std::move(result.apps);
        if (dockPID) items = self->readDockBadges(std::move(items), *dockPID);
        self.reset();
        platform::MainQueue::async([weak, generation, stamp, readsBadges, items = std::move(items)] {
            auto self = weak.lock();
            if (!self || !self->running_ || self->lifecycleGeneration_ != generation) return;
            self->publish(items);
            if (stamp) self->lastScan_ = ScanStamp{*stamp, readsBadges};
        });
    });
}

void WindowService::publish(const std::vector<AppItem>& items) {
    if (!running_) return;
    // A list that did not come from a scan says nothing about what a scan would find.
    lastScan_.reset();
    resumePoll();
    lastRawSnapshot_ = items;
    if (onSnapshot_) emitSnapshot(applyClickIntent(lastRawSnapshot_));
}

void WindowService::emitSnapshot(const std::vector<AppItem>& items) {
    // The callback may replace itself; call a copy.
    auto callback = onSnapshot_;
    if (callback) callback(items);
}

std::vector<AppItem> WindowService::readDockBadges(std::vector<AppItem> items, std::int32_t dockPID) {
    const auto dock = AXElement::application(dockPID);
    std::vector<AXElement::Badge> badges;
    AXElement::collectDockBadges(dock, 0, badges);

    std::set<QString> badged;
    for (const auto& [path, label] : badges) {
        if (path.isEmpty()) continue;
        auto it = q_.pathBundleIDCache.find(path);
        if (it == q_.pathBundleIDCache.end()) {
            const QString id = platform::bundles().bundleIdentifier(path).value_or(QString());
            it = q_.pathBundleIDCache.emplace(path, id).first;
        }
        if (!it->second.isEmpty()) badged.insert(it->second);
    }
    if (badged.empty()) return items;
    for (auto& item : items)
        item.hasUnread = item.hasUnread || (item.bundleID && badged.count(*item.bundleID) > 0);
    return items;
}

// ---- observers (window queue) ----------------------------------------------

void WindowService::removeObserver(std::int32_t pid, const std::shared_ptr<ax::Observer>& observer) {
    const auto app = AXElement::application(pid);
    for (const auto& name : observedNotifications()) observer->removeNotification(app, name);
    observer->invalidate();
}

void WindowService::syncObservers(const std::set<std::int32_t>& pids) {
    for (auto it = q_.observers.begin(); it != q_.observers.end();) {
        if (pids.count(it->first)) {
            ++it;
            continue;
        }
        removeObserver(it->first, it->second);
        it = q_.observers.erase(it);
    }
    std::weak_ptr<WindowService> weak = weak_from_this();
    for (std::int32_t pid : pids) {
        if (q_.observers.count(pid)) continue;
        auto observer = ax::api().createObserver(pid, [weak](const ax::Element& element, const QString& name) {
            auto self = weak.lock();
            if (!self) return;
            if (TraceLog::isEnabled()) {
                std::int32_t elementPID = 0;
                if (ax::api().pid(element, elementPID) != ax::Error::success) elementPID = 0;
                TraceLog::write(QStringLiteral("AXNotif %1 pid=%2").arg(name).arg(elementPID));
            }
            self->scheduleScanFromAnyThread();
        });
        if (!observer) continue;
        const auto app = AXElement::application(pid);
        for (const auto& name : observedNotifications()) observer->addNotification(app, name);
        q_.observers.emplace(pid, std::move(observer));
    }
}

void WindowService::dropAXState() {
    for (auto& [pid, observer] : q_.observers) removeObserver(pid, observer);
    q_.observers.clear();
    q_.elements.clear();
    q_.titleCache.clear();
    q_.knownStandard.clear();
}

WindowService::QueueSnapshot WindowService::inspectQueue() const {
    QueueSnapshot snap;
    windowQueue_.sync([this, &snap] {
        snap.elements = q_.elements;
        snap.nextToken = q_.nextToken;
        for (const auto& [pid, observer] : q_.observers) snap.observedPIDs.insert(pid);
        snap.titleCacheSize = q_.titleCache.size();
        snap.knownStandardSize = q_.knownStandard.size();
        snap.bundleIDCacheSize = q_.pathBundleIDCache.size();
    });
    return snap;
}
