#pragma once
// Waits for the user to grant the accessibility permission: asks once, then
// checks every second for up to two minutes.
#include <functional>
#include <memory>

#include "platform/dispatch.h"

class AccessibilityService : public std::enable_shared_from_this<AccessibilityService> {
public:
    static constexpr double pollInterval = 1.0;
    static constexpr int pollLimit = 120;

    static std::shared_ptr<AccessibilityService> create();
    ~AccessibilityService();

    // Trusted now, without asking.
    bool isTrusted() const;
    // Calls `completion` exactly once on the main thread: true as soon as the
    // process is trusted, false after `pollLimit` unsuccessful checks. A new
    // request replaces a running poll (whose completion is then not called).
    void requestTrust(std::function<void(bool)> completion);
    bool isPolling() const;

private:
    AccessibilityService() = default;
    std::shared_ptr<platform::Timer> pollTimer_;
};
