#include "platform/linux/systemd_session.h"

#include "platform/process.h"

namespace platform::linux_backend {

SystemdSession::SystemdSession(QString commandFolder, QString sessionID)
    : folder_(std::move(commandFolder)), sessionID_(std::move(sessionID)) {
    while (folder_.size() > 1 && folder_.endsWith(u'/')) folder_.chop(1);
}

QStringList SystemdSession::commandFor(Request request) const {
    if (folder_.isEmpty()) return {};
    const QString loginctl = folder_ + QStringLiteral("/loginctl");
    const QString systemctl = folder_ + QStringLiteral("/systemctl");
    switch (request) {
        case Request::lock: return {loginctl, QStringLiteral("lock-session")};
        case Request::sleep: return {systemctl, QStringLiteral("suspend")};
        case Request::logOut:
            if (sessionID_.isEmpty()) return {};
            return {loginctl, QStringLiteral("terminate-session"), sessionID_};
        case Request::restart: return {systemctl, QStringLiteral("reboot")};
        case Request::shutDown: return {systemctl, QStringLiteral("poweroff")};
    }
    return {};
}

SessionReply SystemdSession::start(Request request, SessionFinished finished) {
    QStringList command = commandFor(request);
    if (command.isEmpty()) {
        if (folder_.isEmpty()) return SessionReply::failed(QStringLiteral("session requests are turned off"));
        return SessionReply::failed(QStringLiteral("no login session to end (XDG_SESSION_ID is not set)"));
    }
    const QString executable = command.takeFirst();
    const QStringList arguments = command;
    ProcessExited exited = [executable, arguments, finished = std::move(finished)](const ProcessResult& ended) {
        if (!finished) return;
        SessionOutcome outcome;
        outcome.succeeded = ended.succeeded();
        if (!outcome.succeeded) outcome.error = describeProcessFailure(executable, arguments, ended);
        finished(outcome);
    };
    const ProcessResult started = processes().launch(executable, arguments, std::move(exited));
    if (!started.launched) return SessionReply::failed(describeProcessFailure(executable, arguments, started));
    return SessionReply::ok();
}

SessionReply SystemdSession::lockScreen(SessionFinished finished) {
    SessionReply reply = start(Request::lock, std::move(finished));
    // A lock command that cannot start leaves no way to lock the screen.
    if (!reply.taken) reply.unavailable = true;
    return reply;
}

SessionReply SystemdSession::sleepNow(SessionFinished finished) { return start(Request::sleep, std::move(finished)); }

SessionReply SystemdSession::sendLoginWindowEvent(std::uint32_t eventID, SessionFinished finished) {
    if (eventID == apple_events::reallyLogOut) return start(Request::logOut, std::move(finished));
    if (eventID == apple_events::restart) return start(Request::restart, std::move(finished));
    if (eventID == apple_events::shutDown) return start(Request::shutDown, std::move(finished));
    return SessionReply::failed(QStringLiteral("no request for event ") + QString::number(eventID));
}

}  // namespace platform::linux_backend
