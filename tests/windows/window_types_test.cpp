#include <gtest/gtest.h>

#include "windows/window_types.h"

namespace {

AppItem sample() {
    return AppItem{7, 7, QStringLiteral("com.example.a"), QStringLiteral("A"), true, false, true,
                   {WindowItem{1, QStringLiteral("one"), false, true}, WindowItem{2, QStringLiteral("two"), false, false}},
                   false};
}

TEST(WindowTypes, EveryChangeASnapshotCanCarryMakesItUnequal) {
    const std::vector<AppItem> base{sample()};
    struct Case {
        const char* name;
        std::function<void(AppItem&)> change;
    };
    const std::vector<Case> cases = {
        {"window order", [](AppItem& a) { std::swap(a.windows[0], a.windows[1]); }},
        {"one title", [](AppItem& a) { a.windows[1].title = "three"; }},
        {"unread", [](AppItem& a) { a.hasUnread = true; }},
        {"focus", [](AppItem& a) { a.windows[0].isFocused = false; }},
        {"minimised", [](AppItem& a) { a.windows[1].isMinimized = true; }},
        {"hidden", [](AppItem& a) { a.isHidden = true; }},
        {"visible window", [](AppItem& a) { a.hasVisibleWindow = false; }},
        {"bundle identifier absent", [](AppItem& a) { a.bundleID.reset(); }},
        {"empty bundle identifier", [](AppItem& a) { a.bundleID = QString(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto changed = base;
        c.change(changed[0]);
        EXPECT_NE(changed, base);
    }
    EXPECT_EQ(std::vector<AppItem>{sample()}, base);
}

TEST(WindowTypes, KindsAndIdentities) {
    EXPECT_NE(TaskButtonKind::app(5), TaskButtonKind::window(5, 5));
    EXPECT_NE(TaskButtonKind::app(5), TaskButtonKind::window(0, 5));
    EXPECT_EQ(TaskButtonKind::window(3, 5), TaskButtonKind::window(3, 5));
    EXPECT_NE(TaskButtonKind::window(3, 5), TaskButtonKind::window(3, 6));
    EXPECT_EQ(TaskButtonItem::appIdentity(812), "app:812");
    EXPECT_EQ(TaskButtonItem::windowIdentity(17), "win:17");
    EXPECT_EQ(TaskButtonItem::windowIdentity(18446744073709551615ull), "win:18446744073709551615");
    EXPECT_EQ(TaskButtonItem::pinIdentity("com.Example.X"), "pin:com.Example.X");
}

TEST(WindowTypes, InteractionModelReadsGroupedOnlyOnExactMatch) {
    const std::pair<std::optional<QString>, TaskInteractionModel> cases[] = {
        {QStringLiteral("grouped"), TaskInteractionModel::grouped},
        {QStringLiteral("Grouped"), TaskInteractionModel::perWindow},
        {QStringLiteral(""), TaskInteractionModel::perWindow},
        {std::nullopt, TaskInteractionModel::perWindow},
        {QStringLiteral("perWindow"), TaskInteractionModel::perWindow},
    };
    for (const auto& [text, model] : cases) EXPECT_EQ(taskInteractionModelFromText(text), model);
    EXPECT_EQ(rawValue(TaskInteractionModel::grouped), "grouped");
    EXPECT_EQ(rawValue(TaskInteractionModel::perWindow), "perWindow");
}

}  // namespace
