#include "platform/sim/sim_hotkeys.h"

namespace platform::sim {
namespace {
constexpr std::uint32_t modifierMask = 0x100 | 0x200 | 0x800 | 0x1000;

QString fourCC(std::uint32_t code) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char((code >> shift) & 0xff);
        s += (c >= 32 && c < 127) ? QChar(c) : QChar('?');
    }
    return s;
}
}  // namespace

OSStatus SimHotKeys::installHandler(std::function<void(HotKeyID)> handler, int& handlerRef) {
    std::lock_guard lock(core_->mutex);
    if (!handler) return paramErr;
    handlerRef = core_->nextToken++;
    core_->hotKeyHandlers[handlerRef] = std::move(handler);
    core_->log(QStringLiteral("hotkey.installHandler ref=%1").arg(handlerRef));
    return noErr;
}

void SimHotKeys::removeHandler(int handlerRef) {
    std::lock_guard lock(core_->mutex);
    if (core_->hotKeyHandlers.erase(handlerRef))
        core_->log(QStringLiteral("hotkey.removeHandler ref=%1").arg(handlerRef));
}

OSStatus SimHotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id, int& hotKeyRef) {
    std::lock_guard lock(core_->mutex);
    OSStatus status = noErr;
    const std::uint32_t mods = modifiers & modifierMask;
    if (keyCode > 0xff) {
        status = eventHotKeyInvalidErr;
    } else if (core_->hotKeyStatusOverride) {
        status = *core_->hotKeyStatusOverride;
    } else if (core_->hotKeysTakenElsewhere.count({keyCode, mods})) {
        status = eventHotKeyExistsErr;
    } else {
        for (auto& [ref, reg] : core_->hotKeys) {
            if (reg.keyCode == keyCode && reg.modifiers == mods &&
                (reg.id.signature != id.signature || reg.id.id != id.id)) {
                status = eventHotKeyExistsErr;
                break;
            }
        }
    }
    int ref = 0;
    if (status == noErr) {
        ref = core_->nextToken++;
        core_->hotKeys[ref] = HotKeyRegistration{keyCode, mods, id};
        hotKeyRef = ref;
    }
    core_->log(QStringLiteral("hotkey.register key=%1 mods=0x%2 id=%3/%4 -> %5")
                   .arg(keyCode)
                   .arg(mods, 0, 16)
                   .arg(fourCC(id.signature))
                   .arg(id.id)
                   .arg(status));
    return status;
}

OSStatus SimHotKeys::unregisterHotKey(int hotKeyRef) {
    std::lock_guard lock(core_->mutex);
    if (!core_->hotKeys.erase(hotKeyRef)) return eventHotKeyInvalidErr;
    core_->log(QStringLiteral("hotkey.unregister ref=%1").arg(hotKeyRef));
    return noErr;
}

bool SimHotKeys::press(std::uint32_t keyCode, std::uint32_t modifiers) {
    std::lock_guard lock(core_->mutex);
    const std::uint32_t mods = modifiers & modifierMask;
    std::vector<HotKeyID> ids;
    for (auto& [ref, reg] : core_->hotKeys) {
        if (reg.keyCode != keyCode || reg.modifiers != mods) continue;
        bool seen = false;
        for (auto& i : ids) seen = seen || (i.signature == reg.id.signature && i.id == reg.id.id);
        if (!seen) ids.push_back(reg.id);
    }
    if (ids.empty()) return false;
    std::weak_ptr<Core> weak = core_;
    for (auto& [token, handler] : core_->hotKeyHandlers) {
        int t = token;
        for (auto id : ids) {
            core_->onMain([weak, t, id] {
                auto core = weak.lock();
                if (!core) return;
                std::function<void(HotKeyID)> h;
                {
                    std::lock_guard l(core->mutex);
                    auto it = core->hotKeyHandlers.find(t);
                    if (it == core->hotKeyHandlers.end()) return;
                    h = it->second;
                }
                h(id);
            });
        }
    }
    return true;
}

}  // namespace platform::sim
