#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "windows/window_enumerator.h"
#include "windows_sim_support.h"

using namespace windows_test;
using platform::Rect;
using WindowEnumerator::KeptWindow;
namespace ax = platform::ax;

namespace {

class EnumeratorTest : public SimDesktopTest {
protected:
    std::int32_t addApp(const QString& name, bool active = false) {
        const auto pid = sim->addApplication(app(name, {}, active));
        descriptors.push_back({pid, QStringLiteral("com.example.") + name.toLower(), name, active, false});
        return pid;
    }
    std::vector<AppItem> pass() {
        auto result = WindowEnumerator::enumerate(descriptors, elements, nextToken, titleCache, knownStandard);
        elements = result.elements;
        return result.apps;
    }
    std::vector<WindowEnumerator::AppDescriptor> descriptors;
    WindowEnumerator::ElementMap elements;
    WindowToken nextToken = 1;
    WindowEnumerator::TitleCache titleCache;
    WindowEnumerator::TokenSet knownStandard;
};

TEST_F(EnumeratorTest, TokensCountFromOneAndStayWithTheirWindow) {
    const auto pid = addApp("Mail");
    const auto first = sim->addWindow(pid, window("Inbox"));
    auto apps = pass();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(tokens(apps[0]), std::vector<WindowToken>{1});

    const auto second = sim->addWindow(pid, window("Draft", {300, 200, 500, 400}));
    apps = pass();
    ASSERT_EQ(apps[0].windows.size(), 2u);
    EXPECT_EQ(elements.at(1), sim->windowElement(first));
    EXPECT_EQ(elements.at(2), sim->windowElement(second));

    sim->removeWindow(first);
    const auto third = sim->addWindow(pid, window("Sent", {10, 20, 300, 300}));
    apps = pass();
    EXPECT_EQ(elements.count(1), 0u);
    EXPECT_EQ(elements.at(2), sim->windowElement(second));
    EXPECT_EQ(elements.at(3), sim->windowElement(third));
    EXPECT_EQ(nextToken, 4u);
}

TEST_F(EnumeratorTest, NoDescriptorsEmptiesEveryCache) {
    const auto pid = addApp("Mail");
    sim->addWindow(pid, window("Inbox"));
    pass();
    ASSERT_FALSE(titleCache.empty());
    ASSERT_FALSE(knownStandard.empty());
    descriptors.clear();
    auto apps = pass();
    EXPECT_TRUE(apps.empty());
    EXPECT_TRUE(elements.empty());
    EXPECT_TRUE(titleCache.empty());
    EXPECT_TRUE(knownStandard.empty());
    EXPECT_EQ(nextToken, 2u);
}

// Which windows count as task windows, over two passes: the first pass sees
// the window as added, the second after the change.
TEST_F(EnumeratorTest, KeptWindowRule) {
    struct Case {
        const char* name;
        QString subrole;
        bool closeButton;
        bool minimizeAndChangeSubrole;  // between the passes
        bool keptFirst;
        bool keptSecond;
    };
    const Case cases[] = {
        {"standard", "AXStandardWindow", true, false, true, true},
        {"standard without close button", "AXStandardWindow", false, false, false, false},
        {"dialog", "AXDialog", true, false, false, false},
        {"floating panel", "AXFloatingWindow", true, false, false, false},
        {"standard, then minimised reading as a dialog", "AXStandardWindow", true, true, true, true},
        {"dialog, then minimised", "AXDialog", true, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        descriptors.clear();
        const auto pid = addApp(QStringLiteral("App%1").arg(&c - cases));
        WindowSpec given = window("W");
        given.subrole = c.subrole;
        given.hasCloseButton = c.closeButton;
        const auto w = sim->addWindow(pid, given);
        auto apps = pass();
        EXPECT_EQ(apps[0].windows.size(), c.keptFirst ? 1u : 0u);
        if (c.minimizeAndChangeSubrole) {
            sim->setMinimized(w, true);
            sim->setElementAttribute(sim->windowElement(w), ax::names::subrole, QStringLiteral("AXDialog"));
        }
        apps = pass();
        ASSERT_EQ(apps[0].windows.size(), c.keptSecond ? 1u : 0u);
        if (c.keptSecond && c.minimizeAndChangeSubrole) {
            EXPECT_TRUE(apps[0].windows[0].isMinimized);
        }
    }
}

TEST_F(EnumeratorTest, ADialogTakesAFreshTokenEveryPass) {
    const auto pid = addApp("Editor");
    sim->addWindow(pid, window("Document"));
    WindowSpec dialog = window("Save", {400, 300, 300, 200});
    dialog.subrole = QStringLiteral("AXDialog");
    sim->addWindow(pid, dialog);
    pass();
    const auto documentToken = elements.begin()->first;
    const auto before = nextToken;
    pass();
    pass();
    EXPECT_EQ(nextToken, before + 2);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements.begin()->first, documentToken);
}

TEST_F(EnumeratorTest, CollapseSameFrameRule) {
    auto kept = [](WindowToken t, std::optional<Rect> f, bool min = false, bool foc = false) {
        return KeptWindow{t, {}, f, min, foc, {}};
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<KeptWindow> windows;
        std::unordered_set<WindowToken> survivors;
    };
    const Case cases[] = {
        {"distinct frames", {kept(1, Rect(0, 0, 10, 10)), kept(2, Rect(1, 0, 10, 10))}, {1, 2}},
        {"equal after rounding: first wins", {kept(1, Rect(0.4, 0, 10, 10)), kept(2, Rect(0, 0, 9.6, 10))}, {1}},
        {"focused duplicate wins", {kept(1, Rect(0, 0, 10, 10)), kept(2, Rect(0, 0, 10, 10), false, true)}, {2}},
        {"halves round away from zero", {kept(1, Rect(0.5, -0.5, 10, 10)), kept(2, Rect(1, -1, 10, 10))}, {1}},
        {"-0.4 rounds to zero", {kept(1, Rect(-0.4, 0, 10, 10)), kept(2, Rect(0, 0, 10, 10))}, {1}},
        {"minimised windows never collapse",
         {kept(1, Rect(0, 0, 10, 10), true), kept(2, Rect(0, 0, 10, 10), true)},
         {1, 2}},
        {"no frame always survives", {kept(1, std::nullopt), kept(2, std::nullopt)}, {1, 2}},
        {"non-finite frame survives", {kept(1, Rect(nan, 0, 10, 10)), kept(2, Rect(nan, 0, 10, 10))}, {1, 2}},
        {"three alike, the middle focused",
         {kept(1, Rect(5, 5, 5, 5)), kept(2, Rect(5, 5, 5, 5), false, true), kept(3, Rect(5, 5, 5, 5))},
         {2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WindowEnumerator::collapseSameFrame(c.windows), c.survivors);
    }
}

TEST_F(EnumeratorTest, FocusedDuplicateKeepsItsOwnPlaceAndTheDroppedOneIsRetokened) {
    const auto pid = addApp("Browser", true);
    const auto a = sim->addWindow(pid, window("A", {0, 0, 500, 500}));
    const auto b = sim->addWindow(pid, window("B", {0, 0, 500, 500}));
    const auto c = sim->addWindow(pid, window("C", {600, 0, 200, 200}));
    // The application reports C, A, B in this order; B is focused.
    sim->setElementAttribute(sim->applicationElement(pid), ax::names::windows,
                             ax::ElementList{sim->windowElement(c), sim->windowElement(a), sim->windowElement(b)});
    sim->setFocusedWindow(pid, b);
    auto apps = pass();
    EXPECT_EQ(titles(apps[0]), (std::vector<QString>{"C", "B"}));
    const auto before = nextToken;
    pass();
    EXPECT_EQ(nextToken, before + 1) << "the dropped window A takes a fresh token every pass";
}

TEST_F(EnumeratorTest, TitleCacheKeepsTheLastNonEmptyTitleWhileTheWindowLives) {
    const auto pid = addApp("Terminal");
    const auto w = sim->addWindow(pid, window("zsh"));
    pass();
    sim->setWindowTitle(w, QString());
    auto apps = pass();
    EXPECT_EQ(apps[0].windows[0].title, "zsh");
    sim->setAttributeFault(sim->windowElement(w), ax::names::title, platform::sim::Fault::failure());
    apps = pass();
    EXPECT_EQ(apps[0].windows[0].title, "zsh");
    sim->clearFaults();

    // Gone for one pass: the cache forgets it, and the window comes back
    // under a new token without a title.
    sim->setElementAttribute(sim->applicationElement(pid), ax::names::windows, ax::ElementList{});
    pass();
    EXPECT_TRUE(titleCache.empty());
    sim->clearElementAttribute(sim->applicationElement(pid), ax::names::windows);
    apps = pass();
    EXPECT_EQ(apps[0].windows[0].title, "");
}

TEST_F(EnumeratorTest, OnlyTheActiveApplicationHasAFocusedWindow) {
    const auto active = addApp("Front", true);
    const auto inactive = addApp("Back", false);
    const auto fw = sim->addWindow(active, window("F"));
    const auto bw = sim->addWindow(inactive, window("B"));
    sim->setFocusedWindow(active, fw);
    sim->setFocusedWindow(inactive, bw);
    sim->activateApplication(active);
    auto apps = pass();
    EXPECT_TRUE(find(apps, active)->windows[0].isFocused);
    EXPECT_FALSE(find(apps, inactive)->windows[0].isFocused);
}

TEST_F(EnumeratorTest, VisibleWindowFlagFollowsTheOnScreenLayerZeroList) {
    struct Case {
        const char* name;
        std::function<void(std::uint64_t)> change;
        bool visible;
    };
    const std::vector<Case> cases = {
        {"on screen", [](std::uint64_t) {}, true},
        {"only minimised", [this](std::uint64_t w) { sim->setMinimized(w, true); }, false},
        {"only on another space", [this](std::uint64_t w) { sim->setWindowSpace(w, 7); }, false},
        {"no window list", [this](std::uint64_t) { sim->setWindowListUnavailable(true); }, false},
        {"owner field missing",
         [this](std::uint64_t w) { sim->corruptWindowEntry(w, platform::sim::window_keys::ownerPID, std::nullopt); },
         false},
        {"layer 3",
         [this](std::uint64_t w) {
             sim->corruptWindowEntry(w, platform::sim::window_keys::layer, QVariant(qint64(3)));
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        descriptors.clear();
        const auto pid = addApp(QStringLiteral("V%1").arg(&c - cases.data()));
        const auto w = sim->addWindow(pid, window("W"));
        c.change(w);
        auto apps = pass();
        EXPECT_EQ(apps[0].hasVisibleWindow, c.visible);
        sim->setWindowListUnavailable(false);
        sim->removeWindow(w);
    }
}

TEST_F(EnumeratorTest, AWindowListedTwiceIsTakenOnce) {
    const auto pid = addApp("Twice");
    const auto w = sim->addWindow(pid, window("Only"));
    sim->setElementAttribute(sim->applicationElement(pid), ax::names::windows,
                             ax::ElementList{sim->windowElement(w), sim->windowElement(w)});
    for (int i = 0; i < 2; ++i) {
        auto apps = pass();
        ASSERT_EQ(apps[0].windows.size(), 1u);
        EXPECT_EQ(apps[0].windows[0].id, 1u);
    }
    EXPECT_EQ(nextToken, 2u);
}

TEST_F(EnumeratorTest, AnApplicationThatNeverAnswersIsListedWithoutWindowsAndCostsTheTimeoutPerRequest) {
    const auto pid = addApp("Hung", true);
    sim->addWindow(pid, window("W"));
    sim->setUnresponsive(pid, true);
    auto apps = pass();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_TRUE(apps[0].windows.empty());
    // Two requests (focused window, window list), each cut off at 0.25 s.
    EXPECT_NEAR(sim->blockedSeconds("main"), 0.5, 1e-9);
    EXPECT_NEAR(sim->now(), 1000.0, 1e-9) << "the manual clock only accounts the time";
}

TEST_F(EnumeratorTest, PlaceWritesInOrderAndRaises) {
    const auto pid = addApp("Notes");
    WindowSpec given = window("N", {100, 100, 400, 300});
    given.minimized = true;
    const auto w = sim->addWindow(pid, given);
    const std::vector<WindowLayoutCalculator::DisplayArea> displays{{Rect(0, 0, 1511, 900), Rect(0, 25, 1511, 831)}};
    sim->clearLog();
    EXPECT_TRUE(WindowEnumerator::place(sim->windowElement(w), displays, WindowLayoutCalculator::Placement::leftHalf));
    const QString prefix = QStringLiteral("ax.%1 pid=%2 win=%3 ");
    const auto n = QString::number(w);
    const std::vector<QString> expected{
        prefix.arg("set").arg(pid).arg(n) + "AXMinimized false",
        prefix.arg("set").arg(pid).arg(n) + "AXPosition 0,25",
        prefix.arg("set").arg(pid).arg(n) + "AXSize 755x831",
        prefix.arg("set").arg(pid).arg(n) + "AXPosition 0,25",
        prefix.arg("action").arg(pid).arg(n) + "AXRaise",
    };
    EXPECT_EQ(sim->logLines("ax."), expected);
    EXPECT_EQ(sim->window(w)->frame, Rect(0, 25, 755, 831));
}

TEST_F(EnumeratorTest, PlaceRefusesFullScreenUnreadableOrUnplaceableWindows) {
    const auto pid = addApp("Video");
    const std::vector<WindowLayoutCalculator::DisplayArea> displays{{Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 831)}};
    WindowSpec full = window("F");
    full.fullScreen = true;
    const auto fw = sim->addWindow(pid, full);
    sim->clearLog();
    EXPECT_FALSE(WindowEnumerator::place(sim->windowElement(fw), displays, WindowLayoutCalculator::Placement::maximize));
    EXPECT_TRUE(sim->logLines("ax.").empty());

    const auto uw = sim->addWindow(pid, window("U"));
    sim->setAttributeFault(sim->windowElement(uw), ax::names::size, platform::sim::Fault::wrongType());
    EXPECT_FALSE(WindowEnumerator::place(sim->windowElement(uw), displays, WindowLayoutCalculator::Placement::maximize));
    EXPECT_FALSE(WindowEnumerator::place(sim->windowElement(fw), {}, WindowLayoutCalculator::Placement::maximize));

    // A refused size still raises the window.
    const auto rw = sim->addWindow(pid, window("R"));
    sim->setResizeRefused(rw, true);
    sim->clearLog();
    EXPECT_FALSE(WindowEnumerator::place(sim->windowElement(rw), displays, WindowLayoutCalculator::Placement::maximize));
    EXPECT_TRUE(sim->logLines("ax.").back().endsWith("AXRaise"));
}

}  // namespace
