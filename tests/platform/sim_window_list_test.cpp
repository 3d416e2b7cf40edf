#include <gtest/gtest.h>

#include "platform/window_list.h"
#include "support/sim_fixture.h"

using namespace platform;
namespace keys = platform::sim::window_keys;

namespace {

struct WindowListTest : SimDesktopTest {
    std::int32_t a = 0, b = 0;
    std::uint64_t a1 = 0, a2 = 0, b1 = 0;
    void SetUp() override {
        SimDesktopTest::SetUp();
        a = sim->addApplication({.bundleID = "com.example.a", .name = "A"});
        b = sim->addApplication({.bundleID = "com.example.b", .name = "B"});
        a1 = sim->addWindow(a, {.title = "a1", .frame = Rect(0, 25, 500, 400)});
        a2 = sim->addWindow(a, {.title = "a2", .frame = Rect(100, 100, 200, 200)});
        b1 = sim->addWindow(b, {.title = "b1", .frame = Rect(300, 300, 600, 500)});
    }
    std::vector<std::int64_t> numbers(unsigned options, std::int64_t relativeTo = 0) {
        auto list = windowServer().copyWindowList(options, relativeTo);
        std::vector<std::int64_t> out;
        if (!list) return {-1};
        for (auto& r : *list) out.push_back(r.number.value_or(-2));
        return out;
    }
    static constexpr unsigned onScreen = windowListOnScreenOnly | windowListExcludeDesktopElements;
};

TEST_F(WindowListTest, RecordsDescribeTheVisibleWindowsFrontToBack) {
    auto list = windowServer().copyWindowList(onScreen, 0);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 3u);
    const auto& r = (*list)[0];
    EXPECT_EQ(r.number, std::int64_t(b1));
    EXPECT_EQ(r.ownerPID, b);
    EXPECT_EQ(r.layer, 0);
    EXPECT_EQ(r.bounds, Rect(300, 300, 600, 500));
    EXPECT_EQ(r.alpha, 1.0);
    EXPECT_EQ(r.isOnScreen, true);
    EXPECT_EQ(r.ownerName, QStringLiteral("B"));
    EXPECT_EQ(r.name, QStringLiteral("b1"));

    sim->activateApplication(a);  // A's windows come forward in their own order
    EXPECT_EQ(numbers(onScreen), (std::vector<std::int64_t>{std::int64_t(a2), std::int64_t(a1), std::int64_t(b1)}));
}

TEST_F(WindowListTest, HiddenMinimisedOrderedOutAndOtherSpaceWindowsAreNotOnScreen) {
    struct Case {
        const char* name;
        std::function<void()> change;
        std::vector<std::uint64_t> expected;
    };
    std::vector<Case> cases = {
        {"minimised", [&] { sim->setMinimized(a2, true); }, {b1, a1}},
        {"hidden application", [&] { sim->setHidden(a, true); }, {b1}},
        {"ordered out", [&] { sim->setOnScreen(b1, false); }, {a2, a1}},
        {"other space", [&] { sim->setWindowSpace(a1, 2); }, {b1, a2}},
        {"space switch", [&] { sim->setCurrentSpace(2); }, {}},
        {"terminated", [&] { sim->terminateApplication(b); }, {a2, a1}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.change();
        std::vector<std::int64_t> expected(c.expected.begin(), c.expected.end());
        EXPECT_EQ(numbers(onScreen), expected);
        // The full list still has every window of a running application, marked off screen.
        auto all = windowServer().copyWindowList(windowListAll, 0);
        ASSERT_TRUE(all);
        std::size_t offScreen = 0;
        for (auto& r : *all) offScreen += r.isOnScreen == false;
        EXPECT_EQ(all->size() - offScreen, c.expected.size());
    }
}

TEST_F(WindowListTest, CorruptFieldsAreAbsentAndOnlyInTheirEntry) {
    struct Case {
        const char* name;
        QString key;
        std::optional<QVariant> value;
        std::function<bool(const WindowRecord&)> absent;
    };
    std::vector<Case> cases = {
        {"number missing", keys::number, std::nullopt, [](auto& r) { return !r.number; }},
        {"number as text", keys::number, QVariant("7"), [](auto& r) { return !r.number; }},
        {"pid as bool", keys::ownerPID, QVariant(true), [](auto& r) { return !r.ownerPID; }},
        {"layer fractional", keys::layer, QVariant(0.5), [](auto& r) { return !r.layer; }},
        {"bounds not a map", keys::bounds, QVariant(QVariantList{0, 0, 1, 1}), [](auto& r) { return !r.bounds; }},
        {"bounds without height", keys::bounds, QVariant(QVariantMap{{"X", 0}, {"Y", 0}, {"Width", 5}}),
         [](auto& r) { return !r.bounds; }},
        {"bounds with text", keys::bounds,
         QVariant(QVariantMap{{"X", "0"}, {"Y", 0}, {"Width", 5}, {"Height", 5}}), [](auto& r) { return !r.bounds; }},
        {"alpha as text", keys::alpha, QVariant("1"), [](auto& r) { return !r.alpha; }},
        {"on-screen as number", keys::isOnScreen, QVariant(1), [](auto& r) { return !r.isOnScreen; }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        sim->corruptWindowEntry(a2, c.key, c.value);
        auto list = windowServer().copyWindowList(onScreen, 0);
        ASSERT_TRUE(list);
        ASSERT_EQ(list->size(), 3u);
        const WindowRecord& bad = (*list)[1];  // a2
        EXPECT_TRUE(c.absent(bad));
        // The other fields of the entry and the other entries are intact.
        EXPECT_EQ(bad.name, QStringLiteral("a2"));
        EXPECT_EQ((*list)[0].number, std::int64_t(b1));
        EXPECT_EQ((*list)[2].bounds, Rect(0, 25, 500, 400));
    }
}

TEST_F(WindowListTest, AWholeRealCountsAsAnIntegerField) {
    sim->corruptWindowEntry(a1, keys::layer, QVariant(3.0));
    auto list = windowServer().copyWindowList(onScreen, 0);
    EXPECT_EQ(list->back().layer, 3);
}

TEST_F(WindowListTest, UnavailableListIsAbsent) {
    sim->setWindowListUnavailable(true);
    EXPECT_FALSE(windowServer().copyWindowList(onScreen, 0).has_value());
    sim->setWindowListUnavailable(false);
    EXPECT_TRUE(windowServer().copyWindowList(onScreen, 0).has_value());
}

TEST_F(WindowListTest, RawEntriesAndDesktopElements) {
    sim->addRawWindowEntry({{keys::number, 900}, {keys::ownerPID, 1}, {keys::layer, qlonglong(sim::desktopIconLayer)}}, 3);
    sim->addRawWindowEntry({{keys::number, 901}, {keys::layer, 25}, {keys::ownerPID, "menu"}}, 0);
    auto list = windowServer().copyWindowList(windowListOnScreenOnly, 0);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 5u);
    EXPECT_EQ(list->front().number, 901);
    EXPECT_FALSE(list->front().ownerPID.has_value());
    EXPECT_EQ(list->back().number, 900);
    EXPECT_EQ(numbers(onScreen), (std::vector<std::int64_t>{901, std::int64_t(b1), std::int64_t(a2), std::int64_t(a1)}));
}

TEST_F(WindowListTest, AboveAndBelowAWindow) {
    const auto n = [](std::uint64_t w) { return std::int64_t(w); };
    EXPECT_EQ(numbers(windowListOnScreenAboveWindow, n(a1)), (std::vector<std::int64_t>{n(b1), n(a2)}));
    EXPECT_EQ(numbers(windowListOnScreenBelowWindow, n(b1)), (std::vector<std::int64_t>{n(a2), n(a1)}));
    EXPECT_EQ(numbers(windowListOnScreenBelowWindow | windowListIncludingWindow, n(a2)),
              (std::vector<std::int64_t>{n(a2), n(a1)}));
    EXPECT_EQ(numbers(windowListIncludingWindow, n(a2)), (std::vector<std::int64_t>{n(a2)}));
}

}  // namespace
