#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include "platform/preferences.h"
#include "services/dock_state.h"
#include "services_fixture.h"

using namespace services;

namespace {

TEST(DockStateTest, TargetStateTable) {
    struct Case {
        DockCoexistMode mode;
        DockEdge before;
        DockAutohideDelay delay;
        std::optional<DockState> expected;
    };
    const Case cases[] = {
        {DockCoexistMode::hide, DockEdge::left, DockAutohideDelay::systemDefault, DockState{true, DockEdge::left, {}}},
        {DockCoexistMode::hide, DockEdge::bottom, DockAutohideDelay::s2, DockState{true, DockEdge::bottom, 2.0}},
        {DockCoexistMode::moveRight, DockEdge::left, DockAutohideDelay::s5, DockState{true, DockEdge::right, 5.0}},
        {DockCoexistMode::moveLeft, DockEdge::right, DockAutohideDelay::s10, DockState{true, DockEdge::left, 10.0}},
        {DockCoexistMode::moveLeft, DockEdge::left, DockAutohideDelay::s20, DockState{true, DockEdge::left, 20.0}},
        {DockCoexistMode::moveRight, DockEdge::bottom, DockAutohideDelay::never, DockState{true, DockEdge::right, 1000.0}},
    };
    for (const auto& c : cases) EXPECT_EQ(targetState(c.mode, c.before, c.delay), c.expected) << rawValue(c.mode).toStdString();
    for (auto d : {DockAutohideDelay::systemDefault, DockAutohideDelay::s2, DockAutohideDelay::s5, DockAutohideDelay::s10,
                   DockAutohideDelay::s20, DockAutohideDelay::never})
        for (auto e : {DockEdge::left, DockEdge::bottom, DockEdge::right})
            EXPECT_FALSE(targetState(DockCoexistMode::off, e, d).has_value());
}

TEST(DockStateTest, RawTextsMatchExactly) {
    EXPECT_EQ(dockCoexistModeFromRawValue(QStringLiteral("moveLeft")), DockCoexistMode::moveLeft);
    EXPECT_EQ(dockCoexistModeFromRawValue(QStringLiteral("MoveLeft")), std::nullopt);
    EXPECT_EQ(dockCoexistModeFromRawValue(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(dockEdgeFromRawValue(QStringLiteral("right")), DockEdge::right);
    EXPECT_EQ(dockEdgeFromRawValue(QStringLiteral("top")), std::nullopt);
    EXPECT_EQ(dockAutohideDelayFromRawValue(QStringLiteral("never")), DockAutohideDelay::never);
    EXPECT_EQ(dockAutohideDelayFromRawValue(QStringLiteral("2")), std::nullopt);
    EXPECT_EQ(seconds(DockAutohideDelay::never), 1000.0);
    EXPECT_EQ(seconds(DockAutohideDelay::systemDefault), std::nullopt);
}

TEST(DockStateTest, EqualityDistinguishesAbsentDelay) {
    EXPECT_NE((DockState{true, DockEdge::left, 2.0}), (DockState{true, DockEdge::left, {}}));
    EXPECT_NE((DockState{true, DockEdge::left, 0.0}), (DockState{true, DockEdge::left, {}}));
    EXPECT_EQ((DockState{true, DockEdge::left, 2.0}), (DockState{true, DockEdge::left, 2.0}));
    EXPECT_NE((DockState{true, DockEdge::left, 2.0}), (DockState{false, DockEdge::left, 2.0}));
}

TEST(DockStateTest, StoredFormRoundTripsAndOmitsAbsentDelay) {
    const DockState withDelay{false, DockEdge::right, 0.5};
    const DockState without{true, DockEdge::bottom, {}};
    for (const auto& s : {withDelay, without}) {
        auto data = s.encoded();
        ASSERT_TRUE(data);
        EXPECT_EQ(DockState::decode(*data), s);
    }
    auto obj = QJsonDocument::fromJson(*without.encoded()).object();
    EXPECT_FALSE(obj.contains(QStringLiteral("autohideDelay")));
    EXPECT_EQ(obj.value(QStringLiteral("orientation")).toString(), QStringLiteral("bottom"));
    EXPECT_TRUE(obj.value(QStringLiteral("autohide")).isBool());
    EXPECT_FALSE((DockState{true, DockEdge::left, std::numeric_limits<double>::infinity()}).encoded());
}

TEST(DockStateTest, DecodingTable) {
    struct Case {
        const char* json;
        std::optional<DockState> expected;
    };
    const Case cases[] = {
        {R"({"autohide":true,"orientation":"left"})", DockState{true, DockEdge::left, {}}},
        {R"({"orientation":"right","autohide":false,"autohideDelay":2})", DockState{false, DockEdge::right, 2.0}},
        {R"({"autohide":true,"orientation":"left","autohideDelay":null})", DockState{true, DockEdge::left, {}}},
        {R"({"autohide":true,"orientation":"left","extra":[1,2]})", DockState{true, DockEdge::left, {}}},
        {R"({"autohide":true,"orientation":"top"})", std::nullopt},
        {R"({"autohide":true,"orientation":"Left"})", std::nullopt},
        {R"({"autohide":true})", std::nullopt},
        {R"({"orientation":"left"})", std::nullopt},
        {R"({"autohide":1,"orientation":"left"})", std::nullopt},
        {R"({"autohide":"true","orientation":"left"})", std::nullopt},
        {R"({"autohide":true,"orientation":5})", std::nullopt},
        {R"({"autohide":true,"orientation":"left","autohideDelay":"2"})", std::nullopt},
        {R"([true,"left"])", std::nullopt},
        {R"({"autohide":true,"orientation":"left")", std::nullopt},
        {"", std::nullopt},
        {"\xff\xfe\x00garbage", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(DockState::decode(QByteArray(c.json)), c.expected) << c.json;
}

TEST(DockStateTest, HostileDataNeverCrashes) {
    QRandomGenerator rng(99);
    const QByteArray seed = *DockState{true, DockEdge::left, 2.0}.encoded();
    for (int i = 0; i < 5000; ++i) {
        QByteArray data = seed;
        const int edits = 1 + int(rng.bounded(4));
        for (int e = 0; e < edits; ++e) data[int(rng.bounded(data.size()))] = char(rng.bounded(256));
        auto s = DockState::decode(data);
        if (s) {
            EXPECT_EQ(DockState::decode(*s->encoded()), s);
        }
    }
    EXPECT_FALSE(DockState::decode(QByteArray(100000, '[')));
}

class DockSettingsTest : public services_test::ServicesTest {};

TEST_F(DockSettingsTest, EffectiveModeAndDelayFromSettings) {
    auto& d = platform::prefs::userDefaults();
    EXPECT_EQ(effectiveDockMode(d), DockCoexistMode::moveRight);
    EXPECT_EQ(revealDelaySetting(d), DockAutohideDelay::systemDefault);
    struct Case {
        QVariant manage;
        QVariant mode;
        DockCoexistMode expected;
    };
    const Case cases[] = {
        {QVariant(), QVariant(QStringLiteral("hide")), DockCoexistMode::hide},
        {QVariant(true), QVariant(QStringLiteral("Hide")), DockCoexistMode::moveRight},
        {QVariant(true), QVariant(QStringLiteral("")), DockCoexistMode::moveRight},
        {QVariant(true), QVariant(qint64(1)), DockCoexistMode::moveRight},
        {QVariant(false), QVariant(QStringLiteral("hide")), DockCoexistMode::off},
        {QVariant(qint64(0)), QVariant(QStringLiteral("moveLeft")), DockCoexistMode::moveLeft},  // not a Bool: true
        {QVariant(true), QVariant(QStringLiteral("off")), DockCoexistMode::off},
    };
    for (const auto& c : cases) {
        d.remove(QStringLiteral("dockManageEnabled"));
        d.remove(QStringLiteral("dockCoexistMode"));
        if (c.manage.isValid()) d.set(QStringLiteral("dockManageEnabled"), c.manage);
        d.set(QStringLiteral("dockCoexistMode"), c.mode);
        EXPECT_EQ(effectiveDockMode(d), c.expected) << c.mode.toString().toStdString();
    }
    d.setString(QStringLiteral("dockRevealDelay"), QStringLiteral("5"));
    EXPECT_EQ(revealDelaySetting(d), DockAutohideDelay::systemDefault);
    d.setString(QStringLiteral("dockRevealDelay"), QStringLiteral("s20"));
    EXPECT_EQ(revealDelaySetting(d), DockAutohideDelay::s20);
    d.setReal(QStringLiteral("dockRevealDelay"), 20.0);
    EXPECT_EQ(revealDelaySetting(d), DockAutohideDelay::systemDefault);
}

}  // namespace
