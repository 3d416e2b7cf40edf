#pragma once
// A test on a fresh simulated desktop: manual clock, in-memory preferences,
// installed as the platform backend for the test's duration.
#include <gtest/gtest.h>

#include <memory>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"

class SimDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = platform::sim::SimulatedDesktop::create();
        sim->install();
    }
    void TearDown() override {
        // Let what the test left queued finish before the backend goes away.
        sim->pump();
        platform::uninstall();
        sim.reset();
    }

    std::shared_ptr<platform::sim::SimulatedDesktop> sim;
};
