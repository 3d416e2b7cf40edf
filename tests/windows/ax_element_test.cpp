#include <gtest/gtest.h>

#include <limits>

#include "windows/accessibility_service.h"
#include "windows/ax_element.h"
#include "windows_sim_support.h"

using namespace windows_test;
using platform::Rect;
using platform::sim::Fault;
namespace ax = platform::ax;
namespace names = platform::ax::names;

namespace {

class AXElementTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        pid = sim->addApplication(app("Pages"));
        win = sim->addWindow(pid, window("Doc", {10, 20, 300, 200}));
        element = sim->windowElement(win);
    }
    std::int32_t pid = 0;
    std::uint64_t win = 0;
    ax::Element element;
};

TEST_F(AXElementTest, FrameNeedsBothReadsOfTheRightTypeWithFiniteInRangeCoordinates) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::optional<Rect> expected;
    };
    const std::vector<Case> cases = {
        {"both readable", [] {}, Rect(10, 20, 300, 200)},
        {"size fails", [&] { sim->setAttributeFault(element, names::size, Fault::failure()); }, std::nullopt},
        {"position times out", [&] { sim->setAttributeFault(element, names::position, Fault::timeout()); },
         std::nullopt},
        {"size of the wrong type",
         [&] { sim->setAttributeFault(element, names::size, Fault::wrongType(platform::Point{1, 2})); },
         std::nullopt},
        {"position infinite",
         [&] { sim->setElementAttribute(element, names::position, platform::Point{inf, 0}); }, std::nullopt},
        {"size not a number",
         [&] { sim->setElementAttribute(element, names::size, platform::Size{nan, 10}); }, std::nullopt},
        {"position beyond range",
         [&] { sim->setElementAttribute(element, names::position, platform::Point{1e300, 0}); }, std::nullopt},
        {"negative but finite", [&] { sim->setElementAttribute(element, names::position, platform::Point{-50, -8}); },
         Rect(-50, -8, 300, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        EXPECT_EQ(AXElement::frame(element), c.expected);
        sim->clearFaults();
        sim->clearElementAttribute(element, names::position);
        sim->clearElementAttribute(element, names::size);
    }
}

TEST_F(AXElementTest, ReadsFallBackToTheirDefaults) {
    for (const auto& attribute : {names::minimized, names::fullScreen, names::title, names::subrole,
                                  names::closeButton}) {
        sim->setAttributeFault(element, attribute, Fault::wrongType(qint64(1)));
    }
    EXPECT_FALSE(AXElement::isMinimized(element));
    EXPECT_FALSE(AXElement::isFullScreen(element));
    EXPECT_EQ(AXElement::title(element), std::nullopt);
    EXPECT_EQ(AXElement::subrole(element), std::nullopt);
    EXPECT_FALSE(AXElement::hasCloseButton(element));
    EXPECT_FALSE(AXElement::pressCloseButton(element));
    sim->setAttributeFault(sim->applicationElement(pid), names::windows, Fault::wrongType(QStringLiteral("x")));
    EXPECT_TRUE(AXElement::windows(AXElement::application(pid)).empty());
}

TEST_F(AXElementTest, TextsAreComposedSoLookAlikesCompareEqual) {
    // "é" as e + combining acute accent.
    sim->setWindowTitle(win, QStringLiteral("Caf") + QChar(0x0065) + QChar(0x0301));
    EXPECT_EQ(AXElement::title(element), QStringLiteral("Caf") + QChar(0x00E9));
}

TEST_F(AXElementTest, HandedOutElementsGetTheMessagingTimeout) {
    sim->setFocusedWindow(pid, win);
    const auto app = AXElement::application(pid);
    EXPECT_DOUBLE_EQ(sim->messagingTimeout(app), 0.25);
    const auto list = AXElement::windows(app);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_DOUBLE_EQ(sim->messagingTimeout(list[0]), 0.25);
    EXPECT_EQ(AXElement::focusedWindow(app), element);
}

TEST_F(AXElementTest, SetFrameFailsWhenTheSizeIsRefusedEvenThoughTheMoveTook) {
    sim->setResizeRefused(win, true);
    sim->clearLog();
    EXPECT_FALSE(AXElement::setFrame(element, Rect(0, 25, 640, 480)));
    EXPECT_EQ(sim->window(win)->frame.origin, (platform::Point{0, 25}));
    const auto lines = sim->logLines("ax.set");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].contains("AXSize"));
    EXPECT_TRUE(lines[1].contains("AXPosition"));

    sim->setResizeRefused(win, false);
    EXPECT_TRUE(AXElement::setFrame(element, Rect(0, 25, 640, 480)));
    EXPECT_TRUE(AXElement::moveAndResize(element, Rect(5, 30, 600, 400)));
    EXPECT_EQ(sim->window(win)->frame, Rect(5, 30, 600, 400));
}

TEST_F(AXElementTest, AValueThatCannotBeWrittenCountsAsFailedAndTheOtherWriteIsStillMade) {
    sim->clearLog();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(AXElement::moveAndResize(element, Rect(0, 0, nan, 100)));
    const auto lines = sim->logLines("ax.set");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].contains("AXPosition"));
    EXPECT_TRUE(lines[1].contains("AXPosition"));
}

TEST_F(AXElementTest, DockBadgesAreCollectedDownToDepthThree) {
    // app (0) > a (1) > b (2) > c (3) > d (4)
    auto appElement = sim->applicationElement(pid);
    auto badge = [](const QString& label, const QString& path) {
        std::map<QString, ax::Value> attrs{{names::statusLabel, label}};
        if (!path.isEmpty()) attrs[names::url] = ax::Url{path, QStringLiteral("file://") + path};
        return attrs;
    };
    auto a = sim->addElement(appElement, badge("1", "/A.app"));
    auto b = sim->addElement(a, badge("", "/B.app"));  // empty label: nothing, children still walked
    auto c = sim->addElement(b, badge("3", "/C.app"));
    sim->addElement(c, badge("4", "/D.app"));           // too deep
    sim->addElement(a, badge("no url", ""));            // a label without a URL adds nothing
    sim->addElement(a, badge("2", "/E.app"));
    std::vector<AXElement::Badge> found;
    AXElement::collectDockBadges(appElement, 0, found);
    const std::vector<AXElement::Badge> expected{{"/A.app", "1"}, {"/C.app", "3"}, {"/E.app", "2"}};
    EXPECT_EQ(found, expected);
}

// ---- trust poll

class AccessibilityServiceTest : public SimDesktopTest {};

TEST_F(AccessibilityServiceTest, TrustedAtOnceReportsWithoutAsking) {
    auto service = AccessibilityService::create();
    std::vector<bool> results;
    service->requestTrust([&](bool ok) { results.push_back(ok); });
    EXPECT_EQ(results, std::vector<bool>{true});
    EXPECT_EQ(sim->trustPrompts(), 0);
    EXPECT_FALSE(service->isPolling());
}

TEST_F(AccessibilityServiceTest, GrantedDuringThe37thSecondReportsOnceAtTheNextTick) {
    sim->setTrusted(false);
    auto service = AccessibilityService::create();
    std::vector<bool> results;
    service->requestTrust([&](bool ok) { results.push_back(ok); });
    EXPECT_EQ(sim->trustPrompts(), 1);
    sim->advance(36.5);
    EXPECT_TRUE(results.empty());
    sim->setTrusted(true);
    sim->advance(0.5);
    EXPECT_EQ(results, std::vector<bool>{true});
    EXPECT_FALSE(service->isPolling());
    sim->advance(200);
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(AccessibilityServiceTest, GivesUpAfter120TicksAndANewRequestReplacesTheOldPoll) {
    sim->setTrusted(false);
    auto service = AccessibilityService::create();
    std::vector<int> first, second;
    service->requestTrust([&](bool ok) { first.push_back(ok); });
    sim->advance(10);
    service->requestTrust([&](bool ok) { second.push_back(ok); });
    sim->advance(119.5);
    EXPECT_TRUE(second.empty());
    sim->advance(0.5);
    EXPECT_EQ(second, std::vector<int>{false});
    EXPECT_TRUE(first.empty()) << "the replaced poll never reports";
    EXPECT_FALSE(service->isPolling());
}

TEST_F(AccessibilityServiceTest, ThePollOutlivesTheService) {
    sim->setTrusted(false);
    auto service = AccessibilityService::create();
    std::vector<bool> results;
    service->requestTrust([&](bool ok) { results.push_back(ok); });
    service.reset();
    sim->setTrusted(true);
    sim->advance(1);
    EXPECT_EQ(results, std::vector<bool>{true});
}

}  // namespace
