#include "platform/platform.h"
#include "services/dock_controller.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/log.h"
#include "platform/preferences.h"
#include "platform/process.h"

namespace services {

namespace {
platform::prefs::Domain& defaults() { return platform::prefs::userDefaults(); }
platform::prefs::Domain& dock() { return platform::prefs::domain(platform::prefs::dockDomain); }
// The saved copy in a settings dictionary; a value of another kind is none.
std::optional<QByteArray> storedCopy(const QVariantMap& values) {
    const QVariant data = values.value(DockController::kSavedOriginal);
    if (platform::prefs::kindOf(data) != platform::prefs::Kind::data) return std::nullopt;
    return data.toByteArray();
}
}  // namespace

DockController::DockController() : queue_("app.quorvel.dock") {}

std::shared_ptr<DockController> DockController::shared() {
    static platform::SharedInstance<DockController> instance;
    return instance.get([] { return create(); });
}

std::shared_ptr<DockController> DockController::create() {
    return std::shared_ptr<DockController>(new DockController());
}

void DockController::installSignalHandlers() {
    if (signalHandlersInstalled_) return;
    signalHandlersInstalled_ = true;
    std::weak_ptr<DockController> weak = weak_from_this();
    // The dispatcher delivers each signal on a thread of its own (the
    // handler only writes to a pipe), never inside the signal handler.
    platform::handleSignals({SIGTERM, SIGINT, SIGHUP}, [weak](int signo) {
        if (auto self = weak.lock()) {
            self->handleTerminationSignal(signo);
        } else {
            platform::log(QStringLiteral("[Quorvel] 收到终止信号，还原 Dock 后退出。"));
            platform::exitImmediately(0);
        }
    });
}

void DockController::handleTerminationSignal(int) {
    if (terminating_.load()) return;  // already restoring: ignore
    restoreAndExit(QStringLiteral("[Quorvel] 收到终止信号，还原 Dock 后退出。"));
}

void DockController::restoreAndExit(const QString& logLine) {
    if (terminating_.exchange(true)) {
        // Another thread is restoring and will end the process.
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    platform::log(logLine);
    // After any Dock work already queued; every write is on disk when it
    // returns, so the settings are stored once this comes back.
    queue_.sync([this] {
        restore();
        givenBackForExit_ = true;
    });
    platform::exitImmediately(0);
}

void DockController::apply(DockCoexistMode mode) {
    std::weak_ptr<DockController> weak = weak_from_this();
    queue_.async([weak, mode] {
        auto self = weak.lock();
        // Once a termination has given the Dock back, the process is about to
        // end: a takeover queued after that would leave the Dock taken over.
        if (!self || self->givenBackForExit_) return;
        if (mode == DockCoexistMode::off) {
            self->hasAppliedThisRun_ = true;
            self->restore();
        } else {
            self->takeOver(mode);
        }
    });
}

void DockController::restoreSynchronously() {
    queue_.sync([this] { restore(); });
}

DockState DockController::readCurrent() {
    auto& d = dock();
    d.reload();  // another process (the Dock itself) may have written it
    DockState state;
    if (auto b = d.boolValue(kAutohide))
        state.autohide = *b;
    else if (auto n = d.numberValue(kAutohide))
        state.autohide = *n != 0;
    if (auto text = d.stringValue(kOrientation)) state.orientation = dockEdgeFromRawValue(*text).value_or(DockEdge::bottom);
    if (auto n = d.numberValue(kAutohideDelay); n && std::isfinite(*n)) state.autohideDelay = *n;
    return state;
}

bool DockController::writeState(const DockState& state) {
    // The three keys change together: a Dock (or a later run) never finds
    // the new edge with the old auto-hide flag.
    const bool written = dock().update([&](QVariantMap& values) {
        values.insert(kAutohide, QVariant(state.autohide));
        values.insert(kOrientation, QVariant(rawValue(state.orientation)));
        if (state.autohideDelay)
            values.insert(kAutohideDelay, QVariant(*state.autohideDelay));
        else
            values.remove(kAutohideDelay);
    });
    if (!written) {
        platform::log(QStringLiteral("[Quorvel] Dock 偏好写入失败，未重载 Dock。"));
        return false;
    }
    if (!relaunchDock())
        platform::log(QStringLiteral("[Quorvel] Dock 偏好已写入但未能重载，状态可能暂不一致（详见上条日志）。"));
    return true;
}

bool DockController::relaunchDock() {
    const auto result = platform::processes().run(kRestartExecutable, QStringList{QStringLiteral("Dock")});
    if (!result.launched) {
        platform::log(QStringLiteral("[Quorvel] killall Dock 启动失败：") + result.error +
                      QStringLiteral("（偏好已写入但未重载）"));
        return false;
    }
    if (result.succeeded()) return true;
    const int status = result.terminationSignal != 0 ? 128 + result.terminationSignal : result.exitStatus;
    platform::log(QStringLiteral("[Quorvel] killall Dock 退出码 ") + QString::number(status) +
                  QStringLiteral("（Dock 可能未运行；偏好已写入）"));
    return false;
}

std::optional<DockState> DockController::decodeSaved(const QByteArray& data) {
    auto state = DockState::decode(data);
    // The Dock pane offers delays up to "never" (1000 s); a copy holding more
    // (or less than none) was not written by us and is not given to the Dock.
    if (state && state->autohideDelay)
        state->autohideDelay = std::clamp(*state->autohideDelay, 0.0, DockState::longestRevealDelay);
    return state;
}

std::optional<DockState> DockController::loadSaved() {
    auto data = defaults().dataValue(kSavedOriginal);
    if (!data) return std::nullopt;
    return decodeSaved(*data);
}

void DockController::recoverSetAsideSave() {
    auto& d = defaults();
    if (d.boolValue(kIsManaging).value_or(false)) return;
    for (const QVariantMap& values : d.takeSetAsideValues()) {
        if (values.value(kIsManaging) != QVariant(true)) continue;
        const auto data = storedCopy(values);
        const auto saved = data ? decodeSaved(*data) : std::nullopt;
        if (!saved) continue;
        // Back under the flag, so the recovery below gives it to the Dock.
        bool placed = false;
        d.update([&](QVariantMap& now) {
            if (now.value(kIsManaging) == QVariant(true)) return;
            now.insert(kSavedOriginal, QVariant(*data));
            now.insert(kIsManaging, QVariant(true));
            placed = true;
        });
        if (placed) platform::log(QStringLiteral("[Quorvel] 从移开的偏好设置文件中找回 Dock 存档：") + saved->describe());
        return;
    }
}

bool DockController::migrateV1() {
    auto& d = defaults();
    if (!d.contains(kSavedOriginalV1)) return true;
    std::optional<DockState> migrated;
    std::optional<DockState> old;
    if (auto older = d.dataValue(kSavedOriginalV1);
        older && d.boolValue(kIsManaging).value_or(false) && !d.dataValue(kSavedOriginal)) {
        old = DockState::decode(*older);
        if (old) migrated = DockState{old->autohide, old->orientation, readCurrent().autohideDelay};
    }
    std::optional<QByteArray> encoded;
    if (migrated) {
        encoded = migrated->encoded();
        if (!encoded) return false;  // keep the only copy of the user's settings
    }
    // The newer save and the removal of the older one are one write.
    if (!d.update([&](QVariantMap& values) {
            if (encoded) values.insert(kSavedOriginal, QVariant(*encoded));
            values.remove(kSavedOriginalV1);
        }))
        return false;
    if (migrated) platform::log(QStringLiteral("[Quorvel] Dock 存档迁移 V1→V2：") + old->describe());
    return true;
}

std::optional<DockState> DockController::captureOriginal() {
    auto& d = defaults();
    const DockState current = readCurrent();
    auto encoded = current.encoded();
    if (!encoded) return std::nullopt;
    std::optional<DockState> kept;
    std::optional<QByteArray> keptData;
    bool refused = false;
    // The flag is read inside the same locked update as the save: while it is
    // set, the Dock may be taken over (by this run, or by another copy), and
    // the state read above is never saved as the user's own. The copy and
    // the flag are one write: there is never a flag without its copy.
    if (!d.update([&](QVariantMap& values) {
            if (values.value(kIsManaging) == QVariant(true)) {
                keptData = storedCopy(values);
                if (keptData) kept = decodeSaved(*keptData);
                if (!kept) refused = true;
                return;  // a second takeover in a row keeps the first save
            }
            values.insert(kSavedOriginal, QVariant(*encoded));
            values.insert(kIsManaging, QVariant(true));
        }))
        return std::nullopt;
    if (refused) {
        platform::log(QStringLiteral("[Quorvel] Dock 仍标记为接管中但没有可读的存档：当前状态可能是接管后的，不作为原始状态保存。"));
        return std::nullopt;
    }
    if (kept) {
        if (!ownSave_) ownSave_ = keptData;
        return kept;
    }
    ownSave_ = *encoded;
    return current;
}

void DockController::takeOver(DockCoexistMode mode) {
    defaults().reload();  // a run before this one may have left its flag and copy
    migrateV1();
    if (!hasAppliedThisRun_) recoverSetAsideSave();
    if (!hasAppliedThisRun_ && defaults().boolValue(kIsManaging).value_or(false)) {
        platform::log(QStringLiteral("[Quorvel] 检测到上次异常退出，先还原 Dock 再重新接管。"));
        restore();
    }
    hasAppliedThisRun_ = true;
    auto original = captureOriginal();
    if (!original) {
        platform::log(QStringLiteral("[Quorvel] 无法保存 Dock 原始状态，本次不接管 Dock。"));
        return;
    }
    const auto target = targetState(mode, original->orientation, revealDelaySetting(defaults()));
    if (!target) return;
    if (readCurrent() == *target) return;
    writeState(*target);
    platform::log(QStringLiteral("[Quorvel] Dock 接管(") + rawValue(mode) + QStringLiteral(") → ") + target->describe() +
                  QStringLiteral("，原始=") + original->describe());
}

void DockController::restore() {
    auto& d = defaults();
    d.reload();
    migrateV1();
    std::optional<QByteArray> restored;
    if (d.boolValue(kIsManaging).value_or(false)) {
        auto data = d.dataValue(kSavedOriginal);
        std::optional<DockState> saved = data ? decodeSaved(*data) : std::nullopt;
        if (ownSave_ && (!data || *data != *ownSave_)) {
            // The stored copy is no longer the one this run saved (another
            // process replaced or removed it): that state is not ours to
            // write. Ours goes back; the stored copy and the flag stay.
            platform::log(QStringLiteral("[Quorvel] Dock 存档已被另一进程替换，只还原本次保存的状态。"));
            const auto own = decodeSaved(*ownSave_);
            if (own && readCurrent() != *own) {
                if (!writeState(*own)) return;  // kept for the next restore
                platform::log(QStringLiteral("[Quorvel] Dock 还原 → ") + own->describe());
            }
            ownSave_.reset();
            return;
        }
        if (saved) {
            if (readCurrent() != *saved) {
                if (!writeState(*saved)) {
                    // Keep the saved copy and the flag so the next restore
                    // (or the next run's recovery) tries again.
                    return;
                }
                platform::log(QStringLiteral("[Quorvel] Dock 还原 → ") + saved->describe());
            }
            restored = data;
        } else if (d.contains(kSavedOriginal)) {
            // A copy is there but cannot be read: the Dock may still be taken
            // over, and only that copy knew the user's own settings. Without
            // the flag the next takeover would save the taken-over Dock as
            // theirs, so the copy and the flag stay until a restore happens.
            platform::log(QStringLiteral("[Quorvel] Dock 存档无法读取，未还原；保留存档与接管标记。"));
            return;
        }
    }
    ownSave_.reset();
    // Only once the Dock has its settings back do the copy and the flag go,
    // together: a kill before this write leaves both for the next run. A
    // copy saved in between by another process is left with its flag.
    d.update([&](QVariantMap& values) {
        if (restored) {
            if (const auto now = storedCopy(values); now && *now != *restored) return;
            values.remove(kSavedOriginal);
        }
        values.insert(kIsManaging, QVariant(false));
    });
}

}  // namespace services
