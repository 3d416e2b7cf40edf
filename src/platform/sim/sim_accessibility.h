#pragma once
// Accessibility of the simulated applications: window attributes computed
// from the model, generic element trees (the Dock's items), fault injection,
// messaging timeouts with per-queue time accounting, and observers.
#include <memory>

#include "platform/accessibility.h"
#include "platform/sim/sim_core.h"

namespace platform::sim {

class SimAccessibility : public ax::Accessibility {
public:
    explicit SimAccessibility(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    bool isProcessTrusted(bool prompt) override;
    ax::Element applicationElement(std::int32_t pid) override;
    ax::Error copyAttribute(const ax::Element& element, const QString& attribute, ax::Value& out) override;
    ax::Error setAttribute(const ax::Element& element, const QString& attribute, const ax::Value& value) override;
    ax::Error performAction(const ax::Element& element, const QString& action) override;
    ax::Error setMessagingTimeout(const ax::Element& element, double seconds) override;
    ax::Error pid(const ax::Element& element, std::int32_t& out) override;
    std::shared_ptr<ax::Observer> createObserver(std::int32_t pid, ax::ObserverCallback callback) override;
    std::optional<std::uint64_t> changeCount() override { return core_->changes.load(std::memory_order_acquire); }

private:
    enum class Request { read, write, action };
    // Checks trust, the element and injected faults; accounts timeouts.
    // Returns success when the request may go ahead; `fault` is set to a
    // wrongType fault that the read must apply.
    ax::Error admit(const ax::Element& element, const QString& name, Request kind, const Fault** wrongType,
                    double& blockFor);
    ax::Error readLocked(ElementState& e, std::uint64_t identity, const QString& attribute, ax::Value& out);
    QString describeElement(const ElementState& e, std::uint64_t identity) const;
    void block(double seconds);
    std::shared_ptr<Core> core_;
};

}  // namespace platform::sim
