#include <gtest/gtest.h>

#include <QDateTime>

#include "core/settings_model.h"
#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"

using namespace platform;
using prefs::Kind;

namespace {

struct SettingsDefaults : ::testing::Test {
    void SetUp() override {
        Services s;
        s.dispatcher = std::make_shared<sim::ManualDispatcher>();
        s.preferences = std::make_shared<prefs::MemoryBackend>();
        install(s);
    }
    void TearDown() override { uninstall(); }
    prefs::Domain& defaults() { return prefs::userDefaults(); }
};

template <typename E>
void expectRawValuesRoundTrip(const std::vector<const char*>& names) {
    const auto& all = allCases<E>();
    ASSERT_EQ(all.size(), names.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(rawValue(all[i]), QString::fromLatin1(names[i]));
        EXPECT_EQ(fromRawValue<E>(QString::fromLatin1(names[i])), all[i]);
    }
}

// One value of every stored kind, to store where another kind belongs.
std::vector<std::pair<Kind, QVariant>> sampleOfEveryKind() {
    return {
        {Kind::boolean, QVariant(true)},
        {Kind::integer, QVariant(qint64(1))},
        {Kind::real, QVariant(1.0)},
        {Kind::text, QVariant(QStringLiteral("1"))},
        {Kind::data, QVariant(QByteArray("1"))},
        {Kind::date, QVariant(QDateTime::fromSecsSinceEpoch(1, Qt::UTC))},
        {Kind::array, QVariant(QVariantList{QStringLiteral("1")})},
        {Kind::dictionary, QVariant(QVariantMap{{QStringLiteral("1"), true}})},
    };
}

}  // namespace

TEST(SettingsEnums, RawValuesAreTheCaseNamesInDeclarationOrder) {
    expectRawValuesRoundTrip<AppearanceMode>({"system", "light", "dark", "neoSilver", "neoBlush", "neoCitrus", "neoIndigo"});
    expectRawValuesRoundTrip<SelectionColor>({"darkGray", "lightGray", "blue", "burgundy", "blush", "cyan", "terminalGreen",
                                              "amber", "cyberGinger", "deepPurple"});
    expectRawValuesRoundTrip<StartIconShape>({"square", "roundedSquare", "circle"});
    expectRawValuesRoundTrip<AppLanguage>({"system", "english", "simplifiedChinese"});
    expectRawValuesRoundTrip<BarHeight>({"narrow", "medium", "tall"});
}

TEST(SettingsEnums, ParsingIsExactWithoutCaseFoldingOrTrimming) {
    for (const char* text : {"English", "ENGLISH", " english", "english ", "", "simplified_chinese", "zh-Hans"})
        EXPECT_EQ(fromRawValue<AppLanguage>(QString::fromLatin1(text)), std::nullopt) << text;
    for (const char* text : {"Dark", "dark\n", "neosilver", "auto"})
        EXPECT_EQ(fromRawValue<AppearanceMode>(QString::fromLatin1(text)), std::nullopt) << text;
    for (const char* text : {"green", "Blue", "darkgray"})
        EXPECT_EQ(fromRawValue<SelectionColor>(QString::fromLatin1(text)), std::nullopt) << text;
    for (const char* text : {"rounded", "Circle", "roundedsquare"})
        EXPECT_EQ(fromRawValue<StartIconShape>(QString::fromLatin1(text)), std::nullopt) << text;
    for (const char* text : {"Medium", "large", "34"})
        EXPECT_EQ(fromRawValue<BarHeight>(QString::fromLatin1(text)), std::nullopt) << text;
}

TEST(SettingsEnums, AppearanceModesMapToAnAppearanceAndThemeColour) {
    struct Row {
        AppearanceMode mode;
        std::optional<Appearance> appearance;
        bool theme;
    };
    const Row rows[] = {
        {AppearanceMode::system, std::nullopt, false},         {AppearanceMode::light, Appearance::aqua, false},
        {AppearanceMode::dark, Appearance::darkAqua, false},    {AppearanceMode::neoSilver, Appearance::aqua, true},
        {AppearanceMode::neoBlush, Appearance::aqua, true},     {AppearanceMode::neoCitrus, Appearance::aqua, true},
        {AppearanceMode::neoIndigo, Appearance::darkAqua, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(rawValue(r.mode).toStdString());
        EXPECT_EQ(appearanceFor(r.mode), r.appearance);
        EXPECT_EQ(hasThemeColor(r.mode), r.theme);
    }
}

TEST(SettingsKeys, TheTableNamesEveryKeyOnceWithADefaultOfItsKind) {
    QStringList seen;
    for (const auto& given : settings::keyTable()) {
        SCOPED_TRACE(given.key.toStdString());
        EXPECT_FALSE(seen.contains(given.key));
        seen << given.key;
        EXPECT_EQ(settings::findKey(given.key), &given);
        if (!given.defaultValue.isValid()) continue;
        if (given.kind == Kind::array)
            EXPECT_EQ(given.defaultValue.typeId(), QMetaType::QStringList);
        else
            EXPECT_EQ(prefs::kindOf(given.defaultValue), given.kind);
    }
    EXPECT_EQ(seen.size(), 40);
    EXPECT_EQ(settings::findKey(QStringLiteral("noSuchKey")), nullptr);
}

TEST_F(SettingsDefaults, MissingKeysReadAsTheTableDefaults) {
    EXPECT_EQ(settings::readString(settings::keys::appearanceMode), QStringLiteral("system"));
    EXPECT_EQ(settings::readInteger(settings::keys::appearanceTransparency), 3);
    EXPECT_EQ(settings::readString(settings::keys::appearanceStartIconSymbol), QStringLiteral("square.grid.2x2.fill"));
    EXPECT_TRUE(settings::readBool(settings::keys::appearancePetFollowsPointer));
    EXPECT_FALSE(settings::readBool(settings::keys::appearanceStartIconUseCustom));
    EXPECT_EQ(settings::readOptionalString(settings::keys::appearanceStartPet), std::nullopt);
    EXPECT_EQ(settings::readString(settings::keys::appearanceStartPet), QString());
    EXPECT_EQ(settings::readString(settings::keys::startMenuHotKeyCombo), QStringLiteral("49:2048"));
    EXPECT_EQ(settings::readString(settings::keys::minimizeAllHotKeyCombo), QStringLiteral("2:4096"));
    EXPECT_EQ(settings::readString(settings::keys::dockCoexistMode), QStringLiteral("moveRight"));
    EXPECT_EQ(settings::readString(settings::keys::dockRevealDelay), QStringLiteral("systemDefault"));
    EXPECT_EQ(settings::readString(settings::keys::interactionModel), QStringLiteral("perWindow"));
    EXPECT_EQ(settings::readString(settings::keys::barDisplayMode), QStringLiteral("allDisplays"));
    EXPECT_EQ(settings::readData(settings::keys::dockSavedOriginalStateV2), std::nullopt);
    EXPECT_TRUE(settings::readStringArray(settings::keys::pinnedBundleIDs).isEmpty());
    EXPECT_FALSE(settings::readBool(settings::keys::tbdbg));
    EXPECT_EQ(settings::readAppearanceMode(), AppearanceMode::system);
    EXPECT_EQ(settings::readSelectionColor(), SelectionColor::blue);
    EXPECT_EQ(settings::readStartIconShape(), StartIconShape::roundedSquare);
    EXPECT_EQ(settings::readAppLanguage(), AppLanguage::system);
    EXPECT_EQ(settings::readBarHeight(), BarHeight::medium);
    // Reading writes nothing.
    EXPECT_TRUE(defaults().keys().isEmpty());
}

TEST_F(SettingsDefaults, AValueOfAnyOtherKindReadsAsTheDefault) {
    // For every key and every kind that is not the key's own: store it, read the default.
    for (const auto& given : settings::keyTable()) {
        for (const auto& [kind, value] : sampleOfEveryKind()) {
            if (kind == given.kind) continue;
            SCOPED_TRACE(given.key.toStdString() + " holding kind " + std::to_string(int(kind)));
            ASSERT_TRUE(defaults().set(given.key, value));
            switch (given.kind) {
                case Kind::boolean: EXPECT_EQ(settings::readBool(given.key), given.defaultValue.toBool()); break;
                case Kind::integer: EXPECT_EQ(settings::readInteger(given.key), given.defaultValue.toLongLong()); break;
                case Kind::text:
                    EXPECT_EQ(settings::readOptionalString(given.key),
                              given.defaultValue.isValid() ? std::optional(given.defaultValue.toString()) : std::nullopt);
                    break;
                case Kind::data: EXPECT_EQ(settings::readData(given.key), std::nullopt); break;
                case Kind::array: EXPECT_EQ(settings::readStringArray(given.key), QStringList()); break;
                default: ADD_FAILURE() << "unexpected kind in the table";
            }
        }
        defaults().remove(given.key);
    }
}

TEST_F(SettingsDefaults, StoredValuesOfTheRightKindAreReadAsStored) {
    defaults().setBool(settings::keys::trayShowDate, false);
    defaults().setInteger(settings::keys::appearanceTransparency, 5);
    defaults().setString(settings::keys::appearanceStartPet, QStringLiteral("cat"));
    defaults().setStringArray(settings::keys::pinnedBundleIDs, {QStringLiteral("a"), QStringLiteral("b")});
    defaults().set(settings::keys::dockSavedOriginalStateV2, QVariant(QByteArray("state")));
    EXPECT_FALSE(settings::readBool(settings::keys::trayShowDate));
    EXPECT_EQ(settings::readInteger(settings::keys::appearanceTransparency), 5);
    EXPECT_EQ(settings::readOptionalString(settings::keys::appearanceStartPet), QStringLiteral("cat"));
    EXPECT_EQ(settings::readStringArray(settings::keys::pinnedBundleIDs), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(settings::readData(settings::keys::dockSavedOriginalStateV2), QByteArray("state"));
    // An array holding anything but text is not a text array.
    defaults().set(settings::keys::blacklistedBundleIDs, QVariant(QVariantList{QStringLiteral("a"), qint64(2)}));
    EXPECT_TRUE(settings::readStringArray(settings::keys::blacklistedBundleIDs).isEmpty());
}

TEST_F(SettingsDefaults, EnumSettingsNamingNoCaseReadAsTheirDefault) {
    struct Row {
        QString key;
        QString stored;
        std::function<QString()> read;
        QString expected;
    };
    const Row rows[] = {
        {settings::keys::appearanceSelectionColor, QStringLiteral("green"), [] { return rawValue(settings::readSelectionColor()); }, QStringLiteral("blue")},
        {settings::keys::appearanceSelectionColor, QStringLiteral("amber"), [] { return rawValue(settings::readSelectionColor()); }, QStringLiteral("amber")},
        {settings::keys::appearanceMode, QStringLiteral("Dark"), [] { return rawValue(settings::readAppearanceMode()); }, QStringLiteral("system")},
        {settings::keys::appearanceMode, QStringLiteral("neoCitrus"), [] { return rawValue(settings::readAppearanceMode()); }, QStringLiteral("neoCitrus")},
        {settings::keys::appearanceStartIconShape, QStringLiteral("oval"), [] { return rawValue(settings::readStartIconShape()); }, QStringLiteral("roundedSquare")},
        {settings::keys::appearanceStartIconShape, QStringLiteral("circle"), [] { return rawValue(settings::readStartIconShape()); }, QStringLiteral("circle")},
        {settings::keys::appLanguage, QStringLiteral("English"), [] { return rawValue(settings::readAppLanguage()); }, QStringLiteral("system")},
        {settings::keys::appearanceBarHeight, QStringLiteral("Tall"), [] { return rawValue(settings::readBarHeight()); }, QStringLiteral("medium")},
        {settings::keys::appearanceBarHeight, QStringLiteral("narrow"), [] { return rawValue(settings::readBarHeight()); }, QStringLiteral("narrow")},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE((r.key + QStringLiteral("=") + r.stored).toStdString());
        defaults().setString(r.key, r.stored);
        EXPECT_EQ(r.read(), r.expected);
    }
    // "neoCitrus" gives the light appearance and a theme colour.
    defaults().setString(settings::keys::appearanceMode, QStringLiteral("neoCitrus"));
    EXPECT_EQ(appearanceFor(settings::readAppearanceMode()), Appearance::aqua);
    EXPECT_TRUE(hasThemeColor(settings::readAppearanceMode()));
}
