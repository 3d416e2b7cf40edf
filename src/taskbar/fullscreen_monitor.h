#pragma once
// Watches for an application running full screen. After an application
// switch or a space change (and once a second as a safety net) it asks a
// detector, off the main thread, on which display the frontmost application
// is full screen, and reports the answer on the main thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/resting_poll.h"
#include "platform/dispatch.h"
#include "platform/displays.h"
#include "platform/geometry.h"
#include "windows/change_stamp.h"

namespace platform {
class Timer;
}

class FullscreenDetecting {
public:
    virtual ~FullscreenDetecting() = default;
    // Runs on the monitor's queue; may block on accessibility calls.
    virtual std::optional<platform::DisplayID> detect(std::optional<std::int32_t> pid) = 0;
    // The answer of the last detection when nothing it read can have changed
    // since: cheap, without reading anything, so any thread may ask. Absent
    // when a detection is needed.
    virtual std::optional<std::optional<platform::DisplayID>> standingAnswer(std::optional<std::int32_t> pid) {
        (void)pid;
        return std::nullopt;
    }
};

// Combines the focused window's full-screen attribute with a geometric test
// on the window list.
class AXFullscreenDetector : public FullscreenDetecting {
public:
    struct ActiveDisplay {
        platform::DisplayID id = 0;
        platform::Rect bounds;
        friend bool operator==(const ActiveDisplay&, const ActiveDisplay&) = default;
    };
    std::optional<platform::DisplayID> detect(std::optional<std::int32_t> pid) override;
    std::optional<std::optional<platform::DisplayID>> standingAnswer(std::optional<std::int32_t> pid) override;
    // How many detections read the application and the window list (the
    // others took the last answer again, as nothing had changed).
    std::uint64_t readCount() const;

    // The display with the largest positive overlap; the first on a tie.
    static std::optional<platform::DisplayID> largestOverlap(const platform::Rect& frame,
                                                             const std::vector<ActiveDisplay>& displays);
    // The window covers the display to within 2 points on every side.
    static bool covers(const platform::Rect& window, const platform::Rect& display);

private:
    static std::vector<ActiveDisplay> activeDisplays();
    std::optional<platform::DisplayID> read(std::optional<std::int32_t> pid, const std::vector<ActiveDisplay>& displays);

    // The last detection's inputs and answer. Detections run on one queue;
    // the lock only keeps readCount() honest from other threads.
    struct Memo {
        std::optional<std::int32_t> pid;
        ChangeStamp stamp;
        std::vector<ActiveDisplay> displays;
        std::optional<platform::DisplayID> answer;
    };
    mutable std::mutex mutex_;
    std::optional<Memo> memo_;
    std::uint64_t reads_ = 0;
};

class FullscreenMonitor : public std::enable_shared_from_this<FullscreenMonitor> {
public:
    static constexpr double settleDelay = 0.15;
    // The longest an evaluation waits however often it is triggered again.
    static constexpr double settleMaxWait = 0.5;
    static constexpr double pollInterval = 1.0;
    static constexpr double pollTolerance = 0.5;
    using ChangeHandler = std::function<void(std::optional<platform::DisplayID>)>;

    static std::shared_ptr<FullscreenMonitor> create(std::shared_ptr<FullscreenDetecting> detector);
    ~FullscreenMonitor();

    void setOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }
    void start();
    void stop();
    // Schedules an evaluation 0.15 s from now, replacing a pending one, but
    // never more than settleMaxWait after the first trigger it answers.
    void trigger();
    bool isRunning() const { return running_; }
    // Poll ticks that reported the last answer again without a detection.
    std::uint64_t standingAnswers() const { return standingAnswers_; }

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
    // The frontmost application as last asked, by the workspace's change
    // count then: while the count stays, the answer does too.
    struct Frontmost {
        std::uint64_t changeCount = 0;
        std::optional<std::int32_t> pid;
    };
    std::optional<Frontmost> frontmost_;
    std::optional<std::int32_t> frontmostPid();
    void pollTick();
    void startPoll();
    void resumePoll();
    void windowsChanged();
    void report(std::optional<platform::DisplayID> display);
    // The last answer named a display: a bar is away for a full-screen window.
    bool fullScreenShown_ = false;
    // Rests while the answer stands, until the window server reports a
    // change or a trigger comes.
    RestingPoll poll_{pollInterval, pollTolerance};
    CappedDebounce settle_{settleDelay, settleMaxWait};
    int changeObserver_ = 0;
    std::uint64_t standingAnswers_ = 0;
    bool hasPending_ = false;
    int workspaceObserver_ = 0;
    ChangeHandler onChange_;
};
