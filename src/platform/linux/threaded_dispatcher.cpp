#include "platform/linux/threaded_dispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <thread>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform::linux_backend {
namespace {

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Fires delayed tasks into their queues at their deadlines.
class DelayThread {
public:
    DelayThread() : thread_([this] { run(); }) {}
    ~DelayThread() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void schedule(double deadline, std::function<void()> fire) {
        {
            std::lock_guard lock(mutex_);
            entries_.emplace(deadline, std::move(fire));
        }
        cv_.notify_all();
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (entries_.empty()) {
                cv_.wait(lock);
                continue;
            }
            double next = entries_.begin()->first;
            double now = monotonicSeconds();
            if (next > now) {
                cv_.wait_for(lock, std::chrono::duration<double>(next - now));
                continue;
            }
            auto fire = std::move(entries_.begin()->second);
            entries_.erase(entries_.begin());
            lock.unlock();
            fire();
            lock.lock();
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::multimap<double, std::function<void()>> entries_;
    bool stop_ = false;
    std::thread thread_;
};

DelayThread& delayThread() {
    static DelayThread t;
    return t;
}

// The part of a queue its thread needs. The thread holds it too, so the
// queue object may go away at any time, even from inside one of its own
// tasks (a closure that held the last reference): the thread then finishes
// what is queued on state that is still alive.
struct QueueState {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Task> tasks;
    bool stop = false;
};
thread_local const QueueState* tlsCurrentQueue = nullptr;

void runQueue(std::shared_ptr<QueueState> state) {
    tlsCurrentQueue = state.get();
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->cv.wait(lock, [&] { return state->stop || !state->tasks.empty(); });
        if (state->tasks.empty() && state->stop) return;
        Task t = std::move(state->tasks.front());
        state->tasks.pop_front();
        lock.unlock();
        t();
        t = nullptr;  // may drop the last reference to the queue object
        lock.lock();
    }
}

class ThreadQueue : public QueueBackend, public std::enable_shared_from_this<ThreadQueue> {
public:
    explicit ThreadQueue(std::string label) : label_(std::move(label)), state_(std::make_shared<QueueState>()) {
        thread_ = std::thread(runQueue, state_);
    }
    ~ThreadQueue() override {
        {
            std::lock_guard lock(state_->mutex);
            state_->stop = true;
        }
        state_->cv.notify_all();
        if (std::this_thread::get_id() == thread_.get_id())
            thread_.detach();
        else
            thread_.join();
    }
    void async(Task task) override {
        // Notify under the lock: once it is released the task may run and
        // drop the last reference to this queue, so nothing of it may be
        // touched afterwards.
        std::lock_guard lock(state_->mutex);
        state_->tasks.push_back(std::move(task));
        state_->cv.notify_all();
    }
    void sync(Task task) override {
        if (isCurrent()) {
            task();
            return;
        }
        std::mutex m;
        std::condition_variable done;
        bool finished = false;
        async([&] {
            task();
            std::lock_guard lock(m);
            finished = true;
            done.notify_all();
        });
        std::unique_lock lock(m);
        done.wait(lock, [&] { return finished; });
    }
    void asyncAfter(double seconds, Task task) override {
        std::weak_ptr<ThreadQueue> weak = shared_from_this();
        delayThread().schedule(monotonicSeconds() + std::max(0.0, seconds), [weak, task = std::move(task)]() mutable {
            if (auto q = weak.lock()) q->async(std::move(task));
        });
    }
    bool isCurrent() const override { return tlsCurrentQueue == state_.get(); }

private:
    std::string label_;
    std::shared_ptr<QueueState> state_;
    std::thread thread_;
};

bool onQtMainThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// The main queue keeps its tasks itself, under a mutex, and only wakes Qt's
// event loop through an eventfd watched by a socket notifier. Handing the
// closures through Qt's own cross-thread event posting would hide the
// synchronisation from ThreadSanitizer (Qt's internal locks are invisible to
// it); this way every hand-off is a visible mutex.
class QtMainQueue : public QueueBackend {
public:
    QtMainQueue() {
        if (onQtMainThread()) {
            wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            if (wakeFd_ >= 0) {
                notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read);
                QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] {
                    std::uint64_t count = 0;
                    ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
                    (void)ignored;
                    drain();
                });
            }
        }
    }
    ~QtMainQueue() override {
        delete notifier_;
        if (wakeFd_ >= 0) ::close(wakeFd_);
    }
    void async(Task task) override {
        auto* app = QCoreApplication::instance();
        if (!app) return;
        if (!notifier_) {
            QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        std::uint64_t one = 1;
        ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
        (void)ignored;
    }
    void sync(Task task) override {
        if (onQtMainThread()) {
            task();
            return;
        }
        std::mutex m;
        std::condition_variable done;
        bool finished = false;
        async([&] {
            task();
            std::lock_guard lock(m);
            finished = true;
            done.notify_all();
        });
        std::unique_lock lock(m);
        done.wait(lock, [&] { return finished; });
    }
    void asyncAfter(double seconds, Task task) override {
        int ms = int(std::max(0.0, seconds) * 1000.0 + 0.5);
        if (onQtMainThread()) {
            QTimer::singleShot(ms, QCoreApplication::instance(), std::move(task));
            return;
        }
        async([ms, task = std::move(task)]() mutable { QTimer::singleShot(ms, QCoreApplication::instance(), std::move(task)); });
    }
    bool isCurrent() const override { return onQtMainThread(); }

private:
    void drain() {
        for (;;) {
            Task t;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty()) return;
                t = std::move(tasks_.front());
                tasks_.pop_front();
            }
            t();
        }
    }
    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::mutex mutex_;
    std::deque<Task> tasks_;
};

class QtTimer : public TimerBackend {
public:
    QtTimer(QueueBackend& mainQueue, double interval, bool repeats, Task tick, Qt::TimerType type = Qt::PreciseTimer)
        : main_(mainQueue) {
        auto start = [this, interval, repeats, type, tick = std::move(tick)]() mutable {
            if (!valid_) return;
            timer_ = new QTimer(QCoreApplication::instance());
            timer_->setTimerType(type);
            timer_->setSingleShot(!repeats);
            timer_->setInterval(int(interval * 1000.0 + 0.5));
            QObject::connect(timer_, &QTimer::timeout, timer_, std::move(tick));
            timer_->start();
        };
        if (onQtMainThread())
            start();
        else
            main_.sync(std::move(start));
    }
    ~QtTimer() override = default;  // the QTimer is parented to the application
    void invalidate() override {
        valid_ = false;
        if (timer_) {
            QTimer* t = timer_;
            timer_ = nullptr;
            if (onQtMainThread()) {
                t->stop();
                t->deleteLater();
            } else {
                main_.async([t] {
                    t->stop();
                    t->deleteLater();
                });
            }
        }
    }
    bool isValid() const override { return valid_; }

private:
    QueueBackend& main_;
    std::atomic<bool> valid_{true};
    QTimer* timer_ = nullptr;
};

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int signo) {
    int saved = errno;
    unsigned char b = static_cast<unsigned char>(signo);
    if (signalPipe[1] >= 0) {
        // Non-blocking: a burst of signals never stalls the interrupted thread.
        ssize_t ignored = ::write(signalPipe[1], &b, 1);
        (void)ignored;
    }
    errno = saved;
}

// The pipe and its reading thread exist once per process; the handler is
// whichever dispatcher asked last, and none once that dispatcher is gone.
struct SignalRoute {
    std::mutex mutex;
    std::function<void(int)> handler;
    const void* owner = nullptr;
    bool started = false;
};

SignalRoute& signalRoute() {
    static auto* route = new SignalRoute;  // never destroyed: the thread outlives statics
    return *route;
}

bool startSignalThread() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    signalPipe[0] = fds[0];
    signalPipe[1] = fds[1];
    std::thread([] {
        for (;;) {
            unsigned char b = 0;
            ssize_t n = ::read(signalPipe[0], &b, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            std::function<void(int)> h;
            {
                std::lock_guard lock(signalRoute().mutex);
                h = signalRoute().handler;
            }
            if (h) h(int(b));
        }
    }).detach();
    return true;
}

}  // namespace

struct ThreadedDispatcher::Impl {
    QtMainQueue main;
};

ThreadedDispatcher::ThreadedDispatcher() : impl_(std::make_unique<Impl>()) {}
ThreadedDispatcher::~ThreadedDispatcher() {
    auto& route = signalRoute();
    std::lock_guard lock(route.mutex);
    if (route.owner == this) {
        route.handler = nullptr;
        route.owner = nullptr;
    }
}

std::shared_ptr<QueueBackend> ThreadedDispatcher::makeQueue(const std::string& label) {
    return std::make_shared<ThreadQueue>(label);
}
QueueBackend& ThreadedDispatcher::mainQueue() { return impl_->main; }
double ThreadedDispatcher::uptime() { return monotonicSeconds(); }
std::shared_ptr<TimerBackend> ThreadedDispatcher::scheduleTimer(double interval, bool repeats, Task tick) {
    return std::make_shared<QtTimer>(mainQueue(), interval, repeats, std::move(tick));
}

Qt::TimerType ThreadedDispatcher::timerTypeFor(double interval, double tolerance) {
    // Qt's very coarse timers fire on whole seconds, so every such timer of
    // the process shares one wake-up; its coarse timers may be up to 5 % late.
    if (interval >= 1.0 && tolerance >= 0.5) return Qt::VeryCoarseTimer;
    if (interval > 0 && tolerance >= 0.05 * interval) return Qt::CoarseTimer;
    return Qt::PreciseTimer;
}

std::shared_ptr<TimerBackend> ThreadedDispatcher::scheduleTimerWithTolerance(double interval, double tolerance,
                                                                             bool repeats, Task tick) {
    return std::make_shared<QtTimer>(mainQueue(), interval, repeats, std::move(tick),
                                     timerTypeFor(interval, tolerance));
}

void ThreadedDispatcher::handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) {
    auto& route = signalRoute();
    {
        std::lock_guard lock(route.mutex);
        route.handler = std::move(handler);
        route.owner = this;
        if (!route.started) {
            if (!startSignalThread()) return;
            route.started = true;
        }
    }
    for (int s : signalNumbers) {
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(s, &sa, nullptr);
    }
}

bool ThreadedDispatcher::isMainThread() const { return onQtMainThread(); }

}  // namespace platform::linux_backend
