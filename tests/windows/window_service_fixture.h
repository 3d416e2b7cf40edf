#pragma once
// A window service on a fresh simulated desktop, with every published
// snapshot recorded. `GatedWindowServiceTest` holds the window queue's work
// until the test releases it, so a test can act between a scan's two halves.
#include <deque>
#include <memory>

#include "platform/dispatch.h"
#include "windows/window_service.h"
#include "windows_sim_support.h"

namespace windows_test {

inline const char* const windowQueueLabel = "app.quorvel.windows";

// A queue whose tasks run only when the test calls runAll() (or sync()).
class HeldQueue : public platform::QueueBackend {
public:
    explicit HeldQueue(platform::QueueBackend& main) : main_(main) {}
    void async(platform::Task task) override { tasks_.push_back(std::move(task)); }
    void sync(platform::Task task) override {
        runAll();
        Current c(this);
        task();
    }
    void asyncAfter(double seconds, platform::Task task) override {
        main_.asyncAfter(seconds, [this, task = std::move(task)]() mutable { async(std::move(task)); });
    }
    bool isCurrent() const override { return current_; }
    int runAll() {
        int n = 0;
        while (!tasks_.empty()) {
            auto t = std::move(tasks_.front());
            tasks_.pop_front();
            Current c(this);
            t();
            ++n;
        }
        return n;
    }
    std::size_t pending() const { return tasks_.size(); }

private:
    struct Current {
        explicit Current(HeldQueue* q) : q_(q), was_(q->current_) { q_->current_ = true; }
        ~Current() { q_->current_ = was_; }
        HeldQueue* q_;
        bool was_;
    };
    platform::QueueBackend& main_;
    std::deque<platform::Task> tasks_;
    bool current_ = false;
};

class GatingDispatcher : public platform::Dispatcher {
public:
    GatingDispatcher(std::shared_ptr<platform::Dispatcher> inner, std::string label)
        : inner_(std::move(inner)), label_(std::move(label)), held_(std::make_shared<HeldQueue>(inner_->mainQueue())) {}
    std::shared_ptr<platform::QueueBackend> makeQueue(const std::string& label) override {
        return label == label_ ? held_ : inner_->makeQueue(label);
    }
    platform::QueueBackend& mainQueue() override { return inner_->mainQueue(); }
    double uptime() override { return inner_->uptime(); }
    std::shared_ptr<platform::TimerBackend> scheduleTimer(double interval, bool repeats, platform::Task tick) override {
        return inner_->scheduleTimer(interval, repeats, std::move(tick));
    }
    void handleSignals(const std::vector<int>& s, std::function<void(int)> h) override {
        inner_->handleSignals(s, std::move(h));
    }
    bool isMainThread() const override { return !held_->isCurrent() && inner_->isMainThread(); }
    HeldQueue& held() { return *held_; }

private:
    std::shared_ptr<platform::Dispatcher> inner_;
    std::string label_;
    std::shared_ptr<HeldQueue> held_;
};

class WindowServiceTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        makeService();
    }
    void TearDown() override {
        if (service) service->stop();
        service.reset();
        SimDesktopTest::TearDown();
    }
    void makeService() {
        queue = std::make_unique<platform::SerialQueue>(windowQueueLabel);
        service = WindowService::create(*queue);
        service->setOnSnapshot([this](const std::vector<AppItem>& items) { snapshots.push_back(items); });
    }
    // Runs the pending debounce and what follows it.
    void settle() { sim->advance(WindowService::scanDebounce + 0.01); }
    std::vector<AppItem> latest() const { return snapshots.empty() ? std::vector<AppItem>{} : snapshots.back(); }
    const AppItem* latestApp(std::int32_t pid) {
        last_ = latest();
        return find(last_, pid);
    }
    std::int32_t addApp(const QString& name, bool active = false) { return sim->addApplication(app(name, {}, active)); }

    std::unique_ptr<platform::SerialQueue> queue;
    std::shared_ptr<WindowService> service;
    std::vector<std::vector<AppItem>> snapshots;

private:
    std::vector<AppItem> last_;
};

class GatedWindowServiceTest : public WindowServiceTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        auto services = sim->services();
        gate = std::make_shared<GatingDispatcher>(services.dispatcher, windowQueueLabel);
        services.dispatcher = gate;
        platform::install(services);
        makeService();
    }
    std::shared_ptr<GatingDispatcher> gate;
};

}  // namespace windows_test
