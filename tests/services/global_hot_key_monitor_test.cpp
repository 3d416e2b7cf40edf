#include "services/global_hot_key_monitor.h"
#include "services_fixture.h"

using services::GlobalHotKeyMonitor;
using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

const HotKeyCombo optionSpace{49, HotKeyModifiers::option()};
const HotKeyCombo controlD{2, HotKeyModifiers::control()};

class HotKeyMonitorTest : public services_test::ServicesTest {
protected:
    void startMonitor() {
        monitor.start([this] { ++triggers; }, [this] { ++minimizeAlls; });
    }
    GlobalHotKeyMonitor monitor;
    int triggers = 0;
    int minimizeAlls = 0;
};

TEST_F(HotKeyMonitorTest, PressesReachTheirActions) {
    startMonitor();
    EXPECT_TRUE(monitor.registerCombo(optionSpace, true, false));
    EXPECT_TRUE(monitor.registerCombo(controlD, true, true));
    hotKeys->press(49, 0x800);
    hotKeys->press(2, 0x1000);
    hotKeys->press(2, 0x1000);
    EXPECT_EQ(triggers, 1);
    EXPECT_EQ(minimizeAlls, 2);
    // Registered with the fixed signature and ids, mask unchanged.
    ASSERT_EQ(hotKeys->registrations.size(), 2u);
    for (auto& [ref, r] : hotKeys->registrations) {
        EXPECT_EQ(r.id.signature, platform::fourCharCode("QvHk"));
        EXPECT_EQ(r.id.id, r.keyCode == 49 ? 1u : 2u);
    }
}

TEST_F(HotKeyMonitorTest, RegisterBeforeStartRegistersNothing) {
    EXPECT_TRUE(monitor.registerCombo(optionSpace, true, false));
    EXPECT_EQ(hotKeys->registerCalls, 0);
    EXPECT_FALSE(monitor.lastRegistrationFailed());
}

TEST_F(HotKeyMonitorTest, DisabledReleasesEarlierRegistration) {
    startMonitor();
    ASSERT_TRUE(monitor.registerCombo(optionSpace, true, false));
    EXPECT_TRUE(monitor.registerCombo(optionSpace, false, false));
    EXPECT_TRUE(hotKeys->registrations.empty());
    EXPECT_FALSE(monitor.registeredCombo(1));
    hotKeys->deliver({GlobalHotKeyMonitor::signature, 1});
    EXPECT_EQ(triggers, 0);
}

TEST_F(HotKeyMonitorTest, SameComboTwiceReleasesFirst) {
    startMonitor();
    ASSERT_TRUE(monitor.registerCombo(optionSpace, true, false));
    EXPECT_TRUE(monitor.registerCombo(optionSpace, true, false));
    EXPECT_EQ(hotKeys->registrations.size(), 1u);
    EXPECT_EQ(hotKeys->unregisterCalls, 1);
}

TEST_F(HotKeyMonitorTest, RefusalLogsAndStoresNothing) {
    startMonitor();
    hotKeys->takenElsewhere.insert({49, 0x800});
    EXPECT_FALSE(monitor.registerCombo(optionSpace, true, false));
    EXPECT_FALSE(monitor.registeredCombo(1));
    EXPECT_EQ(log->take(), QStringList{QStringLiteral("Quorvel: RegisterEventHotKey 失败 (-9878) for ⌥Space")});
}

// The same combination cannot drive both shortcuts.
TEST_F(HotKeyMonitorTest, ComboTakenByTheOtherIdIsRefused) {
    startMonitor();
    ASSERT_TRUE(monitor.registerCombo(controlD, true, true));
    EXPECT_FALSE(monitor.registerCombo(controlD, true, false));
    EXPECT_FALSE(monitor.registeredCombo(1));
    EXPECT_EQ(hotKeys->registrations.size(), 1u);
    hotKeys->press(2, 0x1000);
    EXPECT_EQ(triggers, 0);
    EXPECT_EQ(minimizeAlls, 1);
    // Re-registering the minimise-all id with it is fine (its own earlier
    // registration is released first).
    EXPECT_TRUE(monitor.registerCombo(controlD, true, true));
}

TEST_F(HotKeyMonitorTest, ForeignSignatureAndUnknownIdAreIgnored) {
    startMonitor();
    ASSERT_TRUE(monitor.registerCombo(optionSpace, true, false));
    hotKeys->deliver({platform::fourCharCode("Xxxx"), 1});
    hotKeys->deliver({GlobalHotKeyMonitor::signature, 3});
    hotKeys->deliver({GlobalHotKeyMonitor::signature, 2});  // id 2 has no combination
    EXPECT_EQ(triggers, 0);
    EXPECT_EQ(minimizeAlls, 0);
}

TEST_F(HotKeyMonitorTest, StopRemovesEverythingButKeepsFlags) {
    startMonitor();
    ASSERT_TRUE(monitor.registerCombo(optionSpace, true, false));
    ASSERT_TRUE(monitor.registerCombo(controlD, true, true));
    monitor.setLastMinimizeAllRegistrationFailed(true);
    monitor.stop();
    EXPECT_TRUE(hotKeys->registrations.empty());
    EXPECT_TRUE(hotKeys->handlers.empty());
    EXPECT_TRUE(monitor.lastMinimizeAllRegistrationFailed());
    EXPECT_EQ(hotKeys->press(49, 0x800), 0);
    const int calls = hotKeys->registerCalls;
    EXPECT_TRUE(monitor.registerCombo(optionSpace, true, false));
    EXPECT_EQ(hotKeys->registerCalls, calls);
    EXPECT_EQ(triggers, 0);
    // A restart needs the shortcuts registered again, with the new actions.
    int newTriggers = 0;
    monitor.start([&] { ++newTriggers; }, nullptr);
    EXPECT_EQ(hotKeys->press(49, 0x800), 0);
    ASSERT_TRUE(monitor.registerCombo(optionSpace, true, false));
    hotKeys->press(49, 0x800);
    EXPECT_EQ(newTriggers, 1);
    EXPECT_EQ(triggers, 0);
}

TEST_F(HotKeyMonitorTest, RecorderReceivesPressesInsteadOfActions) {
    startMonitor();
    ASSERT_TRUE(monitor.registerCombo(optionSpace, true, false));
    ASSERT_TRUE(monitor.registerCombo(controlD, true, true));
    int recorderA = 0, recorderB = 0;
    std::vector<HotKeyCombo> captured;
    monitor.beginRecording(&recorderA, [&](HotKeyCombo c) { captured.push_back(c); });
    hotKeys->press(2, 0x1000);
    EXPECT_EQ(minimizeAlls, 0);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0], (HotKeyCombo{2, HotKeyModifiers{0x1000}}));

    // Another recorder cannot end a recording it does not own.
    monitor.endRecording(&recorderB);
    hotKeys->press(49, 0x800);
    EXPECT_EQ(triggers, 0);
    EXPECT_EQ(captured.size(), 2u);
    EXPECT_EQ(monitor.recordingOwner(), &recorderA);

    monitor.endRecording(&recorderA);
    EXPECT_EQ(monitor.recordingOwner(), nullptr);
    hotKeys->press(49, 0x800);
    EXPECT_EQ(triggers, 1);
    EXPECT_EQ(captured.size(), 2u);
}

}  // namespace
