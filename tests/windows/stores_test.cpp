// Pin, running-applications and excluded-applications stores: they publish
// only real changes and persist only through their named operations.
#include <gtest/gtest.h>


#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"
#include "windows/blacklist_store.h"
#include "windows/pin_store.h"
#include "windows/running_apps_store.h"

using platform::prefs::userDefaults;

namespace {

class StoresTest : public ::testing::Test {
protected:
    void SetUp() override { install({}); }
    void TearDown() override {
        BlacklistStore::resetShared();
        platform::uninstall();
    }
    void install(const QVariantMap& stored) {
        backend = std::make_shared<platform::prefs::MemoryBackend>();
        backend->preset(platform::prefs::applicationDomain, stored);
        platform::Services s;
        s.dispatcher = std::make_shared<platform::sim::ManualDispatcher>();
        s.preferences = backend;
        platform::install(s);
    }
    // What is on "disk" for a key.
    std::optional<QVariant> stored(const QString& key) {
        const QVariantMap m = backend->load(platform::prefs::applicationDomain);
        if (!m.contains(key)) return std::nullopt;
        return m.value(key);
    }
    std::shared_ptr<platform::prefs::MemoryBackend> backend;
};

// Counts the emissions of one signal.
struct Spy {
    template <typename Object, typename Signal>
    Spy(Object* object, Signal signal) {
        QObject::connect(object, signal, [this] { ++n; });
    }
    int count() const { return n; }
    int n = 0;
};

QVariant list(const QStringList& l) {
    QVariantList v;
    for (const auto& s : l) v << s;
    return v;
}

}  // namespace

TEST_F(StoresTest, StoredListsAreReadAsTheyStand) {
    {
        PinStore fresh;  // first start: nothing stored
        EXPECT_TRUE(fresh.pinnedBundleIDs().isEmpty() && fresh.activeOrder().isEmpty());
        EXPECT_FALSE(fresh.draggingBundleID().has_value());
    }
    install({{"pinnedBundleIDs", list({"b", "a", "b", ""})},
             {"activeOrder", QVariantList{QString("x"), qint64(3)}},  // not all text: empty
             {"blacklistedBundleIDs", QString("com.not.a.list")}});
    PinStore pins;
    EXPECT_EQ(pins.pinnedBundleIDs(), (QStringList{"b", "a", "b", ""}));
    EXPECT_TRUE(pins.activeOrder().isEmpty());
    EXPECT_TRUE(BlacklistStore::shared().blockedBundleIDs().isEmpty());
}

TEST_F(StoresTest, TogglePinAppendsThenRemovesAndPersists) {
    install({{"pinnedBundleIDs", list({"a", "b", "a"})}});
    PinStore pins;
    Spy spy(&pins, &PinStore::pinnedBundleIDsChanged);

    pins.togglePin("c");
    EXPECT_EQ(pins.pinnedBundleIDs(), (QStringList{"a", "b", "a", "c"}));
    EXPECT_EQ(stored("pinnedBundleIDs"), list({"a", "b", "a", "c"}));

    pins.togglePin("a");  // only the first entry goes
    EXPECT_EQ(pins.pinnedBundleIDs(), (QStringList{"b", "a", "c"}));
    EXPECT_EQ(stored("pinnedBundleIDs"), list({"b", "a", "c"}));
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(StoresTest, MovePinTable) {
    struct Case {
        const char* name;
        QString id;
        qint64 to;
        QStringList expected;
        bool written;
    };
    const Case cases[] = {
        {"to the front", "b", 0, {"b", "a", "c"}, true},
        {"past the end", "a", 5, {"b", "c", "a"}, true},
        {"to the end exactly", "a", 2, {"b", "c", "a"}, true},
        {"negative index onto its own place", "a", -3, {"a", "b", "c"}, false},
        {"negative index", "c", -1, {"c", "a", "b"}, true},
        {"same place", "b", 1, {"a", "b", "c"}, false},
        {"not pinned", "zz", 0, {"a", "b", "c"}, false},
    };
    for (const auto& c : cases) {
        install({{"pinnedBundleIDs", list({"a", "b", "c"})}});
        PinStore pins;
        Spy spy(&pins, &PinStore::changed);
        pins.movePin(c.id, c.to);
        EXPECT_EQ(pins.pinnedBundleIDs(), c.expected) << c.name;
        EXPECT_EQ(spy.count(), c.written ? 1 : 0) << c.name;
        EXPECT_EQ(stored("pinnedBundleIDs"), list(c.written ? c.expected : QStringList{"a", "b", "c"})) << c.name;
    }
}

TEST_F(StoresTest, AssignmentPublishesRealChangesAndNeverPersists) {
    install({{"pinnedBundleIDs", list({"a"})}, {"activeOrder", list({"o"})}, {"blacklistedBundleIDs", list({"x"})}});
    PinStore pins;
    BlacklistStore blocked;
    Spy pinned(&pins, &PinStore::pinnedBundleIDsChanged);
    Spy order(&pins, &PinStore::activeOrderChanged);
    Spy dragging(&pins, &PinStore::draggingBundleIDChanged);
    Spy blockedSpy(&blocked, &BlacklistStore::blockedBundleIDsChanged);

    pins.setPinnedBundleIDs({"a"});
    pins.setActiveOrder({"o"});
    blocked.setBlockedBundleIDs({"x"});
    pins.clearDragging();
    EXPECT_EQ(pinned.count() + order.count() + blockedSpy.count() + dragging.count(), 0);

    pins.setPinnedBundleIDs({"a", "b"});
    pins.setActiveOrder({"p"});
    blocked.setBlockedBundleIDs({"y"});
    pins.setDraggingBundleID(QString("d"));
    pins.setDraggingBundleID(QString("d"));
    EXPECT_EQ(pinned.count(), 1);
    EXPECT_EQ(order.count(), 1);
    EXPECT_EQ(blockedSpy.count(), 1);
    EXPECT_EQ(dragging.count(), 1);
    pins.clearDragging();
    pins.clearDragging();
    EXPECT_EQ(dragging.count(), 2);
    EXPECT_FALSE(pins.draggingBundleID().has_value());

    EXPECT_EQ(stored("pinnedBundleIDs"), list({"a"}));
    EXPECT_EQ(stored("activeOrder"), list({"o"}));
    EXPECT_EQ(stored("blacklistedBundleIDs"), list({"x"}));
    EXPECT_FALSE(stored("draggingBundleID").has_value());
}

TEST_F(StoresTest, PersistActiveOrderWritesOnlyChanges) {
    PinStore pins;
    Spy spy(&pins, &PinStore::activeOrderChanged);
    pins.persistActiveOrder({});
    EXPECT_EQ(spy.count(), 0);
    EXPECT_FALSE(stored("activeOrder").has_value());
    pins.persistActiveOrder({"b", "a"});
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(stored("activeOrder"), list({"b", "a"}));
}

TEST_F(StoresTest, BlacklistAddAndRemove) {
    BlacklistStore& blocked = BlacklistStore::shared();
    Spy spy(&blocked, &BlacklistStore::changed);

    blocked.add("");
    EXPECT_EQ(spy.count(), 0);
    EXPECT_FALSE(stored("blacklistedBundleIDs").has_value());

    blocked.add(" com.A ");  // kept exactly as given
    blocked.add("com.b");
    EXPECT_EQ(stored("blacklistedBundleIDs"), list({" com.A ", "com.b"}));
    EXPECT_EQ(spy.count(), 2);

    backend->preset(platform::prefs::applicationDomain, {});  // forget the file to see later writes
    blocked.add("com.b");
    blocked.remove("com.missing");
    EXPECT_EQ(spy.count(), 2);
    EXPECT_FALSE(stored("blacklistedBundleIDs").has_value());

    blocked.remove(" com.A ");
    EXPECT_EQ(blocked.blockedBundleIDs(), (QStringList{"com.b"}));
    EXPECT_EQ(stored("blacklistedBundleIDs"), list({"com.b"}));
    EXPECT_EQ(spy.count(), 3);
}

TEST_F(StoresTest, SharedBlacklistFollowsAReinstalledPlatform) {
    BlacklistStore::shared().add("com.one");
    BlacklistStore::resetShared();
    install({{"blacklistedBundleIDs", list({"com.two"})}});
    EXPECT_EQ(BlacklistStore::shared().blockedBundleIDs(), (QStringList{"com.two"}));
    BlacklistStore::shared().add("com.three");
    EXPECT_EQ(stored("blacklistedBundleIDs"), list({"com.two", "com.three"}));
}

TEST_F(StoresTest, RunningAppsPublishesOnlyDifferentSnapshots) {
    RunningAppsStore store;
    Spy spy(&store, &RunningAppsStore::appsChanged);
    AppItem a;
    a.id = a.pid = 4;
    a.bundleID = "com.a";
    a.name = "A";
    a.windows = {WindowItem{1, "One", false, false}, WindowItem{2, "Two", false, false}};

    store.setApps({});
    EXPECT_EQ(spy.count(), 0);
    store.setApps({a});
    store.setApps({a});
    EXPECT_EQ(spy.count(), 1);

    AppItem retitled = a;
    retitled.windows[1].title = "Two*";
    store.setApps({retitled});
    EXPECT_EQ(spy.count(), 2);

    AppItem reordered = retitled;
    std::swap(reordered.windows[0], reordered.windows[1]);
    store.setApps({reordered});
    EXPECT_EQ(spy.count(), 3);

    AppItem unread = reordered;
    unread.hasUnread = true;
    store.setApps({unread});
    EXPECT_EQ(spy.count(), 4);
    EXPECT_EQ(store.apps().front(), unread);
}
