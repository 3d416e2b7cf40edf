#include "windows/window_constraint_engine.h"

#include <cmath>
#include <algorithm>
#include <limits>
#include <unordered_set>

#include "platform/displays.h"
#include "platform/platform.h"
#include "platform/window_list.h"
#include "platform/workspace.h"
#include "windows/bar_metrics.h"
#include "windows/ax_element.h"
#include "windows/window_fit_geometry.h"

using platform::Rect;
namespace ax = platform::ax;

namespace {

// What the engine listens to on the frontmost application, in this order.
const QString* const kObservedNotifications[] = {
    &ax::names::focusedWindowChanged, &ax::names::mainWindowChanged, &ax::names::windowCreated,
    &ax::names::windowMoved,          &ax::names::windowResized,
};

// A bottom edge within this much of the bar top after a size write counts
// as having taken the size.
constexpr double kResizeTolerance = 1.0;

}  // namespace

std::shared_ptr<WindowConstraintEngine> WindowConstraintEngine::create() {
    return std::shared_ptr<WindowConstraintEngine>(new WindowConstraintEngine());
}

WindowConstraintEngine::WindowConstraintEngine()
    : axQueue_("app.quorvel.ax"), geometryQueue_("app.quorvel.geometry") {}

WindowConstraintEngine::~WindowConstraintEngine() {
    // No queued block can reach us any more (they hold us weakly), so what
    // is left can be released here.
    removeNotificationObservers();
    for (auto& [pid, observer] : observers_)
        if (observer) observer->invalidate();
}

// ---- work items -----------------------------------------------------------

template <typename F>
void WindowConstraintEngine::scheduleWork(WorkItem WindowConstraintEngine::*member, F work) {
    WorkItem& item = this->*member;
    const double delay = item.wait.trigger(platform::uptime());
    const std::uint64_t sequence = ++item.sequence;
    item.pending = true;
    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    platform::MainQueue::asyncAfter(delay, [weak, member, sequence, work = std::move(work)] {
        auto self = weak.lock();
        if (!self) return;
        WorkItem& current = self.get()->*member;
        if (current.sequence != sequence || !current.pending) return;
        current.pending = false;
        current.wait.clear();
        work(*self);
    });
}

void WindowConstraintEngine::cancelWork(WorkItem& item) {
    ++item.sequence;
    item.pending = false;
    item.wait.clear();
}

std::optional<std::int32_t> WindowConstraintEngine::frontmostOtherPid() const {
    auto& ws = platform::workspace();
    const auto front = ws.frontmostApplication();
    if (!front || front->pid == ws.ownProcessID()) return std::nullopt;
    return front->pid;
}

// ---- lifecycle ------------------------------------------------------------

void WindowConstraintEngine::start() {
    if (running_) return;
    running_ = true;

    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    workspaceObserver_ = platform::workspace().addObserver([weak](const QString& name, std::int32_t) {
        auto self = weak.lock();
        if (!self) return;
        if (name == platform::workspace_notifications::didActivateApplication)
            self->appActivated();
        else if (name == platform::workspace_notifications::activeSpaceDidChange)
            self->triggerFullScan();
    });
    displaysObserver_ = platform::displays().addObserver([weak] {
        if (auto self = weak.lock()) self->triggerFullScan();
    });
    windowListObserver_ = platform::windowServer().addChangeObserver([weak] {
        if (auto self = weak.lock()) self->windowListChanged();
    });

    observeFrontmost();
    scanAllApps();
    startGeometryPoll();
    pollFrontmostGeometry();
}

void WindowConstraintEngine::stop() {
    if (!running_) return;
    running_ = false;
    removeNotificationObservers();
    cancelWork(pendingItem_);
    cancelWork(pendingFullScan_);
    cancelWork(pendingGeometryConstrain_);
    geometryPoll_.stop();
    lastFrontmostGeometry_.reset();
    ++geometryGeneration_;
    geometryPollInFlight_ = false;

    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    axQueue_.async([weak] {
        auto self = weak.lock();
        if (!self) return;
        self->removeAllObservers();
        self->lastApplied_.clear();
    });
}

void WindowConstraintEngine::removeNotificationObservers() {
    if (!platform::isInstalled()) return;
    if (workspaceObserver_) platform::workspace().removeObserver(*workspaceObserver_);
    if (displaysObserver_) platform::displays().removeObserver(*displaysObserver_);
    if (windowListObserver_) platform::windowServer().removeChangeObserver(windowListObserver_);
    workspaceObserver_.reset();
    displaysObserver_.reset();
    windowListObserver_ = 0;
    geometryPoll_.stop();
}

void WindowConstraintEngine::appActivated() { handleAppActivated(); }

void WindowConstraintEngine::triggerFullScan() { scheduleFullScan(); }

void WindowConstraintEngine::handleAppActivated() {
    if (!running_) return;
    cancelWork(pendingGeometryConstrain_);
    lastFrontmostGeometry_.reset();
    ++geometryGeneration_;
    geometryPollInFlight_ = false;
    windowListChanged();
    observeFrontmost();
    scheduleFullScan();
    pollFrontmostGeometry();
}

// ---- the rule ---------------------------------------------------------------

void WindowConstraintEngine::constrainWindow(const ax::Element& window, const std::vector<Rect>& displays,
                                             double thickness) {
    auto frame = AXElement::frame(window);
    if (!frame) return;
    const bool minimized = AXElement::isMinimized(window);
    const bool fullScreen = AXElement::isFullScreen(window);
    std::optional<Rect> last;
    if (auto it = lastApplied_.find(window); it != lastApplied_.end()) last = it->second;

    // Position and size are two reads: while the window manager moves and
    // resizes a window (a maximise in progress) they can come from before and
    // after the change, a frame the window never had. A write computed from
    // it would undo the manager's work, so a frame is acted on only once a
    // second read agrees with it.
    std::optional<Rect> display, target;
    for (int reads = 1;; ++reads) {
        display = WindowFit::chooseDisplay(*frame, displays);
        if (!display) return;
        target = WindowFit::clampAboveBar(*frame, *display, thickness, minimized, fullScreen, last);
        if (!target) return;
        const auto again = AXElement::frame(window);
        if (!again) return;
        if (*again == *frame) break;
        if (reads == 3) return;  // still moving: its next change notification comes back here
        frame = again;
    }

    // The read-back, not the write's result, decides what happens next.
    AXElement::setFrame(window, *target);
    const double barTop = display->maxY() - thickness;
    const auto resized = AXElement::frame(window);
    Rect recorded = *target;
    if (resized && resized->maxY() > barTop + kResizeTolerance) {
        // The application kept its height: move the window up instead, but
        // never above the display's top edge.
        const double y = std::max(display->minY(), barTop - resized->height());
        const Rect moved(resized->minX(), y, resized->width(), resized->height());
        AXElement::setFrame(window, moved);
        recorded = AXElement::frame(window).value_or(moved);
    } else {
        recorded = AXElement::frame(window).value_or(*target);
    }
    lastApplied_[window] = recorded;
}

// ---- accessibility path -----------------------------------------------------

void WindowConstraintEngine::observeFrontmost() {
    if (!running_) return;
    const auto pid = frontmostOtherPid();
    if (!pid) return;
    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    axQueue_.async([weak, pid = *pid] {
        if (auto self = weak.lock()) self->attachObserver(pid);
    });
}

void WindowConstraintEngine::attachObserver(std::int32_t pid) {
    if (observedPID_ == pid) return;
    removeAllObservers();
    const ax::Element app = AXElement::application(pid);
    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    // Delivered on the main thread; the element and the name do not matter,
    // only that something about the frontmost application's windows changed.
    auto observer = ax::api().createObserver(pid, [weak](const ax::Element&, const QString&) {
        if (weak.expired()) return;
        platform::MainQueue::async([weak] {
            if (auto self = weak.lock()) self->handleAXEvent();
        });
    });
    if (!observer) return;
    for (const QString* name : kObservedNotifications) observer->addNotification(app, *name);
    observers_[pid] = std::move(observer);
    observedPID_ = pid;
}

void WindowConstraintEngine::removeAllObservers() {
    for (auto& [pid, observer] : observers_) {
        if (!observer) continue;
        const ax::Element app = AXElement::application(pid);
        for (const QString* name : kObservedNotifications) observer->removeNotification(app, *name);
        observer->invalidate();
    }
    observers_.clear();
    observedPID_.reset();
}

void WindowConstraintEngine::handleAXEvent() {
    if (!running_) return;
    scheduleWork(&WindowConstraintEngine::pendingItem_, [](WindowConstraintEngine& self) {
        if (!self.running_) return;
        const auto pid = self.frontmostOtherPid();
        if (!pid) return;
        auto displays = BarMetrics::targetDisplays();
        const double thickness = BarMetrics::barThickness();
        std::weak_ptr<WindowConstraintEngine> weak = self.weak_from_this();
        self.axQueue_.async([weak, pid = *pid, displays = std::move(displays), thickness] {
            if (auto engine = weak.lock()) engine->constrainFocusedWindow(pid, displays, thickness);
        });
    });
}

void WindowConstraintEngine::constrainFocusedWindow(std::int32_t pid, const std::vector<Rect>& displays,
                                                    double thickness) {
    const auto window = AXElement::focusedWindow(AXElement::application(pid));
    if (!window) return;
    constrainWindow(*window, displays, thickness);
}

// ---- full scan ----------------------------------------------------------------

void WindowConstraintEngine::scheduleFullScan() {
    if (!running_) return;
    scheduleWork(&WindowConstraintEngine::pendingFullScan_, [](WindowConstraintEngine& self) { self.scanAllApps(); });
}

void WindowConstraintEngine::scanAllApps() {
    if (!running_) return;
    auto& ws = platform::workspace();
    const std::int32_t own = ws.ownProcessID();
    std::vector<std::int32_t> pids;
    for (const auto& app : ws.runningApplications())
        if (app.activationPolicy == platform::ActivationPolicy::regular && app.pid != own) pids.push_back(app.pid);
    auto displays = BarMetrics::targetDisplays();
    const double thickness = BarMetrics::barThickness();
    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    axQueue_.async([weak, pids = std::move(pids), displays = std::move(displays), thickness] {
        if (auto self = weak.lock()) self->constrainAllApps(pids, displays, thickness);
    });
}

void WindowConstraintEngine::constrainAllApps(const std::vector<std::int32_t>& pids,
                                              const std::vector<Rect>& displays, double thickness) {
    std::unordered_set<ax::Element> seen;
    for (std::int32_t pid : pids) {
        for (const ax::Element& window : AXElement::windows(AXElement::application(pid))) {
            seen.insert(window);
            constrainWindow(window, displays, thickness);
        }
    }
    // Forget windows that closed or whose application quit or left the scan.
    for (auto it = lastApplied_.begin(); it != lastApplied_.end();) {
        if (seen.count(it->first))
            ++it;
        else
            it = lastApplied_.erase(it);
    }
}

// ---- window-list poll ---------------------------------------------------------

std::optional<WindowConstraintEngine::FrontmostGeometry> WindowConstraintEngine::frontmostWindowList(
    std::int32_t pid) {
    const auto list = platform::windowServer().copyWindowList(
        platform::windowListOnScreenOnly | platform::windowListExcludeDesktopElements, 0);
    if (!list) return std::nullopt;
    FrontmostGeometry sample{pid, {}};
    for (const platform::WindowRecord& record : *list) {
        if (record.ownerPID != std::int64_t(pid) || record.layer != std::int64_t(0)) continue;
        if (!record.number || !record.bounds) continue;
        // Window numbers are 32-bit; anything else is not a window we can name.
        if (*record.number < 0 || *record.number > std::numeric_limits<std::uint32_t>::max()) continue;
        sample.windows.push_back({static_cast<std::uint32_t>(*record.number), *record.bounds});
    }
    std::stable_sort(sample.windows.begin(), sample.windows.end(),
                     [](const WindowGeometry& a, const WindowGeometry& b) { return a.id < b.id; });
    return sample;
}

void WindowConstraintEngine::startGeometryPoll() {
    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    geometryPoll_.start([weak] {
        if (auto self = weak.lock()) self->pollFrontmostGeometry();
    });
}

void WindowConstraintEngine::pollFrontmostGeometry() {
    if (!running_ || geometryPollInFlight_) return;
    // Taken before anything is read, so a change while the sample is taken
    // makes the next poll look again.
    const auto stamp = ChangeStamp::now();
    if (quietPoll_ && quietPoll_->generation == geometryGeneration_ &&
        ChangeStamp::unchanged(quietPoll_->stamp, stamp)) {
        // Nothing to sample until the window list changes; the window server
        // says when, so the timer can rest until then.
        if (windowListObserver_) geometryPoll_.rest();
        return;
    }
    quietPoll_.reset();
    const std::uint64_t generation = geometryGeneration_;
    const auto pid = frontmostOtherPid();
    if (!pid) {
        cancelWork(pendingGeometryConstrain_);
        lastFrontmostGeometry_.reset();
        if (stamp) quietPoll_ = QuietPoll{*stamp, generation};
        return;
    }
    geometryPollInFlight_ = true;
    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    geometryQueue_.async([weak, generation, stamp, pid = *pid] {
        if (weak.expired()) return;
        auto sample = frontmostWindowList(pid);
        platform::MainQueue::async([weak, generation, stamp, pid, sample = std::move(sample)] {
            auto self = weak.lock();
            if (!self || !self->running_ || generation != self->geometryGeneration_) return;
            self->geometryPollInFlight_ = false;
            if (self->frontmostOtherPid() != pid) return;
            self->handleGeometrySample(sample);
            // The sample is remembered now: until something changes, every
            // further sample would equal it.
            if (stamp && generation == self->geometryGeneration_) self->quietPoll_ = QuietPoll{*stamp, generation};
        });
    });
}

void WindowConstraintEngine::windowListChanged() {
    // The poll goes on at its old pace, as if it had never rested.
    if (running_) geometryPoll_.resume();
}

void WindowConstraintEngine::handleGeometrySample(const std::optional<FrontmostGeometry>& sample) {
    if (!sample) {
        cancelWork(pendingGeometryConstrain_);
        lastFrontmostGeometry_.reset();
        return;
    }
    const std::optional<FrontmostGeometry> previous = std::move(lastFrontmostGeometry_);
    lastFrontmostGeometry_ = sample;
    if (!previous) return;  // the first sample is only remembered
    if (*previous == *sample) return;

    scheduleWork(&WindowConstraintEngine::pendingGeometryConstrain_, [generation = geometryGeneration_, pid = sample->pid,
                  windows = sample->windows](WindowConstraintEngine& self) {
                     self.confirmGeometry(generation, pid, windows);
                 });
}

void WindowConstraintEngine::confirmGeometry(std::uint64_t generation, std::int32_t pid,
                                             const std::vector<WindowGeometry>& windows) {
    if (!running_ || generation != geometryGeneration_ || frontmostOtherPid() != pid) return;
    std::weak_ptr<WindowConstraintEngine> weak = weak_from_this();
    geometryQueue_.async([weak, generation, pid, windows] {
        if (weak.expired()) return;
        auto second = frontmostWindowList(pid);
        platform::MainQueue::async([weak, generation, pid, windows, second = std::move(second)] {
            auto self = weak.lock();
            if (!self || !self->running_ || generation != self->geometryGeneration_) return;
            if (self->frontmostOtherPid() != pid) return;
            // Act only once the windows have stopped moving.
            if (!second || second->pid != pid || second->windows != windows) return;
            auto displays = BarMetrics::targetDisplays();
            const double thickness = BarMetrics::barThickness();
            self->axQueue_.async([weak, pid, displays = std::move(displays), thickness] {
                if (auto engine = weak.lock()) engine->constrainApp(pid, displays, thickness);
            });
        });
    });
}

void WindowConstraintEngine::constrainApp(std::int32_t pid, const std::vector<Rect>& displays, double thickness) {
    for (const ax::Element& window : AXElement::windows(AXElement::application(pid)))
        constrainWindow(window, displays, thickness);
}
