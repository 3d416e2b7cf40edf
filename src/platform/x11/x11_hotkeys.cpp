#include "platform/x11/x11_hotkeys.h"

#include <cstdlib>

#include "platform/dispatch.h"

namespace platform::x11 {
namespace {

constexpr std::uint16_t relevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr std::uint32_t numLockKeysym = 0xff7f;

struct KeyName {
    std::uint32_t code;
    std::uint32_t keysym;
};

// Virtual key codes of the ANSI keyboard and the key symbols they produce
// without modifiers.
constexpr KeyName virtualKeys[] = {
    {0x00, 'a'}, {0x01, 's'}, {0x02, 'd'}, {0x03, 'f'}, {0x04, 'h'}, {0x05, 'g'}, {0x06, 'z'}, {0x07, 'x'},
    {0x08, 'c'}, {0x09, 'v'}, {0x0B, 'b'}, {0x0C, 'q'}, {0x0D, 'w'}, {0x0E, 'e'}, {0x0F, 'r'}, {0x10, 'y'},
    {0x11, 't'}, {0x12, '1'}, {0x13, '2'}, {0x14, '3'}, {0x15, '4'}, {0x16, '6'}, {0x17, '5'}, {0x18, '='},
    {0x19, '9'}, {0x1A, '7'}, {0x1B, '-'}, {0x1C, '8'}, {0x1D, '0'}, {0x1E, ']'}, {0x1F, 'o'}, {0x20, 'u'},
    {0x21, '['}, {0x22, 'i'}, {0x23, 'p'}, {0x24, 0xff0d /* Return */}, {0x25, 'l'}, {0x26, 'j'},
    {0x27, '\''}, {0x28, 'k'}, {0x29, ';'}, {0x2A, '\\'}, {0x2B, ','}, {0x2C, '/'}, {0x2D, 'n'}, {0x2E, 'm'},
    {0x2F, '.'}, {0x30, 0xff09 /* Tab */}, {0x31, ' '}, {0x32, '`'}, {0x33, 0xff08 /* BackSpace */},
    {0x35, 0xff1b /* Escape */}, {0x41, 0xffae /* KP_Decimal */}, {0x43, 0xffaa /* KP_Multiply */},
    {0x45, 0xffab /* KP_Add */}, {0x4B, 0xffaf /* KP_Divide */}, {0x4C, 0xff8d /* KP_Enter */},
    {0x4E, 0xffad /* KP_Subtract */}, {0x51, 0xffbd /* KP_Equal */}, {0x52, 0xffb0}, {0x53, 0xffb1},
    {0x54, 0xffb2}, {0x55, 0xffb3}, {0x56, 0xffb4}, {0x57, 0xffb5}, {0x58, 0xffb6}, {0x59, 0xffb7},
    {0x5B, 0xffb8}, {0x5C, 0xffb9},  // KP_0 ... KP_9
    {0x60, 0xffc2 /* F5 */}, {0x61, 0xffc3 /* F6 */}, {0x62, 0xffc4 /* F7 */}, {0x63, 0xffc0 /* F3 */},
    {0x64, 0xffc5 /* F8 */}, {0x65, 0xffc6 /* F9 */}, {0x67, 0xffc8 /* F11 */}, {0x69, 0xffca /* F13 */},
    {0x6B, 0xffcb /* F14 */}, {0x6D, 0xffc7 /* F10 */}, {0x6F, 0xffc9 /* F12 */}, {0x71, 0xffcc /* F15 */},
    {0x72, 0xff63 /* Insert (Help) */}, {0x73, 0xff50 /* Home */}, {0x74, 0xff55 /* Prior */},
    {0x75, 0xffff /* Delete */}, {0x76, 0xffc1 /* F4 */}, {0x77, 0xff57 /* End */}, {0x78, 0xffbf /* F2 */},
    {0x79, 0xff56 /* Next */}, {0x7A, 0xffbe /* F1 */}, {0x7B, 0xff51 /* Left */}, {0x7C, 0xff53 /* Right */},
    {0x7D, 0xff54 /* Down */}, {0x7E, 0xff52 /* Up */},
};

}  // namespace

std::optional<std::uint32_t> keysymForVirtualKey(std::uint32_t keyCode) {
    for (const auto& k : virtualKeys)
        if (k.code == keyCode) return k.keysym;
    return std::nullopt;
}

std::optional<std::uint16_t> xModifiersFor(std::uint32_t m) {
    constexpr std::uint32_t command = 0x100, shift = 0x200, option = 0x800, control = 0x1000;
    if (m & ~(command | shift | option | control)) return std::nullopt;
    std::uint16_t x = 0;
    if (m & command) x |= XCB_MOD_MASK_4;
    if (m & shift) x |= XCB_MOD_MASK_SHIFT;
    if (m & option) x |= XCB_MOD_MASK_1;
    if (m & control) x |= XCB_MOD_MASK_CONTROL;
    return x;
}

struct X11HotKeys::Shared {
    std::mutex mutex;
    int next = 1;
    std::map<int, std::function<void(HotKeyID)>> handlers;
};

X11HotKeys::X11HotKeys(std::shared_ptr<Connection> connection)
    : conn_(std::move(connection)), shared_(std::make_shared<Shared>()) {
    conn_->addListener(this);
}

X11HotKeys::~X11HotKeys() {
    conn_->removeListener(this);
    std::lock_guard lock(mutex_);
    for (auto& [ref, grab] : grabs_) ungrab(grab);
    conn_->flush();
}

OSStatus X11HotKeys::installHandler(std::function<void(HotKeyID)> handler, int& handlerRef) {
    if (!handler) return paramErr;
    std::lock_guard lock(shared_->mutex);
    handlerRef = shared_->next++;
    shared_->handlers[handlerRef] = std::move(handler);
    return noErr;
}

void X11HotKeys::removeHandler(int handlerRef) {
    std::lock_guard lock(shared_->mutex);
    shared_->handlers.erase(handlerRef);
}

std::optional<xcb_keycode_t> X11HotKeys::keycodeFor(std::uint32_t keysym) {
    auto* c = conn_->xcb();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_keycode_t first = setup->min_keycode, last = setup->max_keycode;
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> r(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, std::uint8_t(last - first + 1)), nullptr),
        &std::free);
    if (!r || r->keysyms_per_keycode == 0) return std::nullopt;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
    const int perCode = r->keysyms_per_keycode;
    const int count = xcb_get_keyboard_mapping_keysyms_length(r.get());
    // The unshifted column first, so "1" is the key that gives 1, not "!".
    for (int column = 0; column < std::min(perCode, 2); ++column)
        for (int code = first; code <= last; ++code) {
            int index = (code - first) * perCode + column;
            if (index < count && syms[index] == keysym) return xcb_keycode_t(code);
        }
    return std::nullopt;
}

std::uint16_t X11HotKeys::numLockMask() {
    auto* c = conn_->xcb();
    auto numLock = keycodeFor(numLockKeysym);
    if (!numLock) return XCB_MOD_MASK_2;
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> r(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr), &std::free);
    if (!r) return XCB_MOD_MASK_2;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(r.get());
    const int perModifier = r->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int k = 0; k < perModifier; ++k)
            if (codes[mod * perModifier + k] == *numLock) return std::uint16_t(1u << mod);
    return XCB_MOD_MASK_2;
}

std::vector<std::uint16_t> X11HotKeys::lockVariants() {
    const std::uint16_t num = numLockMask();
    return {0, XCB_MOD_MASK_LOCK, num, std::uint16_t(XCB_MOD_MASK_LOCK | num)};
}

void X11HotKeys::ungrab(const Grab& grab) {
    for (auto lockBits : lockVariants())
        xcb_ungrab_key(conn_->xcb(), grab.keycode, conn_->root(), std::uint16_t(grab.modifiers | lockBits));
}

OSStatus X11HotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id, int& hotKeyRef) {
    auto keysym = keysymForVirtualKey(keyCode);
    auto mods = xModifiersFor(modifiers);
    if (!keysym || !mods) return eventHotKeyInvalidErr;
    auto keycode = keycodeFor(*keysym);
    if (!keycode) return eventHotKeyInvalidErr;
    std::lock_guard lock(mutex_);
    for (auto& [ref, g] : grabs_)
        if (g.keycode == *keycode && g.modifiers == *mods) return eventHotKeyExistsErr;
    // Grab every lock variant and check each at once: another client's grab
    // of the same combination answers with an access error.
    std::vector<std::uint16_t> done;
    bool taken = false, failed = false;
    for (auto lockBits : lockVariants()) {
        const std::uint16_t m = std::uint16_t(*mods | lockBits);
        auto cookie = xcb_grab_key_checked(conn_->xcb(), 1, conn_->root(), m, *keycode, XCB_GRAB_MODE_ASYNC,
                                           XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* err = xcb_request_check(conn_->xcb(), cookie)) {
            (err->error_code == XCB_ACCESS ? taken : failed) = true;
            std::free(err);
            break;
        }
        done.push_back(m);
    }
    if (taken || failed) {
        for (auto m : done) xcb_ungrab_key(conn_->xcb(), *keycode, conn_->root(), m);
        conn_->flush();
        return taken ? eventHotKeyExistsErr : eventHotKeyInvalidErr;
    }
    hotKeyRef = nextRef_++;
    grabs_[hotKeyRef] = Grab{*keycode, *mods, id};
    return noErr;
}

OSStatus X11HotKeys::unregisterHotKey(int hotKeyRef) {
    std::lock_guard lock(mutex_);
    auto it = grabs_.find(hotKeyRef);
    if (it == grabs_.end()) return eventHotKeyInvalidErr;
    ungrab(it->second);
    conn_->flush();
    grabs_.erase(it);
    return noErr;
}

void X11HotKeys::xEvent(const xcb_generic_event_t* event) {
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return;
    auto* k = reinterpret_cast<const xcb_key_press_event_t*>(event);
    const std::uint16_t mods = k->state & relevantModifiers;
    std::optional<HotKeyID> hit;
    {
        std::lock_guard lock(mutex_);
        for (auto& [ref, g] : grabs_)
            if (g.keycode == k->detail && g.modifiers == mods) hit = g.id;
    }
    if (!hit) return;
    conn_->postToMain([shared = shared_, id = *hit] {
        std::vector<std::function<void(HotKeyID)>> targets;
        {
            std::lock_guard lock(shared->mutex);
            for (auto& [ref, h] : shared->handlers) targets.push_back(h);
        }
        for (auto& h : targets) h(id);
    });
}

}  // namespace platform::x11
