#pragma once
// The two system-wide shortcuts: the start menu (id 1) and minimise all
// (id 2). Registers them with the platform's hot-key service, dispatches
// presses to their actions, or to the shortcut recorder while it records.
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/hotkeys.h"
#include "services/hot_key_combo.h"

namespace services {

class GlobalHotKeyMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint32_t signature = platform::fourCharCode("QvHk");
    static constexpr std::uint32_t startMenuID = 1;
    static constexpr std::uint32_t minimizeAllID = 2;

    GlobalHotKeyMonitor() = default;
    ~GlobalHotKeyMonitor() override;
    static GlobalHotKeyMonitor& shared();

    bool lastRegistrationFailed() const { return lastRegistrationFailed_; }
    bool lastMinimizeAllRegistrationFailed() const { return lastMinimizeAllRegistrationFailed_; }
    void setLastRegistrationFailed(bool failed);
    void setLastMinimizeAllRegistrationFailed(bool failed);

    // Replaces both actions; installs the hot-key handler once.
    void start(std::function<void()> onTrigger, std::function<void()> onMinimizeAll);
    // True when the shortcut is in force, not wanted, or the monitor is not
    // started; false when the system refused it. Whatever was registered
    // under the shortcut's id is released first.
    bool registerCombo(const HotKeyCombo& combo, bool enabled, bool isMinimizeAll);
    void unregister(bool isMinimizeAll);
    // Unregisters everything, removes the handler and forgets the actions
    // and any recording; the failure flags keep their values.
    void stop();

    bool isStarted() const { return handlerRef_.has_value(); }
    std::optional<HotKeyCombo> registeredCombo(std::uint32_t id) const;

    // The shortcut recorder that is recording now (never dereferenced, only
    // compared) and where a pressed registered shortcut goes meanwhile.
    const void* recordingOwner() const { return recordingOwner_; }
    void beginRecording(const void* owner, std::function<void(HotKeyCombo)> capture);
    // Clears the hand-off, but only when `owner` is the one recording.
    void endRecording(const void* owner);

    // A pressed hot key as the platform reports it (main thread).
    void handleHotKey(platform::HotKeyID hotKeyID);

signals:
    void lastRegistrationFailedChanged(bool failed);
    void lastMinimizeAllRegistrationFailedChanged(bool failed);

private:
    bool lastRegistrationFailed_ = false;
    bool lastMinimizeAllRegistrationFailed_ = false;
    std::map<std::uint32_t, int> hotKeyRefs_;
    std::map<std::uint32_t, HotKeyCombo> registeredCombos_;
    std::optional<int> handlerRef_;
    std::function<void()> onTrigger_;
    std::function<void()> onMinimizeAll_;
    const void* recordingOwner_ = nullptr;
    std::function<void(HotKeyCombo)> recordingCapture_;
    // Tells a handler installed by an earlier start (or a destroyed monitor)
    // from the current one.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace services
