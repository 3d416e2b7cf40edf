#include <csignal>

#include "platform/preferences.h"
#include "services/dock_controller.h"
#include "services_fixture.h"

using namespace services;
namespace prefs = platform::prefs;

namespace {

const QString kAutohide = QStringLiteral("autohide");
const QString kOrientation = QStringLiteral("orientation");
const QString kDelay = QStringLiteral("autohide-delay");
const QString kFlag = QStringLiteral("DockIsManaging");
const QString kSaved = QStringLiteral("DockSavedOriginalStateV2");
const QString kSavedV1 = QStringLiteral("DockSavedOriginalState");
const QString kKillall = QStringLiteral("/usr/bin/killall Dock");

class DockControllerTest : public services_test::ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        controller = DockController::create();
    }
    prefs::Domain& dock() { return prefs::domain(prefs::dockDomain); }
    prefs::Domain& defaults() { return prefs::userDefaults(); }
    void setDock(bool autohide, const QString& edge, std::optional<double> delay) {
        dock().setBool(kAutohide, autohide);
        dock().setString(kOrientation, edge);
        if (delay)
            dock().setReal(kDelay, *delay);
        else
            dock().remove(kDelay);
    }
    // What the Dock's own domain holds, read straight from the store.
    QVariantMap dockFile() { return prefsBackend->load(prefs::dockDomain); }
    std::optional<DockState> saved() {
        auto data = defaults().dataValue(kSaved);
        return data ? DockState::decode(*data) : std::nullopt;
    }
    void presetSaved(const DockState& s) { defaults().set(kSaved, QVariant(*s.encoded())); }
    std::optional<bool> flag() { return defaults().boolValue(kFlag); }
    void apply(DockCoexistMode mode) {
        controller->apply(mode);
        pump();
    }
    void expectDock(bool autohide, const char* edge, std::optional<double> delay) {
        auto file = dockFile();
        EXPECT_EQ(file.value(kAutohide), QVariant(autohide));
        EXPECT_EQ(file.value(kOrientation), QVariant(QString::fromUtf8(edge)));
        if (delay)
            EXPECT_EQ(file.value(kDelay), QVariant(*delay));
        else
            EXPECT_FALSE(file.contains(kDelay));
    }
    std::shared_ptr<DockController> controller;
};

// Row 1 -> row 2 -> row 1 of the persistent states.
TEST_F(DockControllerTest, TakeOverSavesThenRestoreGivesBack) {
    setDock(false, QStringLiteral("bottom"), 0.7);
    EXPECT_FALSE(flag());
    apply(DockCoexistMode::moveRight);
    EXPECT_EQ(flag(), true);
    EXPECT_EQ(saved(), (DockState{false, DockEdge::bottom, 0.7}));
    expectDock(true, "right", std::nullopt);
    EXPECT_EQ(processes->runs, QStringList{kKillall});
    EXPECT_EQ(log->take(), QStringList{QStringLiteral(
                               "[Quorvel] Dock 接管(moveRight) → autohide=true, edge=right，原始=autohide=false, edge=bottom")});

    controller->restoreSynchronously();
    expectDock(false, "bottom", 0.7);
    EXPECT_EQ(flag(), false);
    EXPECT_FALSE(defaults().contains(kSaved));
    EXPECT_EQ(processes->runs.size(), 2);
    EXPECT_EQ(log->take(), QStringList{QStringLiteral("[Quorvel] Dock 还原 → autohide=false, edge=bottom")});
}

TEST_F(DockControllerTest, HideOnAlreadyHiddenDockWritesNothingButSaves) {
    setDock(true, QStringLiteral("left"), 2.0);
    defaults().setString(QStringLiteral("dockRevealDelay"), QStringLiteral("s2"));
    apply(DockCoexistMode::hide);
    EXPECT_TRUE(processes->runs.isEmpty());
    EXPECT_TRUE(log->take().isEmpty());
    EXPECT_EQ(flag(), true);
    EXPECT_EQ(saved(), (DockState{true, DockEdge::left, 2.0}));
    // The restore finds the Dock as saved: nothing is written or restarted.
    controller->restoreSynchronously();
    EXPECT_TRUE(processes->runs.isEmpty());
    EXPECT_EQ(flag(), false);
    EXPECT_FALSE(defaults().contains(kSaved));
}

TEST_F(DockControllerTest, SecondTakeoverKeepsTheFirstSavedState) {
    setDock(false, QStringLiteral("bottom"), std::nullopt);
    defaults().setString(QStringLiteral("dockRevealDelay"), QStringLiteral("never"));
    apply(DockCoexistMode::hide);
    expectDock(true, "bottom", 1000.0);
    apply(DockCoexistMode::moveLeft);
    expectDock(true, "left", 1000.0);
    EXPECT_EQ(saved(), (DockState{false, DockEdge::bottom, {}}));
    controller->restoreSynchronously();
    // The absent delay is given back by removing the key.
    expectDock(false, "bottom", std::nullopt);
}

TEST_F(DockControllerTest, ApplyOffRestoresOrOnlyClearsTheFlag) {
    apply(DockCoexistMode::off);
    EXPECT_EQ(flag(), false);
    EXPECT_TRUE(dockFile().isEmpty());
    EXPECT_TRUE(processes->runs.isEmpty());
    EXPECT_TRUE(controller->hasAppliedThisRun());

    setDock(false, QStringLiteral("right"), 3.0);
    apply(DockCoexistMode::moveLeft);
    apply(DockCoexistMode::off);
    expectDock(false, "right", 3.0);
    EXPECT_EQ(flag(), false);
    EXPECT_FALSE(defaults().contains(kSaved));
}

// Row 3: flag set but no usable save. Without a copy the restore only
// clears the flag. A copy that is there but unreadable keeps copy and flag:
// the next run's takeover must not save the taken-over Dock as the user's.
TEST_F(DockControllerTest, FlagWithoutUsableSaveRestoresNothing) {
    const std::optional<QVariant> cases[] = {std::nullopt, QVariant(QByteArray("{not json")), QVariant(QStringLiteral("x"))};
    for (const auto& stored : cases) {
        SCOPED_TRACE(stored.has_value() ? stored->typeName() : "no copy");
        setDock(true, QStringLiteral("right"), std::nullopt);
        defaults().setBool(kFlag, true);
        if (stored) defaults().set(kSaved, *stored);
        controller->restoreSynchronously();
        EXPECT_TRUE(processes->runs.isEmpty());
        EXPECT_EQ(flag(), stored.has_value());
        expectDock(true, "right", std::nullopt);
        EXPECT_EQ(defaults().value(kSaved), stored);
        controller = DockController::create();  // the next run
        log->take();
        apply(DockCoexistMode::moveRight);
        if (stored) {
            EXPECT_EQ(defaults().value(kSaved), stored);
        }
        EXPECT_EQ(log->take().join(u'\n').contains(QStringLiteral("不作为原始状态保存")), stored.has_value());
        controller->restoreSynchronously();
        defaults().remove(kSaved);
        defaults().setBool(kFlag, false);
    }
}

// While the flag is set the Dock may be taken over (by this run or another
// copy): its state is never saved as the user's own, and a restore writes
// only the copy this run saved, never one another process put in its place.
TEST_F(DockControllerTest, ACopyThatIsNotOursIsNeitherReplacedNorWritten) {
    const QByteArray othersCopy = *DockState{true, DockEdge::left, 5.0}.encoded();
    struct Case {
        const char* name;
        QByteArray stored;        // what stands in place of this run's copy
        bool secondTakeover;      // a second takeover before the restore
    };
    const Case cases[] = {
        {"an undecodable copy, then a second takeover", QByteArray("garbage"), true},
        {"another process's copy", othersCopy, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        controller = DockController::create();
        setDock(false, QStringLiteral("bottom"), std::nullopt);
        apply(DockCoexistMode::moveRight);
        defaults().set(kSaved, QVariant(c.stored));
        log->take();
        if (c.secondTakeover) {
            apply(DockCoexistMode::moveLeft);
            expectDock(true, "right", std::nullopt);  // no takeover without a copy of ours
            EXPECT_EQ(defaults().dataValue(kSaved), c.stored);
        }
        controller->restoreSynchronously();
        expectDock(false, "bottom", std::nullopt);  // this run's own copy went back
        EXPECT_EQ(defaults().dataValue(kSaved), c.stored);
        EXPECT_EQ(flag(), true);  // left for whoever saved that copy
        defaults().remove(kSaved);
        defaults().setBool(kFlag, false);
    }
}

// The Dock pane offers delays up to "never" (1000 s); a saved copy beyond
// that range is not given to the Dock as it stands (in range: see above).
TEST_F(DockControllerTest, ASavedDelayIsClampedToWhatTheDockPaneOffers) {
    const std::pair<double, double> cases[] = {{1e308, 1000.0}, {-3.0, 0.0}};
    for (const auto& [stored, restored] : cases) {
        SCOPED_TRACE(stored);
        setDock(true, QStringLiteral("right"), std::nullopt);
        defaults().setBool(kFlag, true);
        presetSaved(DockState{false, DockEdge::left, stored});
        controller->restoreSynchronously();
        expectDock(false, "left", restored);
    }
}

TEST_F(DockControllerTest, CrashRecoveryRestoresFirstThenTakesOverAgain) {
    // An earlier run died while the Dock was moved right.
    setDock(true, QStringLiteral("right"), std::nullopt);
    defaults().setBool(kFlag, true);
    presetSaved(DockState{false, DockEdge::left, 0.5});
    apply(DockCoexistMode::moveRight);
    EXPECT_EQ(log->take(), (QStringList{
                               QStringLiteral("[Quorvel] 检测到上次异常退出，先还原 Dock 再重新接管。"),
                               QStringLiteral("[Quorvel] Dock 还原 → autohide=false, edge=left"),
                               QStringLiteral("[Quorvel] Dock 接管(moveRight) → autohide=true, edge=right，原始=autohide=false, edge=left"),
                           }));
    EXPECT_EQ(processes->runs.size(), 2);
    EXPECT_EQ(saved(), (DockState{false, DockEdge::left, 0.5}));
    EXPECT_EQ(flag(), true);
    // Only once per process.
    apply(DockCoexistMode::hide);
    EXPECT_FALSE(log->take().join(u'\n').contains(QStringLiteral("异常退出")));
}

TEST_F(DockControllerTest, NoRecoveryAfterOffInTheSameRun) {
    apply(DockCoexistMode::off);
    setDock(true, QStringLiteral("right"), std::nullopt);
    defaults().setBool(kFlag, true);
    presetSaved(DockState{false, DockEdge::left, {}});
    apply(DockCoexistMode::moveRight);
    EXPECT_FALSE(log->take().join(u'\n').contains(QStringLiteral("异常退出")));
    // The earlier save is kept as the state to give back.
    EXPECT_EQ(saved(), (DockState{false, DockEdge::left, {}}));
}

TEST_F(DockControllerTest, OlderSaveIsMigratedWithTheCurrentDelay) {
    setDock(true, QStringLiteral("right"), 3.0);
    defaults().setBool(kFlag, true);
    defaults().set(kSavedV1, QVariant(QByteArray(R"({"autohide":false,"orientation":"left","autohideDelay":9})")));
    controller->restoreSynchronously();
    EXPECT_FALSE(defaults().contains(kSavedV1));
    EXPECT_FALSE(defaults().contains(kSaved));
    EXPECT_EQ(flag(), false);
    expectDock(false, "left", 3.0);  // the older save's own delay is not used
    EXPECT_EQ(log->take(), (QStringList{QStringLiteral("[Quorvel] Dock 存档迁移 V1→V2：autohide=false, edge=left"),
                                        QStringLiteral("[Quorvel] Dock 还原 → autohide=false, edge=left")}));
}

TEST_F(DockControllerTest, OlderSaveIsRemovedInEveryCase) {
    const QByteArray older(R"({"autohide":false,"orientation":"left"})");
    struct Case {
        bool managing;
        bool newerSave;
        QVariant olderValue;
    };
    const Case cases[] = {
        {false, false, QVariant(older)},
        {true, true, QVariant(older)},
        {true, false, QVariant(QByteArray("###"))},
        {true, false, QVariant(QStringLiteral("not data"))},
    };
    for (const auto& c : cases) {
        defaults().setBool(kFlag, c.managing);
        if (c.newerSave) presetSaved(DockState{true, DockEdge::bottom, {}});
        defaults().set(kSavedV1, c.olderValue);
        setDock(true, QStringLiteral("right"), std::nullopt);
        log->take();
        controller->restoreSynchronously();
        EXPECT_FALSE(defaults().contains(kSavedV1));
        EXPECT_FALSE(log->take().join(u'\n').contains(QStringLiteral("迁移")));
        if (c.newerSave) expectDock(true, "bottom", std::nullopt);
        else expectDock(true, "right", std::nullopt);
        defaults().remove(kSaved);
    }
}

TEST_F(DockControllerTest, ForeignValueTypesInTheDockDomain) {
    struct Case {
        QVariant autohide, orientation, delay;
        DockState expected;
    };
    const Case cases[] = {
        {QVariant(qint64(1)), QVariant(QStringLiteral("left")), QVariant(qint64(2)), {true, DockEdge::left, 2.0}},
        {QVariant(0.0), QVariant(qint64(3)), QVariant(QStringLiteral("2")), {false, DockEdge::bottom, {}}},
        {QVariant(QStringLiteral("yes")), QVariant(QStringLiteral("top")), QVariant(true), {false, DockEdge::bottom, {}}},
        {QVariant(QVariantList{}), QVariant(QByteArray("left")), QVariant(0.0), {false, DockEdge::bottom, 0.0}},
    };
    for (const auto& c : cases) {
        dock().set(kAutohide, c.autohide);
        dock().set(kOrientation, c.orientation);
        dock().set(kDelay, c.delay);
        defaults().setBool(kFlag, false);
        defaults().remove(kSaved);
        controller->apply(DockCoexistMode::moveRight);
        pump();
        EXPECT_EQ(saved(), c.expected);
        controller->restoreSynchronously();
        // What comes back is written in the Dock's own types.
        auto file = dockFile();
        EXPECT_EQ(file.value(kAutohide), QVariant(c.expected.autohide));
        EXPECT_EQ(file.value(kOrientation), QVariant(rawValue(c.expected.orientation)));
    }
}

TEST_F(DockControllerTest, RestartFailuresAreLoggedAndPreferencesStayWritten) {
    struct Case {
        platform::ProcessResult outcome;
        QStringList lines;
    };
    const QString written = QStringLiteral("[Quorvel] Dock 偏好已写入但未能重载，状态可能暂不一致（详见上条日志）。");
    const Case cases[] = {
        {{false, -1, 0, QStringLiteral("No such file or directory"), {}},
         {QStringLiteral("[Quorvel] killall Dock 启动失败：No such file or directory（偏好已写入但未重载）"), written}},
        {{true, 1, 0, {}, {}}, {QStringLiteral("[Quorvel] killall Dock 退出码 1（Dock 可能未运行；偏好已写入）"), written}},
    };
    for (const auto& c : cases) {
        processes->outcome = c.outcome;
        setDock(false, QStringLiteral("bottom"), std::nullopt);
        defaults().setBool(kFlag, false);
        apply(DockCoexistMode::moveLeft);
        auto lines = log->take();
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines.mid(0, 2), c.lines);
        expectDock(true, "left", std::nullopt);
        controller->restoreSynchronously();
        expectDock(false, "bottom", std::nullopt);
        log->take();
    }
}

// The user's settings are never lost: without a stored copy, no takeover.
TEST_F(DockControllerTest, NoTakeoverWhenTheOriginalCannotBeSaved) {
    setDock(false, QStringLiteral("bottom"), std::nullopt);
    prefsBackend->setFailWrites(true);
    apply(DockCoexistMode::moveRight);
    prefsBackend->setFailWrites(false);
    EXPECT_FALSE(flag().value_or(false));
    EXPECT_FALSE(defaults().contains(kSaved));
    EXPECT_TRUE(processes->runs.isEmpty());
    expectDock(false, "bottom", std::nullopt);
    EXPECT_EQ(log->take(), QStringList{QStringLiteral("[Quorvel] 无法保存 Dock 原始状态，本次不接管 Dock。")});
}

TEST_F(DockControllerTest, TerminationSignalFinishesQueuedWorkRestoresAndExits) {
    controller->installSignalHandlers();
    auto handled = dispatcher->handledSignals();
    EXPECT_EQ(handled, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
    setDock(false, QStringLiteral("bottom"), 1.5);
    controller->apply(DockCoexistMode::moveRight);  // still queued
    ASSERT_TRUE(dispatcher->deliverSignal(SIGTERM));
    EXPECT_EQ(processes->exits, std::vector<int>{0});
    expectDock(false, "bottom", 1.5);
    EXPECT_EQ(flag(), false);
    auto lines = log->take();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("[Quorvel] 收到终止信号，还原 Dock 后退出。"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("[Quorvel] Dock 接管(moveRight)")));
    EXPECT_EQ(lines[2], QStringLiteral("[Quorvel] Dock 还原 → autohide=false, edge=bottom"));
    // A takeover the main thread queues between the restore and the exit
    // never runs: the Dock stays given back.
    controller->apply(DockCoexistMode::moveRight);
    controller->queue().sync([] {});
    expectDock(false, "bottom", 1.5);
    EXPECT_EQ(flag(), false);
    EXPECT_FALSE(defaults().contains(kSaved));
    // Later signals are ignored.
    dispatcher->deliverSignal(SIGINT);
    dispatcher->deliverSignal(SIGHUP);
    EXPECT_EQ(processes->exits.size(), 1u);
    EXPECT_TRUE(log->take().isEmpty());
}

// Every save leaves the stores as a kill right after it would: each of those
// states, handed to a fresh run that takes the Dock over and gives it back,
// ends with the Dock as the user had it, and no state ever holds a taken-over
// Dock without the saved copy that brings it back.
class SnapshotBackend : public prefs::MemoryBackend {
public:
    using Stores = std::map<QString, QVariantMap>;
    bool save(const QString& domain, const QVariantMap& values) override {
        if (!MemoryBackend::save(domain, values)) return false;
        snapshots.push_back({{prefs::applicationDomain, load(prefs::applicationDomain)},
                             {prefs::dockDomain, load(prefs::dockDomain)}});
        ++saves[domain];
        return true;
    }
    std::vector<Stores> snapshots;
    std::map<QString, int> saves;
};

TEST_F(DockControllerTest, AKillAfterAnySaveOfTakeoverOrRestoreNeverLosesTheDock) {
    const QVariantMap seeded{{kAutohide, false}, {kOrientation, QStringLiteral("left")}, {kDelay, 0.4},
                             {QStringLiteral("tilesize"), qint64(48)}};
    auto installStores = [&](const SnapshotBackend::Stores& stores) {
        pump();
        platform::uninstall();
        auto backend = std::make_shared<SnapshotBackend>();
        for (const auto& [domain, values] : stores) backend->preset(domain, values);
        installServices(backend);
        controller = DockController::create();
        return backend;
    };
    // One run: takeover, a change of mode, off, takeover again, restore.
    auto run = installStores({{prefs::dockDomain, seeded}});
    for (auto mode : {DockCoexistMode::moveRight, DockCoexistMode::moveLeft, DockCoexistMode::off,
                      DockCoexistMode::hide})
        apply(mode);
    controller->restoreSynchronously();
    const auto snapshots = run->snapshots;
    // The Dock's three keys are one save each time, so are the copy and its flag.
    EXPECT_EQ(run->saves[prefs::dockDomain], 5);  // five changes of the Dock
    ASSERT_GE(snapshots.size(), 9u);
    EXPECT_EQ(snapshots.back().at(prefs::dockDomain), seeded);

    std::vector<SnapshotBackend::Stores> states{{{prefs::dockDomain, seeded}}};
    states.insert(states.end(), snapshots.begin(), snapshots.end());
    for (std::size_t k = 0; k < states.size(); ++k) {
        SCOPED_TRACE(k);
        const auto& state = states[k];
        const QVariantMap app = state.count(prefs::applicationDomain) ? state.at(prefs::applicationDomain) : QVariantMap{};
        if (state.at(prefs::dockDomain) != seeded) {
            EXPECT_EQ(app.value(kFlag), QVariant(true));
            auto copy = DockState::decode(app.value(kSaved).toByteArray());
            EXPECT_EQ(copy, (DockState{false, DockEdge::left, 0.4}));
        }
        auto next = installStores(state);
        apply(DockCoexistMode::moveRight);
        expectDock(true, "right", std::nullopt);
        controller->restoreSynchronously();
        EXPECT_EQ(dockFile(), seeded);
        EXPECT_EQ(flag(), false);
        EXPECT_FALSE(defaults().contains(kSaved));
    }
}

}  // namespace
