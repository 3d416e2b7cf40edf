#pragma once
// The window list of a live X11 desktop: the window manager's stacking list,
// front to back, with each client's visible frame, owner, layer and opacity.
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/window_list.h"
#include "platform/x11/x11_connection.h"

namespace platform::x11 {

// Window layers as the system numbers them.
namespace layers {
constexpr std::int64_t normal = 0;
constexpr std::int64_t floating = 3;    // kept above others
constexpr std::int64_t dock = 20;       // panels and bars
constexpr std::int64_t popUpMenu = 101;
constexpr std::int64_t desktop = -2147483623;
}  // namespace layers

class X11WindowServer : public WindowServer, public EventListener {
public:
    explicit X11WindowServer(std::shared_ptr<Connection> connection);
    ~X11WindowServer() override;
    std::optional<std::vector<WindowRecord>> copyWindowList(unsigned options, std::int64_t relativeTo) override;
    std::optional<std::uint64_t> changeCount() override { return conn_->changeCount(); }
    int addChangeObserver(std::function<void()> callback) override;
    void removeChangeObserver(int token) override;
    // Event thread.
    void counted() override;

    // The layer of one client (exposed for tests).
    std::int64_t layerOf(const WindowInfo& info) const;

private:
    // The change observers, shared with the deliveries on the main queue.
    struct Observers {
        std::mutex mutex;
        int next = 1;
        std::map<int, std::function<void()>> callbacks;
        bool deliveryPending = false;
    };
    std::shared_ptr<Connection> conn_;
    std::shared_ptr<Observers> observers_ = std::make_shared<Observers>();
};

}  // namespace platform::x11
