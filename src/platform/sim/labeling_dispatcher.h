#pragma once
// Wraps a dispatcher so that code running inside a queue's task can ask
// which queue it runs on (the simulated desktop accounts the time a request
// to an unresponsive application would have blocked per queue label).
#include <memory>
#include <string>

#include "platform/dispatch.h"

namespace platform::sim {

class LabelingDispatcher : public Dispatcher {
public:
    explicit LabelingDispatcher(std::shared_ptr<Dispatcher> inner);
    std::shared_ptr<QueueBackend> makeQueue(const std::string& label) override;
    QueueBackend& mainQueue() override;
    double uptime() override;
    std::shared_ptr<TimerBackend> scheduleTimer(double interval, bool repeats, Task tick) override;
    std::shared_ptr<TimerBackend> scheduleTimerWithTolerance(double interval, double tolerance, bool repeats,
                                                             Task tick) override;
    void handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) override;
    bool isMainThread() const override;

    const std::shared_ptr<Dispatcher>& inner() const { return inner_; }
    // The label of the queue whose task runs on this thread: "main" for the
    // main queue and for the main thread outside any task, "thread" for any
    // other thread outside a task.
    std::string currentLabel() const;

private:
    std::shared_ptr<Dispatcher> inner_;
    std::shared_ptr<QueueBackend> main_;
};

}  // namespace platform::sim
