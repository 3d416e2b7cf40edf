#pragma once
// The single-instance rule across real processes: the copy that holds an
// exclusive lock on one file in the settings folder is the running
// copy; every other copy is a second copy, whatever the file holds. The
// lock is taken before anything else happens and released only when the
// process ends. The holder writes its process id into the file so the
// second copy can name it, and the workspace wrapper below lists the
// holder, so the start-up's single-instance rule sees it on every desktop.
#include <QString>
#include <memory>
#include <optional>

#include "platform/alerts.h"
#include "platform/workspace.h"

namespace platform::linux_backend {

class SingleInstanceLock {
public:
    // Takes the lock at `path`. When it cannot be taken this process is a
    // second copy; the holder's id is remembered when the file names a live
    // process.
    explicit SingleInstanceLock(const QString& path);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    bool isHeld() const { return fd_ >= 0; }
    // The process that holds the lock, when it is not us.
    std::optional<std::int32_t> otherProcess() const { return other_; }
    // Why the lock could not be taken when no other copy holds it (a file
    // that is not ours, a folder that cannot be made): an error of its own,
    // never a second copy. Empty when held, or held by another copy.
    const QString& problem() const { return problem_; }

    // Where the lock lives: in the settings folder it guards, whatever the
    // runtime folder of this session is.
    static QString defaultPath();

private:
    int fd_ = -1;
    std::optional<std::int32_t> other_;
    QString problem_;
};

// A workspace whose copies of this program (the given bundle identifier)
// are decided by the lock: without it, the holder is listed (by its id, or
// -1 when the file does not name it); with it, no other copy is listed.
class InstanceAwareWorkspace : public ForwardingWorkspace {
public:
    InstanceAwareWorkspace(std::shared_ptr<Workspace> inner, std::shared_ptr<SingleInstanceLock> lock,
                           QString bundleID);
    // The lock's side of the list is settled when the lock is made, so the
    // inner workspace's change count stands for this list too.
    std::vector<RunningApplication> runningApplications() override;

private:
    std::shared_ptr<SingleInstanceLock> lock_;
    QString bundleID_;
};

// Alerts that also write their texts to the system log, so a run without
// anyone watching the screen still says what it asked.
class LoggingAlerts : public Alerts {
public:
    explicit LoggingAlerts(std::shared_ptr<Alerts> inner) : inner_(std::move(inner)) {}
    int runModal(const Alert& alert) override;
    void beep() override { inner_->beep(); }

private:
    std::shared_ptr<Alerts> inner_;
};

}  // namespace platform::linux_backend
