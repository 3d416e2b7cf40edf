#pragma once
// In-process notifications by name ("QuorvelBarHeightChanged", ...),
// delivered on the main thread.
#include <QString>
#include <functional>
#include <map>
#include <mutex>

namespace platform {

class NotificationCenter {
public:
    using Callback = std::function<void(const QString& name)>;
    static NotificationCenter& defaultCenter();

    int addObserver(const QString& name, Callback callback);
    void removeObserver(int token);
    // Delivers synchronously when called on the main thread, otherwise on the
    // main queue.
    void post(const QString& name);
    std::size_t observerCount() const;
    void reset();

private:
    mutable std::mutex mutex_;
    int nextToken_ = 1;
    std::map<int, std::pair<QString, Callback>> observers_;
};

}  // namespace platform
