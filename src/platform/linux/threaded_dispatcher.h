#pragma once
// The real dispatcher: a thread per serial queue, Qt's event loop as the
// main queue, the monotonic clock, and termination signals through a pipe.
#include <Qt>

#include "platform/dispatch.h"

namespace platform::linux_backend {

class ThreadedDispatcher : public Dispatcher {
public:
    ThreadedDispatcher();
    ~ThreadedDispatcher() override;
    std::shared_ptr<QueueBackend> makeQueue(const std::string& label) override;
    QueueBackend& mainQueue() override;
    double uptime() override;
    std::shared_ptr<TimerBackend> scheduleTimer(double interval, bool repeats, Task tick) override;
    std::shared_ptr<TimerBackend> scheduleTimerWithTolerance(double interval, double tolerance, bool repeats,
                                                             Task tick) override;
    // The kind of Qt timer that keeps within the tolerance.
    static Qt::TimerType timerTypeFor(double interval, double tolerance);
    void handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) override;
    bool isMainThread() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::linux_backend
