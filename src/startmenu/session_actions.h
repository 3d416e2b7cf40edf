#pragma once
// The power row's session actions: lock the screen, sleep, log out, restart
// and shut down. The three that end the session ask first; every action
// that fails says so in an alert. All of it runs on the main thread.
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// The power row's actions, in the order the row shows them.
enum class SessionAction { lock, sleep, logOut, restart, shutDown };

namespace session_action {

inline constexpr std::array<SessionAction, 5> allCases{SessionAction::lock, SessionAction::sleep,
                                                       SessionAction::logOut, SessionAction::restart,
                                                       SessionAction::shutDown};

// "lock", "sleep", "logOut", "restart", "shutDown"; also the identity.
QString rawValue(SessionAction action);
// None for any other text.
std::optional<SessionAction> fromRawValue(const QString& text);

// Log out, restart and shut down: they end the session and ask first.
bool endsSession(SessionAction action);
// The login window's event for the actions that end the session.
std::optional<std::uint32_t> appleEventID(SessionAction action);

// True when the user confirmed. Lock and sleep: true at once, nothing shown.
bool confirm(SessionAction action);
// Shows the action's failure alert and returns when it was dismissed. Where
// the machine is not a Mac the alert says why, in `reason` (the system's own
// words).
void showFailure(SessionAction action, const QString& reason = {});
// The start menu's failure alert: what failed, the reason beneath it as
// given, and OK; shown in front and returns when it was dismissed.
void showFailureAlert(const QString& messageText, const QString& informativeText);

}  // namespace session_action

// Talks to the system for the power row. Keeps only why the last request
// that failed at once failed.
//
// A request the system took may still fail afterwards (a command that
// exits with an error); then `failedLater` runs on the main thread with the
// system's reason, after the same log line an immediate failure writes.
class SessionService {
public:
    using FailedLater = std::function<void(const QString& reason)>;
    enum class LockResult { locked, unavailable, refused };

    // Locks the screen. `unavailable`: there is no screen-lock function
    // (logged); `refused`: it answered with an error.
    LockResult lockScreen(FailedLater failedLater = {});
    // True when the sleep command was started.
    bool sleepNow(FailedLater failedLater = {});
    // True when the event was sent.
    bool sendLoginWindowEvent(std::uint32_t eventID, FailedLater failedLater = {});
    // Why the last request that failed at once failed, in the system's words.
    const QString& lastFailure() const { return lastFailure_; }

private:
    QString lastFailure_;
};

// Runs a power-row action for the start menu.
class SessionActions {
public:
    // Closes the menu with `closeMenu` first, whatever the action and however
    // it ends; then asks when the action ends the session (a cancel stops
    // here, silently), carries it out, and shows the failure alert when it
    // fails, now or later.
    void perform(SessionAction action, const std::function<void()>& closeMenu);

    SessionService& service() { return service_; }

private:
    SessionService service_;
};
