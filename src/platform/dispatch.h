#pragma once
// Serial queues, the main queue, timers, termination signals and the clock.
//
// Every piece of time the program uses goes through here, so a test can run
// the whole system on a manual clock with queues it pumps by hand, while the
// real program runs threads and Qt's event loop.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using Task = std::function<void()>;

// One serial queue as the installed dispatcher implements it.
class QueueBackend {
public:
    virtual ~QueueBackend() = default;
    virtual void async(Task task) = 0;
    // Runs the task after everything already queued and waits for it.
    virtual void sync(Task task) = 0;
    virtual void asyncAfter(double seconds, Task task) = 0;
    virtual bool isCurrent() const = 0;
};

class TimerBackend {
public:
    virtual ~TimerBackend() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    virtual std::shared_ptr<QueueBackend> makeQueue(const std::string& label) = 0;
    virtual QueueBackend& mainQueue() = 0;
    // Seconds since an arbitrary fixed point; never goes backwards.
    virtual double uptime() = 0;
    // A timer on the main thread. The first tick comes one interval from now.
    virtual std::shared_ptr<TimerBackend> scheduleTimer(double interval, bool repeats, Task tick) = 0;
    // The same, allowed to fire up to `tolerance` seconds late, so that the
    // system can wake once for several timers. A dispatcher without such
    // coalescing fires on time.
    virtual std::shared_ptr<TimerBackend> scheduleTimerWithTolerance(double interval, double tolerance, bool repeats,
                                                                     Task tick) {
        (void)tolerance;
        return scheduleTimer(interval, repeats, std::move(tick));
    }
    // Delivers each of the given signals to the handler, on a thread of the
    // dispatcher's own (never inside the signal handler itself).
    virtual void handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) = 0;
    virtual bool isMainThread() const = 0;
};

// A named serial queue. Tasks run one at a time in submission order.
class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    const std::string& label() const { return label_; }
    void async(Task task) const;
    void sync(Task task) const;
    void asyncAfter(double seconds, Task task) const;
    bool isCurrent() const;

private:
    std::string label_;
    std::shared_ptr<QueueBackend> impl_;
};

// The main thread's queue: Qt's event loop in the real program.
class MainQueue {
public:
    static void async(Task task);
    static void sync(Task task);
    static void asyncAfter(double seconds, Task task);
};

// A repeating or one-shot timer on the main thread. Dropping the last
// reference does not stop it; invalidate() does. A tolerance lets a tick come
// that much later, so that timers of the same pace share one wake-up.
class Timer {
public:
    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, std::function<void(Timer&)> block,
                                            double tolerance = 0);
    void invalidate();
    bool isValid() const;

private:
    std::shared_ptr<TimerBackend> impl_;
};

double uptime();
bool isMainThread();
void handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler);

}  // namespace platform
