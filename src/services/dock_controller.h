#pragma once
// Owns the system Dock's preferences while the program runs: takes the Dock
// out of the way on request and gives the user's own settings back when the
// workspace stops, on a termination signal, when the user turns management
// off, and after a crash at the next takeover. All Dock work runs on one
// serial queue, so a takeover and a restore never interleave.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

#include "platform/dispatch.h"
#include "services/dock_state.h"

namespace services {

class DockController : public std::enable_shared_from_this<DockController> {
public:
    // Keys of the Dock's own domain.
    static inline const QString kAutohide = QStringLiteral("autohide");
    static inline const QString kOrientation = QStringLiteral("orientation");
    static inline const QString kAutohideDelay = QStringLiteral("autohide-delay");
    // Keys of the application's user defaults.
    static inline const QString kSavedOriginalV1 = QStringLiteral("DockSavedOriginalState");
    static inline const QString kSavedOriginal = QStringLiteral("DockSavedOriginalStateV2");
    static inline const QString kIsManaging = QStringLiteral("DockIsManaging");
    static inline const QString kRestartExecutable = QStringLiteral("/usr/bin/killall");

    // The process's one controller, created on first use and never destroyed.
    static std::shared_ptr<DockController> shared();
    // A separate controller (tests); it uses the platform installed now.
    static std::shared_ptr<DockController> create();

    // Installs the SIGTERM/SIGINT/SIGHUP handling once; later calls do nothing.
    void installSignalHandlers();
    // Returns at once; the work runs on `queue()`. `off` restores, every
    // other mode takes the Dock over.
    void apply(DockCoexistMode mode);
    // Callers that must know the Dock is back before they go on run
    // `restore` synchronously here.
    const platform::SerialQueue& queue() const { return queue_; }
    // Must run on `queue()`: writes the saved state back and clears the flag.
    void restore();
    // queue().sync(restore): returns when the Dock has its settings back.
    void restoreSynchronously();

    // The body of the termination-signal handling (signal thread). The first
    // call restores and exits with status 0; later calls are ignored.
    void handleTerminationSignal(int signalNumber);
    // The one way the process ends after a signal or the loss of its display:
    // the first caller (any thread) logs the line, restores synchronously and
    // exits with status 0; a caller that comes while that runs never returns,
    // so nothing of the process is torn down under the restore. (A simulated
    // exit returns: the first call then returns too.)
    void restoreAndExit(const QString& logLine);

    // Read on the queue, or in tests once it has been pumped.
    bool hasAppliedThisRun() const { return hasAppliedThisRun_; }

private:
    DockController();
    void takeOver(DockCoexistMode mode);
    std::optional<DockState> captureOriginal();
    DockState readCurrent();
    // False when the Dock's preferences could not be written.
    bool writeState(const DockState& state);
    bool relaunchDock();
    std::optional<DockState> loadSaved();
    static std::optional<DockState> decodeSaved(const QByteArray& data);
    // Before the first takeover of a run finds no saved copy: brings one back
    // from a set-aside copy of the settings that still holds it.
    void recoverSetAsideSave();
    // False when an older save could not be brought forward (it is then kept).
    bool migrateV1();

    platform::SerialQueue queue_;
    bool hasAppliedThisRun_ = false;
    // On the queue: set by the restore that precedes the exit; later work is dropped.
    bool givenBackForExit_ = false;
    // The stored form of the copy this run saved (or kept), until it is restored.
    std::optional<QByteArray> ownSave_;
    bool signalHandlersInstalled_ = false;
    std::atomic<bool> terminating_{false};
};

}  // namespace services
