#include "platform/x11/x11_hotkeys.h"

#include <xcb/xinput.h>

#include <cstdlib>
#include <utility>

#include "platform/dispatch.h"
#include "platform/virtual_keys.h"

namespace platform::x11 {
namespace {

constexpr std::uint16_t relevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr std::uint32_t numLockKeysym = 0xff7f;
// The server's virtual core keyboard, where window managers place their
// XInput 2 grabs.
constexpr xcb_input_device_id_t coreKeyboard = 3;

// Whether another client holds a passive grab of the key with these
// modifiers on the root, as a core grab or an XInput 2 one (the two kinds
// never refuse each other, so a core grab of our own says nothing about the
// other kind). Each probe's grab is let go by the very next request, with no
// round trip between, so a person's key press can hardly meet it.
bool grabbedByAnother(xcb_connection_t* c, xcb_window_t root, xcb_keycode_t keycode, std::uint16_t modifiers,
                      bool core, bool xinput2) {
    if (core) {
        auto cookie = xcb_grab_key_checked(c, 1, root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_ungrab_key(c, keycode, root, modifiers);
        xcb_generic_error_t* err = xcb_request_check(c, cookie);
        const bool taken = err && err->error_code == XCB_ACCESS;
        std::free(err);
        if (taken) return true;
    }
    if (!xinput2) return false;
    const std::uint32_t mask = XCB_INPUT_XI_EVENT_MASK_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_KEY_RELEASE;
    const std::uint32_t mods = modifiers;
    auto cookie = xcb_input_xi_passive_grab_device(c, XCB_CURRENT_TIME, root, XCB_CURSOR_NONE, keycode, coreKeyboard, 1,
                                                   1, XCB_INPUT_GRAB_TYPE_KEYCODE, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                                   XCB_INPUT_GRAB_MODE_22_ASYNC, 1, &mask, &mods);
    xcb_input_xi_passive_ungrab_device(c, root, keycode, coreKeyboard, 1, XCB_INPUT_GRAB_TYPE_KEYCODE, &mods);
    std::unique_ptr<xcb_input_xi_passive_grab_device_reply_t, decltype(&std::free)> reply(
        xcb_input_xi_passive_grab_device_reply(c, cookie, nullptr), &std::free);
    // The modifiers the server could not grab come back; none when it did.
    return reply && reply->num_modifiers > 0;
}

}  // namespace

std::optional<std::uint32_t> keysymForVirtualKey(std::uint32_t keyCode) { return platform::keysymForVirtualKey(keyCode); }

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

std::optional<std::uint32_t> X11HotKeys::virtualKeyForNativeKey(std::uint32_t nativeScanCode) {
    auto* c = conn_->xcb();
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (nativeScanCode < setup->min_keycode || nativeScanCode > setup->max_keycode) return std::nullopt;
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> r(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, xcb_keycode_t(nativeScanCode), 1), nullptr),
        &std::free);
    if (!r || r->keysyms_per_keycode == 0 || xcb_get_keyboard_mapping_keysyms_length(r.get()) < 1)
        return std::nullopt;
    // The unshifted column: keycodeFor() looks there first too.
    const xcb_keysym_t sym = xcb_get_keyboard_mapping_keysyms(r.get())[0];
    return platform::virtualKeyForKeysym(sym);
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

bool X11HotKeys::hasXInput2() {
    if (!xinput2_) {
        auto* c = conn_->xcb();
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_input_id);
        std::unique_ptr<xcb_input_xi_query_version_reply_t, decltype(&std::free)> version(
            ext && ext->present ? xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 0), nullptr)
                                : nullptr,
            &std::free);
        xinput2_ = version && version->major_version >= 2;
    }
    return *xinput2_;
}

bool X11HotKeys::takenBeforeUs(xcb_keycode_t keycode, std::uint16_t modifiers) {
    auto* c = conn_->xcb();
    const bool xinput2 = hasXInput2();
    // The combination itself, as the other kind of grab.
    if (grabbedByAnother(c, conn_->root(), keycode, modifiers, false, xinput2)) return true;
    // A modifier key grabbed on its own (a manager's Super key that opens its
    // overview or its menu) turns into a grab of the whole keyboard while it
    // is held: the rest of the combination never reaches our grab. Only the
    // left-hand keys count, the ones every keyboard has: fvwm's menu on the
    // right Super key leaves the combination working from the left one.
    constexpr std::pair<std::uint16_t, std::uint32_t> leftKeys[] = {
        {XCB_MOD_MASK_SHIFT, 0xffe1}, {XCB_MOD_MASK_CONTROL, 0xffe3}, {XCB_MOD_MASK_1, 0xffe9}, {XCB_MOD_MASK_4, 0xffeb}};
    for (const auto& [bit, keysym] : leftKeys) {
        if (!(modifiers & bit)) continue;
        if (auto key = keycodeFor(keysym); key && grabbedByAnother(c, conn_->root(), *key, 0, true, xinput2)) return true;
    }
    return false;
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
    // Granted, yet another client may get every press first.
    if (!taken && !failed) taken = takenBeforeUs(*keycode, *mods);
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
