#pragma once
// Requests to the login session: lock the screen, sleep, log out, restart,
// shut down.
//
// Each request answers at once whether the system took it. Some systems
// carry a request out after the answer (a command that runs on); such a
// backend watches how it ends and reports that later, on the main thread,
// so a request that was taken but then failed is not mistaken for success.
#include <QString>
#include <cstdint>
#include <functional>

#include "platform/hotkeys.h"

namespace platform {

namespace apple_events {
constexpr std::uint32_t classCore = fourCharCode("aevt");
constexpr std::uint32_t reallyLogOut = fourCharCode("rlgo");
constexpr std::uint32_t restart = fourCharCode("rest");
constexpr std::uint32_t shutDown = fourCharCode("shut");
}  // namespace apple_events

// The system's own screen lock: a function `int f(void)` of a library loaded
// at run time; 0 means the screen is locked.
namespace screen_lock {
inline constexpr const char* libraryPath = "/System/Library/PrivateFrameworks/login.framework/Versions/Current/login";
inline constexpr const char* functionName = "SACLockScreenImmediate";
}  // namespace screen_lock

// The power-management command that puts the machine to sleep.
namespace sleep_command {
inline constexpr const char* executable = "/usr/bin/pmset";
inline constexpr const char* argument = "sleepnow";
}  // namespace sleep_command

// The answer to a request when it is made.
struct SessionReply {
    bool taken = false;        // the system took the request
    bool unavailable = false;  // the means itself is missing (no screen-lock function)
    QString error;             // why it was not taken, in the system's words
    // Why, for the person who asked (a refusal, an inhibitor, no session);
    // empty when the system gives nothing better than `error`.
    QString reason;
    // What the backend ran or asked for, as a log line names it ("systemctl
    // suspend"); empty where it is the system's own call that the log names.
    QString ran;
    static SessionReply ok() { return {true, false, {}, {}, {}}; }
    static SessionReply failed(QString why, QString reason = {}) {
        return {false, false, std::move(why), std::move(reason), {}};
    }
    static SessionReply missing(QString why, QString reason = {}) {
        return {false, true, std::move(why), std::move(reason), {}};
    }
};

// How a taken request ended, when the system carries it out afterwards.
struct SessionOutcome {
    bool succeeded = true;
    QString error;   // why not
    QString reason;  // the same for the person who asked, as in SessionReply
    QString ran;     // as in SessionReply
};
// Runs at most once, on the main thread, and only after a taken request.
// A backend with nothing to watch after the answer never calls it.
using SessionFinished = std::function<void(const SessionOutcome&)>;

class Session {
public:
    virtual ~Session() = default;
    // Locks the screen at once.
    virtual SessionReply lockScreen(SessionFinished finished) = 0;
    // Starts putting the machine to sleep; the answer does not wait for it.
    virtual SessionReply sleepNow(SessionFinished finished) = 0;
    // Sends an event of class 'aevt' to the login window ('rlgo' log out
    // without the login window's own question, 'rest' restart, 'shut' shut
    // down), without waiting for a reply.
    virtual SessionReply sendLoginWindowEvent(std::uint32_t eventID, SessionFinished finished) = 0;
};

Session& session();

}  // namespace platform
