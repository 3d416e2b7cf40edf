#include "startmenu/session_actions.h"

#include "core/localization.h"
#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/desktop_traits.h"
#include "platform/log.h"
#include "platform/session.h"

namespace session_action {

namespace {

constexpr const char* automationHint = QT_TRANSLATE_NOOP(
    "Quorvel", "Allow Quorvel in System Settings \u25B8 Privacy & Security \u25B8 Automation.");

struct Texts {
    const char* confirmMessage;  // null: no confirmation
    const char* confirmButton;
    const char* failureMessage;
};

// The same texts where the machine is not a Mac.
Texts computerTextsOf(SessionAction action) {
    switch (action) {
        case SessionAction::lock:
            return {nullptr, nullptr, QT_TRANSLATE_NOOP("Quorvel", "Couldn't lock the screen")};
        case SessionAction::sleep:
            return {nullptr, nullptr, QT_TRANSLATE_NOOP("Quorvel", "Couldn't put your computer to sleep")};
        case SessionAction::logOut:
            return {QT_TRANSLATE_NOOP("Quorvel", "Log out of your account?"), QT_TRANSLATE_NOOP("Quorvel", "Log Out"),
                    QT_TRANSLATE_NOOP("Quorvel", "Couldn't log out")};
        case SessionAction::restart:
            return {QT_TRANSLATE_NOOP("Quorvel", "Restart your computer?"), QT_TRANSLATE_NOOP("Quorvel", "Restart"),
                    QT_TRANSLATE_NOOP("Quorvel", "Couldn't restart your computer")};
        case SessionAction::shutDown:
            return {QT_TRANSLATE_NOOP("Quorvel", "Shut down your computer?"), QT_TRANSLATE_NOOP("Quorvel", "Shut Down"),
                    QT_TRANSLATE_NOOP("Quorvel", "Couldn't shut down your computer")};
    }
    return {};
}

Texts textsOf(SessionAction action) {
    if (!platform::desktopTraits().isMac) return computerTextsOf(action);
    switch (action) {
        case SessionAction::lock:
            return {nullptr, nullptr, QT_TRANSLATE_NOOP("Quorvel", "Couldn't lock the screen")};
        case SessionAction::sleep:
            return {nullptr, nullptr, QT_TRANSLATE_NOOP("Quorvel", "Couldn't put your Mac to sleep")};
        case SessionAction::logOut:
            return {QT_TRANSLATE_NOOP("Quorvel", "Log out of your account?"), QT_TRANSLATE_NOOP("Quorvel", "Log Out"),
                    QT_TRANSLATE_NOOP("Quorvel", "Couldn't log out")};
        case SessionAction::restart:
            return {QT_TRANSLATE_NOOP("Quorvel", "Restart your Mac?"), QT_TRANSLATE_NOOP("Quorvel", "Restart"),
                    QT_TRANSLATE_NOOP("Quorvel", "Couldn't restart your Mac")};
        case SessionAction::shutDown:
            return {QT_TRANSLATE_NOOP("Quorvel", "Shut down your Mac?"), QT_TRANSLATE_NOOP("Quorvel", "Shut Down"),
                    QT_TRANSLATE_NOOP("Quorvel", "Couldn't shut down your Mac")};
    }
    return {};
}

}  // namespace

QString rawValue(SessionAction action) {
    switch (action) {
        case SessionAction::lock: return QStringLiteral("lock");
        case SessionAction::sleep: return QStringLiteral("sleep");
        case SessionAction::logOut: return QStringLiteral("logOut");
        case SessionAction::restart: return QStringLiteral("restart");
        case SessionAction::shutDown: return QStringLiteral("shutDown");
    }
    return {};
}

std::optional<SessionAction> fromRawValue(const QString& text) {
    for (SessionAction action : allCases)
        if (rawValue(action) == text) return action;
    return std::nullopt;
}

bool endsSession(SessionAction action) { return appleEventID(action).has_value(); }

std::optional<std::uint32_t> appleEventID(SessionAction action) {
    switch (action) {
        case SessionAction::logOut: return platform::apple_events::reallyLogOut;
        case SessionAction::restart: return platform::apple_events::restart;
        case SessionAction::shutDown: return platform::apple_events::shutDown;
        case SessionAction::lock:
        case SessionAction::sleep: return std::nullopt;
    }
    return std::nullopt;
}

bool confirm(SessionAction action) {
    const Texts texts = textsOf(action);
    if (!texts.confirmMessage) return true;
    // Every text is looked up afresh, so it follows the language chosen now.
    platform::Alert alert;
    alert.style = platform::AlertStyle::warning;
    alert.informativeText = tr_(QT_TRANSLATE_NOOP("Quorvel", "Apps will quit. Unsaved work may be lost."));
    alert.messageText = tr_(texts.confirmMessage);
    alert.buttons = {tr_(texts.confirmButton), tr_(QT_TRANSLATE_NOOP("Quorvel", "Cancel"))};
    platform::application().activateIgnoringOtherApps();
    // Only the action's own button confirms; Cancel, Escape or a closed
    // alert all leave the session alone.
    return platform::alerts().runModal(alert) == platform::alertFirstButtonReturn;
}

void showFailure(SessionAction action, const QString& reason) {
    QString informative;
    if (platform::desktopTraits().isMac) {
        if (endsSession(action)) informative = tr_(automationHint);
    } else if (!reason.isEmpty()) {
        // The system's own reason; our own fixed ones have translations.
        informative = tr_(reason.toUtf8().constData());
    }
    showFailureAlert(tr_(textsOf(action).failureMessage), informative);
}

void showFailureAlert(const QString& messageText, const QString& informativeText) {
    platform::Alert alert;
    alert.style = platform::AlertStyle::warning;
    alert.messageText = messageText;
    alert.informativeText = informativeText;
    alert.buttons = {tr_(QT_TRANSLATE_NOOP("Quorvel", "OK"))};
    platform::application().activateIgnoringOtherApps();
    platform::alerts().runModal(alert);
}

}  // namespace session_action

namespace {

void logLine(const QString& text) { platform::log(QStringLiteral("Quorvel: ") + text); }

// The callback for the platform: a request that ends in failure after it
// was taken writes `logText` (when there is one) and then reports.
// `logText` takes what ran (empty: the system's own call) and the error.
using LogText = std::function<QString(const QString& ran, const QString& error)>;

platform::SessionFinished onFailure(LogText logText, SessionService::FailedLater failedLater) {
    return [logText = std::move(logText), failedLater = std::move(failedLater)](const platform::SessionOutcome& outcome) {
        if (outcome.succeeded) return;
        if (logText) logLine(logText(outcome.ran, outcome.error));
        if (failedLater) failedLater(outcome.reason.isEmpty() ? outcome.error : outcome.reason);
    };
}

QString reasonOf(const platform::SessionReply& reply) { return reply.reason.isEmpty() ? reply.error : reply.reason; }

const QString lockFunction = QString::fromUtf8(platform::screen_lock::functionName);

}  // namespace

SessionService::LockResult SessionService::lockScreen(FailedLater failedLater) {
    // A lock that was taken and then fails reports like a refusal: the
    // alert only.
    const platform::SessionReply reply = platform::session().lockScreen(onFailure({}, std::move(failedLater)));
    if (reply.taken) return LockResult::locked;
    lastFailure_ = reasonOf(reply);
    if (reply.unavailable) {
        logLine((reply.ran.isEmpty() ? lockFunction : reply.ran) + QStringLiteral(" unavailable"));
        return LockResult::unavailable;
    }
    return LockResult::refused;
}

bool SessionService::sleepNow(FailedLater failedLater) {
    auto text = [](const QString& ran, const QString& error) {
        return (ran.isEmpty() ? QStringLiteral("pmset sleepnow") : ran) + QStringLiteral(" failed: ") + error;
    };
    const platform::SessionReply reply = platform::session().sleepNow(onFailure(text, std::move(failedLater)));
    if (reply.taken) return true;
    lastFailure_ = reasonOf(reply);
    logLine(text(reply.ran, reply.error));
    return false;
}

bool SessionService::sendLoginWindowEvent(std::uint32_t eventID, FailedLater failedLater) {
    auto text = [eventID](const QString& ran, const QString& error) {
        return (ran.isEmpty() ? QStringLiteral("loginwindow AE ") + QString::number(eventID) : ran) +
               QStringLiteral(" failed: ") + error;
    };
    const platform::SessionReply reply =
        platform::session().sendLoginWindowEvent(eventID, onFailure(text, std::move(failedLater)));
    if (reply.taken) return true;
    lastFailure_ = reasonOf(reply);
    logLine(text(reply.ran, reply.error));
    return false;
}

void SessionActions::perform(SessionAction action, const std::function<void()>& closeMenu) {
    // The menu is gone before any question or failure shows.
    if (closeMenu) closeMenu();
    auto failed = [action](const QString& reason) { session_action::showFailure(action, reason); };
    switch (action) {
        case SessionAction::logOut:
        case SessionAction::restart:
        case SessionAction::shutDown:
            if (!session_action::confirm(action)) return;
            if (!service_.sendLoginWindowEvent(*session_action::appleEventID(action), failed))
                failed(service_.lastFailure());
            return;
        case SessionAction::lock:
            if (service_.lockScreen(failed) != SessionService::LockResult::locked) failed(service_.lastFailure());
            return;
        case SessionAction::sleep:
            if (!service_.sleepNow(failed)) failed(service_.lastFailure());
            return;
    }
}
