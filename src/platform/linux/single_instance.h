#pragma once
// The single-instance rule across real processes: each copy of the program
// holds an exclusive lock on a file that names its process id, so a second
// copy can see the first one in the list of running applications even when
// the rest of the desktop is simulated.
#include <QString>
#include <memory>
#include <optional>

#include "platform/alerts.h"
#include "platform/workspace.h"

namespace platform::linux_backend {

class SingleInstanceLock {
public:
    // Takes the lock at `path`; when another live process holds it, remembers
    // that process instead.
    explicit SingleInstanceLock(const QString& path);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    bool isHeld() const { return fd_ >= 0; }
    // The process that holds the lock, when it is not us.
    std::optional<std::int32_t> otherProcess() const { return other_; }

    // Where the lock lives: $QUORVEL_HOME, else $XDG_RUNTIME_DIR, else /tmp (per user).
    static QString defaultPath();

private:
    int fd_ = -1;
    std::optional<std::int32_t> other_;
};

// A workspace that also lists another running copy of this program (seen
// through the lock) under the given bundle identifier.
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
