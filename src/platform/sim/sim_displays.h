#pragma once
// Displays of the simulated desktop: bounds in global top-left coordinates,
// frames flipped against the primary display's height, a menu bar on the
// primary, the keyboard-focus screen and the pointer.
#include <memory>

#include "platform/displays.h"
#include "platform/sim/sim_core.h"

namespace platform::sim {

class SimDisplays : public Displays {
public:
    explicit SimDisplays(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    DisplayID mainDisplayID() override;
    Point pointerLocation() override;
    std::optional<std::vector<DisplayID>> activeDisplayList() override;
    Rect displayBounds(DisplayID id) override;
    int addObserver(std::function<void()> callback) override;
    void removeObserver(int token) override;
    int addPointerMonitor(std::function<void()> callback) override;
    void removePointerMonitor(int token) override;
    int addMouseDownMonitor(std::function<void()> callback) override;
    void removeMouseDownMonitor(int token) override;

private:
    std::shared_ptr<Core> core_;
};

}  // namespace platform::sim
