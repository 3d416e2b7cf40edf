#pragma once
// The window server's list, derived from the simulated windows (front to
// back), with extra raw entries, per-entry corruption and list failure.
#include <QVariantMap>
#include <atomic>
#include <memory>

#include "platform/sim/sim_core.h"
#include "platform/window_list.h"

namespace platform::sim {

class SimWindowServer : public WindowServer {
public:
    explicit SimWindowServer(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::optional<std::vector<WindowRecord>> copyWindowList(unsigned options, std::int64_t relativeTo) override;
    std::optional<std::uint64_t> changeCount() override { return core_->changes.load(std::memory_order_acquire); }
    int addChangeObserver(std::function<void()> callback) override {
        std::lock_guard lock(core_->mutex);
        const int token = core_->nextChangeObserver++;
        core_->changeObservers[token] = std::move(callback);
        return token;
    }
    void removeChangeObserver(int token) override {
        std::lock_guard lock(core_->mutex);
        core_->changeObservers.erase(token);
    }

    // The window server's descriptions (what copyWindowList converts), for
    // the same options: corrupted entries show as they are.
    std::optional<std::vector<QVariantMap>> describeWindowList(unsigned options, std::int64_t relativeTo);

    // Converts one description; a field that is missing or of the wrong
    // type is absent.
    static WindowRecord toRecord(const QVariantMap& entry);

    // How many times the list was copied (tests count the reads of polls).
    int copies() const { return copies_.load(std::memory_order_relaxed); }

private:
    std::shared_ptr<Core> core_;
    std::atomic<int> copies_{0};
};

}  // namespace platform::sim
