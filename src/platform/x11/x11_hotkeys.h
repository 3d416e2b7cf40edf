#pragma once
// System-wide hot keys on a live X11 desktop: key grabs on the root window.
// The stored key codes are the system's virtual key codes (the ANSI layout)
// and its modifier mask; both are mapped to X key symbols and modifiers, and
// each combination is grabbed with every lock-key variant (Caps Lock, Num
// Lock) so it fires whatever locks are on. A grab the server grants is
// still refused when another client's grab gets the presses first (a window
// manager's Super key), as a taken combination is.
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/hotkeys.h"
#include "platform/x11/x11_connection.h"

namespace platform::x11 {

// The X key symbol of a virtual key code; absent for codes we do not map.
std::optional<std::uint32_t> keysymForVirtualKey(std::uint32_t keyCode);
// X modifier bits (Shift, Control, Mod1 = Alt, Mod4 = Super) of a mask
// (command 0x100, shift 0x200, option 0x800, control 0x1000); absent when
// the mask holds other bits.
std::optional<std::uint16_t> xModifiersFor(std::uint32_t carbonModifiers);

class X11HotKeys : public HotKeys, public EventListener {
public:
    explicit X11HotKeys(std::shared_ptr<Connection> connection);
    ~X11HotKeys() override;

    OSStatus installHandler(std::function<void(HotKeyID)> handler, int& handlerRef) override;
    void removeHandler(int handlerRef) override;
    OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id, int& hotKeyRef) override;
    OSStatus unregisterHotKey(int hotKeyRef) override;
    const char* registrationCallName() const override { return "xcb_grab_key"; }
    // The key's unshifted symbol in the server's keyboard mapping, through
    // the same table registerHotKey maps with.
    std::optional<std::uint32_t> virtualKeyForNativeKey(std::uint32_t nativeScanCode) override;

    void xEvent(const xcb_generic_event_t* event) override;

private:
    struct Grab {
        xcb_keycode_t keycode = 0;
        std::uint16_t modifiers = 0;
        HotKeyID id;
    };
    struct Shared;
    std::optional<xcb_keycode_t> keycodeFor(std::uint32_t keysym);
    std::uint16_t numLockMask();
    std::vector<std::uint16_t> lockVariants();
    // Whether another client's grab takes the combination's presses before
    // ours: an XInput 2 grab of it (which a core grab is not refused by), or
    // a grab of the left-hand key of one of its modifiers alone.
    bool takenBeforeUs(xcb_keycode_t keycode, std::uint16_t modifiers);
    bool hasXInput2();
    void ungrab(const Grab& grab);

    std::shared_ptr<Connection> conn_;
    std::shared_ptr<Shared> shared_;
    std::mutex mutex_;
    std::map<int, Grab> grabs_;
    int nextRef_ = 1;
    std::optional<bool> xinput2_;
};

}  // namespace platform::x11
