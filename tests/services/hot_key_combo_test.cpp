#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <set>

#include "platform/platform.h"
#include "services/hot_key_combo.h"

using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

struct ParseCase {
    const char* text;
    bool valid;
    std::uint32_t keyCode;
    std::uint32_t mask;
};

TEST(HotKeyComboTest, ParsingTable) {
    const ParseCase cases[] = {
        {"49:2048", true, 49, 2048},
        {"2:4096", true, 2, 4096},
        {"0:6912", true, 0, 6912},
        {"49:2049", true, 49, 2049},  // a bit outside the four members is kept
        {"4294967295:4294967295", true, 4294967295u, 4294967295u},
        {"0:0", true, 0, 0},
        {"49", false, 0, 0},
        {"49:2048:1", false, 0, 0},
        {"1::2", false, 0, 0},
        {":2048", false, 0, 0},
        {"49:", false, 0, 0},
        {":", false, 0, 0},
        {"", false, 0, 0},
        {"a:2048", false, 0, 0},
        {"49:-1", false, 0, 0},
        {"+49:2048", false, 0, 0},
        {" 49:2048", false, 0, 0},
        {"49:2048 ", false, 0, 0},
        {"4294967296:0", false, 0, 0},
        {"0:4294967296", false, 0, 0},
        {"99999999999999999999999:0", false, 0, 0},
        {"0x31:0", false, 0, 0},
        {"4.9:0", false, 0, 0},
        {"٤٩:2048", false, 0, 0},  // non-ASCII digits are not decimal digits here
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto combo = HotKeyCombo::fromRawValue(QString::fromUtf8(c.text));
        ASSERT_EQ(combo.has_value(), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(combo->keyCode, c.keyCode);
        EXPECT_EQ(combo->modifiers.rawValue, c.mask);
        EXPECT_EQ(combo->rawValue(), QString::fromUtf8(c.text));
    }
}

TEST(HotKeyComboTest, DisplayStrings) {
    struct Case {
        std::uint32_t keyCode;
        std::uint32_t mask;
        const char* shown;
        const char* inWords;  // as a Linux desktop writes it
    };
    const Case cases[] = {
        {49, 0x800, "⌥Space", "Alt+Space"},
        {2, 0x1000, "⌃D", "Ctrl+D"},
        {0, 6912, "⌃⌥⇧⌘A", "Ctrl+Alt+Shift+Super+A"},
        {0, 0x200 | 0x100, "⇧⌘A", "Shift+Super+A"},
        {49, 2049, "⌥Space", "Alt+Space"},
        {10, 0, "Key 10", "Key 10"},
        {36, 0x100, "⌘↩", "Super+Return"},
        {53, 0x1000, "⌃⎋", "Ctrl+Esc"},
        {123, 0x200, "⇧←", "Shift+Left"},
        {42, 0, "\\", "\\"},
        {50, 0x1000, "⌃`", "Ctrl+`"},
        {111, 0, "F12", "F12"},
        {65, 0x800, "⌥Key 65", "Alt+Key 65"},
        {4294967295u, 0, "Key 4294967295", "Key 4294967295"},
    };
    for (const auto& c : cases) {
        HotKeyCombo combo{c.keyCode, HotKeyModifiers{c.mask}};
        EXPECT_EQ(combo.displayString(), QString::fromUtf8(c.shown)) << c.keyCode << ":" << c.mask;
        EXPECT_EQ(combo.displayString(platform::ShortcutStyle::words), QString::fromUtf8(c.inWords))
            << c.keyCode << ":" << c.mask;
    }
}

// Where Alt+Space and Ctrl+D belong to the window manager and the terminal,
// the defaults take the Super key.
TEST(HotKeyComboTest, DefaultsFollowTheDesktopsShortcutStyle) {
    for (const auto style : {platform::ShortcutStyle::symbols, platform::ShortcutStyle::words}) {
        platform::Services services;
        services.desktop.shortcutStyle = style;
        platform::install(services);
        const bool words = style == platform::ShortcutStyle::words;
        EXPECT_EQ(HotKeyCombo::defaultStartMenu().displayString(), words ? "Super+Space" : QString::fromUtf8("⌥Space"));
        EXPECT_EQ(HotKeyCombo::defaultMinimizeAll().displayString(), words ? "Super+D" : QString::fromUtf8("⌃D"));
        platform::uninstall();
    }
}

TEST(HotKeyComboTest, KeyNameTableHasEveryNamedKeyAndNoOthers) {
    const auto& names = HotKeyCombo::keyNames();
    EXPECT_EQ(names.size(), 73u);
    // Spot checks across the groups, including the irregular digit codes.
    EXPECT_EQ(names.at(22), QStringLiteral("6"));
    EXPECT_EQ(names.at(23), QStringLiteral("5"));
    EXPECT_EQ(names.at(25), QStringLiteral("9"));
    EXPECT_EQ(names.at(28), QStringLiteral("8"));
    EXPECT_EQ(names.at(122), QStringLiteral("F1"));
    EXPECT_EQ(names.at(120), QStringLiteral("F2"));
    EXPECT_EQ(names.at(116), QStringLiteral("⇞"));
    EXPECT_EQ(names.at(53), QStringLiteral("⎋"));
    for (std::uint32_t unnamed : {10u, 52u, 54u, 55u, 56u, 57u, 58u, 59u, 65u, 82u, 102u, 104u, 110u, 112u, 127u})
        EXPECT_EQ(names.count(unnamed), 0u) << unnamed;
    // Every name is unique.
    std::set<QString> seen;
    for (const auto& [code, name] : names) EXPECT_TRUE(seen.insert(name).second) << name.toStdString();
}

// Random and hostile texts never crash, and whatever parses formats to a
// text that parses to the same combination.
TEST(HotKeyComboTest, RandomTextsParseConsistently) {
    QRandomGenerator rng(1234);
    const QString alphabet = QStringLiteral("0123456789:-+ a\u00e9\u0660");
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int len = int(rng.bounded(14));
        for (int j = 0; j < len; ++j) text += alphabet[int(rng.bounded(alphabet.size()))];
        auto combo = HotKeyCombo::fromRawValue(text);
        if (!combo) continue;
        auto again = HotKeyCombo::fromRawValue(combo->rawValue());
        ASSERT_TRUE(again.has_value()) << text.toStdString();
        EXPECT_EQ(*again, *combo);
    }
}

}  // namespace
