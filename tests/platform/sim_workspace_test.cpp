#include <gtest/gtest.h>

#include "platform/workspace.h"
#include "support/sim_fixture.h"

using namespace platform;
namespace wn = platform::workspace_notifications;

namespace {

struct WorkspaceTest : SimDesktopTest {
    std::vector<std::pair<QString, std::int32_t>> heard;
    int token = 0;
    void SetUp() override {
        SimDesktopTest::SetUp();
        token = workspace().addObserver([this](const QString& n, std::int32_t pid) { heard.emplace_back(n, pid); });
    }
    std::vector<std::int32_t> runningPids() {
        std::vector<std::int32_t> out;
        for (auto& a : workspace().runningApplications()) out.push_back(a.pid);
        return out;
    }
};

TEST_F(WorkspaceTest, ApplicationsAreListedInLaunchOrderWithTheirProperties) {
    auto a = sim->addApplication({.bundleID = "com.example.a", .name = "A", .bundlePath = "/Applications/A.app"});
    auto b = sim->addApplication({.name = "B", .policy = ActivationPolicy::accessory, .hidden = true});
    auto pids = runningPids();
    ASSERT_EQ(pids.size(), 4u);  // the program itself and the Dock come first
    EXPECT_EQ(pids[0], sim->ownPid());
    EXPECT_EQ(pids[1], sim->dockPid());
    EXPECT_EQ(pids[2], a);
    EXPECT_EQ(pids[3], b);
    EXPECT_EQ(workspace().ownProcessID(), sim->ownPid());
    auto ra = workspace().application(a);
    ASSERT_TRUE(ra);
    EXPECT_EQ(ra->bundleID, QStringLiteral("com.example.a"));
    EXPECT_EQ(ra->bundlePath, QStringLiteral("/Applications/A.app"));
    auto rb = workspace().application(b);
    EXPECT_FALSE(rb->bundleID.has_value());
    EXPECT_TRUE(rb->isHidden);
    EXPECT_EQ(rb->activationPolicy, ActivationPolicy::accessory);
    EXPECT_FALSE(workspace().frontmostApplication().has_value());
    EXPECT_EQ(workspace().urlForApplication("com.example.a"), QStringLiteral("/Applications/A.app"));
    EXPECT_EQ(bundles().bundleIdentifier("/Applications/A.app"), QStringLiteral("com.example.a"));
}

TEST_F(WorkspaceTest, ActivationMovesTheFrontmostAndNotifiesInOrderOnTheMainQueue) {
    auto a = sim->addApplication({.name = "A"});
    auto b = sim->addApplication({.name = "B", .active = true});
    sim->pump();
    heard.clear();
    EXPECT_TRUE(workspace().activate(a, true));
    EXPECT_TRUE(heard.empty());
    sim->pump();
    EXPECT_EQ(heard, (std::vector<std::pair<QString, std::int32_t>>{{wn::didDeactivateApplication, b},
                                                                     {wn::didActivateApplication, a}}));
    EXPECT_EQ(workspace().frontmostApplication()->pid, a);
    EXPECT_TRUE(workspace().application(a)->isActive);
    EXPECT_FALSE(workspace().application(b)->isActive);
    EXPECT_FALSE(workspace().activate(424242, false));
    EXPECT_EQ(sim->log().back(), QStringLiteral("workspace.activate pid=424242"));
}

TEST_F(WorkspaceTest, HidingTheFrontmostHandsActivationToTheOwnerOfTheFrontVisibleWindow) {
    auto a = sim->addApplication({.name = "A"});
    auto b = sim->addApplication({.name = "B"});
    sim->addWindow(a, {.title = "a"});
    sim->addWindow(b, {.title = "b"});
    sim->activateApplication(a);
    sim->pump();
    heard.clear();
    EXPECT_TRUE(workspace().hide(a));
    sim->pump();
    EXPECT_EQ(workspace().frontmostApplication()->pid, b);
    EXPECT_EQ(heard.front(), std::make_pair(wn::didHideApplication, a));
    EXPECT_TRUE(workspace().application(a)->isHidden);
    EXPECT_TRUE(workspace().unhide(a));
    EXPECT_FALSE(workspace().application(a)->isHidden);
}

TEST_F(WorkspaceTest, QuittingTheFrontmostActivatesTheOwnerOfTheNextVisibleWindow) {
    auto a = sim->addApplication({.name = "A"});
    auto b = sim->addApplication({.name = "B"});
    auto c = sim->addApplication({.name = "C"});
    sim->addWindow(b, {.title = "b"});
    sim->addWindow(c, {.title = "c", .minimized = true});
    sim->addWindow(a, {.title = "a"});
    sim->activateApplication(a);
    sim->setHidden(c, true);  // not frontmost: nothing else changes
    EXPECT_EQ(sim->frontmostPid(), a);
    EXPECT_TRUE(workspace().forceTerminate(a));
    EXPECT_EQ(sim->frontmostPid(), b);
    EXPECT_TRUE(workspace().application(b)->isActive);
}

TEST_F(WorkspaceTest, TerminationEndsTheProcessUnlessARefusedPoliteRequest) {
    auto a = sim->addApplication({.name = "A"});
    auto w = sim->addWindow(a, {.title = "doc"});
    sim->setTerminateRefused(a, true);
    EXPECT_TRUE(workspace().terminate(a));
    EXPECT_TRUE(workspace().isProcessAlive(a));
    EXPECT_TRUE(workspace().forceTerminate(a));
    EXPECT_FALSE(workspace().isProcessAlive(a));
    EXPECT_FALSE(sim->window(w).has_value());
    auto pids = runningPids();
    EXPECT_EQ(std::count(pids.begin(), pids.end(), a), 0);
    auto held = workspace().application(a);
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->isTerminated);
    EXPECT_FALSE(workspace().terminate(a));
    sim->pump();
    EXPECT_EQ(heard.back(), std::make_pair(wn::didTerminateApplication, a));
    EXPECT_EQ(sim->logLines("workspace."),
              (std::vector<QString>{QStringLiteral("workspace.terminate pid=%1").arg(a),
                                    QStringLiteral("workspace.forceTerminate pid=%1").arg(a),
                                    QStringLiteral("workspace.terminate pid=%1").arg(a)}));
}

TEST_F(WorkspaceTest, OpeningAnApplicationLaunchesAnInstalledBundleAndReportsOnTheMainQueue) {
    sim->addBundle("/Applications/Maps.app", "com.apple.Maps", {{"CFBundleName", "Maps"}});
    std::vector<OpenResult> results;
    workspace().openApplication("/Applications/Maps.app", [&](OpenResult r) { results.push_back(r); });
    workspace().openApplication("/Applications/Missing.app", [&](OpenResult r) { results.push_back(r); });
    sim->setOpenApplicationResult("/Applications/Broken.app", {false, "damaged"});
    workspace().openApplication("/Applications/Broken.app", [&](OpenResult r) { results.push_back(r); });
    EXPECT_TRUE(results.empty());
    sim->pump();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].ok);
    EXPECT_FALSE(results[1].ok);
    EXPECT_FALSE(results[1].errorDescription.isEmpty());
    EXPECT_EQ(results[2].errorDescription, QStringLiteral("damaged"));
    auto front = workspace().frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleID, QStringLiteral("com.apple.Maps"));
    EXPECT_EQ(front->localizedName, QStringLiteral("Maps"));
}

TEST_F(WorkspaceTest, RemovedObserversHearNothingQueued) {
    sim->addApplication({.name = "A"});
    workspace().removeObserver(token);
    sim->pump();
    EXPECT_TRUE(heard.empty());
}

TEST_F(WorkspaceTest, IconsAreColouredImagesAndNamesDropTheAppSuffix) {
    auto a = sim->addApplication({.bundleID = "com.example.red", .name = "Red", .iconColor = QColor(255, 0, 0)});
    auto none = sim->addApplication({.name = "Faceless", .hasIcon = false});
    auto icon = workspace().iconForApplication(a);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixelColor(12, 32), QColor(255, 0, 0));
    EXPECT_EQ(icon->pixelColor(0, 0).alpha(), 0);
    EXPECT_FALSE(workspace().iconForApplication(none).has_value());
    EXPECT_FALSE(workspace().iconForFile("/nowhere").isNull());
    EXPECT_EQ(workspace().displayName("/Applications/Safari.app"), QStringLiteral("Safari"));
    EXPECT_EQ(workspace().displayName("/Applications/Utilities/"), QStringLiteral("Utilities"));
}

}  // namespace
