#pragma once
// A dispatcher driven by hand: a manual clock, queues that run only when
// pumped, and timers that fire only when the clock is advanced. Everything
// runs on the thread that pumps, so tests are instant and deterministic.
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch.h"

namespace platform::sim {

class ManualDispatcher : public Dispatcher, public std::enable_shared_from_this<ManualDispatcher> {
public:
    explicit ManualDispatcher(double startTime = 1000.0);
    std::shared_ptr<QueueBackend> makeQueue(const std::string& label) override;
    QueueBackend& mainQueue() override;
    double uptime() override;
    std::shared_ptr<TimerBackend> scheduleTimer(double interval, bool repeats, Task tick) override;
    void handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) override;
    bool isMainThread() const override;

    // Runs queued tasks of every queue (the main queue included) until all
    // are empty; returns how many ran.
    int pump();
    // Runs the queued tasks of one queue only (by label).
    int pumpQueue(const std::string& label);
    // Moves the clock forward, firing due delayed tasks and timers in
    // deadline order and pumping after each.
    void advance(double seconds);
    // Sets the clock without firing anything (time spent blocked elsewhere).
    void addElapsed(double seconds);
    std::size_t pendingTasks() const;
    std::size_t pendingDeadlines() const;
    std::vector<std::string> queueLabels() const;

    // Signals that were asked for, and delivery of one as if it arrived.
    std::vector<int> handledSignals() const;
    bool deliverSignal(int signo);

    class Queue;

private:
    friend class Queue;
    struct Deadline {
        std::weak_ptr<Queue> queue;
        Task task;
    };
    void scheduleAt(double when, std::weak_ptr<Queue> queue, Task task);

    mutable std::recursive_mutex mutex_;
    double now_;
    std::uint64_t seq_ = 0;
    std::shared_ptr<Queue> main_;
    std::vector<std::weak_ptr<Queue>> queues_;
    std::map<std::pair<double, std::uint64_t>, Deadline> deadlines_;
    std::vector<int> signals_;
    std::function<void(int)> signalHandler_;
};

class ManualDispatcher::Queue : public QueueBackend, public std::enable_shared_from_this<Queue> {
public:
    Queue(ManualDispatcher* owner, std::string label) : owner_(owner), label_(std::move(label)) {}
    void async(Task task) override;
    void sync(Task task) override;
    void asyncAfter(double seconds, Task task) override;
    bool isCurrent() const override;
    const std::string& label() const { return label_; }
    // Runs one queued task; false when none was queued.
    bool runOne();
    std::size_t pending() const;

private:
    ManualDispatcher* owner_;
    std::string label_;
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
};

}  // namespace platform::sim
