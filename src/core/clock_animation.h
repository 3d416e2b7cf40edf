#pragma once
// Animations stepped by the platform's clock and main-thread timers rather
// than Qt's own animation clock, so a test on the manual clock steps a fade
// or a spring exactly, and the real program draws at the display's pace.
//
// An animation is a curve from 0 to 1 over time. Every frame it hands the
// curve's value to a step function; the last frame hands exactly 1 and then
// runs the completion. A running animation keeps itself alive until it ends
// or is stopped, so a caller may start one and forget it.
#include <functional>
#include <memory>

namespace platform {
class Timer;
}

namespace motion {

// A spring as motion is usually described: the period of its undamped
// oscillation (response, seconds) and how much of the critical damping it
// has (1 = no overshoot).
struct Spring {
    double response = 0.18;
    double dampingFraction = 0.85;
};

// Where a spring released at rest at 0, heading for 1, is t seconds later.
double springValue(const Spring& spring, double t);
// When the spring has come within a thousandth of its target for good.
double springSettleTime(const Spring& spring);

class ClockAnimation : public std::enable_shared_from_this<ClockAnimation> {
public:
    static constexpr double frameInterval = 1.0 / 60.0;
    using Step = std::function<void(double value)>;
    using Done = std::function<void()>;

    // Straight from 0 to 1 over the duration (a duration of 0 or less ends at once).
    static std::shared_ptr<ClockAnimation> linear(double duration, Step step, Done done = {});
    // Along the spring's curve; ends when the spring has settled.
    static std::shared_ptr<ClockAnimation> spring(const Spring& spring, Step step, Done done = {});

    ~ClockAnimation();
    // No further steps and no completion.
    void stop();
    bool isRunning() const { return running_; }

private:
    ClockAnimation(double duration, std::function<double(double)> curve, Step step, Done done);
    void start();
    void tick();

    double duration_;
    std::function<double(double)> curve_;
    Step step_;
    Done done_;
    double startedAt_ = 0;
    bool running_ = false;
    std::shared_ptr<platform::Timer> timer_;
    std::shared_ptr<ClockAnimation> self_;  // held while running
};

}  // namespace motion
