#include "platform/linux/threaded_dispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace platform::linux_backend {
namespace {

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

class ThreadQueue;
thread_local const ThreadQueue* tlsCurrentQueue = nullptr;

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

class ThreadQueue : public QueueBackend, public std::enable_shared_from_this<ThreadQueue> {
public:
    explicit ThreadQueue(std::string label) : label_(std::move(label)) {
        thread_ = std::thread([this] { run(); });
    }
    ~ThreadQueue() override {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        if (std::this_thread::get_id() == thread_.get_id())
            thread_.detach();
        else
            thread_.join();
    }
    void async(Task task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        cv_.notify_all();
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
    bool isCurrent() const override { return tlsCurrentQueue == this; }

private:
    void run() {
        tlsCurrentQueue = this;
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
            if (tasks_.empty() && stop_) return;
            Task t = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            t();
            t = nullptr;
            lock.lock();
        }
    }
    std::string label_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Task> tasks_;
    bool stop_ = false;
    std::thread thread_;
};

bool onQtMainThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

class QtMainQueue : public QueueBackend {
public:
    void async(Task task) override {
        auto* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    }
    void sync(Task task) override {
        if (onQtMainThread()) {
            task();
            return;
        }
        auto* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(app, std::move(task), Qt::BlockingQueuedConnection);
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
};

class QtTimer : public TimerBackend {
public:
    QtTimer(double interval, bool repeats, Task tick) {
        auto start = [this, interval, repeats, tick = std::move(tick)]() mutable {
            if (!valid_) return;
            timer_ = new QTimer(QCoreApplication::instance());
            timer_->setSingleShot(!repeats);
            timer_->setInterval(int(interval * 1000.0 + 0.5));
            QObject::connect(timer_, &QTimer::timeout, timer_, std::move(tick));
            timer_->start();
        };
        if (onQtMainThread())
            start();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(start), Qt::BlockingQueuedConnection);
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
                QMetaObject::invokeMethod(t, [t] { t->stop(); t->deleteLater(); }, Qt::QueuedConnection);
            }
        }
    }
    bool isValid() const override { return valid_; }

private:
    std::atomic<bool> valid_{true};
    QTimer* timer_ = nullptr;
};

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int signo) {
    int saved = errno;
    unsigned char b = static_cast<unsigned char>(signo);
    if (signalPipe[1] >= 0) {
        ssize_t ignored = ::write(signalPipe[1], &b, 1);
        (void)ignored;
    }
    errno = saved;
}

}  // namespace

struct ThreadedDispatcher::Impl {
    QtMainQueue main;
    std::function<void(int)> signalHandler;
    std::mutex signalMutex;
    std::thread signalThread;
};

ThreadedDispatcher::ThreadedDispatcher() : impl_(std::make_unique<Impl>()) {}
ThreadedDispatcher::~ThreadedDispatcher() {
    if (impl_->signalThread.joinable()) impl_->signalThread.detach();
}

std::shared_ptr<QueueBackend> ThreadedDispatcher::makeQueue(const std::string& label) {
    return std::make_shared<ThreadQueue>(label);
}
QueueBackend& ThreadedDispatcher::mainQueue() { return impl_->main; }
double ThreadedDispatcher::uptime() { return monotonicSeconds(); }
std::shared_ptr<TimerBackend> ThreadedDispatcher::scheduleTimer(double interval, bool repeats, Task tick) {
    return std::make_shared<QtTimer>(interval, repeats, std::move(tick));
}

void ThreadedDispatcher::handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) {
    {
        std::lock_guard lock(impl_->signalMutex);
        impl_->signalHandler = std::move(handler);
    }
    if (signalPipe[0] < 0) {
        if (::pipe(signalPipe) != 0) return;
        Impl* impl = impl_.get();
        impl_->signalThread = std::thread([impl] {
            for (;;) {
                unsigned char b = 0;
                ssize_t n = ::read(signalPipe[0], &b, 1);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return;
                std::function<void(int)> h;
                {
                    std::lock_guard lock(impl->signalMutex);
                    h = impl->signalHandler;
                }
                if (h) h(int(b));
            }
        });
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
