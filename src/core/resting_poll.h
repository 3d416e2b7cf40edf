#pragma once
// Two pieces of timing shared by the polls and debounces of the task bar's
// observers (window service, constraint engine, full-screen monitor).
//
// RestingPoll: a repeating poll that may rest (its timer stopped) while
// nothing it reads can change, and goes on at its old pace when told of a
// change: the next tick comes when a tick of the old timer would have.
//
// CappedDebounce: each trigger puts the run off by `delay`, but never more
// than `maxWait` after the first trigger it answers, so a steady stream of
// triggers still gets a run every `maxWait`.
//
// Main thread only.
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Timer;
}

class RestingPoll {
public:
    RestingPoll(double interval, double tolerance) : interval_(interval), tolerance_(tolerance) {}
    ~RestingPoll();
    RestingPoll(const RestingPoll&) = delete;
    RestingPoll& operator=(const RestingPoll&) = delete;

    // Starts (or restarts) the repeating timer from now; `tick` runs on each tick.
    void start(std::function<void()> tick);
    // Stops the timer until `resume`; a poll that is not running stays stopped.
    void rest();
    // After a rest: one tick at the old pace, then repeating from there.
    void resume();
    void stop();
    bool isResting() const { return resting_; }
    bool isRunning() const { return timer_ != nullptr; }

    // Seconds from `now` to the next tick of a timer started at `origin`
    // with `interval`; a tick due right now is the one after.
    static double nextTickDelay(double origin, double interval, double now);

private:
    void schedule();

    const double interval_;
    const double tolerance_;
    std::function<void()> tick_;
    std::shared_ptr<platform::Timer> timer_;
    bool resting_ = false;
    double origin_ = 0;
    // Closures hold this weakly: a poll destroyed with a tick queued is not reached.
    std::shared_ptr<RestingPoll*> alive_ = std::make_shared<RestingPoll*>(this);
};

class CappedDebounce {
public:
    CappedDebounce(double delay, double maxWait) : delay_(delay), maxWait_(maxWait) {}
    // For a trigger at `now`: the seconds until the answer is due.
    double trigger(double now) {
        if (!first_) first_ = now;
        const double due = std::min(now + delay_, *first_ + maxWait_);
        return due > now ? due - now : 0;
    }
    // The answer ran or was cancelled: the next trigger starts a new wait.
    void clear() { first_.reset(); }
    bool isWaiting() const { return first_.has_value(); }
    double delay() const { return delay_; }
    double maxWait() const { return maxWait_; }

private:
    double delay_;
    double maxWait_;
    std::optional<double> first_;
};
