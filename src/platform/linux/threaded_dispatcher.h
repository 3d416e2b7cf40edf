#pragma once
// The real dispatcher: a thread per serial queue, Qt's event loop as the
// main queue, the monotonic clock, and termination signals through a pipe.
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
    void handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) override;
    bool isMainThread() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::linux_backend
