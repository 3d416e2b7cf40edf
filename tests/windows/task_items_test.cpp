// Task-strip items: pin, activity and name order, both interaction models,
// excluded and agent applications, badges and running-dot inputs.
#include <gtest/gtest.h>

#include <QStringList>
#include <QVariantMap>

#include "windows/task_items.h"

namespace {

AppItem app(std::int32_t pid, std::optional<QString> bundle, QString name, std::vector<WindowItem> windows = {},
            bool active = false, bool hidden = false, bool visible = true, bool unread = false) {
    AppItem a;
    a.id = pid;
    a.pid = pid;
    a.bundleID = std::move(bundle);
    a.name = std::move(name);
    a.isActive = active;
    a.isHidden = hidden;
    a.hasVisibleWindow = visible;
    a.windows = std::move(windows);
    a.hasUnread = unread;
    return a;
}

WindowItem win(WindowToken token, QString title = QString(), bool minimized = false, bool focused = false) {
    return WindowItem{token, std::move(title), minimized, focused};
}

QStringList ids(const std::vector<TaskButtonItem>& items) {
    QStringList out;
    for (const auto& i : items) out << i.id;
    return out;
}

std::vector<TaskButtonItem> grouped(const std::vector<AppItem>& apps, const QStringList& pinned = {},
                                    const QStringList& order = {}, const QStringList& excluded = {}) {
    return TaskStripItems::build(apps, false, excluded, pinned, order);
}

std::vector<TaskButtonItem> perWindow(const std::vector<AppItem>& apps, const QStringList& pinned = {},
                                      const QStringList& order = {}, const QStringList& excluded = {}) {
    return TaskStripItems::build(apps, true, excluded, pinned, order);
}

const TaskButtonItem& byID(const std::vector<TaskButtonItem>& items, const QString& id) {
    for (const auto& i : items)
        if (i.id == id) return i;
    static const TaskButtonItem none{.id = {}, .kind = TaskButtonKind::app(-1), .pid = 0, .bundleID = {}, .label = {}};
    ADD_FAILURE() << "no item " << id.toStdString();
    return none;
}

}  // namespace

TEST(TaskStripOrder, Table) {
    const std::vector<AppItem> three = {
        app(300, "com.b", "Beta"),
        app(200, "com.a", "Alpha"),
        app(100, std::nullopt, "alpha"),
    };
    struct Case {
        const char* name;
        std::vector<AppItem> apps;
        QStringList pinned, order, excluded;
        QStringList expected;
    };
    const Case cases[] = {
        {"by name, case-insensitive, ties by pid", three, {}, {}, {}, {"app:100", "app:200", "app:300"}},
        {"user order first", three, {}, {"com.b"}, {}, {"app:300", "app:100", "app:200"}},
        {"user order in its own order", three, {}, {"com.b", "com.a"}, {}, {"app:300", "app:200", "app:100"}},
        {"repeated identifier takes its last position", three, {}, {"com.a", "com.b", "com.a"}, {},
         {"app:300", "app:200", "app:100"}},
        {"unknown identifiers in the order are ignored", three, {}, {"com.zzz"}, {},
         {"app:100", "app:200", "app:300"}},
        {"pinned group first, in pin order, running or not", three, {"com.x", "com.b"}, {}, {},
         {"pin:com.x", "app:300", "app:100", "app:200"}},
        {"excluded and not pinned: nowhere", three, {}, {}, {"com.a"}, {"app:100", "app:300"}},
        {"excluded and pinned: still pinned", three, {"com.a"}, {}, {"com.a"}, {"app:200", "app:100", "app:300"}},
        {"no bundle identifier is never excluded", three, {}, {}, {""}, {"app:100", "app:200", "app:300"}},
        {"duplicate pins: one item, first position", three, {"com.b", "com.x", "com.b"}, {}, {},
         {"app:300", "pin:com.x", "app:100", "app:200"}},
        {"two instances of a pinned app: only the first",
         {app(10, "com.t", "Term"), app(11, "com.t", "Term"), app(12, "com.o", "Other")},
         {"com.t"},
         {},
         {},
         {"app:10", "app:12"}},
        {"two instances in the user order keep snapshot order",
         {app(21, "com.t", "Term"), app(20, "com.t", "Term"), app(5, "com.a", "Aa")},
         {},
         {"com.t"},
         {},
         {"app:21", "app:20", "app:5"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ids(grouped(c.apps, c.pinned, c.order, c.excluded)), c.expected) << c.name;
}

TEST(TaskStripItems, PinnedItemBeforeAndAfterLaunch) {
    const auto before = grouped({app(5, "com.o", "Other")}, {"com.m"});
    ASSERT_EQ(ids(before), (QStringList{"pin:com.m", "app:5"}));
    const TaskButtonItem& pin = before[0];
    EXPECT_EQ(pin.kind, TaskButtonKind::app(0));
    EXPECT_EQ(pin.pid, 0);
    EXPECT_EQ(pin.bundleID, QString("com.m"));
    EXPECT_EQ(pin.label, QString());
    EXPECT_TRUE(pin.isDimmed);
    EXPECT_TRUE(pin.isPinned);
    EXPECT_FALSE(pin.isRunning);
    EXPECT_FALSE(pin.isActive);

    const auto after = perWindow({app(5, "com.o", "Other"), app(9, "com.m", "Mail", {win(1, "In"), win(2, "Out")},
                                                             true, false, true, true)},
                                 {"com.m"});
    ASSERT_EQ(ids(after), (QStringList{"app:9", "app:5"}));
    const TaskButtonItem& running = after[0];
    EXPECT_EQ(running.kind, TaskButtonKind::app(9));
    EXPECT_EQ(running.label, QString("Mail"));
    EXPECT_EQ(running.badge, 2);  // pinned running apps keep one button, even per window
    EXPECT_TRUE(running.isActive && running.isPinned && running.isRunning && running.hasUnread);
    EXPECT_FALSE(running.isDimmed);
}

TEST(TaskStripItems, GroupedBadgesAndStates) {
    const auto items = grouped({
        app(1, "a.one", "One", {win(1)}, true),
        app(2, "a.three", "Three", {win(2), win(3), win(4)}),
        app(3, "a.hidden", "TheHidden", {win(5), win(6)}, true, true),
        app(4, "a.blind", "TheBlind", {}, true, false, false),
    });
    struct Expect {
        QString id;
        std::int64_t badge;
        bool active, dimmed;
    };
    const Expect expected[] = {
        {"app:1", 0, true, false},
        {"app:4", 0, false, true},  // active without a visible window
        {"app:3", 2, false, true},  // active but hidden
        {"app:2", 3, false, false},
    };
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].id, expected[i].id);
        EXPECT_EQ(items[i].badge, expected[i].badge) << expected[i].id.toStdString();
        EXPECT_EQ(items[i].isActive, expected[i].active) << expected[i].id.toStdString();
        EXPECT_EQ(items[i].isDimmed, expected[i].dimmed) << expected[i].id.toStdString();
        EXPECT_TRUE(items[i].isRunning);
        EXPECT_FALSE(items[i].isPinned);
    }
}

TEST(TaskStripItems, PerWindowItems) {
    const auto items = perWindow({
        app(7, "com.ed", "Editor", {win(12, "b.txt"), win(3, ""), win(9, "c.txt", true, true)}, true, false, true,
            true),
        app(8, "com.hid", "Hidden", {win(4, "doc")}, false, true),
        app(6, "com.none", "Alone", {}, true),
    });
    // Apps by name, windows by ascending token; a windowless app gets one app item.
    ASSERT_EQ(ids(items), (QStringList{"app:6", "win:3", "win:9", "win:12", "win:4"}));

    const auto& alone = byID(items, "app:6");
    EXPECT_EQ(alone.badge, 0);
    EXPECT_EQ(alone.kind, TaskButtonKind::app(6));

    const auto& untitled = byID(items, "win:3");
    EXPECT_EQ(untitled.label, QString("Editor"));
    EXPECT_EQ(untitled.kind, TaskButtonKind::window(3, 7));
    EXPECT_EQ(untitled.bundleID, QString("com.ed"));
    EXPECT_TRUE(untitled.hasUnread);
    EXPECT_FALSE(untitled.isActive);

    const auto& focusedMinimized = byID(items, "win:9");
    EXPECT_FALSE(focusedMinimized.isActive);
    EXPECT_TRUE(focusedMinimized.isDimmed);
    EXPECT_EQ(focusedMinimized.badge, 0);

    EXPECT_EQ(byID(items, "win:12").label, QString("b.txt"));
    EXPECT_TRUE(byID(items, "win:4").isDimmed);  // every window of a hidden app

    const auto focused = perWindow({app(7, "com.ed", "Editor", {win(1, "x", false, true)}, true)});
    ASSERT_EQ(focused.size(), 1u);
    EXPECT_TRUE(focused[0].isActive);
    EXPECT_FALSE(focused[0].isDimmed);

    // A window that asks for attention marks its own button; combined, the application's.
    WindowItem asking = win(2, "y");
    asking.hasUnread = true;
    const auto term = app(5, "x.term", "Term", {win(1, "x"), asking});
    const auto windows = perWindow({term});
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_FALSE(byID(windows, "win:1").hasUnread);
    EXPECT_TRUE(byID(windows, "win:2").hasUnread);
    EXPECT_TRUE(grouped({term}).front().hasUnread);
}

TEST(AppBundleInfo, AgentDeclaration) {
    struct Case {
        const char* name;
        std::optional<QVariantMap> info;
        bool expected;
    };
    const Case cases[] = {
        {"no dictionary", std::nullopt, false},
        {"UIElement text YES", QVariantMap{{"LSUIElement", "YES"}}, true},
        {"UIElement text true", QVariantMap{{"LSUIElement", "True"}}, true},
        {"UIElement text 0", QVariantMap{{"LSUIElement", "0"}}, false},
        {"UIElement text on", QVariantMap{{"LSUIElement", "on"}}, false},
        {"UIElement number 2", QVariantMap{{"LSUIElement", qint64(2)}}, true},
        {"UIElement real 1.0 is not a whole number", QVariantMap{{"LSUIElement", 1.0}}, false},
        {"UIElement bool true", QVariantMap{{"LSUIElement", true}}, true},
        {"UIElement false, BackgroundOnly true", QVariantMap{{"LSUIElement", false}, {"LSBackgroundOnly", true}},
         true},
        {"BackgroundOnly text yes", QVariantMap{{"LSBackgroundOnly", "yes"}}, true},
        {"BackgroundOnly array", QVariantMap{{"LSBackgroundOnly", QVariantList{true}}}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(AppBundleInfo::isAgentApp(c.info), c.expected) << c.name;
}

TEST(AppBundleInfo, NestedBundlePath) {
    struct Case {
        const char* path;
        bool expected;
    };
    const Case cases[] = {
        {"/Applications/Suite.app/Contents/Library/LoginItems/Tool.app", true},
        {"/Applications/Suite.app/", false},  // the trailing slash leaves no component after it
        {"/Applications/Tool.app", false},
        {"/Applications/Suite.APP/Contents/Tool.app", false},
        {"", false},
        {"Tool.app", false},
        {"/Applications//Suite.app//Helper.app", true},
        {"/Users/me/app/Tool.app", false},
        {"/Volumes/X.app.backup/Tool.app", false},
    };
    for (const auto& c : cases) EXPECT_EQ(AppBundleInfo::isAppPath(c.path), c.expected) << c.path;
}
