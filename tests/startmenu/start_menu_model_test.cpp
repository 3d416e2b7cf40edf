// The state of one opened start menu: its sections, the search results, the
// keyboard selection and what it publishes.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/platform.h"
#include "startmenu/start_menu_model.h"
#include "support/sim_fixture.h"

namespace {

InstalledApp app(const char* name) {
    return {QString::fromUtf8(name), QStringLiteral("/Apps/%1.app").arg(QString::fromUtf8(name)),
            QStringLiteral("id.%1").arg(QString::fromUtf8(name))};
}

QStringList names(const std::vector<InstalledApp>& apps) {
    QStringList out;
    for (const auto& a : apps) out << a.name;
    return out;
}

class StartMenuModelTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        pins = std::make_unique<LauncherPinStore>();
        recents = std::make_unique<LauncherRecentsStore>();
    }
    void TearDown() override {
        model.reset();
        pins.reset();
        recents.reset();
        SimDesktopTest::TearDown();
    }
    StartMenuModel& make(std::vector<InstalledApp> apps) {
        model = std::make_unique<StartMenuModel>(std::move(apps), false, pins.get(), recents.get());
        return *model;
    }
    std::unique_ptr<LauncherPinStore> pins;
    std::unique_ptr<LauncherRecentsStore> recents;
    std::unique_ptr<StartMenuModel> model;
};

TEST_F(StartMenuModelTest, SectionsAndSearch) {
    auto& m = make({app("Zed"), app("beta"), app("Alpha"), app("Beta"), app("Mail"), app("Notes")});
    pins->setPinnedPaths({app("Mail").path, "/Apps/Gone.app", app("Mail").path});
    recents->setPaths({app("Notes").path, app("Mail").path, app("Zed").path});
    struct Case {
        QString query;
        QStringList pinned, recent, list;
    };
    const Case cases[] = {
        // A pinned path without an application is skipped; a recent pinned
        // application shows only as pinned; equal names keep scan order.
        {"", {"Mail"}, {"Notes", "Zed"}, {"Alpha", "beta", "Beta"}},
        {" \n ", {"Mail"}, {"Notes", "Zed"}, {"Alpha", "beta", "Beta"}},
        {" b", {}, {}, {"beta", "Beta"}},
        {"e", {}, {}, {"beta", "Beta", "Notes", "Zed"}},
        {"qq", {}, {}, {}},
    };
    for (const auto& c : cases) {
        m.setQuery(c.query);
        EXPECT_EQ(m.isSearching(), !c.query.trimmed().isEmpty());
        EXPECT_EQ(names(m.pinnedApps()), c.pinned);
        EXPECT_EQ(names(m.recentApps()), c.recent);
        EXPECT_EQ(names(m.listApps()), c.list);
        EXPECT_EQ(names(m.flatList()), c.pinned + c.recent + c.list);
    }
    // The rows kept between key presses follow the pins, the recents and the applications.
    m.setQuery("");
    EXPECT_EQ(m.flatList().size(), 6u);
    pins->setPinnedPaths({app("Zed").path});
    EXPECT_EQ(names(m.flatList()), (QStringList{"Zed", "Notes", "Mail", "Alpha", "beta", "Beta"}));
    recents->setPaths({});
    EXPECT_EQ(names(m.flatList()), (QStringList{"Zed", "Alpha", "beta", "Beta", "Mail", "Notes"}));
    m.setApps({app("Zed"), app("Notes")});
    EXPECT_EQ(names(m.flatList()), (QStringList{"Zed", "Notes"}));
}

TEST_F(StartMenuModelTest, SelectionStepsStopAtTheEnds) {
    auto& m = make({app("A"), app("B"), app("C")});
    QSignalSpy moved(&m, &StartMenuModel::selectionChanged);
    struct Case {
        int start, step, end;
        bool notifies;
    };
    const Case cases[] = {{2, +1, 2, false}, {0, -1, 0, false}, {9, -1, 2, true}, {9, +1, 2, true},
                          {1, +1, 2, true},  {-4, +1, 0, true}};
    for (const auto& c : cases) {
        m.setSelection(c.start);
        if (c.start == 9) {
            EXPECT_EQ(m.selectedApp(), std::nullopt);
        }
        moved.clear();
        m.moveSelection(c.step);
        EXPECT_EQ(m.selection(), c.end);
        EXPECT_EQ(moved.count(), c.notifies ? 1 : 0);
        EXPECT_EQ(m.selectedApp(), m.flatList()[std::size_t(c.end)]);
    }
    // No rows: stepping does nothing and nothing is selected.
    m.setQuery("nothing matches");
    m.setSelection(1);
    m.moveSelection(1);
    EXPECT_EQ(m.selection(), 1);
    EXPECT_EQ(m.selectedApp(), std::nullopt);
}

TEST_F(StartMenuModelTest, EqualAssignmentsPublishNothing) {
    auto& m = make({app("A"), app("B")});
    QSignalSpy changed(&m, &StartMenuModel::changed);
    QSignalSpy appsChanged(&m, &StartMenuModel::appsChanged);
    m.setApps({app("A"), app("B")});
    m.setQuery(QString());
    m.setSelection(0);
    m.setIsLoadingApps(false);
    EXPECT_EQ(changed.count(), 0);
    auto other = app("B");
    other.bundleID = QStringLiteral("id.other");
    m.setApps({app("A"), other});  // one identifier differs
    EXPECT_EQ(appsChanged.count(), 1);
    m.setIsLoadingApps(true);
    m.setQuery("a");
    // A store's list change refreshes the model's readers too.
    pins->toggle(app("A").path);
    EXPECT_EQ(changed.count(), 4);
}

}  // namespace
