#include "core/resting_poll.h"

#include <cmath>

#include "platform/dispatch.h"

RestingPoll::~RestingPoll() { stop(); }

double RestingPoll::nextTickDelay(double origin, double interval, double now) {
    double next = origin + std::ceil((now - origin) / interval) * interval;
    if (next - now < 1e-6) next += interval;
    return next - now;
}

void RestingPoll::start(std::function<void()> tick) {
    tick_ = std::move(tick);
    schedule();
}

void RestingPoll::schedule() {
    if (timer_) timer_->invalidate();
    resting_ = false;
    origin_ = platform::uptime();
    std::weak_ptr<RestingPoll*> weak = alive_;
    timer_ = platform::Timer::scheduled(
        interval_, true,
        [weak](platform::Timer&) {
            if (auto self = weak.lock())
                if (auto tick = (*self)->tick_) tick();
        },
        tolerance_);
}

void RestingPoll::rest() {
    if (!timer_) return;
    timer_->invalidate();
    timer_.reset();
    resting_ = true;
}

void RestingPoll::resume() {
    if (!resting_) return;
    resting_ = false;
    std::weak_ptr<RestingPoll*> weak = alive_;
    timer_ = platform::Timer::scheduled(
        nextTickDelay(origin_, interval_, platform::uptime()), false,
        [weak](platform::Timer&) {
            auto self = weak.lock();
            if (!self || (*self)->resting_) return;
            RestingPoll& poll = **self;
            poll.schedule();
            // The tick may stop or restart the poll; copy it first.
            if (auto tick = poll.tick_) tick();
        },
        tolerance_);
}

void RestingPoll::stop() {
    if (timer_) timer_->invalidate();
    timer_.reset();
    resting_ = false;
}
