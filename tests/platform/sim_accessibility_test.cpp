#include <gtest/gtest.h>

#include <unordered_set>

#include "platform/dispatch.h"
#include "support/sim_fixture.h"

using namespace platform;
using platform::sim::Fault;
using platform::sim::WindowSpec;
namespace names = platform::ax::names;

namespace {

struct AxTest : SimDesktopTest {
    std::int32_t pid = 0;
    std::uint64_t w1 = 0, w2 = 0;
    void SetUp() override {
        SimDesktopTest::SetUp();
        pid = sim->addApplication({.bundleID = "com.example.editor", .name = "Editor", .bundlePath = "/Applications/Editor.app"});
        w1 = sim->addWindow(pid, {.title = "One", .frame = Rect(10, 20, 300, 200)});
        w2 = sim->addWindow(pid, {.title = "Two", .frame = Rect(50, 60, 400, 300)});
        sim->pump();
        sim->clearLog();
    }
    ax::Accessibility& ax() { return ax::api(); }
};

TEST_F(AxTest, FreshHandlesOfOneElementAreEqualAndHashAlike) {
    ax::Value v;
    ASSERT_EQ(ax().copyAttribute(ax().applicationElement(pid), names::windows, v), ax::Error::success);
    auto list = ax::as<ax::ElementList>(v);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2u);
    // Front to back: the window added last is in front.
    EXPECT_EQ((*list)[0], sim->windowElement(w2));
    EXPECT_EQ((*list)[1], sim->windowElement(w1));
    EXPECT_EQ((*list)[0].hash(), sim->windowElement(w2).hash());
    EXPECT_FALSE((*list)[0] == (*list)[1]);

    ASSERT_EQ(ax().copyAttribute(ax().applicationElement(pid), names::focusedWindow, v), ax::Error::success);
    EXPECT_EQ(ax::as<ax::Element>(v), sim->windowElement(w1));  // the first window took the focus

    std::unordered_set<ax::Element> set{sim->windowElement(w1), (*list)[1], sim->windowElement(w2), (*list)[0]};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(ax().applicationElement(pid), sim->applicationElement(pid));
    std::int32_t owner = 0;
    EXPECT_EQ(ax().pid((*list)[0], owner), ax::Error::success);
    EXPECT_EQ(owner, pid);
}

TEST_F(AxTest, InjectedReadFaultsFailAsTheyShouldAndLeaveTheOutValueAlone) {
    struct Case {
        const char* name;
        Fault fault;
        ax::Error expected;
        bool valueChanges;
    };
    const Case cases[] = {
        {"failure", Fault::failure(), ax::Error::failure, false},
        {"no value", Fault::noValue(), ax::Error::noValue, false},
        {"unsupported", Fault::unsupported(), ax::Error::attributeUnsupported, false},
        {"timeout", Fault::timeout(), ax::Error::cannotComplete, false},
        {"wrong type", Fault::wrongType(), ax::Error::success, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto el = sim->windowElement(w1);
        sim->clearFaults();
        sim->setAttributeFault(el, names::size, c.fault);
        ax::Value out = QStringLiteral("untouched");
        EXPECT_EQ(ax().copyAttribute(el, names::size, out), c.expected);
        if (c.valueChanges) {
            EXPECT_FALSE(ax::as<Size>(out).has_value());
            EXPECT_FALSE(std::holds_alternative<std::monostate>(out));
        } else {
            EXPECT_EQ(ax::as<QString>(out), QStringLiteral("untouched"));
        }
        // Only that attribute of that element is affected.
        ax::Value pos;
        EXPECT_EQ(ax().copyAttribute(el, names::position, pos), ax::Error::success);
        EXPECT_EQ(ax::as<Point>(pos), (Point{10, 20}));
        ax::Value other;
        EXPECT_EQ(ax().copyAttribute(sim->windowElement(w2), names::size, other), ax::Error::success);
    }
}

TEST_F(AxTest, WrongTypeOfATextAttributeIsNotText) {
    auto el = sim->windowElement(w1);
    sim->setAttributeFault(el, names::title, Fault::wrongType());
    ax::Value v;
    ASSERT_EQ(ax().copyAttribute(el, names::title, v), ax::Error::success);
    EXPECT_FALSE(ax::as<QString>(v).has_value());
    sim->setAttributeFault(el, names::title, Fault::wrongType(Point{1, 2}));
    ASSERT_EQ(ax().copyAttribute(el, names::title, v), ax::Error::success);
    EXPECT_EQ(ax::as<Point>(v), (Point{1, 2}));
}

TEST_F(AxTest, TimeoutsCostTheShorterOfHangAndMessagingTimeoutOnTheCallingQueueWithoutMovingTheClock) {
    auto el = sim->windowElement(w1);
    ASSERT_EQ(ax().setMessagingTimeout(el, 0.25), ax::Error::success);
    sim->setAttributeFault(el, names::position, Fault::timeout());
    sim->setAttributeFault(el, names::size, Fault::timeout(0.1));  // slow, but answers in time
    const double start = uptime();

    SerialQueue queue("app.quorvel.windows");
    ax::Error posResult = ax::Error::success, sizeResult = ax::Error::failure;
    ax::Value size;
    queue.async([&] {
        ax::Value v;
        posResult = ax::api().copyAttribute(el, names::position, v);
        sizeResult = ax::api().copyAttribute(el, names::size, size);
    });
    sim->pump();
    EXPECT_EQ(posResult, ax::Error::cannotComplete);
    EXPECT_EQ(sizeResult, ax::Error::success);
    EXPECT_EQ(ax::as<Size>(size), (Size{300, 200}));
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("app.quorvel.windows"), 0.35);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("main"), 0.0);
    EXPECT_DOUBLE_EQ(uptime(), start);

    // An element without a messaging timeout of its own waits the system default.
    sim->setUnresponsive(pid, true);
    ax::Value v;
    EXPECT_EQ(ax().copyAttribute(sim->windowElement(w2), names::title, v), ax::Error::cannotComplete);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("main"), sim::defaultMessagingTimeout);
    // Writes and actions to an unresponsive application time out too.
    EXPECT_EQ(ax().setAttribute(el, names::position, Point{0, 0}), ax::Error::cannotComplete);
    EXPECT_EQ(ax().performAction(el, names::raise), ax::Error::cannotComplete);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("main"), sim::defaultMessagingTimeout + 0.5);
    EXPECT_EQ(sim->window(w1)->frame, Rect(10, 20, 300, 200));
}

TEST_F(AxTest, ResizeRefusalAndClampingShowInResultFrameAndLog) {
    auto el = sim->windowElement(w1);
    sim->setResizeRefused(w1, true);
    EXPECT_EQ(ax().setAttribute(el, names::size, Size{500, 400}), ax::Error::failure);
    EXPECT_EQ(ax().setAttribute(el, names::position, Point{0, 25}), ax::Error::success);
    EXPECT_EQ(sim->window(w1)->frame, Rect(0, 25, 300, 200));

    sim->setResizeRefused(w1, false);
    sim->setMaxSize(w1, Size{450, 350});
    sim->setMinSize(w1, Size{100, 100});
    EXPECT_EQ(ax().setAttribute(el, names::size, Size{500, 50}), ax::Error::success);
    EXPECT_EQ(sim->window(w1)->frame.size, (Size{450, 100}));
    // A value of the wrong type is refused and changes nothing.
    EXPECT_EQ(ax().setAttribute(el, names::size, Point{1, 1}), ax::Error::illegalArgument);
    EXPECT_EQ(sim->window(w1)->frame.size, (Size{450, 100}));

    EXPECT_EQ(sim->log(), (std::vector<QString>{
                              QStringLiteral("ax.set pid=%1 win=%2 AXSize 500x400 -> -25200").arg(pid).arg(w1),
                              QStringLiteral("ax.set pid=%1 win=%2 AXPosition 0,25").arg(pid).arg(w1),
                              QStringLiteral("ax.set pid=%1 win=%2 AXSize 500x50").arg(pid).arg(w1),
                              QStringLiteral("ax.set pid=%1 win=%2 AXSize 1,1 -> -25201").arg(pid).arg(w1),
                          }));
}

TEST_F(AxTest, MinimizeRaiseAndCloseChangeTheModel) {
    auto el1 = sim->windowElement(w1);
    EXPECT_EQ(ax().setAttribute(el1, names::minimized, true), ax::Error::success);
    EXPECT_TRUE(sim->window(w1)->minimized);
    EXPECT_EQ(sim->focusedWindow(pid), w2);  // focus left the minimised window
    EXPECT_EQ(ax().setAttribute(el1, names::minimized, false), ax::Error::success);
    EXPECT_EQ(sim->windowsOf(pid).front(), w1);  // restored windows come to the front

    EXPECT_EQ(ax().performAction(sim->windowElement(w2), names::raise), ax::Error::success);
    EXPECT_EQ(sim->windowsOf(pid).front(), w2);
    EXPECT_EQ(sim->focusedWindow(pid), w2);

    ax::Value close;
    ASSERT_EQ(ax().copyAttribute(el1, names::closeButton, close), ax::Error::success);
    auto button = ax::as<ax::Element>(close);
    ASSERT_TRUE(button);
    EXPECT_EQ(*button, sim->closeButtonElement(w1));
    EXPECT_EQ(ax().performAction(*button, names::press), ax::Error::success);
    EXPECT_FALSE(sim->window(w1).has_value());
    ax::Value v;
    EXPECT_EQ(ax().copyAttribute(el1, names::title, v), ax::Error::invalidElement);
    EXPECT_EQ(ax().performAction(*button, names::press), ax::Error::invalidElement);

    auto log = sim->log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[2], QStringLiteral("ax.action pid=%1 win=%2 AXRaise").arg(pid).arg(w2));
    EXPECT_EQ(log[3], QStringLiteral("ax.action pid=%1 win=%2 close AXPress").arg(pid).arg(w1));
}

TEST_F(AxTest, AWindowWithoutCloseButtonHasNone) {
    auto w = sim->addWindow(pid, {.title = "Panel", .hasCloseButton = false});
    ax::Value v;
    EXPECT_EQ(ax().copyAttribute(sim->windowElement(w), names::closeButton, v), ax::Error::noValue);
}

TEST_F(AxTest, ObserversHearOfChangesOnTheMainQueueAndNeverAfterInvalidate) {
    std::vector<std::pair<ax::Element, QString>> heard;
    auto observer = ax().createObserver(pid, [&](const ax::Element& e, const QString& n) { heard.emplace_back(e, n); });
    ASSERT_TRUE(observer);
    auto app = ax().applicationElement(pid);
    ASSERT_EQ(observer->addNotification(app, names::windowMoved), ax::Error::success);
    ASSERT_EQ(observer->addNotification(app, names::windowCreated), ax::Error::success);
    ASSERT_EQ(observer->addNotification(sim->windowElement(w2), names::uiElementDestroyed), ax::Error::success);
    // Registration on another application's element is refused.
    auto other = sim->addApplication({.name = "Other"});
    EXPECT_NE(observer->addNotification(ax().applicationElement(other), names::windowMoved), ax::Error::success);

    ASSERT_EQ(ax().setAttribute(sim->windowElement(w1), names::position, Point{5, 5}), ax::Error::success);
    sim->setWindowFrame(w1, Rect(5, 5, 300, 200));  // no change: no notification
    sim->setWindowTitle(w1, "Renamed");              // not registered
    EXPECT_TRUE(heard.empty());                      // delivery waits for the main queue
    sim->pump();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, sim->windowElement(w1));
    EXPECT_EQ(heard[0].second, names::windowMoved);

    auto w3 = sim->addWindow(pid, {.title = "Three"});
    sim->removeWindow(w2);
    sim->addWindow(other, {.title = "elsewhere"});
    sim->pump();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[1], std::make_pair(sim->windowElement(w3), names::windowCreated));
    EXPECT_EQ(heard[2].second, names::uiElementDestroyed);

    // Queued but undelivered notifications are dropped by invalidate.
    sim->setWindowFrame(w1, Rect(0, 0, 10, 10));
    observer->invalidate();
    sim->pump();
    EXPECT_EQ(heard.size(), 3u);
    EXPECT_EQ(sim->liveObserverCount(), 0u);
}

TEST_F(AxTest, ApplicationNotificationsAndFocusChangesReachObservers) {
    std::vector<QString> heard;
    auto observer = ax().createObserver(pid, [&](const ax::Element&, const QString& n) { heard.push_back(n); });
    auto app = ax().applicationElement(pid);
    for (const auto& n : {names::applicationActivated, names::applicationDeactivated, names::applicationHidden,
                          names::applicationShown, names::focusedWindowChanged, names::windowMiniaturized,
                          names::windowDeminiaturized, names::windowResized, names::titleChanged})
        ASSERT_EQ(observer->addNotification(app, n), ax::Error::success);
    auto other = sim->addApplication({.name = "Other"});
    sim->activateApplication(pid);
    sim->activateApplication(other);
    sim->setHidden(pid, true);
    sim->setHidden(pid, false);
    sim->setFocusedWindow(pid, w2);
    sim->setMinimized(w2, true);
    sim->setMinimized(w2, false);
    sim->setWindowFrame(w1, Rect(10, 20, 1, 1));
    sim->setWindowTitle(w1, "New");
    sim->pump();
    EXPECT_EQ(heard, (std::vector<QString>{names::applicationActivated, names::applicationDeactivated,
                                           names::applicationHidden, names::applicationShown,
                                           names::focusedWindowChanged, names::windowMiniaturized,
                                           names::focusedWindowChanged, names::windowDeminiaturized,
                                           names::focusedWindowChanged, names::windowResized, names::titleChanged}));
}

TEST_F(AxTest, TrustGatesEveryRequestAndPromptsAreCounted) {
    sim->setTrusted(false);
    EXPECT_FALSE(ax().isProcessTrusted(false));
    EXPECT_FALSE(ax().isProcessTrusted(true));
    EXPECT_FALSE(ax().isProcessTrusted(true));
    EXPECT_EQ(sim->trustPrompts(), 2);
    ax::Value v;
    EXPECT_EQ(ax().copyAttribute(sim->windowElement(w1), names::title, v), ax::Error::apiDisabled);
    sim->setTrusted(true);
    EXPECT_TRUE(ax().isProcessTrusted(true));
    EXPECT_EQ(sim->trustPrompts(), 2);
    EXPECT_EQ(ax().copyAttribute(sim->windowElement(w1), names::title, v), ax::Error::success);
}

TEST_F(AxTest, TerminatedAndUnknownApplicationsAnswerNothing) {
    auto el = sim->windowElement(w1);
    sim->terminateApplication(pid);
    ax::Value v;
    EXPECT_EQ(ax().copyAttribute(ax().applicationElement(pid), names::windows, v), ax::Error::invalidElement);
    EXPECT_EQ(ax().copyAttribute(el, names::title, v), ax::Error::invalidElement);
    EXPECT_NE(ax().copyAttribute(ax().applicationElement(99999), names::windows, v), ax::Error::success);
    EXPECT_EQ(ax().applicationElement(99999), ax().applicationElement(99999));
}

TEST_F(AxTest, TheDockTreeCarriesBadgesWithUrls) {
    sim->addDockItem("Mail", "/Applications/Mail.app", "3");
    sim->addDockItem("Notes", "/Applications/Notes.app");
    sim->setDockBadge("/Applications/Notes.app", "1");
    sim->setDockBadge("/Applications/Mail.app", "");

    ax::Value v;
    ASSERT_EQ(ax().copyAttribute(ax().applicationElement(sim->dockPid()), names::children, v), ax::Error::success);
    auto top = ax::as<ax::ElementList>(v);
    ASSERT_TRUE(top && top->size() == 1);
    ASSERT_EQ(ax().copyAttribute((*top)[0], names::children, v), ax::Error::success);
    auto items = ax::as<ax::ElementList>(v);
    ASSERT_TRUE(items && items->size() == 2);
    EXPECT_EQ(ax().copyAttribute((*items)[0], names::statusLabel, v), ax::Error::attributeUnsupported);
    ASSERT_EQ(ax().copyAttribute((*items)[1], names::statusLabel, v), ax::Error::success);
    EXPECT_EQ(ax::as<QString>(v), QStringLiteral("1"));
    ASSERT_EQ(ax().copyAttribute((*items)[1], names::url, v), ax::Error::success);
    EXPECT_EQ(ax::as<ax::Url>(v)->path, QStringLiteral("/Applications/Notes.app"));
}

}  // namespace

namespace {
TEST_F(AxTest, MessagingTimeoutsStickToTheElementNotTheHandle) {
    auto app = ax().applicationElement(pid);
    ASSERT_EQ(ax().setMessagingTimeout(app, 0.25), ax::Error::success);
    EXPECT_DOUBLE_EQ(sim->messagingTimeout(ax().applicationElement(pid)), 0.25);
    EXPECT_DOUBLE_EQ(sim->messagingTimeout(sim->windowElement(w1)), 0.0);
    EXPECT_EQ(ax().setMessagingTimeout(app, -1), ax::Error::illegalArgument);
    EXPECT_DOUBLE_EQ(sim->messagingTimeout(app), 0.25);
}
}  // namespace
