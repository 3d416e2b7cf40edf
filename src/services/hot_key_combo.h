#pragma once
// A global shortcut as the system's hot-key registration takes it: a virtual
// key code and a Carbon modifier mask, with its stored text form and the
// text shown to the user.
#include <QString>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "platform/desktop_traits.h"

namespace services {

// A set of modifier flags over one 32-bit mask. Bits other than the four
// named ones are carried along unchanged (stored, registered, compared) but
// never shown.
struct HotKeyModifiers {
    std::uint32_t rawValue = 0;

    static constexpr std::uint32_t commandBit = 0x100;
    static constexpr std::uint32_t shiftBit = 0x200;
    static constexpr std::uint32_t optionBit = 0x800;
    static constexpr std::uint32_t controlBit = 0x1000;

    static constexpr HotKeyModifiers command() { return {commandBit}; }
    static constexpr HotKeyModifiers shift() { return {shiftBit}; }
    static constexpr HotKeyModifiers option() { return {optionBit}; }
    static constexpr HotKeyModifiers control() { return {controlBit}; }

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(HotKeyModifiers other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr bool isSubset(HotKeyModifiers of) const { return (rawValue & ~of.rawValue) == 0; }
    constexpr bool isDisjoint(HotKeyModifiers with) const { return (rawValue & with.rawValue) == 0; }
    constexpr HotKeyModifiers unite(HotKeyModifiers o) const { return {rawValue | o.rawValue}; }
    constexpr HotKeyModifiers intersection(HotKeyModifiers o) const { return {rawValue & o.rawValue}; }
    constexpr HotKeyModifiers subtracting(HotKeyModifiers o) const { return {rawValue & ~o.rawValue}; }
    constexpr HotKeyModifiers symmetricDifference(HotKeyModifiers o) const { return {rawValue ^ o.rawValue}; }
    constexpr HotKeyModifiers operator|(HotKeyModifiers o) const { return unite(o); }
    constexpr bool operator==(const HotKeyModifiers&) const = default;
};

struct HotKeyCombo {
    std::uint32_t keyCode = 0;
    HotKeyModifiers modifiers;

    bool operator==(const HotKeyCombo&) const = default;

    // "<key code>:<modifier mask>", both decimal, e.g. "49:2048".
    QString rawValue() const;
    // Parses the text form; absent for anything but two non-empty decimal
    // numbers that fit in 32 bits, separated by one colon.
    static std::optional<HotKeyCombo> fromRawValue(const QString& text);
    // The combination as the installed desktop writes it (its shortcut style).
    QString displayString() const;
    // symbols: modifier symbols in the order control, option, shift, command,
    // then the key name: "⌥Space", "⇧⌘A". words: modifier names in the order
    // Ctrl, Alt, Shift, Super joined by '+', then the key's name in words:
    // "Alt+Space", "Shift+Super+A", "Ctrl+Return".
    QString displayString(platform::ShortcutStyle style) const;
    // The name of the key alone; "Key <code>" for codes without a name.
    QString keyName() const;
    QString keyName(platform::ShortcutStyle style) const;

    // The default shortcuts on the installed desktop: Option-Space and
    // Control-D where those are free, else Super+Space and Super+D (the keys
    // Linux desktops give such actions; Alt+Space is the window manager's
    // window menu and Ctrl+D the terminal's end of input).
    static HotKeyCombo defaultStartMenu();
    static HotKeyCombo defaultMinimizeAll();
    // Key code to name, built once and never changed.
    static const std::unordered_map<std::uint32_t, QString>& keyNames();
};

}  // namespace services
