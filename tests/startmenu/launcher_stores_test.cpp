// The start menu's pin and recents stores: what they publish and when they
// write the user defaults.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/platform.h"
#include "startmenu/launcher_stores.h"
#include "support/sim_fixture.h"

namespace {

class LauncherStoresTest : public SimDesktopTest {
protected:
    platform::prefs::Domain& defaults() { return platform::prefs::userDefaults(); }
    int writes(const QString& key) {
        int n = 0;
        for (const auto& line : sim->logLines("prefs.set"))
            if (line.endsWith(u' ' + key)) ++n;
        return n;
    }
    QStringList stored(const QString& key) { return defaults().stringArrayValue(key).value_or(QStringList{}); }
};

TEST_F(LauncherStoresTest, WronglyTypedStoredListsReadAsEmpty) {
    defaults().set(LauncherPinStore::pinnedPathsKey, QVariant(QStringLiteral("/a")));
    defaults().set(LauncherRecentsStore::recentPathsKey, QVariantList{QStringLiteral("/a"), qint64(3)});
    EXPECT_TRUE(LauncherPinStore().pinnedPaths().isEmpty());
    EXPECT_TRUE(LauncherRecentsStore().paths().isEmpty());
}

TEST_F(LauncherStoresTest, PinOperationsPublishAndWriteOnlyRealChanges) {
    defaults().setStringArray(LauncherPinStore::pinnedPathsKey, {"/a", "/b", "/c", "/d"});
    LauncherPinStore pins;
    QSignalSpy published(&pins, &LauncherPinStore::pinnedPathsChanged);
    const int before = writes(LauncherPinStore::pinnedPathsKey);
    struct Step {
        std::function<void()> op;
        QStringList after;
        bool changes;
    };
    const Step steps[] = {
        {[&] { pins.move("/a", "/c"); }, {"/b", "/c", "/a", "/d"}, true},
        {[&] { pins.move("/d", "/c"); }, {"/b", "/d", "/c", "/a"}, true},
        {[&] { pins.move("/b", "/b"); }, {"/b", "/d", "/c", "/a"}, false},
        {[&] { pins.move("/x", "/b"); }, {"/b", "/d", "/c", "/a"}, false},
        {[&] { pins.move("/b", "/x"); }, {"/b", "/d", "/c", "/a"}, false},
        {[&] { pins.prune({"/a", "/b", "/c", "/d", "/e"}); }, {"/b", "/d", "/c", "/a"}, false},
        {[&] { pins.prune({"/a", "/b", "/c"}); }, {"/b", "/c", "/a"}, true},
        {[&] { pins.toggle("/e"); }, {"/b", "/c", "/a", "/e"}, true},
        {[&] { pins.toggle("/e"); }, {"/b", "/c", "/a"}, true},
        {[&] { pins.setPinnedPaths({"/b", "/c", "/a"}); }, {"/b", "/c", "/a"}, false},
    };
    int expectedSignals = 0, expectedWrites = before;
    for (const auto& s : steps) {
        s.op();
        if (s.changes) ++expectedSignals, ++expectedWrites;
        EXPECT_EQ(pins.pinnedPaths(), s.after);
        EXPECT_EQ(published.count(), expectedSignals);
        EXPECT_EQ(writes(LauncherPinStore::pinnedPathsKey), expectedWrites);
    }
    EXPECT_EQ(stored(LauncherPinStore::pinnedPathsKey), (QStringList{"/b", "/c", "/a"}));
}

TEST_F(LauncherStoresTest, SeedingHappensOncePerUser) {
    struct Case {
        QStringList pinned;
        bool seeded;
        QStringList seeds, after;
    };
    const Case cases[] = {
        {{}, false, {"/s1", "/s2"}, {"/s1", "/s2"}},
        {{"/mine"}, false, {"/s1"}, {"/mine"}},  // pins kept, flag still set
        {{}, true, {"/s1"}, {}},                 // already seeded: nothing
        {{}, false, {}, {}},                     // empty seeds on a first run
    };
    for (const auto& c : cases) {
        defaults().setStringArray(LauncherPinStore::pinnedPathsKey, c.pinned);
        defaults().setBool(LauncherPinStore::pinsSeededKey, c.seeded);
        LauncherPinStore pins;
        QSignalSpy published(&pins, &LauncherPinStore::pinnedPathsChanged);
        pins.seedIfNeeded(c.seeds);
        EXPECT_EQ(pins.pinnedPaths(), c.after);
        EXPECT_EQ(published.count(), c.after != c.pinned ? 1 : 0);
        EXPECT_EQ(defaults().boolValue(LauncherPinStore::pinsSeededKey), std::optional(true));
        // A second seeding never changes anything.
        pins.seedIfNeeded({"/later"});
        EXPECT_EQ(pins.pinnedPaths(), c.after);
    }
}

TEST_F(LauncherStoresTest, RecentsKeepSixAndAStoredLongerListUntilTheNextRecording) {
    const QStringList eight{"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"};
    defaults().setStringArray(LauncherRecentsStore::recentPathsKey, eight);
    LauncherRecentsStore recents;
    QSignalSpy published(&recents, &LauncherRecentsStore::pathsChanged);
    EXPECT_EQ(recents.paths(), eight);
    recents.prune(QSet<QString>(eight.begin(), eight.end()));
    EXPECT_EQ(recents.paths(), eight);  // pruning with every path kept is no change
    const int before = writes(LauncherRecentsStore::recentPathsKey);

    // Recording the path that is already first still cuts the long list.
    recents.record("/1");
    EXPECT_EQ(recents.paths(), (QStringList{"/1", "/2", "/3", "/4", "/5", "/6"}));
    recents.record("/1");  // now first, once, within the cap: nothing
    recents.record("/3");
    EXPECT_EQ(recents.paths(), (QStringList{"/3", "/1", "/2", "/4", "/5", "/6"}));
    recents.record("/new");  // a new path drops the oldest
    EXPECT_EQ(recents.paths(), (QStringList{"/new", "/3", "/1", "/2", "/4", "/5"}));
    recents.prune({"/3", "/2"});
    EXPECT_EQ(recents.paths(), (QStringList{"/3", "/2"}));
    EXPECT_EQ(published.count(), 4);
    EXPECT_EQ(writes(LauncherRecentsStore::recentPathsKey), before + 4);
    EXPECT_EQ(stored(LauncherRecentsStore::recentPathsKey), (QStringList{"/3", "/2"}));

    EXPECT_EQ(LauncherRecentsStore::recentPaths("/b", {"/a", "/b", "/c", "/b"}, 6), (QStringList{"/b", "/a", "/c"}));
}

}  // namespace
