#include "windows/accessibility_service.h"

#include "platform/accessibility.h"

std::shared_ptr<AccessibilityService> AccessibilityService::create() {
    return std::shared_ptr<AccessibilityService>(new AccessibilityService());
}

// Releasing the service leaves the timer running; its tick holds the service
// weakly and still reports to the completion.
AccessibilityService::~AccessibilityService() = default;

bool AccessibilityService::isTrusted() const { return platform::ax::api().isProcessTrusted(false); }

bool AccessibilityService::isPolling() const { return pollTimer_ && pollTimer_->isValid(); }

void AccessibilityService::requestTrust(std::function<void(bool)> completion) {
    if (isTrusted()) {
        completion(true);
        return;
    }
    platform::ax::api().isProcessTrusted(true);
    if (pollTimer_) pollTimer_->invalidate();
    std::weak_ptr<AccessibilityService> weak = weak_from_this();
    auto ticks = std::make_shared<int>(0);
    pollTimer_ = platform::Timer::scheduled(pollInterval, true, [weak, ticks, completion](platform::Timer& timer) {
        *ticks += 1;
        bool result;
        if (platform::ax::api().isProcessTrusted(false)) {
            result = true;
        } else if (*ticks >= pollLimit) {
            result = false;
        } else {
            return;
        }
        timer.invalidate();
        if (auto self = weak.lock()) self->pollTimer_.reset();
        completion(result);
    });
}
