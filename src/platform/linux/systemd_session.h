#pragma once
// Session requests on a Linux desktop run by systemd: each is a command of
// loginctl or systemctl, started directly (never through a shell) from one
// folder, and not waited for. How the command ends is watched and reported.
//
//   lock the screen   loginctl lock-session
//   sleep             systemctl suspend
//   log out           loginctl terminate-session <session id>, or "auto"
//                     (logind's name for the user's graphical session)
//                     when the id is not known
//   restart           systemctl reboot
//   shut down         systemctl poweroff
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "platform/session.h"

namespace platform::linux_backend {

class SystemdSession : public Session {
public:
    enum class Request { lock, sleep, logOut, restart, shutDown };

    // `commandFolder` holds loginctl and systemctl ("/usr/bin" on a live
    // desktop). An empty folder refuses every request and starts nothing.
    // `sessionID` is the login session that log out ends (XDG_SESSION_ID).
    // `lockerRunning` tells whether a screen locker is there to answer a
    // lock request (loginctl succeeds also when nothing locks); by default
    // the user's processes are looked through for one.
    SystemdSession(QString commandFolder, QString sessionID, std::function<bool()> lockerRunning = {});

    // Whether one of the usual screen lockers runs as this user.
    static bool screenLockerRunning();

    SessionReply lockScreen(SessionFinished finished) override;
    SessionReply sleepNow(SessionFinished finished) override;
    SessionReply sendLoginWindowEvent(std::uint32_t eventID, SessionFinished finished) override;

    // The executable and its arguments for a request; empty when there is
    // none (no folder).
    QStringList commandFor(Request request) const;

private:
    SessionReply start(Request request, SessionFinished finished);

    QString folder_;
    QString sessionID_;
    std::function<bool()> lockerRunning_;
};

}  // namespace platform::linux_backend
