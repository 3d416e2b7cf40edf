#pragma once
// System-wide hot keys.
#include <cstdint>
#include <functional>
#include <optional>

namespace platform {

using OSStatus = std::int32_t;
constexpr OSStatus noErr = 0;
constexpr OSStatus eventHotKeyExistsErr = -9878;  // the combination is taken
constexpr OSStatus eventHotKeyInvalidErr = -9879;
constexpr OSStatus paramErr = -50;

struct HotKeyID {
    std::uint32_t signature = 0;  // four-character code
    std::uint32_t id = 0;
};

constexpr std::uint32_t fourCharCode(const char (&s)[5]) {
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
           (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

class HotKeys {
public:
    virtual ~HotKeys() = default;
    // The handler receives the id of a pressed hot key, on the main thread.
    virtual OSStatus installHandler(std::function<void(HotKeyID)> handler, int& handlerRef) = 0;
    virtual void removeHandler(int handlerRef) = 0;
    // keyCode: a virtual key code; modifiers: Carbon mask (cmd 0x100,
    // shift 0x200, option 0x800, control 0x1000).
    virtual OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id, int& hotKeyRef) = 0;
    virtual OSStatus unregisterHotKey(int hotKeyRef) = 0;
    // The name of the call registerHotKey makes, for the log line of a
    // refused registration.
    virtual const char* registrationCallName() const { return "RegisterEventHotKey"; }
    // The virtual key code of a physical key as the windowing system numbers
    // it (the native scan code of a key event), read through the keyboard
    // mapping the registrations use; absent when the backend has no such
    // numbering or the key has no virtual code.
    virtual std::optional<std::uint32_t> virtualKeyForNativeKey(std::uint32_t /*nativeScanCode*/) {
        return std::nullopt;
    }
};

HotKeys& hotKeys();

}  // namespace platform
