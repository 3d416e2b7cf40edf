#include <gtest/gtest.h>

#include <thread>

#include "platform/platform.h"
#include "platform/sim/sim_system.h"
#include "support/sim_fixture.h"

using namespace platform;

namespace {

using SimServices = SimDesktopTest;

TEST_F(SimServices, HotKeyRegistrationRefusesTakenCombinations) {
    constexpr std::uint32_t space = 49, keyD = 2, option = 0x800, control = 0x1000;
    const HotKeyID menu{fourCharCode("QVRL"), 1}, minimize{fourCharCode("QVRL"), 2};
    sim->takeHotKeyElsewhere(keyD, control);
    struct Case {
        const char* name;
        std::uint32_t key, mods;
        HotKeyID id;
        OSStatus expected;
    };
    const Case cases[] = {
        {"free", space, option, menu, noErr},
        {"same id again", space, option, menu, noErr},
        {"taken in-process by another id", space, option, minimize, eventHotKeyExistsErr},
        {"taken by another application", keyD, control, minimize, eventHotKeyExistsErr},
        {"other modifiers are another combination", keyD, control | 0x200, minimize, noErr},
        {"not a key", 0x1234, option, minimize, eventHotKeyInvalidErr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int ref = -1;
        EXPECT_EQ(hotKeys().registerHotKey(c.key, c.mods, c.id, ref), c.expected);
        if (c.expected != noErr) {
            EXPECT_EQ(ref, -1);
        }
    }
    EXPECT_EQ(sim->registeredHotKeys().size(), 3u);
    EXPECT_EQ(sim->log()[2], QStringLiteral("hotkey.register key=49 mods=0x800 id=QVRL/2 -> -9878"));
}

TEST_F(SimServices, PressedHotKeysReachHandlersOnTheMainQueueUntilUnregistered) {
    std::vector<std::uint32_t> pressed;
    int handler = 0, ref = 0;
    ASSERT_EQ(hotKeys().installHandler([&](HotKeyID id) { pressed.push_back(id.id); }, handler), noErr);
    ASSERT_EQ(hotKeys().registerHotKey(49, 0x800, HotKeyID{fourCharCode("QVRL"), 7}, ref), noErr);
    EXPECT_FALSE(sim->pressHotKey(49, 0x100));
    EXPECT_TRUE(sim->pressHotKey(49, 0x800));
    EXPECT_TRUE(pressed.empty());
    sim->pump();
    EXPECT_EQ(pressed, (std::vector<std::uint32_t>{7}));
    EXPECT_EQ(hotKeys().unregisterHotKey(ref), noErr);
    EXPECT_FALSE(sim->pressHotKey(49, 0x800));
    EXPECT_NE(hotKeys().unregisterHotKey(ref), noErr);
    // The combination is free again for another id.
    EXPECT_EQ(hotKeys().registerHotKey(49, 0x800, HotKeyID{fourCharCode("QVRL"), 8}, ref), noErr);
    sim->pressHotKey(49, 0x800);
    hotKeys().removeHandler(handler);
    sim->pump();
    EXPECT_EQ(pressed.size(), 1u);
}

TEST_F(SimServices, ScreensFlipAgainstThePrimaryAndOnlyThePrimaryHasAMenuBar) {
    // Primary 1440x900 at the origin; a 1920x1080 display to its right, top-aligned;
    // a 1280x800 display above the primary.
    auto right = sim->addDisplay(Rect(1440, 0, 1920, 1080), "Right");
    auto above = sim->addDisplay(Rect(0, -800, 1280, 800), "Above");
    auto screens = displays().screens();
    ASSERT_EQ(screens.size(), 3u);
    struct Case {
        std::size_t index;
        DisplayID id;
        Rect frame, visible, bounds;
    };
    const Case cases[] = {
        {0, displays().mainDisplayID(), Rect(0, 0, 1440, 900), Rect(0, 0, 1440, 875), Rect(0, 0, 1440, 900)},
        {1, right, Rect(1440, -180, 1920, 1080), Rect(1440, -180, 1920, 1080), Rect(1440, 0, 1920, 1080)},
        {2, above, Rect(0, 900, 1280, 800), Rect(0, 900, 1280, 800), Rect(0, -800, 1280, 800)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        const Screen& s = screens[c.index];
        EXPECT_EQ(s.id, c.id);
        EXPECT_EQ(s.frame, c.frame);
        EXPECT_EQ(s.visibleFrame, c.visible);
        EXPECT_EQ(s.bounds, c.bounds);
        EXPECT_EQ(displays().displayBounds(c.id), c.bounds);
    }
    sim->setPointer(Point{100, 50});
    EXPECT_EQ(displays().pointerLocation(), (Point{100, 850}));
    EXPECT_EQ(displays().mainScreen()->id, screens[0].id);
    sim->setMainScreen(right);
    EXPECT_EQ(displays().mainScreen()->id, right);
    sim->removeDisplay(right);
    EXPECT_EQ(displays().mainScreen()->id, screens[0].id);
    EXPECT_EQ(displays().displayBounds(right), Rect());
}

TEST_F(SimServices, DisplayAndPointerChangesNotifyOnTheMainQueue) {
    int screenChanges = 0, pointerMoves = 0;
    int token = displays().addObserver([&] { ++screenChanges; });
    int monitor = displays().addPointerMonitor([&] { ++pointerMoves; });
    EXPECT_NE(monitor, 0);
    auto id = sim->addDisplay(Rect(1440, 0, 800, 600));
    sim->setDisplayBounds(id, Rect(1440, 0, 800, 600));  // unchanged: no notification
    sim->setDisplayBounds(id, Rect(1440, 0, 1024, 768));
    sim->setPointer(Point{1, 1});
    EXPECT_EQ(screenChanges, 0);
    sim->pump();
    EXPECT_EQ(screenChanges, 2);
    EXPECT_EQ(pointerMoves, 1);
    displays().removeObserver(token);
    sim->removeDisplay(id);
    sim->pump();
    EXPECT_EQ(screenChanges, 2);
    sim->setDisplayListUnavailable(true);
    EXPECT_FALSE(displays().activeDisplayList().has_value());
}

TEST_F(SimServices, AlertsAnswerFromTheQueueAndLogTheirTexts) {
    sim->queueAlertAnswers({1, 5});
    Alert alert{"Quit?", "Really", {"Quit", "Cancel"}, AlertStyle::warning};
    EXPECT_EQ(alerts().runModal(alert), alertFirstButtonReturn + 1);
    EXPECT_EQ(alerts().runModal(alert), 0);  // an answer without such a button: dismissed
    EXPECT_EQ(alerts().runModal(alert), alertFirstButtonReturn);
    alerts().beep();
    EXPECT_EQ(sim->beepCount(), 1);
    EXPECT_EQ(sim->alertsShown().size(), 3u);
    EXPECT_EQ(sim->log().front(), QStringLiteral("alert \"Quit?\" \"Really\" [Quit, Cancel] -> 1001"));
}

TEST_F(SimServices, ProcessesRunWithScriptedOutcomesAndLoggedArguments) {
    sim->setProcessOutcome("/usr/bin/killall", sim::SimulatedDesktop::exitedWith(1));
    sim->setProcessOutcome("/usr/bin/pmset", sim::SimulatedDesktop::cannotStart("No such file"));
    EXPECT_FALSE(processes().run("/usr/bin/killall", {"Dock"}).succeeded());
    auto r = processes().run("/usr/bin/pmset", {"sleepnow"});
    EXPECT_FALSE(r.launched);
    EXPECT_EQ(r.error, QStringLiteral("No such file"));
    EXPECT_TRUE(processes().run("/usr/bin/true", {}).succeeded());
    EXPECT_EQ(sim->logLines("process."), (std::vector<QString>{"process.run /usr/bin/killall Dock",
                                                               "process.run /usr/bin/pmset sleepnow",
                                                               "process.run /usr/bin/true"}));
    EXPECT_FALSE(processes().loadFunction("/lib/login.framework", "SACLockScreenImmediate"));
    sim->setLoadableFunction("/lib/login.framework", "SACLockScreenImmediate", [] { return 0; });
    auto f = processes().loadFunction("/lib/login.framework", "SACLockScreenImmediate");
    ASSERT_TRUE(f);
    EXPECT_EQ(f(), 0);
}

// The demo runs real child processes but must never restart a real Dock:
// that command ends every process of the name on the machine.
TEST_F(SimServices, DemoProcessesLeaveTheDockRestartToTheSimulatedDesktop) {
    auto real = sim::SimulatedDesktop::create();  // stands in for the host's processes, never installed
    sim::DemoProcesses demo(real->services().processes, installed().processes);
    EXPECT_TRUE(demo.run("/usr/bin/killall", {"Dock"}).succeeded());
    EXPECT_TRUE(demo.launch("killall", {"Dock"}, nullptr).launched);
    EXPECT_TRUE(demo.run("/usr/bin/xterm", {"-e", "top"}).succeeded());
    EXPECT_TRUE(demo.run("/usr/bin/killall", {"xterm"}).succeeded());
    EXPECT_EQ(real->logLines("process."),
              (std::vector<QString>{"process.run /usr/bin/xterm -e top", "process.run /usr/bin/killall xterm"}));
    EXPECT_EQ(sim->logLines("process."),
              (std::vector<QString>{"process.run /usr/bin/killall Dock", "process.launch killall Dock"}));
}

TEST_F(SimServices, LoginItemSessionAndPowerAreScriptable) {
    EXPECT_EQ(loginItems().status(), LoginItemStatus::notRegistered);
    EXPECT_FALSE(loginItems().registerItem().has_value());
    EXPECT_EQ(loginItems().status(), LoginItemStatus::enabled);
    sim->setLoginItemErrors(std::nullopt, QStringLiteral("Operation not permitted"));
    EXPECT_EQ(loginItems().unregisterItem(), QStringLiteral("Operation not permitted"));
    EXPECT_EQ(loginItems().status(), LoginItemStatus::enabled);

    sim->setSessionEventResult(apple_events::restart, -128);
    EXPECT_TRUE(session().sendLoginWindowEvent(apple_events::reallyLogOut, {}).taken);
    const auto refused = session().sendLoginWindowEvent(apple_events::restart, {});
    EXPECT_FALSE(refused.taken);
    EXPECT_EQ(refused.error, "OSStatus error -128");
    EXPECT_EQ(sim->logLines("session."), (std::vector<QString>{"session.event rlgo", "session.event rest"}));

    int changes = 0;
    int token = powerSources().addChangeObserver([&] { ++changes; });
    sim->setPowerSources(std::vector<QVariantMap>{sim::SimulatedDesktop::battery(42, false, false)});
    sim->pump();
    EXPECT_EQ(changes, 1);
    auto d = powerSources().copyDescriptions();
    ASSERT_TRUE(d && d->size() == 1);
    EXPECT_EQ((*d)[0].value(power_keys::currentCapacity).toLongLong(), 42);
    powerSources().removeChangeObserver(token);
    sim->setPowerSources(std::nullopt);
    sim->pump();
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(powerSources().copyDescriptions().has_value());
}

TEST_F(SimServices, UpdaterCallsBackOnTheMainQueueAndCanCheckChangesFromAnyThread) {
    auto up = updater();
    ASSERT_TRUE(up);
    QStringList calls;
    sim->updaterWillInstall();  // not started: nobody to call
    sim->pump();
    ASSERT_TRUE(up->start({[&] { calls << "install"; }, [&] { calls << "abort"; }, [&] { calls << "finish"; }}));
    std::atomic<int> seen{0};
    up->setCanCheckObserver([&](bool can) { seen = can ? 1 : 2; });
    std::thread([&] { sim->setCanCheckForUpdates(false); }).join();
    EXPECT_EQ(seen.load(), 2);
    EXPECT_FALSE(up->canCheckForUpdates());
    sim->updaterAbort();
    sim->updaterFinishCycle();
    EXPECT_TRUE(calls.isEmpty());
    sim->pump();
    EXPECT_EQ(calls, (QStringList{"abort", "finish"}));
    up->checkForUpdates();
    EXPECT_EQ(sim->updateChecks(), 1);
}

TEST_F(SimServices, PreferenceWritesAreLoggedPerKey) {
    auto& d = prefs::userDefaults();
    ASSERT_TRUE(d.setBool("showClock", true));
    ASSERT_TRUE(d.setBool("showClock", true));
    ASSERT_TRUE(d.remove("showClock"));
    ASSERT_TRUE(prefs::domain(prefs::dockDomain).setString("orientation", "left"));
    EXPECT_EQ(sim->logLines("prefs."), (std::vector<QString>{"prefs.set app.quorvel.Quorvel showClock",
                                                             "prefs.save app.quorvel.Quorvel unchanged",
                                                             "prefs.remove app.quorvel.Quorvel showClock",
                                                             "prefs.set com.apple.dock orientation"}));
    sim->memoryPreferences()->setFailWrites(true);
    EXPECT_FALSE(d.setBool("showClock", false));
    EXPECT_FALSE(d.contains("showClock"));
}

TEST_F(SimServices, ApplicationAppearanceFollowsTheSystemUntilSet) {
    int changes = 0;
    application().addObserver([&] { ++changes; });
    EXPECT_EQ(application().effectiveAppearance(), Appearance::aqua);
    sim->setSystemAppearance(Appearance::darkAqua);
    EXPECT_EQ(application().effectiveAppearance(), Appearance::darkAqua);
    application().setAppearance(Appearance::aqua);
    EXPECT_EQ(application().effectiveAppearance(), Appearance::aqua);
    sim->setSystemAppearance(Appearance::aqua);  // no visible change
    sim->pump();
    EXPECT_EQ(changes, 2);
    application().setActivationPolicy(ActivationPolicy::accessory);
    EXPECT_EQ(workspace().application(sim->ownPid())->activationPolicy, ActivationPolicy::accessory);
    EXPECT_EQ(bundles().mainBundleIdentifier(), QStringLiteral("app.quorvel.Quorvel"));
}

}  // namespace

namespace {

// A shared instance belongs to the installation it was made under, also
// when a reset that tears down the old one asks for it again.
struct MadeUnder {
    std::uint64_t generation = installationGeneration();
};
SharedInstance<MadeUnder>& madeUnder() {
    static SharedInstance<MadeUnder> slot;
    return slot;
}
struct AsksOnTheWayOut {
    ~AsksOnTheWayOut() { madeUnder().get([] { return std::make_shared<MadeUnder>(); }); }
};

TEST_F(SimServices, SharedInstancesBelongToTheInstallationTheyWereMadeUnder) {
    auto make = [] { return std::make_shared<MadeUnder>(); };
    static SharedInstance<AsksOnTheWayOut> asker;
    asker.get([] { return std::make_shared<AsksOnTheWayOut>(); });
    const auto first = madeUnder().get(make);  // reset before the asker: it is newer
    EXPECT_EQ(madeUnder().get(make), first) << "one instance per installation";
    auto next = sim::SimulatedDesktop::create();
    next->install();
    EXPECT_EQ(madeUnder().get(make)->generation, installationGeneration()) << "one made on the way out is stale";
    EXPECT_NE(madeUnder().get(make), first);
}

}  // namespace
