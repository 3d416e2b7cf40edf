#pragma once
// Watches for an application running full screen. After an application
// switch or a space change (and once a second as a safety net) it asks a
// detector, off the main thread, on which display the frontmost application
// is full screen, and reports the answer on the main thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dispatch.h"
#include "platform/displays.h"
#include "platform/geometry.h"

namespace platform {
class Timer;
}

class FullscreenDetecting {
public:
    virtual ~FullscreenDetecting() = default;
    // Runs on the monitor's queue; may block on accessibility calls.
    virtual std::optional<platform::DisplayID> detect(std::optional<std::int32_t> pid) = 0;
};

// Combines the focused window's full-screen attribute with a geometric test
// on the window list.
class AXFullscreenDetector : public FullscreenDetecting {
public:
    struct ActiveDisplay {
        platform::DisplayID id = 0;
        platform::Rect bounds;
    };
    std::optional<platform::DisplayID> detect(std::optional<std::int32_t> pid) override;

    // The display with the largest positive overlap; the first on a tie.
    static std::optional<platform::DisplayID> largestOverlap(const platform::Rect& frame,
                                                             const std::vector<ActiveDisplay>& displays);
    // The window covers the display to within 2 points on every side.
    static bool covers(const platform::Rect& window, const platform::Rect& display);
};

class FullscreenMonitor : public std::enable_shared_from_this<FullscreenMonitor> {
public:
    static constexpr double settleDelay = 0.15;
    static constexpr double pollInterval = 1.0;
    using ChangeHandler = std::function<void(std::optional<platform::DisplayID>)>;

    static std::shared_ptr<FullscreenMonitor> create(std::shared_ptr<FullscreenDetecting> detector);
    ~FullscreenMonitor();

    void setOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }
    void start();
    void stop();
    // Schedules an evaluation 0.15 s from now, replacing a pending one.
    void trigger();
    bool isRunning() const { return running_; }

private:
    explicit FullscreenMonitor(std::shared_ptr<FullscreenDetecting> detector);
    void evaluate(std::uint64_t pendingToken);

    std::shared_ptr<FullscreenDetecting> detector_;
    platform::SerialQueue queue_;
    bool running_ = false;
    // Bumped by every start and stop: a detection that began under an older
    // run is dropped, even when the monitor has been started again since.
    std::uint64_t generation_ = 0;
    // Bumped by every trigger: only the latest scheduled evaluation runs.
    std::uint64_t pendingToken_ = 0;
    bool hasPending_ = false;
    std::shared_ptr<platform::Timer> pollTimer_;
    int workspaceObserver_ = 0;
    ChangeHandler onChange_;
};
