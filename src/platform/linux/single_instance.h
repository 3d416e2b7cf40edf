#pragma once
// The single-instance rule across real processes: the copy that holds an
// exclusive lock on one file per user (or per QUORVEL_HOME) is the running
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
    // Why the lock could not even be tried (empty when another copy holds it).
    const QString& problem() const { return problem_; }

    // Where the lock lives: $QUORVEL_HOME, else $XDG_RUNTIME_DIR, else /tmp (per user).
    static QString defaultPath();

private:
    int fd_ = -1;
    std::optional<std::int32_t> other_;
    QString problem_;
};

// A workspace whose copies of this program (the given bundle identifier)
// are decided by the lock: without it, the holder is listed (by its id, or
// -1 when the file does not name it); with it, no other copy is listed.
class InstanceAwareWorkspace : public Workspace {
public:
    InstanceAwareWorkspace(std::shared_ptr<Workspace> inner, std::shared_ptr<SingleInstanceLock> lock,
                           QString bundleID);
    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> application(std::int32_t pid) override { return inner_->application(pid); }
    std::optional<RunningApplication> frontmostApplication() override { return inner_->frontmostApplication(); }
    std::int32_t ownProcessID() override;
    bool isProcessAlive(std::int32_t pid) override { return inner_->isProcessAlive(pid); }
    bool activate(std::int32_t pid, bool allWindows) override { return inner_->activate(pid, allWindows); }
    bool hide(std::int32_t pid) override { return inner_->hide(pid); }
    bool unhide(std::int32_t pid) override { return inner_->unhide(pid); }
    bool terminate(std::int32_t pid) override { return inner_->terminate(pid); }
    bool forceTerminate(std::int32_t pid) override { return inner_->forceTerminate(pid); }
    void openApplication(const QString& path, std::function<void(OpenResult)> completion) override {
        inner_->openApplication(path, std::move(completion));
    }
    bool openURL(const QString& url) override { return inner_->openURL(url); }
    bool revealInFileViewer(const QString& path) override { return inner_->revealInFileViewer(path); }
    std::optional<QString> urlForApplication(const QString& bundleID) override {
        return inner_->urlForApplication(bundleID);
    }
    std::optional<QImage> iconForApplication(std::int32_t pid) override { return inner_->iconForApplication(pid); }
    QImage iconForFile(const QString& path) override { return inner_->iconForFile(path); }
    QString displayName(const QString& path) override { return inner_->displayName(path); }
    int addObserver(Callback callback) override { return inner_->addObserver(std::move(callback)); }
    void removeObserver(int token) override { inner_->removeObserver(token); }
    // The lock's side of the list is settled when the lock is made.
    std::optional<std::uint64_t> changeCount() override { return inner_->changeCount(); }

private:
    std::shared_ptr<Workspace> inner_;
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
