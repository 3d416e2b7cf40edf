#include "platform/linux/systemd_session.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <unistd.h>

#include "platform/process.h"

namespace platform::linux_backend {

namespace {

// Programs that lock the screen themselves or on logind's Lock signal.
const QSet<QString>& screenLockers() {
    static const QSet<QString> names = {
        QStringLiteral("xscreensaver"),     QStringLiteral("light-locker"),     QStringLiteral("xss-lock"),
        QStringLiteral("gnome-screensav"),  QStringLiteral("gnome-shell"),      QStringLiteral("cinnamon-screen"),
        QStringLiteral("mate-screensave"),  QStringLiteral("xfce4-screensav"),  QStringLiteral("kscreenlocker_g"),
        QStringLiteral("ksmserver"),        QStringLiteral("xautolock"),        QStringLiteral("xsecurelock"),
        QStringLiteral("slock"),            QStringLiteral("i3lock"),
    };
    return names;  // as /proc/<pid>/comm gives them: at most 15 characters
}

// The reason a command gave on its standard error, else none.
QString reasonOf(const ProcessResult& result) { return result.errorOutput.section(u'\n', 0, 2); }

}  // namespace

bool SystemdSession::screenLockerRunning() {
    const QString uid = QString::number(::getuid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (pid.isEmpty() || !pid[0].isDigit()) continue;
        QFile comm(QStringLiteral("/proc/") + pid + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly)) continue;
        if (!screenLockers().contains(QString::fromLocal8Bit(comm.readAll()).trimmed())) continue;
        QFile status(QStringLiteral("/proc/") + pid + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Uid:") && QString::fromLatin1(line.mid(4)).simplified().section(u' ', 0, 0) == uid)
                return true;
    }
    return false;
}

SystemdSession::SystemdSession(QString commandFolder, QString sessionID, std::function<bool()> lockerRunning)
    : folder_(std::move(commandFolder)), sessionID_(std::move(sessionID)), lockerRunning_(std::move(lockerRunning)) {
    while (folder_.size() > 1 && folder_.endsWith(u'/')) folder_.chop(1);
    if (!lockerRunning_) lockerRunning_ = &SystemdSession::screenLockerRunning;
}

QStringList SystemdSession::commandFor(Request request) const {
    if (folder_.isEmpty()) return {};
    const QString loginctl = folder_ + QStringLiteral("/loginctl");
    const QString systemctl = folder_ + QStringLiteral("/systemctl");
    switch (request) {
        case Request::lock: return {loginctl, QStringLiteral("lock-session")};
        case Request::sleep: return {systemctl, QStringLiteral("suspend")};
        case Request::logOut:
            return {loginctl, QStringLiteral("terminate-session"),
                    sessionID_.isEmpty() ? QStringLiteral("auto") : sessionID_};
        case Request::restart: return {systemctl, QStringLiteral("reboot")};
        case Request::shutDown: return {systemctl, QStringLiteral("poweroff")};
    }
    return {};
}

SessionReply SystemdSession::start(Request request, SessionFinished finished) {
    QStringList command = commandFor(request);
    if (command.isEmpty()) {
        SessionReply reply = SessionReply::failed(QStringLiteral("session requests are turned off"));
        reply.ran = QStringLiteral("session request");
        return reply;
    }
    const QString executable = command.takeFirst();
    const QStringList arguments = command;
    // The log names the command that ran, not the folder it was found in.
    const QString ran = QStringList(QStringList{executable.section(u'/', -1)} + arguments).join(u' ');
    ProcessExited exited = [executable, arguments, ran, finished = std::move(finished)](const ProcessResult& ended) {
        if (!finished) return;
        SessionOutcome outcome;
        outcome.ran = ran;
        outcome.succeeded = ended.succeeded();
        if (!outcome.succeeded) {
            // The command's own words say what stood in the way (a refusal
            // of the authorisation, an inhibitor, no such session).
            outcome.reason = reasonOf(ended);
            outcome.error = describeProcessFailure(executable, arguments, ended);
            if (!outcome.reason.isEmpty()) outcome.error += QStringLiteral(": ") + outcome.reason;
        }
        finished(outcome);
    };
    const ProcessResult started = processes().launch(executable, arguments, std::move(exited));
    SessionReply reply =
        started.launched ? SessionReply::ok() : SessionReply::failed(describeProcessFailure(executable, arguments, started));
    reply.ran = ran;
    return reply;
}

SessionReply SystemdSession::lockScreen(SessionFinished finished) {
    // logind passes a lock request on to whoever listens, and answers
    // success also when nobody does.
    if (!folder_.isEmpty() && !lockerRunning_()) {
        SessionReply reply = SessionReply::missing(QStringLiteral("no screen locker is running"),
                                                   QStringLiteral("No screen locker is running."));
        reply.ran = QStringLiteral("screen locker");
        return reply;
    }
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
    SessionReply reply = SessionReply::failed(QStringLiteral("no request for event ") + QString::number(eventID));
    reply.ran = QStringLiteral("session request");
    return reply;
}

}  // namespace platform::linux_backend
