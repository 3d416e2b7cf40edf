#include "platform/sim/manual_dispatcher.h"

#include <algorithm>

namespace platform::sim {
namespace {
thread_local const ManualDispatcher::Queue* tlsCurrent = nullptr;

struct CurrentGuard {
    const ManualDispatcher::Queue* saved;
    explicit CurrentGuard(const ManualDispatcher::Queue* q) : saved(tlsCurrent) { tlsCurrent = q; }
    ~CurrentGuard() { tlsCurrent = saved; }
};

class ManualTimer : public TimerBackend {
public:
    void invalidate() override { valid = false; }
    bool isValid() const override { return valid; }
    bool valid = true;
};
}  // namespace

void ManualDispatcher::Queue::async(Task task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

void ManualDispatcher::Queue::sync(Task task) {
    if (isCurrent()) {
        task();
        return;
    }
    // A barrier: everything queued before runs first, then the task.
    while (runOne()) {
    }
    CurrentGuard guard(this);
    task();
}

void ManualDispatcher::Queue::asyncAfter(double seconds, Task task) {
    std::lock_guard lock(owner_->mutex_);
    owner_->scheduleAt(owner_->now_ + std::max(0.0, seconds), weak_from_this(), std::move(task));
}

bool ManualDispatcher::Queue::isCurrent() const {
    if (tlsCurrent == this) return true;
    // Outside any pumped task the test's own thread counts as the main thread.
    return tlsCurrent == nullptr && this == owner_->main_.get();
}

bool ManualDispatcher::Queue::runOne() {
    Task t;
    {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) return false;
        t = std::move(tasks_.front());
        tasks_.pop_front();
    }
    CurrentGuard guard(this);
    t();
    return true;
}

std::size_t ManualDispatcher::Queue::pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

ManualDispatcher::ManualDispatcher(double startTime) : now_(startTime) {
    main_ = std::make_shared<Queue>(this, "main");
    queues_.push_back(main_);
}

std::shared_ptr<QueueBackend> ManualDispatcher::makeQueue(const std::string& label) {
    std::lock_guard lock(mutex_);
    auto q = std::make_shared<Queue>(this, label);
    queues_.push_back(q);
    return q;
}

QueueBackend& ManualDispatcher::mainQueue() { return *main_; }

double ManualDispatcher::uptime() {
    std::lock_guard lock(mutex_);
    return now_;
}

void ManualDispatcher::scheduleAt(double when, std::weak_ptr<Queue> queue, Task task) {
    deadlines_.emplace(std::make_pair(when, seq_++), Deadline{std::move(queue), std::move(task)});
}

std::shared_ptr<TimerBackend> ManualDispatcher::scheduleTimer(double interval, bool repeats, Task tick) {
    auto timer = std::make_shared<ManualTimer>();
    std::weak_ptr<ManualTimer> weakTimer = timer;
    auto fire = std::make_shared<std::function<void()>>();
    std::weak_ptr<Queue> weakMain = main_;
    interval = std::max(interval, 1e-4);
    *fire = [this, weakTimer, interval, repeats, tick, weakFire = std::weak_ptr<std::function<void()>>(fire),
             weakMain]() {
        auto t = weakTimer.lock();
        if (!t || !t->valid) return;
        // Re-arm before the tick, so a tick that advances nothing keeps the period.
        if (repeats) {
            if (auto f = weakFire.lock()) {
                std::lock_guard lock(mutex_);
                scheduleAt(now_ + interval, weakMain, [f] { (*f)(); });
            }
        }
        tick();
    };
    // The deadline entries keep the closure alive; the timer object does not.
    std::lock_guard lock(mutex_);
    scheduleAt(now_ + interval, weakMain, [fire] { (*fire)(); });
    return timer;
}

void ManualDispatcher::handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) {
    std::lock_guard lock(mutex_);
    signals_ = signalNumbers;
    signalHandler_ = std::move(handler);
}

std::vector<int> ManualDispatcher::handledSignals() const {
    std::lock_guard lock(mutex_);
    return signals_;
}

bool ManualDispatcher::deliverSignal(int signo) {
    std::function<void(int)> h;
    {
        std::lock_guard lock(mutex_);
        if (std::find(signals_.begin(), signals_.end(), signo) == signals_.end()) return false;
        h = signalHandler_;
    }
    if (h) h(signo);
    return bool(h);
}

bool ManualDispatcher::isMainThread() const { return main_->isCurrent(); }

int ManualDispatcher::pump() {
    int ran = 0;
    for (;;) {
        std::vector<std::shared_ptr<Queue>> live;
        {
            std::lock_guard lock(mutex_);
            queues_.erase(std::remove_if(queues_.begin(), queues_.end(), [](auto& w) { return w.expired(); }),
                          queues_.end());
            for (auto& w : queues_)
                if (auto q = w.lock()) live.push_back(q);
        }
        bool any = false;
        for (auto& q : live) {
            while (q->runOne()) {
                ++ran;
                any = true;
            }
        }
        if (!any) return ran;
    }
}

int ManualDispatcher::pumpQueue(const std::string& label) {
    std::vector<std::shared_ptr<Queue>> matches;
    {
        std::lock_guard lock(mutex_);
        for (auto& w : queues_)
            if (auto q = w.lock(); q && q->label() == label) matches.push_back(q);
    }
    int ran = 0;
    for (auto& q : matches)
        while (q->runOne()) ++ran;
    return ran;
}

void ManualDispatcher::advance(double seconds) {
    double target;
    {
        std::lock_guard lock(mutex_);
        target = now_ + std::max(0.0, seconds);
    }
    pump();
    for (;;) {
        Deadline d;
        {
            std::lock_guard lock(mutex_);
            if (deadlines_.empty() || deadlines_.begin()->first.first > target + 1e-9) break;
            auto it = deadlines_.begin();
            now_ = std::max(now_, it->first.first);
            d = std::move(it->second);
            deadlines_.erase(it);
        }
        if (auto q = d.queue.lock()) q->async(std::move(d.task));
        pump();
    }
    {
        std::lock_guard lock(mutex_);
        now_ = std::max(now_, target);
    }
    pump();
}

void ManualDispatcher::addElapsed(double seconds) {
    std::lock_guard lock(mutex_);
    now_ += std::max(0.0, seconds);
}

std::size_t ManualDispatcher::pendingTasks() const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (auto& w : queues_)
        if (auto q = w.lock()) n += q->pending();
    return n;
}

std::size_t ManualDispatcher::pendingDeadlines() const {
    std::lock_guard lock(mutex_);
    return deadlines_.size();
}

std::vector<std::string> ManualDispatcher::queueLabels() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (auto& w : queues_)
        if (auto q = w.lock()) out.push_back(q->label());
    return out;
}

}  // namespace platform::sim
