#pragma once
// Requests to the login session: log out, restart, shut down.
#include <QString>
#include <cstdint>

#include "platform/hotkeys.h"

namespace platform {

namespace apple_events {
constexpr std::uint32_t classCore = fourCharCode("aevt");
constexpr std::uint32_t reallyLogOut = fourCharCode("rlgo");
constexpr std::uint32_t restart = fourCharCode("rest");
constexpr std::uint32_t shutDown = fourCharCode("shut");
}  // namespace apple_events

class Session {
public:
    virtual ~Session() = default;
    // Sends an event of class 'aevt' to the login window; noErr on success.
    virtual OSStatus sendLoginWindowEvent(std::uint32_t eventID) = 0;
};

Session& session();

}  // namespace platform
