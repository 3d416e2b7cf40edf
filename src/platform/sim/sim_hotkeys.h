#pragma once
// System-wide hot keys of the simulated desktop: registrations with the
// refusals of a taken combination, handlers, and injected key presses.
#include <memory>

#include "platform/hotkeys.h"
#include "platform/sim/sim_core.h"

namespace platform::sim {

class SimHotKeys : public HotKeys {
public:
    explicit SimHotKeys(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    OSStatus installHandler(std::function<void(HotKeyID)> handler, int& handlerRef) override;
    void removeHandler(int handlerRef) override;
    OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id, int& hotKeyRef) override;
    OSStatus unregisterHotKey(int hotKeyRef) override;

    // A key press: every installed handler receives the id of each matching
    // registration on the main queue. False when nothing is registered for it.
    bool press(std::uint32_t keyCode, std::uint32_t modifiers);

private:
    std::shared_ptr<Core> core_;
};

}  // namespace platform::sim
