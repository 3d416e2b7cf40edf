#include <gtest/gtest.h>

#include <algorithm>

#include "platform/preferences.h"
#include "support/forwarding_workspace.h"
#include "window_service_fixture.h"

using namespace windows_test;
namespace ax = platform::ax;

namespace {

// The workspace as the simulated desktop runs it, except that some listed
// processes fail the liveness probe (they vanished after being listed).
class VanishingWorkspace : public ForwardingWorkspace {
public:
    using ForwardingWorkspace::ForwardingWorkspace;
    std::set<std::int32_t> vanished;
    std::vector<std::int32_t> probed;

    bool isProcessAlive(std::int32_t pid) override {
        probed.push_back(pid);
        return !vanished.count(pid) && inner_->isProcessAlive(pid);
    }
};

TEST_F(WindowServiceTest, StartListsRegularApplicationsButNeitherItselfNorAgents) {
    const auto mail = addApp("Mail");
    sim->addWindow(mail, window("Inbox"));
    AppSpec accessory = app("Menu");
    accessory.policy = platform::ActivationPolicy::accessory;
    sim->addApplication(accessory);
    // A helper inside another application's bundle that declares itself an agent.
    AppSpec helper = app("Helper");
    helper.bundlePath = "/Applications/Suite.app/Contents/Library/LoginItems/Helper.app";
    sim->addBundle(helper.bundlePath, helper.bundleID, {{"LSUIElement", QStringLiteral("YES")}});
    sim->addApplication(helper);
    // The same declaration on a top-level bundle does not remove it.
    AppSpec topLevel = app("Agentish");
    sim->addBundle(topLevel.bundlePath, topLevel.bundleID, {{"LSBackgroundOnly", true}});
    const auto agentish = sim->addApplication(topLevel);
    // Nested, but not an agent.
    AppSpec nested = app("Nested");
    nested.bundlePath = "/Applications/Suite.app/Contents/Nested.app";
    const auto nestedPid = sim->addApplication(nested);

    service->start();
    settle();
    ASSERT_EQ(snapshots.size(), 1u);
    std::vector<std::int32_t> pids;
    for (const auto& a : latest()) pids.push_back(a.pid);
    EXPECT_EQ(pids, (std::vector<std::int32_t>{mail, agentish, nestedPid}));
    EXPECT_EQ(latestApp(mail)->name, "Mail");
    EXPECT_EQ(service->inspectQueue().observedPIDs, (std::set<std::int32_t>{mail, agentish, nestedPid}));
}

TEST_F(WindowServiceTest, StartTwiceRegistersEverythingOnce) {
    addApp("Mail");
    service->start();
    service->start();
    EXPECT_EQ(service->lifecycleGeneration(), 1u);
    settle();
    EXPECT_EQ(sim->liveObserverCount(), 1u);
    EXPECT_EQ(snapshots.size(), 1u);
    // One poll timer: one scan per 5 s.
    sim->advance(WindowService::pollInterval);
    EXPECT_EQ(snapshots.size(), 2u);
    // One workspace observer: one scan per notification burst.
    sim->postWorkspaceNotification(platform::workspace_notifications::didActivateApplication, 1);
    settle();
    EXPECT_EQ(snapshots.size(), 3u);
}

TEST_F(WindowServiceTest, ScanOverAnUnchangedDesktopPublishesTheLastListAgain) {
    const auto mail = addApp("Mail");
    const auto inbox = sim->addWindow(mail, window("Inbox"));
    service->start();
    settle();
    ASSERT_EQ(snapshots.size(), 1u);

    // What must make the next scan read again, and what the list then shows.
    struct Step {
        const char* what;
        std::function<void()> change;
        bool readsAgain;
    };
    const std::vector<Step> steps{
        {"nothing", [] {}, false},
        {"a title", [&] { sim->setWindowTitle(inbox, "Outbox"); }, true},
        {"nothing again", [] {}, false},
        {"the badge setting", [] { platform::prefs::userDefaults().set(QStringLiteral("showUnreadBadge"), false); },
         true},
        {"a list published from outside", [&] { service->publish(service->lastRawSnapshot()); }, true},
        {"a window minimised by a click", [&] { service->minimizeWindow(latestApp(mail)->windows.at(0).id); }, true},
    };
    for (const Step& step : steps) {
        step.change();
        sim->pump();
        const auto takenAgain = service->scansTakenAgain();
        const auto published = snapshots.size();
        sim->advance(WindowService::pollInterval);
        // A scan that read is one that was not taken again.
        const auto scans = snapshots.size() - published;
        const auto reading = scans - (service->scansTakenAgain() - takenAgain);
        if (step.readsAgain)
            EXPECT_GE(reading, 1u) << step.what;
        else
            EXPECT_EQ(reading, 0u) << step.what;
    }
    EXPECT_EQ(latestApp(mail)->windows.at(0).title, "Outbox");
    EXPECT_TRUE(latestApp(mail)->windows.at(0).isMinimized);

    // A quiet desktop: the poll says once that the list stands, then rests
    // until something changes.
    sim->advance(WindowService::pollInterval);
    const auto quiet = snapshots.size();
    sim->advance(6 * WindowService::pollInterval);
    EXPECT_EQ(snapshots.size(), quiet);
    sim->setWindowTitle(inbox, "Drafts");
    sim->advance(WindowService::pollInterval);
    EXPECT_EQ(latestApp(mail)->windows.at(0).title, "Drafts");
}

TEST_F(WindowServiceTest, ABurstOfNotificationsGivesOneScanAfterTheLast) {
    const auto pid = addApp("Busy");
    const auto w = sim->addWindow(pid, window("t0"));
    service->start();
    settle();
    const auto before = snapshots.size();
    for (int i = 1; i <= 10; ++i) {
        sim->setWindowTitle(w, QStringLiteral("t%1").arg(i));
        sim->advance(0.01);
    }
    sim->advance(0.18);
    EXPECT_EQ(snapshots.size(), before);
    sim->advance(0.02);
    ASSERT_EQ(snapshots.size(), before + 1);
    EXPECT_EQ(latestApp(pid)->windows[0].title, "t10");
}

TEST_F(WindowServiceTest, StopWhenStoppedStillWaitsForTheWindowQueue) {
    bool ran = false;
    queue->async([&] { ran = true; });
    service->stop();
    EXPECT_TRUE(ran);
    EXPECT_EQ(service->lifecycleGeneration(), 0u);
}

TEST_F(WindowServiceTest, StopRemovesObserversAndTimersAndKeepsTheTokenCounter) {
    const auto pid = addApp("Mail");
    sim->addWindow(pid, window("Inbox"));
    service->start();
    settle();
    ASSERT_EQ(latestApp(pid)->windows[0].id, 1u);
    service->stop();
    EXPECT_EQ(sim->liveObserverCount(), 0u);
    EXPECT_TRUE(service->lastRawSnapshot().empty());
    const auto q = service->inspectQueue();
    EXPECT_TRUE(q.elements.empty());
    EXPECT_EQ(q.titleCacheSize, 0u);
    EXPECT_EQ(q.nextToken, 2u);
    const auto published = snapshots.size();
    sim->advance(20);
    EXPECT_EQ(snapshots.size(), published) << "no poll and no scan after stop";

    service->start();
    settle();
    EXPECT_EQ(latestApp(pid)->windows[0].id, 2u) << "tokens are never reused, not even after a restart";
}

TEST_F(WindowServiceTest, ATerminatedApplicationLosesItsObserverAndItsTokensForGood) {
    const auto a = addApp("A");
    const auto b = addApp("B");
    sim->addWindow(a, window("a1"));
    sim->addWindow(b, window("b1"));
    service->start();
    settle();
    const auto tokenOfA = latestApp(a)->windows[0].id;
    sim->terminateApplication(a);
    settle();
    EXPECT_EQ(service->inspectQueue().observedPIDs, std::set<std::int32_t>{b});
    EXPECT_EQ(latestApp(a), nullptr);
    EXPECT_EQ(service->inspectQueue().elements.count(tokenOfA), 0u);
    sim->addWindow(b, window("b2", {0, 0, 200, 200}));
    settle();
    for (const auto& w : latestApp(b)->windows) EXPECT_NE(w.id, tokenOfA);
}

TEST_F(WindowServiceTest, UnreadBadgesComeFromTheDockTree) {
    const auto mail = addApp("Mail");
    const auto notes = addApp("Notes");
    const auto slack = addApp("Slack");
    sim->addBundle("/Applications/Mail.app", "com.example.mail");
    sim->addBundle("/Applications/Slack.app", "com.example.slack");
    sim->addDockItem("Mail", "/Applications/Mail.app", "3");
    sim->addDockItem("Mail again", "/Applications/Mail.app", "1");
    sim->addDockItem("Slack", "/Applications/Slack.app", "");       // no badge
    sim->addDockItem("Loose file", "/Users/me/notes.txt", "•");     // no bundle identifier
    service->start();
    settle();
    EXPECT_TRUE(latestApp(mail)->hasUnread);
    EXPECT_FALSE(latestApp(notes)->hasUnread);
    EXPECT_FALSE(latestApp(slack)->hasUnread);

    // The path without an identifier is remembered as such for the run.
    EXPECT_EQ(service->inspectQueue().bundleIDCacheSize, 2u);
    sim->addBundle("/Users/me/notes.txt", "com.example.notes");
    sim->setDockBadge("/Applications/Slack.app", "7");
    service->resync();
    settle();
    EXPECT_TRUE(latestApp(slack)->hasUnread);
    EXPECT_FALSE(latestApp(notes)->hasUnread);
}

TEST_F(WindowServiceTest, TheUnreadSettingReadsAsOnUnlessStoredFalse) {
    const auto mail = addApp("Mail");
    sim->addBundle("/Applications/Mail.app", "com.example.mail");
    sim->addDockItem("Mail", "/Applications/Mail.app", "2");
    struct Case {
        const char* name;
        std::optional<QVariant> stored;
        bool unread;
    };
    const Case cases[] = {
        {"missing", std::nullopt, true},
        {"text", QVariant(QStringLiteral("false")), true},
        {"true", QVariant(true), true},
        {"false", QVariant(false), false},
    };
    service->start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& defaults = platform::prefs::userDefaults();
        if (c.stored) defaults.set("showUnreadBadge", *c.stored);
        else defaults.remove("showUnreadBadge");
        service->resync();
        settle();
        EXPECT_EQ(latestApp(mail)->hasUnread, c.unread);
    }
}

TEST_F(WindowServiceTest, AnApplicationThatNeverAnswersCostsTheTimeoutPerRequestOnTheWindowQueueOnly) {
    const auto hung = addApp("Hung", true);
    const auto fine = addApp("Fine");
    sim->addWindow(hung, window("H"));
    sim->addWindow(fine, window("F"));
    sim->activateApplication(hung);
    sim->setUnresponsive(hung, true);
    service->start();
    settle();
    EXPECT_TRUE(latestApp(hung)->windows.empty());
    EXPECT_EQ(latestApp(fine)->windows.size(), 1u);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("main"), 0.0);
    // Observer registration (nine notifications) and one scan (focused
    // window, window list): every request gives up after 0.25 s.
    const double perRequest = 0.25;
    EXPECT_LE(sim->blockedSeconds(windowQueueLabel), (9 + 2) * perRequest + 1e-9);
    EXPECT_GT(sim->blockedSeconds(windowQueueLabel), 0.0);

    // Clicks and menu commands on it never block the main thread either.
    service->handleClick(appButton(hung), false);
    service->minimizeAll();
    sim->pump();
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("main"), 0.0);
}

TEST_F(WindowServiceTest, AProcessThatVanishedIsNotListedAndProcessOneIsNeverProbed) {
    auto services = sim->services();
    auto workspace = std::make_shared<VanishingWorkspace>(services.workspace);
    services.workspace = workspace;
    platform::install(services);
    const auto gone = addApp("Gone");
    const auto here = addApp("Here");
    AppSpec launchd = app("launchd");
    launchd.pid = 1;
    ASSERT_EQ(sim->addApplication(launchd), 1);
    workspace->vanished.insert(gone);
    service->start();
    settle();
    std::vector<std::int32_t> pids;
    for (const auto& a : latest()) pids.push_back(a.pid);
    EXPECT_EQ(pids, std::vector<std::int32_t>{here});
    EXPECT_EQ(std::count(workspace->probed.begin(), workspace->probed.end(), 1), 0);
    EXPECT_EQ(std::count(workspace->probed.begin(), workspace->probed.end(), sim->ownPid()), 0);
    service->stop();
}

// ---- a scan cut in half by stop

TEST_F(GatedWindowServiceTest, AScanThatEndsAfterStopIsDropped) {
    const auto pid = addApp("Mail");
    sim->addWindow(pid, window("Inbox"));
    service->start();
    sim->advance(0.21);
    ASSERT_GT(gate->held().pending(), 0u) << "the scan waits on the window queue";
    service->stop();  // runs the held scan, then drops its result
    sim->pump();
    EXPECT_TRUE(snapshots.empty());
    EXPECT_TRUE(service->lastRawSnapshot().empty());
}

TEST_F(GatedWindowServiceTest, AScanThatEndsAfterARestartIsDropped) {
    const auto pid = addApp("Mail");
    sim->addWindow(pid, window("Inbox"));
    service->start();
    sim->advance(0.21);
    ASSERT_GT(gate->held().pending(), 0u);
    service->stop();
    service->start();
    sim->pump();  // the old scan's result arrives under the new generation
    EXPECT_TRUE(snapshots.empty());
    sim->advance(0.21);
    gate->held().runAll();
    sim->pump();
    ASSERT_EQ(snapshots.size(), 1u);
    EXPECT_EQ(latestApp(pid)->windows.size(), 1u);
}

}  // namespace
