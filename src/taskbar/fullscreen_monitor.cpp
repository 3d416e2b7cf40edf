#include "taskbar/fullscreen_monitor.h"

#include "platform/platform.h"

namespace {
constexpr double kMessagingTimeout = 0.25;
}

// ---- detector --------------------------------------------------------------

std::optional<platform::DisplayID> AXFullscreenDetector::largestOverlap(const platform::Rect& frame,
                                                                        const std::vector<ActiveDisplay>& displays) {
    std::optional<platform::DisplayID> best;
    double bestArea = 0;
    for (const auto& d : displays) {
        const platform::Rect i = frame.intersection(d.bounds);
        if (i.isNull() || i.isEmpty()) continue;
        const double area = i.width() * i.height();
        if (area > bestArea) {
            bestArea = area;
            best = d.id;
        }
    }
    return best;
}

bool AXFullscreenDetector::covers(const platform::Rect& w, const platform::Rect& d) {
    return w.minX() <= d.minX() + 2 && w.minY() <= d.minY() + 2 && w.maxX() >= d.maxX() - 2 &&
           w.maxY() >= d.maxY() - 2;
}

std::uint64_t AXFullscreenDetector::readCount() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

std::vector<AXFullscreenDetector::ActiveDisplay> AXFullscreenDetector::activeDisplays() {
    // An unreadable display list is empty: no display can be full screen.
    std::vector<ActiveDisplay> displays;
    auto& displayService = platform::displays();
    if (const auto ids = displayService.activeDisplayList())
        for (platform::DisplayID id : *ids) displays.push_back({id, displayService.displayBounds(id)});
    return displays;
}

std::optional<std::optional<platform::DisplayID>> AXFullscreenDetector::standingAnswer(
    std::optional<std::int32_t> pid) {
    if (!pid) return std::optional<platform::DisplayID>();
    const auto displays = activeDisplays();
    const auto stamp = ChangeStamp::now();
    std::lock_guard lock(mutex_);
    if (memo_ && memo_->pid == pid && memo_->displays == displays && ChangeStamp::unchanged(memo_->stamp, stamp))
        return memo_->answer;
    return std::nullopt;
}

std::optional<platform::DisplayID> AXFullscreenDetector::detect(std::optional<std::int32_t> pid) {
    if (!pid) return std::nullopt;
    auto displays = activeDisplays();

    // Taken before the reads, so a change during them shows at the next detection.
    const auto stamp = ChangeStamp::now();
    {
        std::lock_guard lock(mutex_);
        if (memo_ && memo_->pid == pid && memo_->displays == displays && ChangeStamp::unchanged(memo_->stamp, stamp))
            return memo_->answer;
        ++reads_;
    }
    const auto answer = read(pid, displays);
    std::lock_guard lock(mutex_);
    if (stamp)
        memo_ = Memo{pid, *stamp, std::move(displays), answer};
    else
        memo_.reset();
    return answer;
}

std::optional<platform::DisplayID> AXFullscreenDetector::read(std::optional<std::int32_t> pid,
                                                              const std::vector<ActiveDisplay>& displays) {

    namespace ax = platform::ax;
    auto& api = ax::api();
    const ax::Element app = api.applicationElement(*pid);
    api.setMessagingTimeout(app, kMessagingTimeout);

    // The accessibility attribute of the focused window.
    ax::Value value;
    if (api.copyAttribute(app, ax::names::focusedWindow, value) == ax::Error::success) {
        if (auto window = ax::as<ax::Element>(value); window && window->isValid()) {
            ax::Value fs, pos, size;
            const bool fullScreen = api.copyAttribute(*window, ax::names::fullScreen, fs) == ax::Error::success &&
                                    ax::as<bool>(fs).value_or(false);
            if (fullScreen && api.copyAttribute(*window, ax::names::position, pos) == ax::Error::success &&
                api.copyAttribute(*window, ax::names::size, size) == ax::Error::success) {
                auto p = ax::as<platform::Point>(pos);
                auto s = ax::as<platform::Size>(size);
                if (p && s) {
                    if (auto id = largestOverlap(platform::Rect(*p, *s), displays)) return id;
                }
            }
        }
    }

    // The window list: a borderless window that covers a whole display.
    const auto list = platform::windowServer().copyWindowList(
        platform::windowListOnScreenOnly | platform::windowListExcludeDesktopElements, 0);
    if (!list) return std::nullopt;
    std::vector<platform::Rect> kept;
    for (const auto& w : *list) {
        if (!w.ownerPID || *w.ownerPID != *pid) continue;
        if (!w.layer || *w.layer != 0) continue;
        if (w.alpha && !(*w.alpha > 0.01)) continue;
        if (!w.bounds) continue;
        // A framed window is not borderless: while a bar is away for a
        // full-screen window, a maximised one spans the display too, and
        // would keep the bar away once full screen has ended.
        if (w.isBorderless == false) continue;
        kept.push_back(*w.bounds);
    }
    for (const auto& w : kept)
        for (const auto& d : displays)
            if (covers(w, d.bounds)) return d.id;
    return std::nullopt;
}

// ---- monitor ---------------------------------------------------------------

std::shared_ptr<FullscreenMonitor> FullscreenMonitor::create(std::shared_ptr<FullscreenDetecting> detector) {
    return std::shared_ptr<FullscreenMonitor>(new FullscreenMonitor(std::move(detector)));
}

FullscreenMonitor::FullscreenMonitor(std::shared_ptr<FullscreenDetecting> detector)
    : detector_(std::move(detector)), queue_("app.quorvel.fullscreen") {}

FullscreenMonitor::~FullscreenMonitor() { stop(); }

void FullscreenMonitor::start() {
    if (running_) return;
    running_ = true;
    ++generation_;
    std::weak_ptr<FullscreenMonitor> weak = weak_from_this();
    workspaceObserver_ = platform::workspace().addObserver([weak](const QString& name, std::int32_t) {
        if (name != platform::workspace_notifications::activeSpaceDidChange &&
            name != platform::workspace_notifications::didActivateApplication)
            return;
        if (auto self = weak.lock()) self->trigger();
    });
    changeObserver_ = platform::windowServer().addChangeObserver([weak] {
        if (auto self = weak.lock()) self->windowsChanged();
    });
    trigger();
    startPoll();
}

void FullscreenMonitor::startPoll() {
    std::weak_ptr<FullscreenMonitor> weak = weak_from_this();
    // A safety net needs no precision: its tick shares a wake-up with the
    // other second-scale polls.
    poll_.start([weak] {
        if (auto self = weak.lock()) self->pollTick();
    });
}

void FullscreenMonitor::resumePoll() {
    if (running_) poll_.resume();
}

void FullscreenMonitor::windowsChanged() {
    // While a bar is away, the window leaving full screen is what a person
    // waits for: the managers that state it before the window has its old
    // frame back are answered once that frame comes, not a poll later.
    if (fullScreenShown_)
        trigger();
    else
        resumePoll();
}

void FullscreenMonitor::report(std::optional<platform::DisplayID> display) {
    fullScreenShown_ = display.has_value();
    if (onChange_) onChange_(display);
}

void FullscreenMonitor::stop() {
    if (!running_) return;
    running_ = false;
    ++generation_;
    if (platform::isInstalled() && platform::installed().workspace)
        platform::workspace().removeObserver(workspaceObserver_);
    workspaceObserver_ = 0;
    if (changeObserver_ && platform::isInstalled() && platform::installed().windowServer)
        platform::windowServer().removeChangeObserver(changeObserver_);
    changeObserver_ = 0;
    ++pendingToken_;  // cancels the pending evaluation
    hasPending_ = false;
    settle_.clear();
    poll_.stop();
    fullScreenShown_ = false;
}

void FullscreenMonitor::pollTick() {
    if (!running_) return;
    // With nothing settling and nothing changed since the last detection,
    // its answer stands: report it now, without a detection or a delay.
    if (!hasPending_ && onChange_)
        if (const auto answer = detector_->standingAnswer(frontmostPid())) {
            ++standingAnswers_;
            report(*answer);
            // Until the window server reports a change, every tick would say
            // the same: the poll rests.
            if (changeObserver_ && running_) poll_.rest();
            return;
        }
    trigger();
}

void FullscreenMonitor::trigger() {
    if (!running_) return;
    resumePoll();
    // A steady stream of triggers still gets an evaluation every settleMaxWait.
    const double wait = settle_.trigger(platform::uptime());
    const std::uint64_t token = ++pendingToken_;
    hasPending_ = true;
    std::weak_ptr<FullscreenMonitor> weak = weak_from_this();
    platform::MainQueue::asyncAfter(wait, [weak, token] {
        if (auto self = weak.lock()) self->evaluate(token);
    });
}

std::optional<std::int32_t> FullscreenMonitor::frontmostPid() {
    auto& workspace = platform::workspace();
    const auto count = workspace.changeCount();
    if (count && frontmost_ && frontmost_->changeCount == *count) return frontmost_->pid;
    std::optional<std::int32_t> pid;
    if (auto front = workspace.frontmostApplication()) pid = front->pid;
    if (count)
        frontmost_ = Frontmost{*count, pid};
    else
        frontmost_.reset();
    return pid;
}

void FullscreenMonitor::evaluate(std::uint64_t token) {
    if (token != pendingToken_ || !hasPending_) return;  // replaced or cancelled
    hasPending_ = false;
    settle_.clear();
    if (!running_) return;
    const std::optional<std::int32_t> pid = frontmostPid();
    const std::uint64_t generation = generation_;
    std::weak_ptr<FullscreenMonitor> weak = weak_from_this();
    auto detector = detector_;
    queue_.async([weak, detector, pid, generation] {
        const auto display = detector->detect(pid);
        platform::MainQueue::async([weak, display, generation] {
            auto self = weak.lock();
            if (!self || !self->running_ || self->generation_ != generation || !self->onChange_) return;
            self->report(display);
        });
    });
}
