#include "core/clock_animation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/dispatch.h"

namespace motion {

namespace {
constexpr double settleTolerance = 0.001;

double omega(const Spring& s) { return 2 * std::numbers::pi / std::max(1e-3, s.response); }
}  // namespace

double springValue(const Spring& s, double t) {
    if (t <= 0) return 0;
    const double w0 = omega(s);
    const double zeta = std::max(0.0, s.dampingFraction);
    // x(t) = 1 - e^{-zeta w0 t} (cos(wd t) + zeta w0 / wd sin(wd t)), the
    // displacement from the target of a mass released at rest.
    if (zeta < 1) {
        const double wd = w0 * std::sqrt(1 - zeta * zeta);
        const double decay = std::exp(-zeta * w0 * t);
        return 1 - decay * (std::cos(wd * t) + zeta * w0 / wd * std::sin(wd * t));
    }
    if (zeta == 1) return 1 - std::exp(-w0 * t) * (1 + w0 * t);
    const double r = w0 * std::sqrt(zeta * zeta - 1);
    const double a = -zeta * w0 + r, b = -zeta * w0 - r;
    return 1 - (b * std::exp(a * t) - a * std::exp(b * t)) / (b - a);
}

double springSettleTime(const Spring& s) {
    const double w0 = omega(s);
    const double zeta = std::max(0.05, s.dampingFraction);
    // The envelope bounds the displacement; step along it with a little slack
    // for the overdamped and critically damped curves, which have no envelope.
    double t = -std::log(settleTolerance) / (std::min(1.0, zeta) * w0);
    while (t < 10 && std::abs(1 - springValue(s, t)) > settleTolerance) t += 0.01;
    return t;
}

std::shared_ptr<ClockAnimation> ClockAnimation::linear(double duration, Step step, Done done) {
    std::shared_ptr<ClockAnimation> a(new ClockAnimation(
        duration, [duration](double t) { return duration <= 0 ? 1.0 : std::clamp(t / duration, 0.0, 1.0); },
        std::move(step), std::move(done)));
    a->start();
    return a;
}

std::shared_ptr<ClockAnimation> ClockAnimation::spring(const Spring& s, Step step, Done done) {
    std::shared_ptr<ClockAnimation> a(
        new ClockAnimation(springSettleTime(s), [s](double t) { return springValue(s, t); }, std::move(step),
                           std::move(done)));
    a->start();
    return a;
}

ClockAnimation::ClockAnimation(double duration, std::function<double(double)> curve, Step step, Done done)
    : duration_(duration), curve_(std::move(curve)), step_(std::move(step)), done_(std::move(done)) {}

ClockAnimation::~ClockAnimation() {
    if (timer_) timer_->invalidate();
}

void ClockAnimation::start() {
    running_ = true;
    startedAt_ = platform::uptime();
    if (duration_ <= 0) {
        tick();
        return;
    }
    self_ = shared_from_this();
    // The first frame is the curve's start, drawn at once.
    if (step_) step_(curve_(0));
    if (!running_) return;
    std::weak_ptr<ClockAnimation> weak = self_;
    timer_ = platform::Timer::scheduled(frameInterval, true, [weak](platform::Timer&) {
        if (auto a = weak.lock()) a->tick();
    });
    // The last frame lands exactly on the end, whatever the frame pace.
    platform::MainQueue::asyncAfter(duration_, [weak] {
        if (auto a = weak.lock()) a->tick();
    });
}

void ClockAnimation::tick() {
    if (!running_) return;
    const double t = platform::uptime() - startedAt_;
    const bool last = t >= duration_ - 1e-9;
    // Keep ourselves alive through the callbacks, which may drop the caller's reference.
    auto keep = self_;
    if (step_) step_(last ? 1.0 : curve_(t));
    if (!last || !running_) return;
    running_ = false;
    if (timer_) timer_->invalidate();
    Done done = std::move(done_);
    self_.reset();
    if (done) done();
}

void ClockAnimation::stop() {
    running_ = false;
    if (timer_) timer_->invalidate();
    done_ = nullptr;
    self_.reset();
}

}  // namespace motion
