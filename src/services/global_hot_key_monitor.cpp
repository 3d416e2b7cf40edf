#include "platform/platform.h"
#include "services/global_hot_key_monitor.h"

#include "platform/log.h"

namespace services {

GlobalHotKeyMonitor::~GlobalHotKeyMonitor() = default;

GlobalHotKeyMonitor& GlobalHotKeyMonitor::shared() {
    static platform::SharedInstance<GlobalHotKeyMonitor> instance;
    return *instance.get([] { return std::make_shared<GlobalHotKeyMonitor>(); });
}

void GlobalHotKeyMonitor::setLastRegistrationFailed(bool failed) {
    if (lastRegistrationFailed_ == failed) return;
    lastRegistrationFailed_ = failed;
    emit lastRegistrationFailedChanged(failed);
}

void GlobalHotKeyMonitor::setLastMinimizeAllRegistrationFailed(bool failed) {
    if (lastMinimizeAllRegistrationFailed_ == failed) return;
    lastMinimizeAllRegistrationFailed_ = failed;
    emit lastMinimizeAllRegistrationFailedChanged(failed);
}

void GlobalHotKeyMonitor::start(std::function<void()> onTrigger, std::function<void()> onMinimizeAll) {
    onTrigger_ = std::move(onTrigger);
    onMinimizeAll_ = std::move(onMinimizeAll);
    if (handlerRef_) return;
    std::weak_ptr<int> alive = alive_;
    int ref = 0;
    auto status = platform::hotKeys().installHandler(
        [this, alive](platform::HotKeyID id) {
            if (alive.expired()) return;  // the monitor or this installation is gone
            handleHotKey(id);
        },
        ref);
    if (status == platform::noErr) handlerRef_ = ref;
}

bool GlobalHotKeyMonitor::registerCombo(const HotKeyCombo& combo, bool enabled, bool isMinimizeAll) {
    unregister(isMinimizeAll);
    if (!enabled) return true;
    if (!handlerRef_) return true;
    const std::uint32_t id = isMinimizeAll ? minimizeAllID : startMenuID;
    const std::uint32_t otherID = isMinimizeAll ? startMenuID : minimizeAllID;

    platform::OSStatus status = platform::noErr;
    int ref = 0;
    // One key cannot sensibly drive both shortcuts: the same combination under
    // the other id is refused as the system refuses a taken combination.
    auto other = registeredCombos_.find(otherID);
    if (other != registeredCombos_.end() && other->second == combo) {
        status = platform::eventHotKeyExistsErr;
    } else {
        status = platform::hotKeys().registerHotKey(combo.keyCode, combo.modifiers.rawValue,
                                                   platform::HotKeyID{signature, id}, ref);
    }
    if (status == platform::noErr) {
        hotKeyRefs_[id] = ref;
        registeredCombos_[id] = combo;
        return true;
    }
    platform::log(QStringLiteral("Quorvel: ") + QLatin1String(platform::hotKeys().registrationCallName()) +
                  QStringLiteral(" 失败 (") + QString::number(status) +
                  QStringLiteral(") for ") + combo.displayString());
    return false;
}

void GlobalHotKeyMonitor::unregister(bool isMinimizeAll) {
    const std::uint32_t id = isMinimizeAll ? minimizeAllID : startMenuID;
    auto it = hotKeyRefs_.find(id);
    if (it != hotKeyRefs_.end()) {
        int ref = it->second;
        hotKeyRefs_.erase(it);
        platform::hotKeys().unregisterHotKey(ref);
    }
    registeredCombos_.erase(id);
}

void GlobalHotKeyMonitor::stop() {
    for (auto& [id, ref] : hotKeyRefs_) platform::hotKeys().unregisterHotKey(ref);
    hotKeyRefs_.clear();
    registeredCombos_.clear();
    if (handlerRef_) {
        platform::hotKeys().removeHandler(*handlerRef_);
        handlerRef_.reset();
        alive_ = std::make_shared<int>(0);  // a late press through the old handler is dropped
    }
    onTrigger_ = nullptr;
    onMinimizeAll_ = nullptr;
    recordingOwner_ = nullptr;
    recordingCapture_ = nullptr;
}

std::optional<HotKeyCombo> GlobalHotKeyMonitor::registeredCombo(std::uint32_t id) const {
    auto it = registeredCombos_.find(id);
    if (it == registeredCombos_.end()) return std::nullopt;
    return it->second;
}

void GlobalHotKeyMonitor::beginRecording(const void* owner, std::function<void(HotKeyCombo)> capture) {
    recordingOwner_ = owner;
    recordingCapture_ = std::move(capture);
}

void GlobalHotKeyMonitor::endRecording(const void* owner) {
    if (recordingOwner_ != owner || owner == nullptr) return;
    recordingOwner_ = nullptr;
    recordingCapture_ = nullptr;
}

void GlobalHotKeyMonitor::handleHotKey(platform::HotKeyID hotKeyID) {
    if (hotKeyID.signature != signature) return;
    auto combo = registeredCombo(hotKeyID.id);
    if (!combo) return;
    if (hotKeyID.id != startMenuID && hotKeyID.id != minimizeAllID) return;
    if (recordingCapture_) {
        // Copy first: the capture may end the recording.
        auto capture = recordingCapture_;
        capture(*combo);
        return;
    }
    auto action = hotKeyID.id == startMenuID ? onTrigger_ : onMinimizeAll_;
    if (action) action();
}

}  // namespace services
