#include "platform/sim/labeling_dispatcher.h"

namespace platform::sim {
namespace {

thread_local const std::string* tlsLabel = nullptr;

struct LabelScope {
    const std::string* saved;
    explicit LabelScope(const std::string* label) : saved(tlsLabel) { tlsLabel = label; }
    ~LabelScope() { tlsLabel = saved; }
};

Task labelled(std::shared_ptr<const std::string> label, Task task) {
    return [label = std::move(label), task = std::move(task)] {
        LabelScope scope(label.get());
        task();
    };
}

class LabeledQueue : public QueueBackend {
public:
    LabeledQueue(std::shared_ptr<QueueBackend> owned, QueueBackend* inner, std::string label)
        : owned_(std::move(owned)), inner_(inner), label_(std::make_shared<const std::string>(std::move(label))) {}
    void async(Task task) override { inner_->async(labelled(label_, std::move(task))); }
    void sync(Task task) override { inner_->sync(labelled(label_, std::move(task))); }
    void asyncAfter(double seconds, Task task) override { inner_->asyncAfter(seconds, labelled(label_, std::move(task))); }
    bool isCurrent() const override { return inner_->isCurrent(); }

private:
    std::shared_ptr<QueueBackend> owned_;  // null for the main queue, which the inner dispatcher owns
    QueueBackend* inner_;
    std::shared_ptr<const std::string> label_;
};

}  // namespace

LabelingDispatcher::LabelingDispatcher(std::shared_ptr<Dispatcher> inner) : inner_(std::move(inner)) {
    main_ = std::make_shared<LabeledQueue>(nullptr, &inner_->mainQueue(), "main");
}

std::shared_ptr<QueueBackend> LabelingDispatcher::makeQueue(const std::string& label) {
    auto q = inner_->makeQueue(label);
    auto* raw = q.get();
    return std::make_shared<LabeledQueue>(std::move(q), raw, label);
}

QueueBackend& LabelingDispatcher::mainQueue() { return *main_; }
double LabelingDispatcher::uptime() { return inner_->uptime(); }

namespace {
const std::shared_ptr<const std::string>& mainTimerLabel() {
    static const auto label = std::make_shared<const std::string>("main");
    return label;
}
}  // namespace

std::shared_ptr<TimerBackend> LabelingDispatcher::scheduleTimer(double interval, bool repeats, Task tick) {
    const auto& mainLabel = mainTimerLabel();
    return inner_->scheduleTimer(interval, repeats, labelled(mainLabel, std::move(tick)));
}

std::shared_ptr<TimerBackend> LabelingDispatcher::scheduleTimerWithTolerance(double interval, double tolerance,
                                                                             bool repeats, Task tick) {
    const auto& mainLabel = mainTimerLabel();
    return inner_->scheduleTimerWithTolerance(interval, tolerance, repeats, labelled(mainLabel, std::move(tick)));
}

void LabelingDispatcher::handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) {
    inner_->handleSignals(signalNumbers, std::move(handler));
}

bool LabelingDispatcher::isMainThread() const { return inner_->isMainThread(); }

std::string LabelingDispatcher::currentLabel() const {
    if (tlsLabel) return *tlsLabel;
    return inner_->isMainThread() ? std::string("main") : std::string("thread");
}

}  // namespace platform::sim
