#pragma once
// The workspace: running applications, launching, and the notifications
// about applications, spaces and screens.
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

enum class ActivationPolicy : int { regular = 0, accessory = 1, prohibited = 2 };

struct RunningApplication {
    std::int32_t pid = 0;
    std::optional<QString> bundleID;
    std::optional<QString> bundlePath;  // the application bundle's folder
    std::optional<QString> executablePath;
    QString localizedName;  // empty when the application reports none
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    bool isHidden = false;
    bool isActive = false;
    bool isTerminated = false;
    bool isFinishedLaunching = true;
    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// Names of workspace notifications; the payload is the application's pid
// (0 for notifications that are not about one application).
namespace workspace_notifications {
inline const QString didLaunchApplication = QStringLiteral("NSWorkspaceDidLaunchApplicationNotification");
inline const QString didTerminateApplication = QStringLiteral("NSWorkspaceDidTerminateApplicationNotification");
inline const QString didActivateApplication = QStringLiteral("NSWorkspaceDidActivateApplicationNotification");
inline const QString didDeactivateApplication = QStringLiteral("NSWorkspaceDidDeactivateApplicationNotification");
inline const QString didHideApplication = QStringLiteral("NSWorkspaceDidHideApplicationNotification");
inline const QString didUnhideApplication = QStringLiteral("NSWorkspaceDidUnhideApplicationNotification");
inline const QString activeSpaceDidChange = QStringLiteral("NSWorkspaceActiveSpaceDidChangeNotification");
inline const QString didWake = QStringLiteral("NSWorkspaceDidWakeNotification");
}  // namespace workspace_notifications

// The stand-in icon a platform gives for a file it has no icon for carries
// this text key; a cache of icons leaves it out, so a later ask can still
// find the real one.
inline const QString genericIconKey = QStringLiteral("platform-generic-icon");
inline bool isGenericIcon(const QImage& image) { return !image.text(genericIconKey).isEmpty(); }

struct OpenResult {
    bool ok = false;
    QString errorDescription;  // localised reason when !ok
};

class Workspace {
public:
    virtual ~Workspace() = default;
    // In launch order.
    virtual std::vector<RunningApplication> runningApplications() = 0;
    virtual std::optional<RunningApplication> application(std::int32_t pid) = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual std::int32_t ownProcessID() = 0;
    // The process exists (a signal 0 probe succeeds).
    virtual bool isProcessAlive(std::int32_t pid) = 0;

    // Each returns false when the request could not be made.
    virtual bool activate(std::int32_t pid, bool allWindows) = 0;
    virtual bool hide(std::int32_t pid) = 0;
    virtual bool unhide(std::int32_t pid) = 0;
    virtual bool terminate(std::int32_t pid) = 0;
    virtual bool forceTerminate(std::int32_t pid) = 0;

    // Launching. The completion runs on the main thread.
    virtual void openApplication(const QString& path, std::function<void(OpenResult)> completion) = 0;
    virtual bool openURL(const QString& url) = 0;
    // False when no file viewer could be asked to show it.
    virtual bool revealInFileViewer(const QString& path) = 0;
    virtual std::optional<QString> urlForApplication(const QString& bundleID) = 0;

    // Icons: a running application's (may be absent) and a file's (always one).
    virtual std::optional<QImage> iconForApplication(std::int32_t pid) = 0;
    virtual QImage iconForFile(const QString& path) = 0;
    // The image file iconForFile would draw a file's icon from, found without
    // the GUI thread's icon loader, so that any thread may ask and decode it
    // there; empty when it cannot be told that way (iconForFile still can).
    virtual QString iconImageFile(const QString& path) {
        (void)path;
        return {};
    }
    // The file manager's display name of a path.
    virtual QString displayName(const QString& path) = 0;

    // Observe workspace notifications; callbacks run on the main thread.
    using Callback = std::function<void(const QString& name, std::int32_t pid)>;
    virtual int addObserver(Callback callback) = 0;
    virtual void removeObserver(int token) = 0;

    // A number that moves whenever the running applications or their states
    // (active, hidden, frontmost) may have changed. While it stays the same, a
    // poll can take its last answer again. Absent when the backend cannot tell.
    virtual std::optional<std::uint64_t> changeCount() { return std::nullopt; }
};

// A workspace that passes every call on to another one; a wrapper overrides
// only what it changes.
class ForwardingWorkspace : public Workspace {
public:
    explicit ForwardingWorkspace(std::shared_ptr<Workspace> inner) : inner_(std::move(inner)) {}
    std::vector<RunningApplication> runningApplications() override { return inner_->runningApplications(); }
    std::optional<RunningApplication> application(std::int32_t pid) override { return inner_->application(pid); }
    std::optional<RunningApplication> frontmostApplication() override { return inner_->frontmostApplication(); }
    std::int32_t ownProcessID() override { return inner_->ownProcessID(); }
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
    QString iconImageFile(const QString& path) override { return inner_->iconImageFile(path); }
    QString displayName(const QString& path) override { return inner_->displayName(path); }
    int addObserver(Callback callback) override { return inner_->addObserver(std::move(callback)); }
    void removeObserver(int token) override { inner_->removeObserver(token); }
    std::optional<std::uint64_t> changeCount() override { return inner_->changeCount(); }

protected:
    std::shared_ptr<Workspace> inner_;
};

Workspace& workspace();

}  // namespace platform
