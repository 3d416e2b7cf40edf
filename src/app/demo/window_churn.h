#pragma once
// For measuring a long run on the simulated desktop: applications keep
// opening, moving, retitling, minimising and closing windows, and now and
// then quit and relaunch, so the whole pipeline (scans, snapshots, the task
// strip, the constraint engine) churns the way a busy desktop does.
#include <memory>
#include <random>

namespace platform::sim {
class SimulatedDesktop;
}

class WindowChurn {
public:
    explicit WindowChurn(std::shared_ptr<platform::sim::SimulatedDesktop> desktop, double interval = 0.05);
    void start();
    int steps() const { return steps_; }

private:
    void step();
    std::shared_ptr<platform::sim::SimulatedDesktop> desktop_;
    double interval_;
    std::mt19937 random_{20261209};
    int steps_ = 0;
};
