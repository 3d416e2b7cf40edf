#include "services/hot_key_combo.h"

#include <QStringList>
#include <limits>

namespace services {
namespace {

// A non-empty run of ASCII digits whose value fits in 32 bits. QString's own
// number parsing accepts signs and surrounding spaces, which the text form
// does not allow.
std::optional<std::uint32_t> parseDecimal(const QString& piece) {
    if (piece.isEmpty()) return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : piece) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + std::uint64_t(c.unicode() - u'0');
        if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    }
    return std::uint32_t(value);
}

}  // namespace

QString HotKeyCombo::rawValue() const {
    return QString::number(keyCode) + u':' + QString::number(modifiers.rawValue);
}

std::optional<HotKeyCombo> HotKeyCombo::fromRawValue(const QString& text) {
    const QStringList pieces = text.split(u':', Qt::KeepEmptyParts);
    if (pieces.size() != 2) return std::nullopt;
    auto key = parseDecimal(pieces[0]);
    auto mask = parseDecimal(pieces[1]);
    if (!key || !mask) return std::nullopt;
    return HotKeyCombo{*key, HotKeyModifiers{*mask}};
}

QString HotKeyCombo::displayString() const { return displayString(platform::desktopTraits().shortcutStyle); }

QString HotKeyCombo::displayString(platform::ShortcutStyle style) const {
    QString out;
    if (style == platform::ShortcutStyle::words) {
        if (modifiers.contains(HotKeyModifiers::control())) out += QStringLiteral("Ctrl+");
        if (modifiers.contains(HotKeyModifiers::option())) out += QStringLiteral("Alt+");
        if (modifiers.contains(HotKeyModifiers::shift())) out += QStringLiteral("Shift+");
        if (modifiers.contains(HotKeyModifiers::command())) out += QStringLiteral("Super+");
        return out + keyName(style);
    }
    if (modifiers.contains(HotKeyModifiers::control())) out += QStringLiteral("⌃");
    if (modifiers.contains(HotKeyModifiers::option())) out += QStringLiteral("⌥");
    if (modifiers.contains(HotKeyModifiers::shift())) out += QStringLiteral("⇧");
    if (modifiers.contains(HotKeyModifiers::command())) out += QStringLiteral("⌘");
    return out + keyName(style);
}

QString HotKeyCombo::keyName() const { return keyName(platform::desktopTraits().shortcutStyle); }

QString HotKeyCombo::keyName(platform::ShortcutStyle style) const {
    if (style == platform::ShortcutStyle::words) {
        // The keys whose names are symbols, in the words a Linux desktop uses.
        static const std::unordered_map<std::uint32_t, QString> words = {
            {36, QStringLiteral("Return")},  {48, QStringLiteral("Tab")},      {51, QStringLiteral("Backspace")},
            {53, QStringLiteral("Esc")},     {117, QStringLiteral("Del")},     {123, QStringLiteral("Left")},
            {124, QStringLiteral("Right")},  {125, QStringLiteral("Down")},    {126, QStringLiteral("Up")},
            {115, QStringLiteral("Home")},   {119, QStringLiteral("End")},     {116, QStringLiteral("PgUp")},
            {121, QStringLiteral("PgDown")},
        };
        if (auto it = words.find(keyCode); it != words.end()) return it->second;
    }
    const auto& names = keyNames();
    auto it = names.find(keyCode);
    if (it != names.end()) return it->second;
    return QStringLiteral("Key ") + QString::number(keyCode);
}

HotKeyCombo HotKeyCombo::defaultStartMenu() {
    if (platform::desktopTraits().shortcutStyle == platform::ShortcutStyle::words)
        return HotKeyCombo{49, HotKeyModifiers::command()};
    return HotKeyCombo{49, HotKeyModifiers::option()};
}

HotKeyCombo HotKeyCombo::defaultMinimizeAll() {
    if (platform::desktopTraits().shortcutStyle == platform::ShortcutStyle::words)
        return HotKeyCombo{2, HotKeyModifiers::command()};
    return HotKeyCombo{2, HotKeyModifiers::control()};
}

const std::unordered_map<std::uint32_t, QString>& HotKeyCombo::keyNames() {
    static const std::unordered_map<std::uint32_t, QString> table = [] {
        std::unordered_map<std::uint32_t, QString> t;
        auto add = [&t](std::uint32_t code, const char* name) { t.emplace(code, QString::fromUtf8(name)); };
        // Letters
        add(0, "A"); add(1, "S"); add(2, "D"); add(3, "F"); add(4, "H"); add(5, "G"); add(6, "Z");
        add(7, "X"); add(8, "C"); add(9, "V"); add(11, "B"); add(12, "Q"); add(13, "W"); add(14, "E");
        add(15, "R"); add(16, "Y"); add(17, "T"); add(31, "O"); add(32, "U"); add(34, "I"); add(35, "P");
        add(37, "L"); add(38, "J"); add(40, "K"); add(45, "N"); add(46, "M");
        // Digits
        add(18, "1"); add(19, "2"); add(20, "3"); add(21, "4"); add(23, "5"); add(22, "6");
        add(26, "7"); add(28, "8"); add(25, "9"); add(29, "0");
        // Punctuation
        add(24, "="); add(27, "-"); add(30, "]"); add(33, "["); add(39, "'"); add(41, ";");
        add(42, "\\"); add(43, ","); add(44, "/"); add(47, "."); add(50, "`");
        // Special keys
        add(49, "Space"); add(36, "↩"); add(48, "⇥"); add(51, "⌫"); add(53, "⎋"); add(117, "⌦");
        add(123, "←"); add(124, "→"); add(125, "↓"); add(126, "↑");
        add(115, "↖"); add(119, "↘"); add(116, "⇞"); add(121, "⇟");
        // Function keys
        add(122, "F1"); add(120, "F2"); add(99, "F3"); add(118, "F4"); add(96, "F5"); add(97, "F6");
        add(98, "F7"); add(100, "F8"); add(101, "F9"); add(109, "F10"); add(103, "F11"); add(111, "F12");
        return t;
    }();
    return table;
}

}  // namespace services
